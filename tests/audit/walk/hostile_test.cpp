// Trees a real distribution or a careless user can produce: links that loop or lead nowhere, special
// files, names no text can hold cleanly, folders nobody may read, and folders that move while the
// walk is under way.
#include "audit/walk/scan.h"
#include "support/backgroundloop.h"
#include "support/nametexts.h"
#include "support/sanitized.h"
#include "support/temptree.h"
#include "support/unprivileged.h"

#include <QDir>
#include <QFile>
#include <algorithm>
#include <chrono>
#include <fcntl.h>
#include <functional>
#include <gtest/gtest.h>
#include <iostream>
#include <map>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

using namespace Qt::StringLiterals;

namespace zelvora {
namespace {

const QString kListName = u"- Supported Games Lookup For Naming.txt"_s;

QStringList sorted(QStringList names)
{
    std::sort(names.begin(), names.end());
    return names;
}

// Every kind of entry that must not count, beside the few that must, in one tree.
TEST(HostileTree, OnlyRegularFilesCountAndNoLinkIsFollowed)
{
    test::TempTree tree;
    tree.file(u"outside/outside.zip"_s);
    tree.file(u"roms/real.zip"_s);
    // Links: loops to an ancestor and between two links, a link to the file system's root, dangling
    // links to a file and to a folder, a link to a folder outside holding an archive.
    tree.dir(u"roms/loop"_s);
    tree.symlink(tree.filePath(u"roms"_s), u"roms/loop/up.zip"_s);
    tree.symlink(tree.filePath(u"roms/ping.zip"_s), u"roms/pong.zip"_s);
    tree.symlink(tree.filePath(u"roms/pong.zip"_s), u"roms/ping.zip"_s);
    tree.symlink(u"/"_s, u"roms/root"_s);
    tree.symlink(tree.filePath(u"nowhere.zip"_s), u"roms/dangling.zip"_s);
    tree.symlink(u"/nonexistent/folder"_s, u"roms/danglingdir"_s);
    tree.symlink(u"../outside"_s, u"roms/relative"_s);
    // Special files with the extension, and a FIFO where a folder might be.
    tree.fifo(u"roms/pipe.zip"_s);
    tree.fifo(u"roms/sub/pipedir"_s);
    tree.socket(u"roms/s.zip"_s);
    const bool madeDevice =
        ::mknod(QFile::encodeName(tree.filePath(u"roms/null.zip"_s)).constData(), S_IFCHR | 0644, makedev(1, 3)) == 0;
    // A folder named like an archive is searched, not counted.
    tree.file(u"roms/folder.zip/inner.zip"_s);
    // Names holding line ends, and bytes that are not UTF-8, in files and in folders.
    tree.rawFile("roms/cr\rname.zip");
    tree.rawFile("roms/lf\nname.zip");
    tree.rawFile("roms/crlf\r\nname.ZIP");
    tree.rawFile("roms/bad\xFF\xFE.zip");
    tree.rawFile("roms/cut\xC3.zip");
    tree.rawFile("roms/dir\xFFname/in-bad-folder.zip");
    tree.rawFile("roms/line\nfolder/in-lf-folder.zip");
    tree.rawFile("roms/ext.z\xFFp");        // extension not UTF-8: no match
    tree.rawFile("roms/dotted.Z\xC4\xB0P"); // "ZİP": folds to more than "zip"

    const QStringList names = test::textsOf(cacheZelvoraRomDirs(tree.path()));
    EXPECT_EQ(sorted(names),
              sorted({u"real.zip"_s, u"inner.zip"_s, u"cr\rname.zip"_s, u"lf\nname.zip"_s, u"crlf\r\nname.ZIP"_s,
                      u"bad\uFFFD\uFFFD.zip"_s, u"cut\uFFFD.zip"_s, u"in-bad-folder.zip"_s, u"in-lf-folder.zip"_s}))
        << "device made: " << madeDevice;

    // The folder of a file below a folder whose name is not UTF-8 is still reported.
    const FoundFiles found = cacheZelvoraRomDirs(tree.path());
    for (qsizetype i = 0; i < found.size(); ++i) {
        if (found.names.at(i) == "in-bad-folder.zip") {
            EXPECT_EQ(found.folderOf(i), "roms/dir\xFFname");
        } else if (found.names.at(i) == "in-lf-folder.zip") {
            EXPECT_EQ(found.folderOf(i), "roms/line\nfolder");
        }
    }
}

// The list search meets the same tree: whatever carries the list's name but is not a regular file
// is passed over, and so is a list below a folder whose name is not UTF-8, since no text path the
// audits take could name it. The search ends on the first list that can be read.
TEST(HostileTree, ListSearchPassesOverWhatCannotBeRead)
{
    test::TempTree tree;
    tree.file(u"outside/"_s + kListName, "from outside");
    tree.symlink(tree.filePath(u"outside"_s), u"a-link"_s);
    tree.symlink(tree.filePath(u"outside/"_s + kListName), u"b/"_s + kListName);
    tree.fifo(u"c/"_s + kListName);
    tree.socket(u"d/"_s + kListName);
    tree.symlink(tree.filePath(u"nowhere"_s), u"e/"_s + kListName);
    tree.dir(u"f/loop"_s);
    tree.symlink(tree.filePath(u"f"_s), u"f/loop/again"_s);
    tree.rawFile("g\xFF/" + QFile::encodeName(kListName), "unreachable by name");
    tree.file(u"h/"_s + kListName, "the one");
    tree.file(u"i/"_s + kListName, "later");
    const std::optional<QString> found = findFileBelow(tree.path(), kListName);
    ASSERT_TRUE(found.has_value());
    EXPECT_EQ(*found, tree.filePath(u"h/"_s + kListName));
    QFile file(*found);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll(), "the one");
}

// A comb deeper than the walk keeps handles for: a chain of folders, each also holding a side folder
// with one archive. Leaving the chain's bottom, the walk must reopen folders whose handles it closed
// to visit the side folders still waiting there.
void makeComb(const QString &root, int depth, const QByteArray &prefix = "level", const QByteArray &chain = "c")
{
    int fd = ::open(QFile::encodeName(root).constData(), O_RDONLY | O_DIRECTORY);
    ASSERT_GE(fd, 0);
    for (int i = 0; i < depth; ++i) {
        const QByteArray side = "side" + QByteArray::number(i);
        ASSERT_EQ(::mkdirat(fd, side.constData(), 0755), 0);
        const QByteArray file = side + '/' + prefix + QByteArray::number(i) + ".zip";
        const int f = ::openat(fd, file.constData(), O_WRONLY | O_CREAT | O_CLOEXEC, 0644);
        ASSERT_GE(f, 0);
        ::close(f);
        ASSERT_EQ(::mkdirat(fd, chain.constData(), 0755), 0);
        const int next = ::openat(fd, chain.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        ::close(fd);
        ASSERT_GE(next, 0);
        fd = next;
    }
    ::close(fd);
}

QStringList combNames(int depth, const QString &prefix = u"level"_s)
{
    QStringList names;
    for (int i = 0; i < depth; ++i)
        names.append(prefix + QString::number(i) + u".zip"_s);
    return names;
}

TEST(HostileTree, DeepCombIsListedWhole)
{
    test::TempTree tree;
    tree.dir(u"roms"_s);
    // More levels than the walk keeps handles for, and a path far longer than PATH_MAX.
    constexpr int depth = 64;
    makeComb(tree.filePath(u"roms"_s), depth, "level", QByteArray(150, 'c'));
    EXPECT_EQ(sorted(test::textsOf(cacheZelvoraRomDirs(tree.path()))), sorted(combNames(depth)));
}

// Out of file handles, the walk gives back its own and goes on; when it still cannot open a folder,
// the result says it is incomplete. A partial result never passes for the whole tree.
TEST(HostileTree, RunningOutOfHandlesNeverLooksComplete)
{
    test::TempTree tree;
    tree.dir(u"roms"_s);
    constexpr int depth = 800;
    makeComb(tree.filePath(u"roms"_s), depth);
    const QByteArray all = sorted(combNames(depth)).join(u'|').toUtf8();
#ifdef ZELVORA_SANITIZED
    // The sanitizers need file handles of their own: only limits that leave them some.
    const std::vector<rlim_t> limits{48, 24};
#else
    const std::vector<rlim_t> limits{48, 24, 7};
#endif
    for (const rlim_t limit : limits) {
        SCOPED_TRACE(limit);
        const QByteArray answer = test::runInChild([&] {
            const rlimit handles{limit, limit};
            if (::setrlimit(RLIMIT_NOFILE, &handles) != 0)
                return QByteArray("no limit");
            const FoundFiles found = cacheZelvoraRomDirs(tree.path());
            return (found.walk.isComplete() ? "complete " : "incomplete ") +
                   sorted(test::textsOf(found)).join(u'|').toUtf8();
        });
        if (limit >= 24)
            EXPECT_EQ(answer, "complete " + all) << "a few handles are enough for any depth";
        else
            EXPECT_TRUE(answer == "complete " + all || answer.startsWith("incomplete ")) << answer.left(200).data();
    }
}

// Folders nobody may read contribute nothing; everything readable around them is listed.
TEST(HostileTree, UnreadableFoldersKeepTheReadableRest)
{
    test::TempTree tree;
    tree.file(u"roms/closed.zip"_s); // a whole rom folder that is closed
    tree.file(u"romsConsoles/open.zip"_s);
    tree.file(u"romsConsoles/a/hidden/x.zip"_s); // a folder that may be entered but not listed
    tree.file(u"romsConsoles/b/listed.zip"_s);   // may be listed but not entered
    tree.file(u"romsConsoles/b/sub/y.zip"_s);
    tree.file(u"romsConsoles/z/late.zip"_s);
    tree.file(u"list/a/"_s + kListName, "closed");
    tree.file(u"list/b/"_s + kListName, "open");
    for (const QString &path :
         {u"roms"_s, u"romsConsoles/a/hidden"_s, u"romsConsoles/b/sub"_s, u"list/a"_s, u"list/b"_s})
        test::openToOthers(tree.path(), tree.filePath(path));
    const auto setMode = [&](const QString &path, mode_t mode) {
        ASSERT_EQ(::chmod(QFile::encodeName(tree.filePath(path)).constData(), mode), 0);
    };
    setMode(u"roms"_s, 0);
    setMode(u"romsConsoles/a"_s, 0711);
    setMode(u"romsConsoles/b"_s, 0744);
    setMode(u"list/a"_s, 0);
    // The Zelvora directory itself may be entered but not listed: its folders are opened by name.
    setMode(QString(), 0711);

    const QByteArray roms = test::runUnprivileged(
        [&] { return sorted(test::textsOf(cacheZelvoraRomDirs(tree.path()))).join(u'|').toUtf8(); });
    const QByteArray list = test::runUnprivileged(
        [&] { return findFileBelow(tree.filePath(u"list"_s), kListName).value_or(u"none"_s).toUtf8(); });
    for (const QString &path : {QString(), u"roms"_s, u"romsConsoles/a"_s, u"romsConsoles/b"_s, u"list/a"_s})
        setMode(path, 0755);

    // Nothing in a folder that can be listed but not entered counts: its entries cannot be examined.
    EXPECT_EQ(roms, "late.zip|open.zip");
    EXPECT_EQ(list, QFile::encodeName(tree.filePath(u"list/b/"_s + kListName)));
}

// While walks run, another thread keeps moving one subtree out of the tree, putting a link to a
// folder outside in its place, then a FIFO, then the subtree again. The walk must end every time,
// never list what lies behind the link, and always list the untouched rest whole; the moving
// subtree's files appear at most once.
TEST(HostileTree, FolderReplacedDuringTheWalk)
{
    test::TempTree tree;
    constexpr int stableFolders = 8;
    constexpr int filesPerFolder = 40;
    QStringList stable;
    for (int d = 0; d < stableFolders; ++d) {
        for (int f = 0; f < filesPerFolder; ++f) {
            const QString name = u"stable-%1-%2.zip"_s.arg(d).arg(f);
            tree.file(u"roms/stable/f%1/%2"_s.arg(d).arg(name));
            stable.append(name);
        }
    }
    constexpr int combDepth = 56; // deeper than the handles the walk keeps open
    tree.dir(u"roms/stable/comb"_s);
    makeComb(tree.filePath(u"roms/stable/comb"_s), combDepth);
    stable += combNames(combDepth);
    tree.file(u"roms/stable/zz/"_s + kListName);

    // The moving subtree is deep too, so the walk is often far inside it, with handles closed, when it moves.
    tree.dir(u"roms/churn"_s);
    makeComb(tree.filePath(u"roms/churn"_s), combDepth, "moving");
    const QStringList churnNames = combNames(combDepth, u"moving"_s);
    tree.dir(u"outside/trap"_s);
    makeComb(tree.filePath(u"outside/trap"_s), 8, "trap");
    tree.file(u"outside/trap/trap.zip"_s);
    tree.file(u"outside/trap/"_s + kListName); // sorts before the real one if the link were followed

    const QByteArray churn = QFile::encodeName(tree.filePath(u"roms/churn"_s));
    const QByteArray parked = QFile::encodeName(tree.filePath(u"outside/parked"_s));
    const QByteArray trap = QFile::encodeName(tree.filePath(u"outside/trap"_s));
    // Each state lasts a moment, so that walks are often inside the subtree when it goes.
    test::BackgroundLoop mover([&] {
        ::rename(churn.constData(), parked.constData());
        ::symlink(trap.constData(), churn.constData());
        std::this_thread::sleep_for(std::chrono::microseconds(200));
        ::unlink(churn.constData());
        ::mkfifo(churn.constData(), 0644);
        std::this_thread::sleep_for(std::chrono::microseconds(200));
        ::unlink(churn.constData());
        ::rename(parked.constData(), churn.constData());
        std::this_thread::sleep_for(std::chrono::microseconds(1500));
    });

    const QString expectedList = tree.filePath(u"roms/stable/zz/"_s + kListName);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(1000);
    int walks = 0;
    int walksWithChurn = 0;
    int walksIncomplete = 0;
    while (walks < 400 && std::chrono::steady_clock::now() < deadline) {
        ++walks;
        const FoundFiles found = cacheZelvoraRomDirs(tree.path());
        const QStringList names = test::textsOf(found);
        std::map<QString, int> seen;
        for (const QString &name : names)
            ++seen[name];
        for (const QString &name : stable)
            ASSERT_EQ(seen[name], 1) << name.toStdString() << " in walk " << walks;
        int churnSeen = 0;
        for (const QString &name : churnNames) {
            ASSERT_LE(seen[name], 1) << name.toStdString();
            churnSeen += seen[name];
        }
        walksWithChurn += churnSeen > 0;
        // A subtree that moved while the walk was in it makes the walk incomplete: never a whole result
        // that lacks some of its files.
        if (found.walk.isComplete()) {
            ASSERT_TRUE(churnSeen == 0 || churnSeen == churnNames.size()) << churnSeen << " in walk " << walks;
        }
        walksIncomplete += !found.walk.isComplete();
        ASSERT_EQ(names.size(), stable.size() + churnSeen) << "only stable and moving files, never the trap's";

        ASSERT_EQ(findFileBelow(tree.filePath(u"roms"_s), kListName), expectedList);
    }
    const int cycles = mover.stop();
    EXPECT_GT(cycles, 10) << "the subtree hardly moved";
    std::cout << "[          ] " << walks << " walks, " << cycles << " moves, " << walksWithChurn
              << " walks saw some of the moving subtree, " << walksIncomplete << " were incomplete\n";
}

} // namespace
} // namespace zelvora
