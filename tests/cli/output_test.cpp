#include "clitestsupport.h"
#include "support/headers.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

using namespace Qt::StringLiterals;

namespace zelvora::test {
namespace {

class Output : public ::testing::Test
{
protected:
    void SetUp() override { makeSampleZelvora(tree); }

    CliResult audit(QStringList arguments)
    {
        arguments.prepend(tree.path());
        arguments.prepend(u"-d"_s);
        // The lists alone: a run after another would add the changes since it.
        arguments.prepend(u"--no-history"_s);
        return runCli(arguments, config.path());
    }

    TempTree config;
    TempTree tree;
};

TEST_F(Output, TextIsEveryListAsTheWindowShowsItWithLfLineEnds)
{
    struct Case
    {
        QStringList arguments;
        QByteArray expected;
    };
    // A list's text with LF line ends: its header line, an empty line, a line per name.
    const auto list = [](std::string_view format, const std::vector<std::string_view> &names) {
        return resultBytes(format, names, "\n");
    };
    const Case cases[] = {
        {{u"roms"_s},
         list(headers::kValidRoms, {"abe.zip", "RaceOne.zip", "\xc3\x89lan.zip"}) + "\n\n" +
             list(headers::kMissingRoms, {"abd.zip"}) + "\n\n" + list(headers::kUnknownRomsView, {"abf.zip"}) + "\n"},
        // An empty list's text ends in its empty line, which is the one before the next list.
        {{u"videos"_s, u"-f"_s, u"text"_s},
         list(headers::kValidVideos, {"abd.xmv"}) + "\n\n" +
             list(headers::kMissingVideos, {"abe.xmv", "RaceOne.xmv", "\xc3\x89lan.xmv"}) + "\n\n" +
             list(headers::kExtraVideos, {}) + list(headers::kUnknownVideos, {"abc.xmv", "zzz.xmv"}) + "\n"},
        {{u"videos"_s, u"-a"_s},
         list(headers::kValidVideos, {}) +
             list(headers::kMissingVideos, {"abe.xmv", "raceone.xmv", "\xc3\xa9lan.xmv"}) + "\n\n" +
             list(headers::kExtraVideos, {"abd.xmv"}) + "\n\n" + list(headers::kUnknownVideos, {"abc.xmv", "zzz.xmv"}) +
             "\n"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.arguments.join(u' ').toStdString());
        const CliResult result = audit(c.arguments);
        EXPECT_EQ(result.exitCode, 0);
        EXPECT_EQ(result.out.toStdString(), c.expected.toStdString());
        EXPECT_TRUE(result.err.isEmpty()) << "not a terminal: " << result.err.toStdString();
    }
}

QStringList strings(const QJsonValue &value)
{
    QStringList out;
    for (const QJsonValue &item : value.toArray()) {
        out.append(item.toString());
    }
    return out;
}

TEST_F(Output, JsonHoldsTheInputsAndEveryListInMergeOrder)
{
    const QString listPath = tree.filePath(QString::fromUtf8(kRomsListName));
    struct Case
    {
        QStringList arguments;
        QString audit;
        QJsonValue availableRomsOnly; // undefined for roms
        QList<std::pair<QString, QStringList>> lists;
    };
    const QList<Case> cases = {
        {{u"roms"_s},
         u"roms"_s,
         QJsonValue::Undefined,
         {{u"valid"_s, {u"abe.zip"_s, u"RaceOne.zip"_s, utf8("Élan.zip")}},
          {u"missing"_s, {u"abd.zip"_s}},
          {u"unknown"_s, {u"abf.zip"_s}}}},
        {{u"videos"_s},
         u"videos"_s,
         false,
         {{u"valid"_s, {u"abd.xmv"_s}},
          {u"missing"_s, {u"abe.xmv"_s, u"RaceOne.xmv"_s, utf8("Élan.xmv")}},
          {u"extra"_s, {}},
          {u"unknown"_s, {u"abc.xmv"_s, u"zzz.xmv"_s}}}},
        {{u"videos"_s, u"--available-roms-only"_s},
         u"videos"_s,
         true,
         {{u"valid"_s, {}},
          {u"missing"_s, {u"abe.xmv"_s, u"raceone.xmv"_s, utf8("élan.xmv")}},
          {u"extra"_s, {u"abd.xmv"_s}},
          {u"unknown"_s, {u"abc.xmv"_s, u"zzz.xmv"_s}}}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.arguments.join(u' ').toStdString());
        const CliResult result = audit(QStringList{u"--format"_s, u"json"_s} + c.arguments);
        EXPECT_EQ(result.exitCode, 0);
        QJsonParseError error;
        const QJsonDocument document = QJsonDocument::fromJson(result.out, &error);
        ASSERT_EQ(error.error, QJsonParseError::NoError) << result.out.toStdString();
        const QJsonObject object = document.object();
        EXPECT_EQ(object.value(u"audit"_s).toString(), c.audit);
        EXPECT_EQ(object.value(u"zelvoraDir"_s).toString(), tree.path());
        EXPECT_EQ(object.value(u"romsList"_s).toString(), listPath);
        EXPECT_EQ(object.value(u"availableRomsOnly"_s), c.availableRomsOnly);
        const QJsonObject lists = object.value(u"lists"_s).toObject();
        EXPECT_EQ(lists.size(), c.lists.size());
        for (const auto &[key, names] : c.lists) {
            EXPECT_EQ(strings(lists.value(key)), names) << key.toStdString();
        }
    }
}

// File names may hold any byte but "/" and NUL; every one must survive as a JSON string.
TEST_F(Output, JsonEscapesEveryNameItCanMeet)
{
    const QString awkward = utf8("q\"uo\\te\ttab\nnew\x01line\x7f é 𝄞 \u2028.zip");
    tree.file(u"roms/"_s + awkward);
    QString everyControl = u"c"_s;
    for (char16_t c = 1; c < 0x20; ++c)
        everyControl += QChar(c);
    everyControl += u".zip"_s;
    tree.file(u"roms/"_s + everyControl);
    const CliResult result = audit({u"-f"_s, u"json"_s, u"roms"_s});
    EXPECT_EQ(result.exitCode, 0);
    // JSON allows no raw control character in a string: a strict reader refuses the whole output.
    for (const char c : result.out)
        EXPECT_TRUE(c == '\n' || uchar(c) >= 0x20) << "raw control " << int(c);
    EXPECT_TRUE(result.out.contains("\\u0001") && result.out.contains("\\u2028")) << result.out.toStdString();
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(result.out, &error);
    ASSERT_EQ(error.error, QJsonParseError::NoError) << result.out.toStdString();
    const QStringList unknown = strings(document.object().value(u"lists"_s).toObject().value(u"unknown"_s));
    EXPECT_TRUE(unknown.contains(awkward) && unknown.contains(everyControl)) << result.out.toStdString();
}

// Without a usable list the check-box-on audit still runs, but nothing can count as "extra".
TEST_F(Output, VideosForAvailableRomsWithoutRomsListWarnAndRunWithoutLookUp)
{
    const CliResult result = audit({u"-l"_s, tree.filePath(u"absent.txt"_s), u"-a"_s, u"-f"_s, u"json"_s, u"videos"_s});
    EXPECT_EQ(result.exitCode, 0);
    EXPECT_TRUE(result.err.startsWith("Warning: Can't find supported roms list")) << result.err.toStdString();
    const QJsonObject lists = QJsonDocument::fromJson(result.out).object().value(u"lists"_s).toObject();
    EXPECT_EQ(strings(lists.value(u"valid"_s)), QStringList());
    EXPECT_EQ(strings(lists.value(u"missing"_s)),
              (QStringList{u"abe.xmv"_s, u"abf.xmv"_s, u"raceone.xmv"_s, utf8("élan.xmv")}));
    EXPECT_EQ(strings(lists.value(u"extra"_s)), QStringList());
    EXPECT_EQ(strings(lists.value(u"unknown"_s)), (QStringList{u"abc.xmv"_s, u"abd.xmv"_s, u"zzz.xmv"_s}));
}

TEST_F(Output, LongListsAreWrittenWholeAndInOrder)
{
    // Lists this long are encoded on two cores, run by run, while the output is being written.
    constexpr int kArchives = 100'500;
    tree.dir(u"roms/many"_s);
    const QByteArray folder = QFile::encodeName(tree.filePath(u"roms/many"_s));
    const int folderFd = ::open(folder.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    ASSERT_GE(folderFd, 0);
    for (int i = 0; i < kArchives; ++i) {
        const QByteArray name = "Extra \"" + QByteArray::number(i * 7919 % kArchives) + "\".zip";
        const int fd = ::openat(folderFd, name.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
        ASSERT_GE(fd, 0) << name.constData();
        ::close(fd);
    }
    ::close(folderFd);

    const CliResult json = audit({u"--format"_s, u"json"_s, u"roms"_s});
    ASSERT_EQ(json.exitCode, 0);
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(json.out, &error);
    ASSERT_EQ(error.error, QJsonParseError::NoError) << error.errorString().toStdString();
    const QStringList unknown = strings(document.object().value(u"lists"_s).toObject().value(u"unknown"_s));

    // The text output's last list is made another way: one name a line, after its header.
    const CliResult text = audit({u"roms"_s});
    ASSERT_EQ(text.exitCode, 0);
    QStringList textUnknown = QString::fromUtf8(text.out).split(u'\n');
    while (!textUnknown.isEmpty() && textUnknown.last().isEmpty())
        textUnknown.removeLast();
    ASSERT_GE(textUnknown.size(), unknown.size());
    textUnknown = textUnknown.mid(textUnknown.size() - unknown.size());
    EXPECT_EQ(unknown, textUnknown);

    int extras = 0;
    for (qsizetype i = 0; i < unknown.size(); ++i) {
        extras += unknown[i].startsWith(u"Extra \""_s);
        if (i > 0) {
            ASSERT_LE(unknown[i - 1].compare(unknown[i], Qt::CaseInsensitive), 0) << i;
        }
    }
    EXPECT_EQ(extras, kArchives);
}

TEST_F(Output, JsonIsTheSameWhetherReportsAreSavedOrNot)
{
    // Without --save the JSON is written from the names as read, with it from the lists of text.
    tree.rawFile("roms/caf\xc3\xa9 \xff\xfe.zip");
    tree.rawFile("roms/tab\there \"quoted\" back\\slash.zip");
    tree.file(u"videos/line\u2028separator.xmv"_s);
    TempTree saved;
    for (const QStringList &audit :
         {QStringList{u"roms"_s}, QStringList{u"videos"_s}, QStringList{u"videos"_s, u"--available-roms-only"_s}}) {
        SCOPED_TRACE(audit.join(u' ').toStdString());
        const CliResult direct = this->audit(QStringList{u"-f"_s, u"json"_s} + audit);
        const CliResult withSave = this->audit(QStringList{u"-f"_s, u"json"_s, u"-s"_s, saved.path()} + audit);
        EXPECT_EQ(direct.exitCode, 0);
        EXPECT_EQ(withSave.exitCode, 0);
        EXPECT_EQ(direct.out, withSave.out);
        EXPECT_TRUE(direct.out.contains("\\u2028") || audit.front() == u"roms"_s);
    }
}

} // namespace
} // namespace zelvora::test
