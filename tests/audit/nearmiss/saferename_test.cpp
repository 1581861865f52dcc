// Safe renames: what a rename may never do (replace a file, leave its folder, follow a link), what the
// journal keeps (every name byte for byte, the record before the rename) and what undo puts back or
// refuses; and journals that must not be trusted.

#include "audit/names/filenames.h"
#include "audit/nearmiss/saferename.h"
#include "support/temptree.h"
#include "support/unprivileged.h"

#include <QFile>
#include <csignal>
#include <cstddef>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <functional>
#include <gtest/gtest.h>
#include <linux/filter.h>
#include <linux/seccomp.h>
#include <map>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

using namespace Qt::StringLiterals;

namespace zelvora::test {
namespace {

using Files = std::map<QByteArray, QByteArray>; // path below the Zelvora directory -> content

// Every entry below `path`, by raw names: files with their content, links with their target.
// NOLINTNEXTLINE(misc-no-recursion): one level per folder
void snapshot(const QByteArray &path, const QByteArray &relative, Files &files)
{
    DIR *dir = ::opendir(path.constData());
    if (!dir)
        return;
    while (const dirent *e = ::readdir(dir)) {
        if (std::strcmp(e->d_name, ".") == 0 || std::strcmp(e->d_name, "..") == 0)
            continue;
        const QByteArray full = path + '/' + e->d_name;
        const QByteArray rel = relative.isEmpty() ? QByteArray(e->d_name) : relative + '/' + e->d_name;
        struct stat st = {};
        ::lstat(full.constData(), &st);
        if (S_ISDIR(st.st_mode)) {
            snapshot(full, rel, files);
        } else if (S_ISLNK(st.st_mode)) {
            char target[4096] = {};
            files[rel] = "-> " + QByteArray(target, ::readlink(full.constData(), target, sizeof target));
        } else {
            // By its bytes: QFile would name another file when the name is not UTF-8.
            const int fd = ::open(full.constData(), O_RDONLY | O_CLOEXEC);
            char content[256] = {};
            files[rel] = fd < 0 ? "unreadable" : QByteArray(content, ::read(fd, content, sizeof content));
            if (fd >= 0)
                ::close(fd);
        }
    }
    ::closedir(dir);
}

Files snapshot(const QString &dir)
{
    Files files;
    snapshot(encodeFileName(dir), {}, files);
    return files;
}

// What the file system under a case lacks.
enum class Lacks { Nothing, NoReplaceFlag, NoReplaceFlagAndLinks };

// Makes renameat2 fail as on a file system without its flags (EINVAL), and linkat as on one without
// links (EPERM), for the rest of the calling process. False when the system does not allow it.
bool imitate(Lacks lacks)
{
    std::vector<sock_filter> filter = {
        BPF_STMT(BPF_LD | BPF_W | BPF_ABS, offsetof(seccomp_data, nr)),
        BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, __NR_renameat2, 0, 1),
        BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ERRNO | EINVAL),
    };
    if (lacks == Lacks::NoReplaceFlagAndLinks) {
        filter.push_back(BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, __NR_linkat, 0, 1));
        filter.push_back(BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ERRNO | EPERM));
    }
    filter.push_back(BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ALLOW));
    const sock_fprog program{static_cast<unsigned short>(filter.size()), filter.data()};
    return ::prctl(PR_SET_NO_NEW_PRIVS, 1, 0, 0, 0) == 0 && ::prctl(PR_SET_SECCOMP, SECCOMP_MODE_FILTER, &program) == 0;
}

struct Case
{
    const char *what;
    Files before;
    std::vector<RenameRequest> requests;
    std::vector<const char *> renamed; // per request: "" when renamed, else part of the reason
    Files afterRename;
    int recorded; // renames in the journal: every one tried, whatever came of it
    std::function<void(const QString &zelvoraDir)> meanwhile; // between the renames and undo
    std::vector<const char *> undone; // per recorded rename, latest first: "" or part of the reason
    Files afterUndo;                  // empty: as before
    const char *readOnlyFolder;       // made read-only, and the renames run as an unprivileged user
    int journalRoom;                  // > 0: bytes the journal may grow by after its head
    Lacks lacks;                      // while renaming; undo runs on the real file system
};

