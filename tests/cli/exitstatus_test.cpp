#include "clitestsupport.h"
#include "support/sanitized.h"

#include <QDir>
#include <QFileInfo>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <unistd.h>

using namespace Qt::StringLiterals;

namespace zelvora::test {
namespace {

class ExitStatus : public ::testing::Test
{
protected:
    TempTree config;
    TempTree tree;
    QString dir = tree.path();
};

TEST_F(ExitStatus, UsageErrorsPrintTheMessageAndTheUsageOnStderr)
{
    makeSampleZelvora(tree);
    struct Case
    {
        QStringList arguments;
        const char *message;
    };
    const Case cases[] = {
        {{u"-d"_s, dir}, "roms, videos or all"},
        {{u"-d"_s, dir, u"movies"_s}, "unknown audit \"movies\""},
        {{u"-d"_s, dir, u"roms"_s, u"videos"_s}, "unexpected argument \"videos\""},
        {{u"-d"_s, dir, u"--bogus"_s, u"roms"_s}, "bogus"},
        {{u"-d"_s, dir, u"-x"_s, u"roms"_s}, "'x'"},
        {{u"roms"_s, u"-d"_s}, "Missing value after '-d'"},
        {{u"-d"_s, dir, u"-f"_s, u"xml"_s, u"roms"_s}, "unknown format \"xml\""},
        {{u"-d"_s, dir, u"--format=JSON"_s, u"roms"_s}, "unknown format \"JSON\""},
        {{u"-d"_s, dir, u"-a"_s, u"roms"_s}, "videos audit only"},
        {{u"-d"_s, dir, u"--table"_s, dir + u"/t.csv"_s, u"roms"_s}, "all audit only"},
        {{u"-d"_s, dir, u"--verify-all"_s, u"videos"_s}, "roms and all audits only"},
        {{u"-d"_s, dir, u"--rename"_s, u"all"_s, u"roms"_s}, "needs -m"},
        {{u"-d"_s, u""_s, u"roms"_s}, "non-empty path"},
        {{u"-d"_s, dir, u"-s"_s, u""_s, u"roms"_s}, "non-empty path"},
        // No -d and nothing saved by the desktop application.
        {{u"roms"_s}, "no Zelvora directory"},
        {{u"-l"_s, dir + u'/' + QString::fromUtf8(kRomsListName), u"videos"_s}, "no Zelvora directory"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.arguments.join(u' ').toStdString());
        const CliResult result = runCli(c.arguments, config.path());
        EXPECT_EQ(result.exitCode, 2);
        EXPECT_TRUE(result.out.isEmpty()) << result.out.toStdString();
        EXPECT_TRUE(result.err.startsWith("Error: ")) << result.err.toStdString();
        EXPECT_TRUE(result.err.contains(c.message)) << result.err.toStdString();
        EXPECT_TRUE(result.err.contains("\nUsage: zelvora-auditor-cli [options] roms|videos|all\n"));
    }
}

// What the system does to a write (a reader that went away, a file size limit) is a failed write with
// its status and message, never a process killed by a signal.
TEST_F(ExitStatus, AClosedPipeAndAFileSizeLimitAreFailedWrites)
{
    makeSampleZelvora(tree);
    const CliResult closedPipe = runCli({u"-d"_s, dir, u"roms"_s}, config.path(), [] {
        int ends[2] = {-1, -1};
        if (::pipe(ends) != 0 || ::dup2(ends[1], STDOUT_FILENO) < 0)
            ::_exit(99);
        ::close(ends[0]);
    });
    EXPECT_EQ(closedPipe.exitCode, 1) << closedPipe.err.toStdString();
    EXPECT_TRUE(closedPipe.err.startsWith("Error: can't write the output: ")) << closedPipe.err.toStdString();

    QString list;
    for (int i = 0; i < 100; ++i)
        list += u"missing game number %1\n"_s.arg(i);
    tree.file(QString::fromUtf8(kRomsListName), list.toUtf8());
    const QString save = tree.filePath(u"reports"_s);
    const CliResult limited = runCli({u"--no-history"_s, u"-d"_s, dir, u"-s"_s, save, u"roms"_s}, config.path(), [] {
        const rlimit limit{512, 512};
        if (::setrlimit(RLIMIT_FSIZE, &limit) != 0)
            ::_exit(99);
    });
    EXPECT_EQ(limited.exitCode, 4) << limited.err.toStdString();
    EXPECT_TRUE(limited.err.contains("Error: missing_roms.txt was not written to")) << limited.err.toStdString();
    EXPECT_TRUE(QFileInfo::exists(save + u"/valid_roms.txt"_s)) << "a file within the limit is still written";
    EXPECT_EQ(QDir(save).entryList(QDir::Hidden | QDir::Files),
              QStringList({u"unknown_roms.txt"_s, u"valid_roms.txt"_s}))
        << "no temporary file is left";
}

// No file the run writes may be one it reads: the list, or anything in the folders it walks, however
// the path reaches it.
TEST_F(ExitStatus, OutputsThatWouldReplaceTheAuditsInputsAreUsageErrors)
{
    makeSampleZelvora(tree);
    const QString list = tree.filePath(QString::fromUtf8(kRomsListName));
    tree.file(u"own list/valid_roms.txt"_s, "abe\n");
    tree.symlink(dir + u"/roms"_s, u"into-roms"_s);
    struct Case
    {
        QStringList arguments;
        const char *message;
    };
    const Case cases[] = {
        {{u"--table"_s, list, u"all"_s}, "is the supported roms list"},
        {{u"--table"_s, dir + u"/roms/abe.zip"_s, u"all"_s}, "lies inside the audited folder \"roms\""},
        {{u"--table"_s, dir + u"/videos/../videos/new/t.csv"_s, u"all"_s}, "inside the audited folder \"videos\""},
        {{u"--table"_s, dir + u"/x/"_s, u"all"_s}, "needs a file name"},
        {{u"-s"_s, dir + u"/into-roms/reports"_s, u"roms"_s}, "inside the audited folder \"roms\""},
        {{u"-l"_s, dir + u"/own list/valid_roms.txt"_s, u"-s"_s, dir + u"/own list"_s, u"roms"_s},
         "is the supported roms list"},
    };
    const QByteArray listBefore = tree.read(QString::fromUtf8(kRomsListName));
    for (const Case &c : cases) {
        SCOPED_TRACE(c.arguments.join(u' ').toStdString());
        const CliResult result = runCli(QStringList{u"-d"_s, dir} + c.arguments, config.path());
        EXPECT_EQ(result.exitCode, 2);
        EXPECT_TRUE(result.err.contains(c.message)) << result.err.toStdString();
    }
    EXPECT_EQ(tree.read(QString::fromUtf8(kRomsListName)), listBefore);
    EXPECT_EQ(tree.read(u"own list/valid_roms.txt"_s), "abe\n");
    EXPECT_FALSE(QFileInfo::exists(dir + u"/roms/reports"_s));
    EXPECT_EQ(runCli({u"-d"_s, dir, u"--table"_s, dir + u"/table.csv"_s, u"all"_s}, config.path()).exitCode, 0);
}

TEST_F(ExitStatus, HelpAndVersionGoToStdout)
{
    const CliResult help = runCli({u"--help"_s}, config.path());
    EXPECT_EQ(help.exitCode, 0);
    EXPECT_TRUE(help.out.startsWith("Usage: zelvora-auditor-cli [options] roms|videos|all\n"));
    EXPECT_TRUE(help.err.isEmpty());

    const CliResult version = runCli({u"--version"_s}, config.path());
    EXPECT_EQ(version.exitCode, 0);
    EXPECT_TRUE(version.out.startsWith("zelvora-auditor-cli ")) << version.out.toStdString();
}

// Every exit status the command can give is listed in its help, 1 and 6 included.
TEST_F(ExitStatus, HelpListsEveryExitStatus)
{
    const QString help = QString::fromUtf8(runCli({u"--help"_s}, config.path()).out).simplified();
    for (const QString &status :
         {u"0 the audit ran"_s, u"1 standard output could not be written"_s, u"2 usage error"_s,
          u"3 the supported roms list cannot be used"_s, u"4 report files could not be written"_s,
          u"5 the folders could not be read completely"_s, u"6 out of memory"_s}) {
        EXPECT_TRUE(help.contains(status)) << status.toStdString();
    }
}

// Out of memory is an error with a status of its own, not an abort. The limit on the address space is
// found for this build: just below what the audit of a long list needs, so that it runs out while
// auditing, not while starting.
TEST_F(ExitStatus, OutOfMemoryGivesStatus6AndAClearError)
{
#ifdef ZELVORA_SANITIZED
    GTEST_SKIP() << "the sanitizers reserve more address space than any limit this test sets";
#endif
    QByteArray list;
    for (int i = 0; i < 150'000; ++i)
        list += "game" + QByteArray::number(i) + '\n';
    tree.file(QString::fromUtf8(kRomsListName), list);
    const auto auditWithin = [&](rlim_t megabytes) {
        return runCli({u"-q"_s, u"-d"_s, dir, u"roms"_s}, config.path(), [megabytes] {
            const rlimit limit{megabytes << 20, megabytes << 20};
            if (::setrlimit(RLIMIT_AS, &limit) != 0)
                ::_exit(99);
        });
    };
    rlim_t fails = 16;
    rlim_t runs = 4096;
    ASSERT_EQ(auditWithin(runs).exitCode, 0);
    while (runs - fails > 1) {
        const rlim_t middle = (fails + runs) / 2;
        (auditWithin(middle).exitCode == 0 ? runs : fails) = middle;
    }
    // Where the need lies varies a little from run to run (threads get memory of their own or not):
    // below it, the first run that fails must fail as out of memory.
    for (rlim_t megabytes = runs; megabytes > 16; megabytes -= 4) {
        const CliResult result = auditWithin(megabytes);
        if (result.exitCode == 0)
            continue;
        EXPECT_EQ(result.exitCode, 6) << "within " << megabytes << " MiB: " << result.err.toStdString();
        EXPECT_EQ(result.err.toStdString(), "Error: out of memory.\n");
        return;
    }
    ADD_FAILURE() << "the audit never ran out of memory";
}

// A walk that could not open every folder gives no result that looks complete: with a few handles the
// audit still finds every archive; with almost none it names what it could not read and exits with 5.
TEST_F(ExitStatus, FoldersThatCouldNotBeReadGiveStatus5AndNoList)
{
#ifdef ZELVORA_SANITIZED
    GTEST_SKIP() << "the sanitizers need file handles of their own below the limits this test sets";
#endif
    QString chain = u"roms"_s;
    for (int i = 0; i < 120; ++i, chain += u"/c"_s)
        tree.file(u"%1/side%2/level%2.zip"_s.arg(chain).arg(i));
    tree.file(QString::fromUtf8(kRomsListName), "level0\n");
    const auto auditWith = [&](rlim_t handles) {
        return runCli({u"-q"_s, u"-d"_s, dir, u"-l"_s, tree.filePath(QString::fromUtf8(kRomsListName)), u"roms"_s},
                      config.path(), [handles] {
                          const rlimit limit{handles, handles};
                          if (::setrlimit(RLIMIT_NOFILE, &limit) != 0)
                              ::_exit(99);
                      });
    };
    // From plenty of handles down to almost none: a whole result, or status 5 and no list (or, with
    // too few to read the list at all, status 3); never a result with archives missing. Where the list
    // reader and the walkers meet at the limit depends on timing, so the low limits run a few times.
    bool sawIncomplete = false;
    for (rlim_t handles = 24; handles >= 4; --handles) {
        SCOPED_TRACE(handles);
        for (int attempt = 0; attempt < (handles <= 8 ? 3 : 1); ++attempt) {
            const CliResult result = auditWith(handles);
            if (result.exitCode == 127 && result.err.contains("error while loading shared libraries"))
                break; // too few handles to start at all, with what the test runner passes on
            if (result.exitCode == 0) {
                EXPECT_TRUE(result.out.contains("Found 119 unknown archives:")) << result.out.left(300).toStdString();
            } else if (result.exitCode == 5) {
                sawIncomplete = true;
                EXPECT_TRUE(result.out.isEmpty());
                EXPECT_TRUE(
                    result.err.contains("Error: the folders could not be read completely; no result is given.\n"))
                    << result.err.toStdString();
            } else {
                EXPECT_EQ(result.exitCode, 3) << result.err.toStdString();
            }
        }
    }
    EXPECT_TRUE(sawIncomplete) << "no limit left the walk short of handles";
}

// Wherever the window would show its alert, the command prints its line and no list.
TEST_F(ExitStatus, UnusableRomsListGivesStatus3AndNoOutput)
{
    makeSampleZelvora(tree, u"nolist"_s, false);
    makeSampleZelvora(tree, u"full"_s);
    tree.file(u"big.txt"_s, QByteArray(2'097'153, 'a'));
    tree.dir(u"folder.txt"_s);
    tree.symlink(tree.filePath(u"full/"_s + QString::fromUtf8(kRomsListName)), u"link.txt"_s);
    const QString noList = tree.filePath(u"nolist"_s);
    const QString full = tree.filePath(u"full"_s);
    struct Case
    {
        QStringList arguments;
        const char *hint;
    };
    const Case cases[] = {
        {{u"-d"_s, noList, u"roms"_s}, "no file named"},
        {{u"-d"_s, noList, u"videos"_s}, "no file named"},
        {{u"-d"_s, noList, u"-f"_s, u"json"_s, u"-s"_s, tree.filePath(u"out"_s), u"roms"_s}, "no file named"},
        {{u"-d"_s, full, u"-l"_s, tree.filePath(u"big.txt"_s), u"roms"_s}, "big.txt\": over 2 MiB)\n"},
        {{u"-d"_s, full, u"-l"_s, tree.filePath(u"folder.txt"_s), u"videos"_s}, "folder.txt\": not a regular file)\n"},
        {{u"-d"_s, full, u"-l"_s, tree.filePath(u"link.txt"_s), u"roms"_s}, "link.txt\": not a regular file)\n"},
        {{u"-d"_s, full, u"-l"_s, tree.filePath(u"absent.txt"_s), u"roms"_s}, "absent.txt\": missing)\n"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.arguments.join(u' ').toStdString());
        const CliResult result = runCli(c.arguments, config.path());
        EXPECT_EQ(result.exitCode, 3);
        EXPECT_TRUE(result.out.isEmpty()) << result.out.toStdString();
        EXPECT_TRUE(result.err.startsWith(kRomsListError)) << result.err.toStdString();
        EXPECT_TRUE(result.err.contains(c.hint)) << result.err.toStdString();
    }
    EXPECT_FALSE(QFileInfo::exists(tree.filePath(u"out"_s))) << "nothing is saved without results";
}

} // namespace
} // namespace zelvora::test
