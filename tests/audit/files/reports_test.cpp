#include "audit/files/reports.h"
#include "support/headers.h"
#include "support/temptree.h"

#include <QDir>
#include <gtest/gtest.h>

using namespace Qt::StringLiterals;

namespace zelvora {
namespace {

TEST(Reports, RomSetHasExactBytes)
{
    test::TempTree tree;
    RomResults results;
    results.valid = {"\xC3\x89lan.zip"};
    results.unknown = {"a.zip", "b.zip", "c.zip"};
    EXPECT_TRUE(writeReportFiles(tree.path(), romReportFiles(results)).isEmpty());

    EXPECT_EQ(tree.read(u"valid_roms.txt"_s), test::resultBytes(test::headers::kValidRoms, {"\xC3\x89lan.zip"}));
    EXPECT_EQ(tree.read(u"missing_roms.txt"_s), test::resultBytes(test::headers::kMissingRoms, {}));
    EXPECT_EQ(tree.read(u"unknown_roms.txt"_s),
              test::resultBytes(test::headers::kUnknownRomsFile, {"a.zip", "b.zip", "c.zip"}));
    EXPECT_EQ(QDir(tree.path()).entryList(QDir::Files | QDir::Hidden).size(), 3) << "no stray temporary files";
}

TEST(Reports, VideoSetAlwaysHasFourFiles)
{
    test::TempTree tree;
    EXPECT_TRUE(writeReportFiles(tree.path() + u"/"_s, videoReportFiles(VideoResults{})).isEmpty());
    const QStringList files = QDir(tree.path()).entryList(QDir::Files, QDir::Name);
    EXPECT_EQ(files, (QStringList{u"extra_videos.txt"_s, u"missing_videos.txt"_s, u"unknown_videos.txt"_s,
                                  u"valid_videos.txt"_s}));
    EXPECT_EQ(tree.read(u"extra_videos.txt"_s), test::resultBytes(test::headers::kExtraVideos, {}));
}

TEST(Reports, SavingAgainReplacesWholeFiles)
{
    test::TempTree tree;
    RomResults first;
    first.missing = {"a-very-long-name-that-makes-the-first-file-longer.zip"};
    writeReportFiles(tree.path(), romReportFiles(first));
    RomResults second;
    second.missing = {"b.zip"};
    EXPECT_TRUE(writeReportFiles(tree.path(), romReportFiles(second)).isEmpty());
    EXPECT_EQ(tree.read(u"missing_roms.txt"_s), test::resultBytes(test::headers::kMissingRoms, {"b.zip"}));
}

TEST(Reports, EveryFileIsAttemptedAndFailuresAreNamed)
{
    test::TempTree tree;
    tree.dir(u"out/missing_roms.txt"_s); // a folder stands where one report must go
    tree.file(u"out/valid_roms.txt"_s, "old");
    const QList<WriteFailure> failures = writeReportFiles(tree.filePath(u"out"_s), romReportFiles(RomResults{}));
    ASSERT_EQ(failures.size(), 1);
    EXPECT_EQ(failures[0].fileName, u"missing_roms.txt");
    EXPECT_FALSE(failures[0].reason.isEmpty());
    EXPECT_EQ(tree.read(u"out/valid_roms.txt"_s), test::resultBytes(test::headers::kValidRoms, {}));
    EXPECT_EQ(tree.read(u"out/unknown_roms.txt"_s).left(5), "Found");
}

TEST(Reports, MissingDirectoryFailsEveryFile)
{
    test::TempTree tree;
    tree.file(u"plain"_s);
    for (const QString &dir : {tree.filePath(u"absent"_s), tree.filePath(u"plain"_s)}) {
        const QList<WriteFailure> failures = writeReportFiles(dir, videoReportFiles(VideoResults{}));
        ASSERT_EQ(failures.size(), 4) << dir.toStdString();
        EXPECT_EQ(failures[3].fileName, u"unknown_videos.txt");
    }
}

} // namespace
} // namespace zelvora