// The reasons of a run's outcomes, one per line.
QByteArray reasons(const RenameReport &report)
{
    QByteArray out = report.error.toUtf8();
    for (const RenameOutcome &outcome : report.outcomes)
        out += '\n' + outcome.error.toUtf8();
    return out;
}

TEST(SafeRename, NeverReplacesStaysInItsFolderAndUndoes)
{
    const QByteArray oddOld = "caf\xe9\nold.zip";            // Latin-1 byte and a line feed
    const QByteArray oddNew = "Caf\xc3\xa9 new%20 \x7f.zip"; // UTF-8, a '%', a space and DEL
    const Case cases[] = {
        {"renames in its folder and undo puts it back",
         {{"roms/a/Game v1.1.zip", "game"}, {"roms/Game v1.1.zip", "other"}},
         {{u"roms/a"_s, u"Game v1.1.zip"_s, u"Game v1.zip"_s}},
         {""},
         {{"roms/a/Game v1.zip", "game"}, {"roms/Game v1.1.zip", "other"}},
         1,
         nullptr,
         {""},
         {},
         nullptr,
         0,
         Lacks::Nothing},
        {"an existing file is never replaced, yet the rename was journalled before it was tried",
         {{"roms/a.zip", "A"}, {"roms/b.zip", "B"}},
         {{u"roms"_s, u"a.zip"_s, u"b.zip"_s}},
         {"File exists"},
         {{"roms/a.zip", "A"}, {"roms/b.zip", "B"}},
         1,
         nullptr,
         {},
         {},
         nullptr,
         0,
         Lacks::Nothing},
        {"a vanished file fails alone; the others still happen",
         {{"roms/b.zip", "B"}, {"top.zip", "T"}},
         {{u"roms"_s, u"gone.zip"_s, u"x.zip"_s}, {u""_s, u"top.zip"_s, u"Top.zip"_s}},
         {"No such file", ""},
         {{"roms/b.zip", "B"}, {"Top.zip", "T"}},
         1,
         nullptr,
         {""},
         {},
         nullptr,
         0,
         Lacks::Nothing},
        {"names and folders that would leave the folder are refused",
         {{"roms/a.zip", "A"}, {"roms/sub/c.zip", "C"}},
         {{u"roms"_s, u"a.zip"_s, u"sub/a.zip"_s},
          {u"roms"_s, u"a.zip"_s, u".."_s},
          {u"roms/sub"_s, u"../a.zip"_s, u"c.zip"_s},
          {u"roms/../roms"_s, u"a.zip"_s, u"d.zip"_s},
          {u"/roms"_s, u"a.zip"_s, u"d.zip"_s}},
         {"may not", "may not", "may not", "plain path", "plain path"},
         {{"roms/a.zip", "A"}, {"roms/sub/c.zip", "C"}},
         0,
         nullptr,
         {},
         {},
         nullptr,
         0,
         Lacks::Nothing},
        {"a link below a rom folder is not followed",
         {{"roms/real/a.zip", "A"}, {"roms/link", "-> real"}},
         {{u"roms/link"_s, u"a.zip"_s, u"b.zip"_s}},
         {"Not a directory"},
         {{"roms/real/a.zip", "A"}, {"roms/link", "-> real"}},
         0,
         nullptr,
         {},
         {},
         nullptr,
         0,
         Lacks::Nothing},
        {"any bytes round-trip through the journal",
         {{"roms/" + oddOld, "odd"}},
         {{u"roms"_s, decodeFileName(oddOld), decodeFileName(oddNew)}},
         {""},
         {{"roms/" + oddNew, "odd"}},
         1,
         nullptr,
         {""},
         {},
         nullptr,
         0,
         Lacks::Nothing},
        {"undo refuses a taken old name and a vanished file, latest first",
         {{"roms/a.zip", "A"}, {"roms/b.zip", "B"}},
         {{u"roms"_s, u"a.zip"_s, u"A.zip"_s}, {u"roms"_s, u"b.zip"_s, u"B.zip"_s}},
         {"", ""},
         {{"roms/A.zip", "A"}, {"roms/B.zip", "B"}},
         2,
         [](const QString &dir) {
             QFile(dir + u"/roms/B.zip"_s).remove();
             QFile a(dir + u"/roms/a.zip"_s);
             ASSERT_TRUE(a.open(QIODevice::WriteOnly));
             a.write("new");
         },
         {"no longer there", "old name is taken"},
         {{"roms/a.zip", "new"}, {"roms/A.zip", "A"}},
         nullptr,
         0,
         Lacks::Nothing},
        {"a file already put back (the same file under its old name) counts as back",
         {{"roms/a.zip", "A"}, {"roms/b.zip", "B"}},
         {{u"roms"_s, u"a.zip"_s, u"A.zip"_s}, {u"roms"_s, u"b.zip"_s, u"B.zip"_s}},
         {"", ""},
         {{"roms/A.zip", "A"}, {"roms/B.zip", "B"}},
         2,
         [](const QString &dir) {
             ASSERT_TRUE(QFile::rename(dir + u"/roms/B.zip"_s, dir + u"/roms/b.zip"_s));
             // A new file under the old name is not the one renamed.
             ASSERT_TRUE(QFile::rename(dir + u"/roms/A.zip"_s, dir + u"/roms/elsewhere.zip"_s));
             QFile a(dir + u"/roms/a.zip"_s);
             ASSERT_TRUE(a.open(QIODevice::WriteOnly));
             a.write("new");
         },
         {"", "put back already?"},
         {{"roms/a.zip", "new"}, {"roms/b.zip", "B"}, {"roms/elsewhere.zip", "A"}},
         nullptr,
         0,
         Lacks::Nothing},
        {"a journal that cannot be written stops the renames before they happen",
         {{"roms/a.zip", "A"}, {"roms/b.zip", "B"}, {"roms/c.zip", "C"}},
         {{u"roms"_s, u"a.zip"_s, u"A.zip"_s},
          {u"roms"_s, u"b.zip"_s, u"B.zip"_s},
          {u"roms"_s, u"c.zip"_s, u"C.zip"_s}},
         {"", "journal could not be written", "not tried"},
         {{"roms/A.zip", "A"}, {"roms/b.zip", "B"}, {"roms/c.zip", "C"}},
         1,
         nullptr,
         {""},
         {},
         nullptr,
         // the first record and its outcome, then part of the second record
         int(sizeof "rename roms a.zip A.zip\nrenamed\n") - 1 + 5,
         Lacks::Nothing},
        {"without RENAME_NOREPLACE a new link stands in, which never replaces either",
         {{"roms/a.zip", "A"}, {"roms/b.zip", "B"}, {"roms/c.zip", "C"}},
         {{u"roms"_s, u"a.zip"_s, u"b.zip"_s}, {u"roms"_s, u"c.zip"_s, u"d.zip"_s}},
         {"File exists", ""},
         {{"roms/a.zip", "A"}, {"roms/b.zip", "B"}, {"roms/d.zip", "C"}},
         2,
         nullptr,
         {""},
         {},
         nullptr,
         0,
         Lacks::NoReplaceFlag},
        {"without RENAME_NOREPLACE nor links the new name is claimed first, which never replaces either",
         {{"roms/a.zip", "A"}, {"roms/b.zip", "B"}, {"roms/c.zip", "C"}},
         {{u"roms"_s, u"a.zip"_s, u"b.zip"_s}, {u"roms"_s, u"c.zip"_s, u"d.zip"_s}},
         {"File exists", ""},
         {{"roms/a.zip", "A"}, {"roms/b.zip", "B"}, {"roms/d.zip", "C"}},
         2,
         nullptr,
         {""},
         {},
         nullptr,
         0,
         Lacks::NoReplaceFlagAndLinks},
        {"a read-only folder stops an unprivileged user",
         {{"roms/ro/a.zip", "A"}},
         {{u"roms/ro"_s, u"a.zip"_s, u"b.zip"_s}},
         {"Permission denied"},
         {{"roms/ro/a.zip", "A"}},
         1,
         nullptr,
         {},
         {},
         "roms/ro",
         0,
         Lacks::Nothing},
    };
    QStringList skipped;
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        TempTree tree;
        const QString dir = tree.filePath(u"z"_s);
        tree.dir(u"z"_s);
        for (const auto &[path, content] : c.before) {
            if (content.startsWith("-> "))
                tree.symlink(QString::fromUtf8(content.mid(3)), u"z/"_s + QString::fromUtf8(path));
            else
                tree.rawFile("z/" + path, content);
        }
        tree.dir(u"j"_s);
        const QString journal = tree.filePath(u"j/renames.journal"_s);

        QByteArray got;
        if (c.readOnlyFolder) {
            const QString folder = dir + u'/' + QString::fromUtf8(c.readOnlyFolder);
            openToOthers(tree.path(), folder);
            ASSERT_EQ(::chmod(QFile::encodeName(tree.filePath(u"j"_s)).constData(), 0777), 0);
            ASSERT_EQ(::chmod(QFile::encodeName(folder).constData(), 0555), 0);
            got = runUnprivileged([&] { return reasons(renameSafely(dir, c.requests, journal)); });
            if (got == "child failed") {
                skipped.append(u"cannot run as an unprivileged user"_s);
                continue;
            }
        } else if (c.journalRoom > 0 || c.lacks != Lacks::Nothing) {
            // The first record also holds its file's identity, " <device>:<inode>".
            struct stat first = {};
            const RenameRequest &r = c.requests.front();
            ::stat(QFile::encodeName(dir + u'/' + r.folder + u'/' + r.oldName).constData(), &first);
            const qsizetype identity = 1 + QByteArray::number(quint64(first.st_dev)).size() + 1 +
                                       QByteArray::number(quint64(first.st_ino)).size();
            const qsizetype head = qsizetype(sizeof "zelvora-auditor rename journal 1\ndirectory \n") - 1 +
                                   QFile::encodeName(dir).size() + identity;
            got = runInChild([&]() -> QByteArray {
                if (c.journalRoom > 0) {
                    // Writes past the limit fail (EFBIG) instead of ending the process.
                    ::signal(SIGXFSZ, SIG_IGN);
                    const rlimit limit{rlim_t(head + c.journalRoom), rlim_t(head + c.journalRoom)};
                    ::setrlimit(RLIMIT_FSIZE, &limit);
                }
                if (c.lacks != Lacks::Nothing && !imitate(c.lacks))
                    return "no seccomp";
                return reasons(renameSafely(dir, c.requests, journal));
            });
            if (got == "no seccomp") {
                skipped.append(u"cannot imitate a file system without RENAME_NOREPLACE"_s);
                continue;
            }
        } else {
            got = reasons(renameSafely(dir, c.requests, journal));
        }
        const QList<QByteArray> lines = got.split('\n');
        ASSERT_EQ(lines.size(), qsizetype(c.requests.size() + 1)) << got.toStdString();
        EXPECT_EQ(lines[0], "") << "journal: " << lines[0].toStdString();
        for (std::size_t i = 0; i < c.requests.size(); ++i) {
            SCOPED_TRACE(i);
            const QByteArray &reason = lines[qsizetype(i + 1)];
            if (*c.renamed[i] == '\0')
                EXPECT_EQ(reason, "");
            else
                EXPECT_TRUE(reason.contains(c.renamed[i])) << reason.toStdString();
        }
        EXPECT_EQ(snapshot(dir), c.afterRename);

        // Recorded before it was tried: even a rename that failed for want of a free name is in it.
        QFile journalFile(journal);
        ASSERT_TRUE(journalFile.open(QIODevice::ReadOnly));
        EXPECT_EQ(journalFile.permissions() & (QFile::ReadGroup | QFile::ReadOther), 0);
        const QByteArray journalText = journalFile.readAll();
        EXPECT_EQ(journalText.count("\nrename "), c.recorded) << journalText.toStdString();

        if (c.meanwhile)
            c.meanwhile(dir);
        if (c.readOnlyFolder) {
            ::chmod(QFile::encodeName(dir + u'/' + QString::fromUtf8(c.readOnlyFolder)).constData(), 0755);
            // Undone by the user the journal belongs to: no one follows another user's journal.
            ASSERT_EQ(::chown(QFile::encodeName(journal).constData(), ::geteuid(), ::getegid()), 0);
        }
        const UndoReport undo = undoRenames(journal);
        ASSERT_EQ(undo.error, QString());
        EXPECT_EQ(encodeFileName(undo.zelvoraDir), encodeFileName(dir));
        ASSERT_EQ(undo.outcomes.size(), c.undone.size());
        for (std::size_t i = 0; i < c.undone.size(); ++i) {
            SCOPED_TRACE(i);
            EXPECT_TRUE(undo.outcomes[i].error.contains(QString::fromUtf8(c.undone[i])))
                << undo.outcomes[i].error.toStdString();
            EXPECT_EQ(*c.undone[i] == '\0', undo.outcomes[i].isDone());
        }
        EXPECT_EQ(snapshot(dir), c.afterUndo.empty() ? c.before : c.afterUndo);
    }
    if (!skipped.isEmpty())
        GTEST_SKIP() << skipped.join(u"; "_s).toStdString();
}

