// Report files written where writing fails: a read-only folder, a shared folder whose reports belong
// to someone else, a locked file, a full file system, a file size limit, and a process killed in the
// middle of a save. An existing report is always its old content or its new, never a mix, and every
// file not written is named. Links in the save folder are replaced, never written through, and what
// killed saves leave behind is hidden and removed by the next save.
#include "audit/files/atomicwrite.h"
#include "audit/files/reports.h"
#include "support/temptree.h"
#include "support/unprivileged.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <algorithm>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <iostream>
#include <linux/fs.h>
#include <random>
#include <sched.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace Qt::StringLiterals;

namespace zelvora {
namespace {

// A rom report set whose three files hold about `bytes` bytes each, all names carrying `tag`.
std::vector<ReportFile> romSet(const QString &tag, qsizetype bytes = 0)
{
    // The views are taken once every name is in the block: growing it moves them.
    NameBlock names;
    qsizetype count = 0;
    for (qsizetype size = 0; size < bytes || count == 0; size += 32, ++count)
        names.append(u"%1-%2-with-some-padding.zip"_s.arg(tag).arg(count, 4, 10, QChar(u'0')).toStdString());
    RomResults results;
    for (NameList *list : {&results.valid, &results.missing, &results.unknown})
        for (qsizetype i = 0; i < names.size(); ++i)
            list->push_back(names.at(i));
    return romReportFiles(results);
}

QByteArray bytesOf(const std::vector<ReportFile> &files, const QString &fileName)
{
    for (const ReportFile &file : files)
        if (file.fileName == fileName)
            return file.bytes;
    return {};
}

QStringList entries(const QString &directory)
{
    return QDir(directory).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Name);
}

// Failures as one line each, "file: reason", for comparing whole lists at once.
QByteArray describe(const QList<WriteFailure> &failures)
{
    QByteArray out;
    for (const WriteFailure &failure : failures)
        out += failure.fileName.toUtf8() + ": " + failure.reason.toUtf8() + '\n';
    return out;
}

// Which of `sets` (by index) each report file of `directory` holds, or "?" for any other content.
QByteArray whichContent(const QString &directory, const std::vector<std::vector<ReportFile>> &sets)
{
    QByteArray out;
    for (const ReportFile &file : sets.front()) {
        QFile f(directory + u'/' + file.fileName);
        QByteArray mark = "absent";
        if (f.open(QIODevice::ReadOnly)) {
            const QByteArray content = f.readAll();
            mark = "?";
            for (std::size_t i = 0; i < sets.size(); ++i)
                if (content == bytesOf(sets[i], file.fileName))
                    mark = QByteArray::number(qulonglong(i));
        }
        out += file.fileName.toUtf8() + '=' + mark + ' ';
    }
    return out.trimmed();
}

TEST(ReportFaults, FoldersThatRefuseTheReportsKeepTheOldOnes)
{
    struct Case
    {
        const char *label;
        mode_t mode;
    };
    // Read-only; and shared with the sticky bit, where the old reports belong to another user, so
    // the new ones can be written beside them but cannot replace them.
    const Case cases[] = {{"read-only folder", 0555}, {"sticky shared folder", 01777}};
    const auto oldSet = romSet(u"old"_s);
    const auto newSet = romSet(u"new"_s, 2000);
    for (const Case &c : cases) {
        SCOPED_TRACE(c.label);
        if ((c.mode & S_ISVTX) && ::geteuid() != 0)
            continue; // the old reports would belong to the very user who saves
        test::TempTree tree;
        const QString out = tree.filePath(u"out"_s);
        tree.dir(u"out"_s);
        ASSERT_TRUE(writeReportFiles(out, oldSet).isEmpty());
        test::openToOthers(tree.path(), out);
        ASSERT_EQ(::chmod(QFile::encodeName(out).constData(), c.mode), 0);

        const QByteArray failures = test::runUnprivileged([&] {
            const QList<WriteFailure> failed = writeReportFiles(out, newSet);
            QByteArray names;
            for (const WriteFailure &f : failed)
                names += f.fileName.toUtf8() + (f.reason.isEmpty() ? " without reason" : "") + ' ';
            return names;
        });
        EXPECT_EQ(failures, "valid_roms.txt missing_roms.txt unknown_roms.txt ");
        EXPECT_EQ(whichContent(out, {oldSet, newSet}), "valid_roms.txt=0 missing_roms.txt=0 unknown_roms.txt=0");
        EXPECT_EQ(entries(out), (QStringList{u"missing_roms.txt"_s, u"unknown_roms.txt"_s, u"valid_roms.txt"_s}))
            << "no temporary file is left behind";
    }
}

// A report the file system will not let anyone replace (immutable): that file fails, the others are written.
TEST(ReportFaults, LockedReportFailsAlone)
{
    test::TempTree tree;
    const auto oldSet = romSet(u"old"_s);
    const auto newSet = romSet(u"new"_s, 500);
    ASSERT_TRUE(writeReportFiles(tree.path(), oldSet).isEmpty());
    const QByteArray locked = QFile::encodeName(tree.filePath(u"missing_roms.txt"_s));
    const auto setImmutable = [&](bool on) {
        const int fd = ::open(locked.constData(), O_RDONLY | O_CLOEXEC);
        int flags = 0;
        bool done = fd >= 0 && ::ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0;
        flags = on ? (flags | FS_IMMUTABLE_FL) : (flags & ~FS_IMMUTABLE_FL);
        done = done && ::ioctl(fd, FS_IOC_SETFLAGS, &flags) == 0;
        if (fd >= 0)
            ::close(fd);
        return done;
    };
    if (!setImmutable(true))
        GTEST_SKIP() << "this file system or user cannot make a file immutable";
    const QList<WriteFailure> failures = writeReportFiles(tree.path(), newSet);
    setImmutable(false);
    ASSERT_EQ(failures.size(), 1) << describe(failures).toStdString();
    EXPECT_EQ(failures[0].fileName, u"missing_roms.txt");
    EXPECT_EQ(failures[0].path, tree.filePath(u"missing_roms.txt"_s));
    EXPECT_FALSE(failures[0].reason.isEmpty());
    EXPECT_EQ(whichContent(tree.path(), {oldSet, newSet}), "valid_roms.txt=1 missing_roms.txt=0 unknown_roms.txt=1");
    EXPECT_EQ(entries(tree.path()).size(), 3);
}

// Runs `work` in a forked child and returns what it printed; "exit N" when it ended otherwise.
// Fills the file system of `directory` up, then frees `leave` bytes.
bool fillLeaving(const QString &directory, qint64 leave)
{
    const QByteArray filler = QFile::encodeName(directory + u"/filler"_s);
    const int fd = ::open(filler.constData(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
    if (fd < 0)
        return false;
    const QByteArray block(4096, 'f');
    while (::write(fd, block.constData(), std::size_t(block.size())) > 0) {
    }
    struct stat st;
    const bool done = ::fstat(fd, &st) == 0 && ::ftruncate(fd, std::max<qint64>(0, st.st_size - leave)) == 0;
    ::close(fd);
    return done;
}

// On a small file system of its own (in a private mount namespace, gone with the child), a save
// that runs out of space fails for the files that do not fit and keeps their old content, even when
// a file is small enough to be held back in a write buffer.
TEST(ReportFaults, FullFileSystem)
{
    test::TempTree tree;
    tree.dir(u"mnt"_s);
    const QString mnt = tree.filePath(u"mnt"_s);
    const auto oldSet = romSet(u"old"_s);
    // Valid and unknown fit into what is left; missing does not.
    std::vector<ReportFile> bigSet = romSet(u"big"_s, 12 * 1024);
    bigSet[1] = romSet(u"big"_s, 100 * 1024)[1];
    const auto smallSet = romSet(u"small"_s, 6000);

    const QByteArray seen = test::runInChild([&]() -> QByteArray {
        if (::unshare(CLONE_NEWNS) != 0 || ::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0 ||
            ::mount("tmpfs", QFile::encodeName(mnt).constData(), "tmpfs", 0, "size=256k") != 0)
            return "cannot mount";
        QByteArray out;
        if (!writeReportFiles(mnt, oldSet).isEmpty() || !fillLeaving(mnt, 40 * 1024))
            return "cannot prepare";
        out += describe(writeReportFiles(mnt, bigSet));
        out += whichContent(mnt, {oldSet, bigSet}) + '\n';
        out += entries(mnt).join(u' ').toUtf8() + '\n';
        if (!fillLeaving(mnt, 0))
            return "cannot fill";
        out += describe(writeReportFiles(mnt, smallSet));
        out += whichContent(mnt, {oldSet, bigSet, smallSet}) + '\n';
        out += entries(mnt).join(u' ').toUtf8() + '\n';
        return out;
    });
    if (seen == "cannot mount")
        GTEST_SKIP() << "mounting a tmpfs is not permitted here; the file size limit test covers failing writes";
    const QByteArray noSpace = QByteArray(std::strerror(ENOSPC));
    EXPECT_EQ(seen.toStdString(), ("missing_roms.txt: " + noSpace +
                                   "\n"
                                   "valid_roms.txt=1 missing_roms.txt=0 unknown_roms.txt=1\n"
                                   "filler missing_roms.txt unknown_roms.txt valid_roms.txt\n"
                                   "valid_roms.txt: " +
                                   noSpace + "\nmissing_roms.txt: " + noSpace + "\nunknown_roms.txt: " + noSpace +
                                   "\n"
                                   "valid_roms.txt=1 missing_roms.txt=0 unknown_roms.txt=1\n"
                                   "filler missing_roms.txt unknown_roms.txt valid_roms.txt\n")
                                      .toStdString());
}

// The same failures without mounting anything: a file size limit makes writes past it fail.
TEST(ReportFaults, FileSizeLimit)
{
    test::TempTree tree;
    const auto oldSet = romSet(u"old"_s);
    std::vector<ReportFile> mixedSet = romSet(u"mixed"_s, 8000);
    mixedSet[1] = romSet(u"mixed"_s, 30000)[1];
    const auto bigSet = romSet(u"big"_s, 30000);
    ASSERT_TRUE(writeReportFiles(tree.path(), oldSet).isEmpty());
    const QByteArray seen = test::runInChild([&]() -> QByteArray {
        const rlimit limit{20000, 20000};
        if (std::signal(SIGXFSZ, SIG_IGN) == SIG_ERR || ::setrlimit(RLIMIT_FSIZE, &limit) != 0)
            return "cannot limit";
        QByteArray out = describe(writeReportFiles(tree.path(), mixedSet));
        out += whichContent(tree.path(), {oldSet, mixedSet}) + '\n';
        out += describe(writeReportFiles(tree.path(), bigSet));
        out += whichContent(tree.path(), {oldSet, mixedSet, bigSet}) + '\n';
        return out;
    });
    const QByteArray tooLarge = QByteArray(std::strerror(EFBIG));
    EXPECT_EQ(seen.toStdString(), ("missing_roms.txt: " + tooLarge +
                                   "\n"
                                   "valid_roms.txt=1 missing_roms.txt=0 unknown_roms.txt=1\n"
                                   "valid_roms.txt: " +
                                   tooLarge + "\nmissing_roms.txt: " + tooLarge + "\nunknown_roms.txt: " + tooLarge +
                                   "\n"
                                   "valid_roms.txt=1 missing_roms.txt=0 unknown_roms.txt=1\n")
                                      .toStdString());
    EXPECT_EQ(entries(tree.path()).size(), 3) << entries(tree.path()).join(u' ').toStdString();
}

// A child saves two large report sets in turn, without end, and is killed at random moments. Each
// report on disk must then be one set's whole file.
TEST(ReportFaults, KilledInTheMiddleOfASave)
{
    test::TempTree tree;
    const auto first = romSet(u"first"_s, 60 * 1024);
    const auto second = romSet(u"second"_s, 90 * 1024);
    ASSERT_TRUE(writeReportFiles(tree.path(), first).isEmpty());
    std::mt19937 random(20240607); // fixed: the same moments on every run, as far as timing allows
    std::uniform_int_distribution<int> delayMicroseconds(0, 12'000);
    constexpr int kills = 40;
    int firstSeen = 0;
    int secondSeen = 0;
    for (int round = 0; round < kills; ++round) {
        const pid_t child = ::fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            for (;;) {
                writeReportFiles(tree.path(), second);
                writeReportFiles(tree.path(), first);
            }
        }
        ::usleep(useconds_t(delayMicroseconds(random)));
        ::kill(child, SIGKILL);
        ::waitpid(child, nullptr, 0);
        const QByteArray which = whichContent(tree.path(), {first, second});
        ASSERT_FALSE(which.contains('?') || which.contains("absent"))
            << "round " << round << ": " << which.toStdString();
        firstSeen += int(which.count("=0"));
        secondSeen += int(which.count("=1"));
    }
    QStringList leftovers = entries(tree.path());
    for (const ReportFile &file : first)
        leftovers.removeAll(file.fileName);
    std::cout << "[          ] " << kills << " saves killed: " << firstSeen << " reports held the first set, "
              << secondSeen << " the second, " << leftovers.size() << " temporary files left"
              << (leftovers.isEmpty() ? "" : ": " + leftovers.join(u' ').toStdString()) << '\n';
    // Left-over temporary files are hidden and carry the report's name; none may take a report's place.
    for (const QString &name : leftovers)
        EXPECT_TRUE(name.startsWith(u".zelvora-tmp-valid_roms.txt-"_s) ||
                    name.startsWith(u".zelvora-tmp-missing_roms.txt-"_s) ||
                    name.startsWith(u".zelvora-tmp-unknown_roms.txt-"_s))
            << name.toStdString();
}

// A link where a report goes is replaced by the report: nothing outside the save folder is written,
// created or replaced, wherever the link points, even as root in a shared sticky folder where the link
// belongs to another user.
TEST(ReportFaults, LinksInTheSaveFolderAreReplacedNotFollowed)
{
    struct Case
    {
        const char *label;
        const char *target; // of the link, below the tree
        bool sharedFolderOfOthers;
    };
    const Case cases[] = {
        {"a link to a file outside", "victim", false},
        {"a dangling link to a path outside", "created", false},
        {"a link to a folder outside", "folder", false},
        {"another user's link in a sticky shared folder", "victim", true},
    };
    const auto newSet = romSet(u"new"_s, 500);
    for (const Case &c : cases) {
        SCOPED_TRACE(c.label);
        if (c.sharedFolderOfOthers && ::geteuid() != 0)
            continue; // the link would belong to the very user who saves
        test::TempTree tree;
        tree.file(u"victim"_s, "KEEP");
        tree.dir(u"folder"_s);
        tree.dir(u"out"_s);
        const QString out = tree.filePath(u"out"_s);
        const QString link = out + u"/valid_roms.txt"_s;
        const QString target = tree.filePath(QString::fromUtf8(c.target));
        if (c.sharedFolderOfOthers) {
            test::openToOthers(tree.path(), out);
            ASSERT_EQ(::chmod(QFile::encodeName(out).constData(), 01777), 0);
            ASSERT_EQ(test::runUnprivileged([&] {
                          return QByteArray::number(
                              ::symlink(QFile::encodeName(target).constData(), QFile::encodeName(link).constData()));
                      }),
                      "0");
        } else {
            tree.symlink(target, u"out/valid_roms.txt"_s);
        }

        EXPECT_EQ(describe(writeReportFiles(out, newSet)), "");
        EXPECT_EQ(tree.read(u"victim"_s), "KEEP");
        EXPECT_FALSE(QFileInfo::exists(tree.filePath(u"created"_s)));
        EXPECT_EQ(entries(tree.filePath(u"folder"_s)), QStringList());
        EXPECT_FALSE(QFileInfo(link).isSymLink());
        EXPECT_EQ(whichContent(out, {newSet}), "valid_roms.txt=0 missing_roms.txt=0 unknown_roms.txt=0");
    }
}

// A save killed after it has made a temporary file leaves that file behind. It must be hidden and named
// as the project's own, and the next save into the folder removes it, and nothing else of that look:
// not a link nor a folder, not a name of another pattern, not the file of a save still running.
TEST(ReportFaults, LeftOverTemporaryFilesAreHiddenAndRemovedByTheNextSave)
{
    test::TempTree tree;
    tree.file(u"victim"_s, "KEEP");
    tree.dir(u"out"_s);
    const QString out = tree.filePath(u"out"_s);
    const auto set = romSet(u"set"_s, 60 * 1024);
    const auto isReport = [&](const QString &name) {
        return std::any_of(set.begin(), set.end(), [&](const ReportFile &file) { return file.fileName == name; });
    };

    // A child saves without end; it is stopped at random moments until one finds its temporary file
    // in the folder, and then killed there.
    QString leftOver;
    std::mt19937 random(20240611);
    std::uniform_int_distribution<int> delayMicroseconds(0, 3'000);
    for (int round = 0; round < 1000 && leftOver.isEmpty(); ++round) {
        const pid_t child = ::fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            for (;;)
                writeReportFiles(out, set);
        }
        ::usleep(useconds_t(delayMicroseconds(random)));
        ::kill(child, SIGSTOP);
        ::waitpid(child, nullptr, WUNTRACED);
        for (const QString &name : entries(out))
            if (!isReport(name))
                leftOver = name;
        ::kill(child, SIGKILL);
        ::waitpid(child, nullptr, 0);
    }
    ASSERT_FALSE(leftOver.isEmpty()) << "no save was caught with its temporary file";
    EXPECT_TRUE(leftOver.startsWith(QLatin1StringView(kTemporaryFilePrefix))) << leftOver.toStdString();
    for (const QString &name : entries(out))
        EXPECT_TRUE(isReport(name) || name == leftOver) << name.toStdString();

    tree.file(u"out/.zelvora-tmp-extra_videos.txt-Zz9900"_s, "stale, of another report");
    tree.symlink(tree.filePath(u"victim"_s), u"out/.zelvora-tmp-valid_roms.txt-Link00"_s);
    tree.dir(u"out/.zelvora-tmp-valid_roms.txt-Dir000"_s);
    tree.file(u"out/.zelvora-tmp-valid_roms.txt-short"_s, "not the pattern");
    tree.file(u"out/zelvora-tmp-valid_roms.txt-Shown0"_s, "not the pattern");
    tree.file(u"out/.zelvora-tmp-valid_roms.txt-Live00"_s, "a save still writing");
    const int live =
        ::open(QFile::encodeName(out + u"/.zelvora-tmp-valid_roms.txt-Live00"_s).constData(), O_RDONLY | O_CLOEXEC);
    ASSERT_GE(live, 0);
    ASSERT_EQ(::flock(live, LOCK_EX), 0);

    EXPECT_EQ(describe(writeReportFiles(out, set)), "");
    ::close(live);
    EXPECT_EQ(entries(out),
              (QStringList{u".zelvora-tmp-valid_roms.txt-Dir000"_s, u".zelvora-tmp-valid_roms.txt-Link00"_s,
                           u".zelvora-tmp-valid_roms.txt-Live00"_s, u".zelvora-tmp-valid_roms.txt-short"_s,
                           u"missing_roms.txt"_s, u"unknown_roms.txt"_s, u"valid_roms.txt"_s,
                           u"zelvora-tmp-valid_roms.txt-Shown0"_s}));
    EXPECT_EQ(tree.read(u"victim"_s), "KEEP");
}

// Any name a folder can hold can be written: the temporary name beside it stays within NAME_MAX.
TEST(ReportFaults, NamesUpToTheLongestAreWritten)
{
    test::TempTree tree;
    const SaveFolder folder(tree.path());
    ASSERT_TRUE(folder.isOpen());
    for (const QString &name : {QString(235, u'a'), QString(236, u'b'), QString(255, u'c'),
                                QString(127, u'\u00E9') + u'd' /* 255 bytes, the cut falls inside a character */}) {
        SCOPED_TRACE(name.size());
        EXPECT_EQ(writeFileAtomically(folder, name, "table"), u""_s);
        EXPECT_EQ(tree.read(name), "table");
    }
}

} // namespace
} // namespace zelvora
