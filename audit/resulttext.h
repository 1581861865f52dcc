#pragma once

#include "merge.h"

#include <QString>
#include <QStringList>
#include <QStringView>

namespace zelvora {

// The lists of each audit, in the order of the window's segments.
enum class RomList { Valid, Missing, Unknown };
enum class VideoList { Valid, Missing, Extra, Unknown };
inline constexpr int kRomListCount = 3;
inline constexpr int kVideoListCount = 4;

// Fills a result format: "%lu" takes the count of `names`, "%@" the names joined with CR LF.
QString formatResultText(QStringView format, const QStringList &names);

const QStringList &romList(const RomResults &results, RomList which);
const QStringList &videoList(const VideoResults &results, VideoList which);
QStringList &romList(RomResults &results, RomList which);
QStringList &videoList(VideoResults &results, VideoList which);

// The formats shown in the window and the ones written to the report files. They are the same
// but for the unknown roms, whose two headers differ.
QStringView romViewFormat(RomList which);
QStringView romFileFormat(RomList which);
QStringView videoViewFormat(VideoList which);
QStringView videoFileFormat(VideoList which);

QString romFileName(RomList which);     // "valid_roms.txt", ...
QString videoFileName(VideoList which); // "valid_videos.txt", ...

// Short keys for machine-readable output: "valid", "missing", "extra", "unknown".
QString romListKey(RomList which);
QString videoListKey(VideoList which);

inline QString romViewText(const RomResults &r, RomList which)
{
    return formatResultText(romViewFormat(which), romList(r, which));
}
inline QString videoViewText(const VideoResults &r, VideoList which)
{
    return formatResultText(videoViewFormat(which), videoList(r, which));
}

} // namespace zelvora