TEST(SafeRename, JournalsNamedByTimeAndDamagedOnesRefused)
{
    TempTree tree;
    tree.file(u"z/roms/a b.zip"_s, "A");
    qputenv("XDG_DATA_HOME", QFile::encodeName(tree.filePath(u"data"_s)));
    EXPECT_FALSE(latestJournal());
    const RenameReport first = renameSafely(tree.filePath(u"z"_s), {{u"roms"_s, u"a b.zip"_s, u"ab.zip"_s}});
    const RenameReport second = renameSafely(tree.filePath(u"z"_s), {{u"roms"_s, u"ab.zip"_s, u"c.zip"_s}});
    qunsetenv("XDG_DATA_HOME");
    ASSERT_TRUE(first.allDone()) << first.error.toStdString();
    ASSERT_TRUE(second.allDone()) << second.error.toStdString();
    EXPECT_TRUE(first.journalPath.startsWith(tree.filePath(u"data/zelvora/zelvora-auditor/renames/"_s)));
    EXPECT_NE(first.journalPath, second.journalPath);
    qputenv("XDG_DATA_HOME", QFile::encodeName(tree.filePath(u"data"_s)));
    EXPECT_EQ(latestJournal(), second.journalPath);
    qunsetenv("XDG_DATA_HOME");

    QFile file(first.journalPath);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray good = file.readAll();
    const QByteArray head = good.left(good.indexOf("\nrename ") + 1);
    ASSERT_TRUE(good.contains("\nrename roms a%20b.zip ab.zip ") && good.endsWith("\nrenamed\n")) << good.toStdString();

    // A journal that cannot be trusted whole is refused and touches nothing.
    const struct
    {
        QByteArray text;
        const char *error; // nullptr: accepted
    } journals[] = {
        {head + "rename roms a%20b.zip ab.zip\nrena", nullptr}, // the last line cut short by a crash
        {head + "rename roms a%20b.zip ab", nullptr},
        {"", "not a rename journal"},
        {"hello\n", "not a rename journal"},
        {QByteArray(good).replace("journal 1\n", "journal 2\n"), "another version"},
        {head + "rename roms a%2 ab.zip\n", "damaged (line 3)"},
        {head + "rename roms a%2fb.zip ab.zip\n", "damaged (line 3)"},
        {head + "rename roms a%20b.zip ab.zip extra\n", "damaged (line 3)"},
        {head + "renamed\n", "damaged (line 3)"},
        {head + "rename roms a%20b.zip ab.zip\nrenamed\nrenamed\n", "damaged (line 5)"},
        {head + "rename roms a%20b.zip sub/ab.zip\n", "damaged (line 3)"},
        {head + "rename roms a%20b.zip %2E%2E\n", "damaged (line 3)"},
        {head + "rename roms a\tb.zip ab.zip\n", "damaged (line 3)"},
        {"zelvora-auditor rename journal 1\nrename roms a b\n", "damaged (line 2)"},
    };
    for (const auto &j : journals) {
        SCOPED_TRACE(j.text.toStdString());
        const QString path = tree.filePath(u"damaged.journal"_s);
        QFile out(path);
        ASSERT_TRUE(out.open(QIODevice::WriteOnly | QIODevice::Truncate));
        out.write(j.text);
        out.close();
        const UndoReport undo = undoRenames(path);
        if (j.error) {
            EXPECT_TRUE(undo.error.contains(QString::fromUtf8(j.error))) << undo.error.toStdString();
            EXPECT_TRUE(undo.outcomes.empty());
        } else {
            EXPECT_EQ(undo.error, QString());
        }
    }
    EXPECT_EQ(tree.read(u"z/roms/c.zip"_s), "A");
}

} // namespace
} // namespace zelvora::test
