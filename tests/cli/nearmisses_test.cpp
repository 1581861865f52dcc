// -m, --near-misses: the pairs and the ambiguous names in the text, the JSON and the CSV report.

#include "clitestsupport.h"

#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <gtest/gtest.h>

using namespace Qt::StringLiterals;

namespace zelvora::test {
namespace {

class NearMissOutput : public ::testing::Test
{
protected:
    void SetUp() override
    {
        tree.file(QString::fromUtf8(kRomsListName), "Space Duel\r\nPac-Man\r\nPac Man\r\nbombjack\r\nkungfu\r\n"
                                                    "\"Quoted\", Game\r\n");
        tree.file(u"roms/a/space_duel.zip"_s);
        tree.file(u"roms/pacman.zip"_s);
        tree.file(u"roms/b/bombjack.7z"_s);
        tree.file(u"roms/kungfu2.zip"_s);
        tree.file(u"roms/Quoted, Game.zip"_s);
        tree.file(u"videos/Space Duel.mp4"_s);
    }

    CliResult audit(const QStringList &arguments)
    {
        return runCli(QStringList{u"-d"_s, tree.path(), u"-m"_s} + arguments, config.path());
    }

    TempTree config;
    TempTree tree;
};

TEST_F(NearMissOutput, TextJsonAndCsvGiveThePairsInTheOrderOfTheNames)
{
    const CliResult text = audit({u"-s"_s, tree.filePath(u"reports"_s), u"roms"_s});
    EXPECT_EQ(text.exitCode, 0) << text.err.toStdString();
    const QByteArray section = text.out.mid(text.out.indexOf("Found 3 possible matches:"));
    EXPECT_EQ(section.toStdString(), "Found 3 possible matches:\n\n"
                                     "\"Quoted\", Game.zip <- roms/Quoted, Game.zip (forbidden-characters)\n"
                                     "bombjack.zip <- roms/b/bombjack.7z (other-format)\n"
                                     "Space Duel.zip <- roms/a/space_duel.zip (case-and-separators)\n"
                                     "\nAmbiguous, not paired (2):\n\n"
                                     "Pac Man.zip <- roms/pacman.zip (case-and-separators)\n"
                                     "Pac-Man.zip <- roms/pacman.zip (case-and-separators)\n");
    EXPECT_EQ(tree.read(u"reports/near_misses_roms.csv"_s).toStdString(),
              "expected,found,path,reason\r\n"
              "\"\"\"Quoted\"\", Game.zip\",\"Quoted, Game.zip\",\"roms/Quoted, Game.zip\",forbidden-characters\r\n"
              "bombjack.zip,bombjack.7z,roms/b/bombjack.7z,other-format\r\n"
              "Space Duel.zip,space_duel.zip,roms/a/space_duel.zip,case-and-separators\r\n");

    const CliResult json = audit({u"-f"_s, u"json"_s, u"roms"_s});
    ASSERT_EQ(json.exitCode, 0) << json.err.toStdString();
    QJsonParseError error{};
    const QJsonObject object = QJsonDocument::fromJson(json.out, &error).object();
    ASSERT_EQ(error.error, QJsonParseError::NoError) << json.out.toStdString();
    const QJsonArray pairs = object[u"nearMisses"_s].toArray();
    ASSERT_EQ(pairs.size(), 3);
    EXPECT_EQ(pairs[1].toObject(), (QJsonObject{{u"expected"_s, u"bombjack.zip"_s},
                                                {u"found"_s, u"bombjack.7z"_s},
                                                {u"path"_s, u"roms/b/bombjack.7z"_s},
                                                {u"reason"_s, u"other-format"_s}}));
    const QJsonArray ambiguous = object[u"ambiguous"_s].toArray();
    ASSERT_EQ(ambiguous.size(), 2);
    EXPECT_EQ(ambiguous[0].toObject()[u"candidates"_s].toArray()[0].toObject()[u"path"_s], u"roms/pacman.zip"_s);
    // The lists stay as the audit gives them.
    EXPECT_EQ(object[u"lists"_s].toObject()[u"unknown"_s].toArray().size(), 4);

    const CliResult videos = audit({u"-s"_s, tree.filePath(u"reports"_s), u"videos"_s});
    EXPECT_EQ(videos.exitCode, 0) << videos.err.toStdString();
    EXPECT_TRUE(videos.out.contains("Space Duel.xmv <- videos/Space Duel.mp4 (other-format)\n"));
    EXPECT_EQ(tree.read(u"reports/near_misses_videos.csv"_s).toStdString(),
              "expected,found,path,reason\r\nSpace Duel.xmv,Space Duel.mp4,videos/Space Duel.mp4,other-format\r\n");
}

TEST_F(NearMissOutput, WithoutTheOptionNothingChanges)
{
    const CliResult plain = runCli({u"-d"_s, tree.path(), u"-f"_s, u"json"_s, u"roms"_s}, config.path());
    EXPECT_EQ(plain.exitCode, 0);
    EXPECT_FALSE(plain.out.contains("nearMisses"));
}

TEST_F(NearMissOutput, RenameGivesTheChosenPairsTheirNamesAndUndoPutsThemBack)
{
    const CliResult renamed = audit({u"--rename"_s, u"case-and-separators,forbidden-characters"_s, u"roms"_s});
    ASSERT_EQ(renamed.exitCode, 0) << renamed.err.toStdString();
    const qsizetype at = renamed.out.indexOf("Renamed 2 files; undo journal: ");
    ASSERT_GE(at, 0) << renamed.out.toStdString();
    const QString journal = QString::fromUtf8(renamed.out.mid(at + 31).trimmed());
    // Ambiguous pairs and other formats stay as they are.
    for (const auto &[path, exists] : {std::pair{u"roms/a/Space Duel.zip"_s, true},
                                       {u"roms/a/space_duel.zip"_s, false},
                                       {u"roms/\"Quoted\", Game.zip"_s, true},
                                       {u"roms/pacman.zip"_s, true},
                                       {u"roms/b/bombjack.7z"_s, true}})
        EXPECT_EQ(QFileInfo::exists(tree.filePath(path)), exists) << path.toStdString();

    const CliResult undone = runCli({u"undo"_s, journal}, config.path());
    EXPECT_EQ(undone.exitCode, 0) << undone.err.toStdString();
    EXPECT_TRUE(QFileInfo::exists(tree.filePath(u"roms/a/space_duel.zip"_s)));
    EXPECT_TRUE(QFileInfo::exists(tree.filePath(u"roms/Quoted, Game.zip"_s)));

    EXPECT_EQ(audit({u"--rename"_s, u"other-format"_s, u"roms"_s}).exitCode, 2);
    EXPECT_EQ(audit({u"--rename"_s, u"typos"_s, u"roms"_s}).exitCode, 2);
    EXPECT_EQ(runCli({u"-d"_s, tree.path(), u"--rename"_s, u"all"_s, u"roms"_s}, config.path()).exitCode, 2);
}

} // namespace
} // namespace zelvora::test
