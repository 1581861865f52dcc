#pragma once

#include "audit/files/humantext.h"
#include "audit/names/merge.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringView>
#include <string_view>

namespace zelvora {

// The lists of each audit, in the order of the window's segments.
enum class RomList { Valid, Missing, Unknown };
enum class VideoList { Valid, Missing, Extra, Unknown };
inline constexpr int kRomListCount = 3;
inline constexpr int kVideoListCount = 4;

// Fills a result format as UTF-8: "%lu" takes the count of `names`, "%@" the names (as nameText writes
// them) joined with `lineEnd`; the format's own CR LF line ends become `lineEnd` too.
QByteArray formatResultText(QStringView format, const NameList &names, QByteArrayView lineEnd = "\r\n");

// The text of a format around its names: before "%@" with the count filled in, and after it.
struct ResultTextParts
{
    QString head;
    QString tail;
};
ResultTextParts resultTextParts(QStringView format, qsizetype count);

const NameList &romList(const RomResults &results, RomList which);
const NameList &videoList(const VideoResults &results, VideoList which);
NameList &romList(RomResults &results, RomList which);
NameList &videoList(VideoResults &results, VideoList which);

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

} // namespace zelvora
