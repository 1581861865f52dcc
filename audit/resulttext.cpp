#include "audit/resulttext.h"

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

QString formatResultText(QStringView format, const QStringList &names)
{
    static constexpr QStringView countMark = u"%lu";
    static constexpr QStringView namesMark = u"%@";
    const QString count = QString::number(quint64(names.size()));
    const qsizetype countAt = format.indexOf(countMark);
    const qsizetype namesAt = format.indexOf(namesMark, countAt < 0 ? 0 : countAt + countMark.size());

    qsizetype namesLength = names.isEmpty() ? 0 : 2 * (names.size() - 1);
    for (const QString &name : names)
        namesLength += name.size();

    QString text;
    text.reserve(format.size() + count.size() + namesLength);
    qsizetype from = 0;
    if (countAt >= 0) {
        text.append(format.sliced(0, countAt)).append(count);
        from = countAt + countMark.size();
    }
    if (namesAt >= 0) {
        text.append(format.sliced(from, namesAt - from));
        for (qsizetype i = 0; i < names.size(); ++i) {
            if (i > 0)
                text.append(u"\r\n");
            text.append(names[i]);
        }
        from = namesAt + namesMark.size();
    }
    text.append(format.sliced(from));
    return text;
}

const QStringList &romList(const RomResults &results, RomList which)
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

QStringList &romList(RomResults &results, RomList which)
{
    return const_cast<QStringList &>(romList(std::as_const(results), which));
}

const QStringList &videoList(const VideoResults &results, VideoList which)
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

QStringList &videoList(VideoResults &results, VideoList which)
{
    return const_cast<QStringList &>(videoList(std::as_const(results), which));
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
