#include "clitestsupport.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <gtest/gtest.h>
#include <optional>
#include <sys/stat.h>

using namespace Qt::StringLiterals;

namespace zelvora::test {
namespace {

class Inputs : public ::testing::Test
{
protected:
    QJsonObject auditJson(const QStringList &arguments, CliResult *resultOut = nullptr)
    {
        const CliResult result = runCli(QStringList{u"-f"_s, u"json"_s} + arguments, config.path());
        EXPECT_EQ(result.exitCode, 0) << result.err.toStdString();
        if (resultOut) {
            *resultOut = result;
        }
        return QJsonDocument::fromJson(result.out).object();
    }

    TempTree config;
    TempTree tree;
};

TEST_F(Inputs, PathsComeFromTheOptionsThenFromTheSavedSettings)
{
    makeSampleZelvora(tree, u"one"_s);
    makeSampleZelvora(tree, u"two"_s);
    tree.file(u"other.txt"_s, "abd\n");
    const QString one = tree.filePath(u"one"_s);
    const QString two = tree.filePath(u"two"_s);
    const QString oneList = one + u'/' + QString::fromUtf8(kRomsListName);
    const QString twoList = two + u'/' + QString::fromUtf8(kRomsListName);
    const QString other = tree.filePath(u"other.txt"_s);

    struct Case
    {
        const char *name;
        std::optional<QString> savedDir;
        std::optional<QString> savedList;
        QStringList arguments;
        QString dir;
        QString list;
    };
    const Case cases[] = {
        {"options only", {}, {}, {u"-d"_s, one, u"-l"_s, other}, one, other},
        {"-d searches its own list", {}, {}, {u"-d"_s, two}, two, twoList},
        {"saved paths", two, other, {}, two, other},
        {"-l overrides the saved list", two, oneList, {u"-l"_s, other}, two, other},
        {"no saved list: searched below the saved dir", two, {}, {}, two, twoList},
        {"empty saved list: searched below the saved dir", two, u""_s, {}, two, twoList},
        {"-d ignores both saved paths", two, other, {u"-d"_s, one}, one, oneList},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        QDir(config.path()).removeRecursively();
        QDir().mkpath(config.path());
        saveSettings(config.path(), c.savedDir ? &*c.savedDir : nullptr, c.savedList ? &*c.savedList : nullptr);
        const QJsonObject json = auditJson(c.arguments + QStringList{u"roms"_s});
        EXPECT_EQ(json.value(u"zelvoraDir"_s).toString(), c.dir);
        EXPECT_EQ(json.value(u"romsList"_s).toString(), c.list);
    }
}

TEST_F(Inputs, EmptySavedDirectoryIsAUsageErrorAndSettingsAreNeverWritten)
{
    makeSampleZelvora(tree);
    const QString empty;
    saveSettings(config.path(), &empty, nullptr);
    const QString settingsFile = config.path() + u"/zelvora/zelvora-auditor.conf"_s;
    const QByteArray before = config.read(u"zelvora/zelvora-auditor.conf"_s);

    EXPECT_EQ(runCli({u"roms"_s}, config.path()).exitCode, 2);
    EXPECT_EQ(runCli({u"-d"_s, tree.path(), u"roms"_s}, config.path()).exitCode, 0);
    EXPECT_EQ(config.read(u"zelvora/zelvora-auditor.conf"_s), before);

    TempTree untouched;
    EXPECT_EQ(runCli({u"-d"_s, tree.path(), u"videos"_s}, untouched.path()).exitCode, 0);
    // Only the audit history is kept, in the data folder (which runCli puts below the same folder).
    EXPECT_EQ(QDir(untouched.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
              QStringList{u"data"_s})
        << "the command created settings";
}

// Two lists below the directory: the first in sorted path order wins, whatever the order on disk.
TEST_F(Inputs, ListSearchTakesTheFirstInSortedPathOrder)
{
    tree.file(u"b/"_s + QString::fromUtf8(kRomsListName), "from-b\n");
    tree.file(u"a/z/"_s + QString::fromUtf8(kRomsListName), "from-a\n");
    const QJsonObject json = auditJson({u"-d"_s, tree.path(), u"roms"_s});
    EXPECT_EQ(json.value(u"romsList"_s).toString(), tree.filePath(u"a/z/"_s + QString::fromUtf8(kRomsListName)));
    EXPECT_EQ(json.value(u"lists"_s).toObject().value(u"missing"_s).toVariant().toStringList(),
              QStringList{u"from-a.zip"_s});
}

// Paths that are not UTF-8 reach the file system byte for byte, whichever option gives them; JSON keeps
// each such byte as an escaped lone surrogate, \udc80 to \udcff.
TEST_F(Inputs, PathsThatAreNotUtf8ReachTheFileSystemUnchanged)
{
    makeSampleZelvora(tree, u"plain"_s);
    makeSampleZelvora(tree, u"moved"_s);
    const QByteArray root = QFile::encodeName(tree.path());
    ASSERT_EQ(::rename(QByteArray(root + "/moved").constData(), QByteArray(root + "/zz\xff").constData()), 0);
    tree.rawFile("list\xfe.txt", "abd\nabe\n");
    const QByteArray plain = root + "/plain";
    struct Case
    {
        const char *label;
        QList<QByteArray> arguments;
        QByteArray output;  // its start
        QByteArray savedIn; // the folder that must hold the reports, if any
    };
    const Case cases[] = {
        {"-d", {"-d", root + "/zz\xff", "roms"}, "Found 3 roms with valid filename:\n", {}},
        {"-d in JSON",
         {"-f", "json", "-d", root + "/zz\xff", "roms"},
         "{\n  \"audit\": \"roms\",\n  \"zelvoraDir\": \"" + root + "/zz\\udcff\",",
         {}},
        {"-l", {"-d", plain, "-l", root + "/list\xfe.txt", "roms"}, "Found 1 roms with valid filename:\n", {}},
        {"-s",
         {"-d", plain, "-s", root + "/out\xff/sub", "roms"},
         "Found 3 roms with valid filename:\n",
         "out\xff/sub"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.label);
        const CliResult result = runCliBytes(c.arguments, config.path());
        EXPECT_EQ(result.exitCode, 0);
        EXPECT_EQ(result.err.toStdString(), "");
        EXPECT_TRUE(result.out.startsWith(c.output)) << result.out.toStdString();
        if (!c.savedIn.isEmpty()) {
            struct stat st;
            EXPECT_EQ(::lstat(QByteArray(root + '/' + c.savedIn + "/valid_roms.txt").constData(), &st), 0);
        }
    }
    struct stat st;
    EXPECT_NE(::lstat(QByteArray(root + "/out\xEF\xBF\xBD").constData(), &st), 0) << "made under a changed name";
}

// Not a failure: the audit runs on empty lists, with a warning.
TEST_F(Inputs, MissingZelvoraDirectoryWarnsAndAuditsNothing)
{
    tree.file(u"list.txt"_s, "abd\nabe\n");
    const QString absent = tree.filePath(u"absent"_s);
    CliResult result;
    const QJsonObject json = auditJson({u"-d"_s, absent, u"-l"_s, tree.filePath(u"list.txt"_s), u"roms"_s}, &result);
    EXPECT_EQ(result.err.toStdString(), "Warning: the Zelvora directory \"" + absent.toStdString() +
                                            "\" does not exist; no files are found in it.\n");
    const QJsonObject lists = json.value(u"lists"_s).toObject();
    EXPECT_EQ(lists.value(u"missing"_s).toVariant().toStringList(), (QStringList{u"abd.zip"_s, u"abe.zip"_s}));
    EXPECT_TRUE(lists.value(u"unknown"_s).toArray().isEmpty());

    // Without -l the list cannot be found either.
    const CliResult noList = runCli({u"-d"_s, absent, u"roms"_s}, config.path());
    EXPECT_EQ(noList.exitCode, 3);
    EXPECT_TRUE(noList.err.startsWith("Warning: the Zelvora directory")) << noList.err.toStdString();
    EXPECT_TRUE(noList.err.contains(kRomsListError));
}

} // namespace
} // namespace zelvora::test
