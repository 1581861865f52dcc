#include "clitestsupport.h"
#include "support/headers.h"

#include <QDir>
#include <QFile>
#include <cerrno>
#include <cstddef>
#include <grp.h>
#include <gtest/gtest.h>
#include <linux/filter.h>
#include <linux/seccomp.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

using namespace Qt::StringLiterals;

namespace zelvora::test {
namespace {

class Save : public ::testing::Test
{
protected:
    void SetUp() override { makeSampleZelvora(tree, u"z"_s); }

    CliResult audit(const QString &audit, const QString &saveDir, QStringList extra = {},
                    const std::function<void()> &childSetup = {})
    {
        // Without the changes since the run before, so that every run prints the same.
        return runCli(QStringList{u"--no-history"_s, u"-d"_s, tree.filePath(u"z"_s), u"-s"_s, saveDir} + extra +
                          QStringList{audit},
                      config.path(), childSetup);
    }

    TempTree config;
    TempTree tree;
};

const QList<std::pair<QString, QByteArray>> kRomFiles = {
    {u"valid_roms.txt"_s, resultBytes(headers::kValidRoms, {"abe.zip", "RaceOne.zip", "\xc3\x89lan.zip"})},
    {u"missing_roms.txt"_s, resultBytes(headers::kMissingRoms, {"abd.zip"})},
    {u"unknown_roms.txt"_s, resultBytes(headers::kUnknownRomsFile, {"abf.zip"})},
};

const QList<std::pair<QString, QByteArray>> kVideoFiles = {
    {u"valid_videos.txt"_s, resultBytes(headers::kValidVideos, {"abd.xmv"})},
    {u"missing_videos.txt"_s, resultBytes(headers::kMissingVideos, {"abe.xmv", "RaceOne.xmv", "\xc3\x89lan.xmv"})},
    {u"extra_videos.txt"_s, resultBytes(headers::kExtraVideos, {})},
    {u"unknown_videos.txt"_s, resultBytes(headers::kUnknownVideos, {"abc.xmv", "zzz.xmv"})},
};

TEST_F(Save, WritesTheAuditsReportFilesIntoANewDirectory)
{
    struct Case
    {
        QString audit;
        QString saveDir;
        QList<std::pair<QString, QByteArray>> files;
    };
    tree.file(u"existing/valid_roms.txt"_s, "an older, longer report that must be replaced whole");
    tree.file(u"existing/notes.txt"_s, "kept");
    const Case cases[] = {
        {u"roms"_s, u"out/new/deeper"_s, kRomFiles},
        {u"videos"_s, u"videos-out"_s, kVideoFiles},
        {u"roms"_s, u"existing"_s, kRomFiles},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.saveDir.toStdString());
        const CliResult result = audit(c.audit, tree.filePath(c.saveDir));
        EXPECT_EQ(result.exitCode, 0) << result.err.toStdString();
        EXPECT_TRUE(result.out.startsWith("Found ")) << "the output is printed too";
        for (const auto &[name, bytes] : c.files) {
            EXPECT_EQ(tree.read(c.saveDir + u'/' + name).toStdString(), bytes.toStdString()) << name.toStdString();
        }
    }
    EXPECT_EQ(QDir(tree.filePath(u"existing"_s)).entryList(QDir::Files | QDir::Hidden).size(), 4)
        << "only the report files are added";
    EXPECT_EQ(tree.read(u"existing/notes.txt"_s), "kept");
}

TEST_F(Save, UnwritableTargetGivesStatus4WithOutputStillPrinted)
{
    tree.file(u"plain-file"_s, "x");
    const QString text =
        QString::fromUtf8(runCli({u"--no-history"_s, u"-d"_s, tree.filePath(u"z"_s), u"roms"_s}, config.path()).out);
    ASSERT_FALSE(text.isEmpty());
    for (const QString &target : {u"plain-file"_s, u"plain-file/sub"_s}) {
        SCOPED_TRACE(target.toStdString());
        const CliResult result = audit(u"roms"_s, tree.filePath(target));
        EXPECT_EQ(result.exitCode, 4);
        EXPECT_EQ(QString::fromUtf8(result.out), text);
        for (const auto &file : kRomFiles) {
            EXPECT_TRUE(result.err.contains("Error: " + file.first.toUtf8() + " was not written to"))
                << result.err.toStdString();
        }
        EXPECT_TRUE(result.err.contains("not a directory")) << result.err.toStdString();
    }
    EXPECT_EQ(tree.read(u"plain-file"_s), "x");
}

// One file that cannot be replaced does not stop the others.
TEST_F(Save, OneFailedFileIsNamedAndTheOthersAreWritten)
{
    tree.file(u"out/missing_roms.txt/in-the-way"_s);
    const CliResult result = audit(u"roms"_s, tree.filePath(u"out"_s), {u"-q"_s});
    EXPECT_EQ(result.exitCode, 4);
    EXPECT_TRUE(
        result.out.startsWith(resultBytes(headers::kValidRoms, {"abe.zip", "RaceOne.zip", "\xc3\x89lan.zip"}, "\n")));
    EXPECT_TRUE(result.err.startsWith("Error: missing_roms.txt was not written to")) << result.err.toStdString();
    EXPECT_EQ(result.err.count('\n'), 1) << result.err.toStdString();
    EXPECT_EQ(tree.read(u"out/valid_roms.txt"_s), kRomFiles[0].second);
    EXPECT_EQ(tree.read(u"out/unknown_roms.txt"_s), kRomFiles[2].second);
}

TEST_F(Save, ReadOnlyDirectoryGivesStatus4)
{
    // Permission bits do not stop root: as root, the command runs as nobody, who may read the tree
    // (its files are 0644) but not write into the locked folder.
    const auto dropRoot = [] {
        if (::geteuid() == 0 && (::setgroups(0, nullptr) != 0 || ::setresgid(65534, 65534, 65534) != 0 ||
                                 ::setresuid(65534, 65534, 65534) != 0))
            ::_exit(99);
    };
    ASSERT_TRUE(QFile::setPermissions(tree.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner |
                                                       QFile::ReadOther | QFile::ExeOther));
    ASSERT_TRUE(QFile::setPermissions(config.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner |
                                                         QFile::ReadOther | QFile::ExeOther));
    tree.dir(u"locked"_s);
    ASSERT_TRUE(QFile::setPermissions(tree.filePath(u"locked"_s),
                                      QFile::ReadOwner | QFile::ExeOwner | QFile::ReadOther | QFile::ExeOther));
    const CliResult result = audit(u"videos"_s, tree.filePath(u"locked/sub"_s), {}, dropRoot);
    const CliResult direct = audit(u"videos"_s, tree.filePath(u"locked"_s), {}, dropRoot);
    QFile::setPermissions(tree.filePath(u"locked"_s), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    for (const CliResult &r : {result, direct}) {
        EXPECT_EQ(r.exitCode, 4);
        EXPECT_TRUE(r.out.startsWith(resultBytes(headers::kValidVideos, {"abd.xmv"}, "\n")));
        EXPECT_EQ(r.err.count("was not written to"), 4) << r.err.toStdString();
    }
}

// A save that the disk did not confirm failed; one that replaces a report keeps the report's mode.
TEST_F(Save, AnUnconfirmedWriteFailsAndAReplacedReportKeepsItsMode)
{
    const auto failingSync = [] {
        const sock_filter filter[] = {
            BPF_STMT(BPF_LD | BPF_W | BPF_ABS, offsetof(seccomp_data, nr)),
            BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, __NR_fdatasync, 0, 1),
            BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ERRNO | EIO),
            BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ALLOW),
        };
        const sock_fprog program{static_cast<unsigned short>(std::size(filter)), const_cast<sock_filter *>(filter)};
        if (::prctl(PR_SET_NO_NEW_PRIVS, 1, 0, 0, 0) != 0 ||
            ::prctl(PR_SET_SECCOMP, SECCOMP_MODE_FILTER, &program) != 0)
            ::_exit(98);
    };
    const CliResult unsynced = audit(u"roms"_s, tree.filePath(u"out"_s), {u"-q"_s}, failingSync);
    if (unsynced.exitCode == 98)
        GTEST_SKIP() << "seccomp filters are not allowed here";
    EXPECT_EQ(unsynced.exitCode, 4);
    EXPECT_EQ(unsynced.err.count("was not written to"), 3) << unsynced.err.toStdString();

    const QString report = tree.filePath(u"out/valid_roms.txt"_s);
    ASSERT_EQ(audit(u"roms"_s, tree.filePath(u"out"_s), {u"-q"_s}).exitCode, 0);
    for (const mode_t mode : {0644, 0604}) {
        ASSERT_EQ(::chmod(QFile::encodeName(report).constData(), mode), 0);
        ASSERT_EQ(audit(u"roms"_s, tree.filePath(u"out"_s), {u"-q"_s}).exitCode, 0);
        struct stat st = {};
        ASSERT_EQ(::stat(QFile::encodeName(report).constData(), &st), 0);
        EXPECT_EQ(st.st_mode & 07777, mode);
    }
}

} // namespace
} // namespace zelvora::test
