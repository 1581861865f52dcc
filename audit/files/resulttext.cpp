#include "audit/files/resulttext.h"

#include "audit/files/humantext.h"
#include "audit/names/textunits.h"

#include <algorithm>
#include <array>

namespace zelvora {

using namespace Qt::StringLiterals;

namespace {

struct ListText
{
    QStringView key;
    QStringView viewFormat;
    QStringView fileFormat;
    QStringView fileName;
};

constexpr std::array<ListText, kRomListCount> kRomTexts = {{
    {u"valid", u"Found %lu roms with valid filename:\r\n\r\n%@", u"Found %lu roms with valid filename:\r\n\r\n%@",
     u"valid_roms.txt"},
    {u"missing", u"Found %lu missing roms:\r\n\r\n%@", u"Found %lu missing roms:\r\n\r\n%@", u"missing_roms.txt"},
    {u"unknown",
     u"Found %lu unknown archives:\r\n(warning, these could be necessary ones too, like neogeo.zip)\r\n\r\n%@",
     u"Found %lu roms with unknown filename:\r\n(warning, these could be necessary archives too, like "
     u"neogeo.zip)\r\n\r\n%@",
     u"unknown_roms.txt"},
}};

constexpr std::array<ListText, kVideoListCount> kVideoTexts = {{
    {u"valid", u"Found %lu videos with valid filename:\r\n\r\n%@", u"Found %lu videos with valid filename:\r\n\r\n%@",
     u"valid_videos.txt"},
    {u"missing", u"Found %lu missing videos:\r\n\r\n%@", u"Found %lu missing videos:\r\n\r\n%@", u"missing_videos.txt"},
    {u"extra", u"Found %lu videos for missing roms:\r\n\r\n%@", u"Found %lu videos for missing roms:\r\n\r\n%@",
     u"extra_videos.txt"},
    {u"unknown", u"Found %lu videos with unknown filename:\r\n\r\n%@",
     u"Found %lu videos with unknown filename:\r\n\r\n%@", u"unknown_videos.txt"},
}};

const ListText &romText(RomList which)
{
    return kRomTexts[std::size_t(which)];
}

const ListText &videoText(VideoList which)
{
    return kVideoTexts[std::size_t(which)];
}

} // namespace

ResultTextParts resultTextParts(QStringView format, qsizetype count)
{
    static constexpr QStringView countMark = u"%lu";
    static constexpr QStringView namesMark = u"%@";
    const qsizetype countAt = format.indexOf(countMark);
    QString filled = format.toString();
    if (countAt >= 0)
        filled.replace(countAt, countMark.size(), QString::number(quint64(count)));
    const qsizetype namesAt = filled.indexOf(namesMark, countAt < 0 ? 0 : countAt);
    if (namesAt < 0)
        return {filled, QString()};
    return {filled.first(namesAt), filled.sliced(namesAt + namesMark.size())};
}

QByteArray formatResultText(QStringView format, const NameList &names, QByteArrayView lineEnd)
{
    const ResultTextParts parts = resultTextParts(format, qsizetype(names.size()));
    const auto withLineEnds = [&](const QString &text) {
        QByteArray bytes = text.toUtf8();
        if (lineEnd != "\r\n")
            bytes.replace("\r\n", lineEnd);
        return bytes;
    };
    QByteArray out = withLineEnds(parts.head);
    std::size_t length = 0;
    for (const std::string_view name : names)
        length += name.size() + std::size_t(lineEnd.size());
    out.reserve(out.size() + qsizetype(length) + 64);
    for (std::size_t i = 0; i < names.size(); ++i) {
        if (i > 0)
            out.append(lineEnd);
        appendNameText(out, names[i]);
    }
    out.append(withLineEnds(parts.tail));
    return out;
}

namespace {

// One switch for the const and the mutable results alike.
template <typename Results> auto &romListOf(Results &results, RomList which)
{
    switch (which) {
    case RomList::Valid:
        return results.valid;
    case RomList::Missing:
        return results.missing;
    case RomList::Unknown:
        break;
    }
    return results.unknown;
}

template <typename Results> auto &videoListOf(Results &results, VideoList which)
{
    switch (which) {
    case VideoList::Valid:
        return results.valid;
    case VideoList::Missing:
        return results.missing;
    case VideoList::Extra:
        return results.extra;
    case VideoList::Unknown:
        break;
    }
    return results.unknown;
}

} // namespace

const NameList &romList(const RomResults &results, RomList which)
{
    return romListOf(results, which);
}

NameList &romList(RomResults &results, RomList which)
{
    return romListOf(results, which);
}

const NameList &videoList(const VideoResults &results, VideoList which)
{
    return videoListOf(results, which);
}

NameList &videoList(VideoResults &results, VideoList which)
{
    return videoListOf(results, which);
}

QStringView romViewFormat(RomList which)
{
    return romText(which).viewFormat;
}

QStringView romFileFormat(RomList which)
{
    return romText(which).fileFormat;
}

QStringView videoViewFormat(VideoList which)
{
    return videoText(which).viewFormat;
}

QStringView videoFileFormat(VideoList which)
{
    return videoText(which).fileFormat;
}

QString romFileName(RomList which)
{
    return romText(which).fileName.toString();
}

QString videoFileName(VideoList which)
{
    return videoText(which).fileName.toString();
}

QString romListKey(RomList which)
{
    return romText(which).key.toString();
}

QString videoListKey(VideoList which)
{
    return videoText(which).key.toString();
}

} // namespace zelvora
