#include "audit/names/names.h"
#include "audit/walk/scan.h"
#include "support/nametexts.h"
#include "support/temptree.h"
#include "support/unprivileged.h"

#include <QDir>
#include <QFile>
#include <algorithm>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <string>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>
#include <vector>

using namespace Qt::StringLiterals;

namespace zelvora {
namespace {

TEST(Scan, FindsArchivesAtAnyDepthKeepingTheirCase)
{
    test::TempTree tree;
    tree.file(u"roms/a/b/game1.ZIP"_s);
    EXPECT_EQ(test::textsOf(cacheZelvoraRomDirs(tree.path())), QStringList{u"game1.ZIP"_s});
}

TEST(Scan, CountsOnlyRegularFilesWithTheExtension)
{
    test::TempTree tree;
    tree.file(u"roms/game1.zip"_s);
    tree.file(u"romsConsoles/game1.zip"_s); // the same name twice: two entries
    tree.file(u"roms16BitConsoles/x/Beta.Zip"_s);
    tree.file(u"roms/pack.zip/inner.zip"_s); // a folder named like an archive is descended, not counted
    tree.file(u"roms/game1.zip.bak"_s);
    tree.file(u"roms/game1.tar.zip"_s);
    tree.file(u"roms/.zip"_s); // a leading dot starts the name: no extension
    tree.file(u"roms/notes.txt"_s);
    tree.file(u"other/elsewhere.zip"_s); // not a rom folder
    tree.symlink(tree.filePath(u"roms/game1.zip"_s), u"roms/link.zip"_s);
    tree.fifo(u"roms/pipe.zip"_s);
    tree.socket(u"roms/sock.zip"_s);
    const QStringList names = test::textsOf(cacheZelvoraRomDirs(tree.path()));
    EXPECT_EQ(names, (QStringList{u"Beta.Zip"_s, u"game1.tar.zip"_s, u"game1.zip"_s, u"game1.zip"_s, u"inner.zip"_s}));
}

TEST(Scan, ResultIsSortedWithoutRegardToCase)
{
    test::TempTree tree;
    for (const QString &name : {u"b.xmv"_s, u"A.xmv"_s, u"c.XMV"_s, u"\u00C9t\u00E9.xmv"_s})
        tree.file(u"videos2/"_s + name);
    tree.file(u"videosextra/deep/er/D.xmv"_s);
    const QStringList names = test::textsOf(cacheZelvoraVideoDirs(tree.path()));
    EXPECT_EQ(names, (QStringList{u"A.xmv"_s, u"b.xmv"_s, u"c.XMV"_s, u"D.xmv"_s, u"\u00C9t\u00E9.xmv"_s}));
    EXPECT_TRUE(std::is_sorted(names.begin(), names.end(), [](const QString &a, const QString &b) {
        return compareSringsCaseInsensitive(a, b) < 0;
    }));
}

TEST(Scan, MissingFoldersGiveAnEmptyList)
{
    test::TempTree tree;
    EXPECT_TRUE(test::textsOf(cacheZelvoraVideoDirs(tree.path())).isEmpty());
    EXPECT_TRUE(test::textsOf(cacheZelvoraRomDirs(tree.filePath(u"does-not-exist"_s))).isEmpty());
    tree.file(u"roms"_s, "a file where a folder should be");
    EXPECT_TRUE(test::textsOf(cacheZelvoraRomDirs(tree.path())).isEmpty());
}

TEST(Scan, TheWantedExtensionIsNotFolded)
{
    test::TempTree tree;
    tree.file(u"roms/game.zip"_s);
    EXPECT_TRUE(
        test::textsOf(cacheFilenamesFromDirsWithFileExtensions(tree.path(), romDirectoryNames(), u"ZIP"_s)).isEmpty());
    EXPECT_EQ(
        test::textsOf(cacheFilenamesFromDirsWithFileExtensions(tree.path(), romDirectoryNames(), u"zip"_s)).size(), 1);
}

TEST(Scan, EmptyZelvoraPathMeansTheWorkingDirectory)
{
    test::TempTree tree;
    tree.file(u"roms/here.zip"_s);
    const QString previous = QDir::currentPath();
    ASSERT_TRUE(QDir::setCurrent(tree.path()));
    const QStringList names = test::textsOf(cacheZelvoraRomDirs(QString()));
    QDir::setCurrent(previous);
    EXPECT_EQ(names, QStringList{u"here.zip"_s});
}

TEST(Scan, SymbolicLinksAreNotFollowed)
{
    test::TempTree tree;
    tree.file(u"outside/hidden.zip"_s);
    tree.dir(u"roms/loop"_s);
    tree.symlink(tree.filePath(u"roms"_s), u"roms/loop/back"_s);
    tree.symlink(tree.filePath(u"outside"_s), u"roms/out"_s);
    tree.symlink(tree.filePath(u"nowhere"_s), u"roms/dangling.zip"_s);
    tree.file(u"roms/loop/real.zip"_s);
    EXPECT_EQ(test::textsOf(cacheZelvoraRomDirs(tree.path())), QStringList{u"real.zip"_s});
}

TEST(Scan, RomFolderThatIsALinkIsWalked)
{
    test::TempTree tree;
    tree.file(u"disk2/roms/far.zip"_s);
    tree.dir(u"zelvora"_s);
    tree.symlink(tree.filePath(u"disk2/roms"_s), u"zelvora/roms"_s);
    EXPECT_EQ(test::textsOf(cacheZelvoraRomDirs(tree.filePath(u"zelvora"_s))), QStringList{u"far.zip"_s});
}

TEST(Scan, NamesThatAreNotUtf8AreListedNotDropped)
{
    test::TempTree tree;
    tree.rawFile(QByteArray("roms/caf\xE9.zip"));
    tree.rawFile(QByteArray("roms/line\nbreak.zip"));
    const QStringList names = test::textsOf(cacheZelvoraRomDirs(tree.path()));
    ASSERT_EQ(names.size(), 2);
    EXPECT_TRUE(names.contains(u"caf\uFFFD.zip"_s)) << names.join(u", "_s).toStdString();
    EXPECT_TRUE(names.contains(u"line\nbreak.zip"_s));
}

TEST(Scan, UnreadableFoldersCountNothingAndAreReported)
{
    test::TempTree tree;
    tree.file(u"roms/a/locked/inside.zip"_s);
    tree.file(u"roms/a/unlistable/x/inside.zip"_s);
    tree.file(u"roms/a/listonly/seen-but-not-examined.zip"_s);
    tree.file(u"roms/b/open.zip"_s);
    tree.file(u"roms/c.zip"_s);
    const struct
    {
        QString folder;
        mode_t mode;
    } locks[] = {{u"roms/a/locked"_s, 0}, {u"roms/a/unlistable"_s, 0311}, {u"roms/a/listonly"_s, 0444}};
    ASSERT_EQ(::chmod(QFile::encodeName(tree.path()).constData(), 0755), 0);
    for (const auto &lock : locks)
        ASSERT_EQ(::chmod(QFile::encodeName(tree.filePath(lock.folder)).constData(), lock.mode), 0);
    const QByteArray seen = test::runUnprivileged([&] {
        const FoundFiles found = cacheZelvoraRomDirs(tree.path());
        QStringList unreadable;
        for (const UnreadFolder &folder : found.walk.unreadable)
            unreadable.append(QString::fromUtf8(folder.path) + u':' + QString::number(folder.error));
        unreadable.sort();
        return (test::textsOf(found).join(u'|') + u'#' + unreadable.join(u'|') + u'#' +
                QString::number(found.walk.failed.size()))
            .toUtf8();
    });
    for (const auto &lock : locks)
        ::chmod(QFile::encodeName(tree.filePath(lock.folder)).constData(), 0755);
    EXPECT_EQ(seen, "c.zip|open.zip#roms/a/listonly:13|roms/a/locked:13|roms/a/unlistable:13#0");
}

// Builds a chain of folders deeper than PATH_MAX through directory handles, since no path reaches it.
void makeDeepChain(const QString &root, int depth, const QByteArray &component)
{
    int fd = ::open(QFile::encodeName(root).constData(), O_RDONLY | O_DIRECTORY);
    ASSERT_GE(fd, 0);
    for (int i = 0; i < depth; ++i) {
        ASSERT_EQ(::mkdirat(fd, component.constData(), 0755), 0);
        const int next = ::openat(fd, component.constData(), O_RDONLY | O_DIRECTORY);
        ::close(fd);
        ASSERT_GE(next, 0);
        fd = next;
        if (i % 37 == 0) {
            const QByteArray file = "level" + QByteArray::number(i) + ".zip";
            const int f = ::openat(fd, file.constData(), O_WRONLY | O_CREAT, 0644);
            ASSERT_GE(f, 0);
            ::close(f);
        }
    }
    ::close(fd);
}

// Paths cannot reach the bottom of such a chain, so it is removed through handles too.
void removeBelow(int parent, const char *name)
{
    const int fd = ::openat(parent, name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW);
    if (fd >= 0) {
        DIR *dir = ::fdopendir(fd);
        std::vector<std::string> entries;
        while (const dirent *e = ::readdir(dir))
            if (std::strcmp(e->d_name, ".") != 0 && std::strcmp(e->d_name, "..") != 0)
                entries.emplace_back(e->d_name);
        for (const std::string &entry : entries)
            if (::unlinkat(::dirfd(dir), entry.c_str(), 0) != 0)
                removeBelow(::dirfd(dir), entry.c_str());
        ::closedir(dir);
    }
    ::unlinkat(parent, name, AT_REMOVEDIR);
}

TEST(Scan, WalksTreesDeeperThanPathMax)
{
    test::TempTree tree;
    tree.dir(u"roms"_s);
    const QByteArray component(40, 'd');
    const int depth = 300; // about 12,300 bytes of path
    makeDeepChain(tree.filePath(u"roms"_s), depth, component);
    const FoundFiles found = cacheZelvoraRomDirs(tree.path());
    EXPECT_EQ(found.size(), (depth + 36) / 37);
    EXPECT_TRUE(test::textsOf(found).contains(u"level296.zip"_s));
    removeBelow(AT_FDCWD, QFile::encodeName(tree.filePath(u"roms"_s)).constData());
}

TEST(Scan, FindFileBelowTakesTheFirstInSortedPathOrder)
{
    const QString name = u"- Supported Games Lookup For Naming.txt"_s;
    test::TempTree tree;
    tree.file(u"z/"_s + name);
    tree.file(u"b/c/"_s + name);
    tree.file(u"b/d/"_s + name);
    tree.file(u"a/- supported games lookup for naming.txt"_s); // letter case counts
    tree.file(u"a/"_s + name + u".bak"_s);
    tree.dir(u"a/"_s + name); // a folder of that name is no match; its content is searched
    EXPECT_EQ(findFileBelow(tree.path(), name), tree.filePath(u"b/c/"_s + name));

    tree.file(u"a/"_s + name + u"/"_s + name);
    EXPECT_EQ(findFileBelow(tree.path(), name), tree.filePath(u"a/"_s + name + u"/"_s + name));

    tree.file(name);
    EXPECT_EQ(findFileBelow(tree.path(), name), tree.filePath(name));
}

TEST(Scan, FindFileBelowFindsNothing)
{
    test::TempTree tree;
    tree.file(u"x.txt"_s);
    tree.symlink(tree.filePath(u"x.txt"_s), u"wanted.txt"_s);
    EXPECT_EQ(findFileBelow(tree.path(), u"wanted.txt"_s), std::nullopt);
    EXPECT_EQ(findFileBelow(tree.filePath(u"absent"_s), u"wanted.txt"_s), std::nullopt);
}

// Records where and what progress was reported.
class RecordingProgress final : public Progress
{
public:
    void phase(const QString &) override {}
    void entriesSeen(qint64 total) override
    {
        threads.push_back(std::this_thread::get_id());
        totals.push_back(total);
    }
    std::vector<std::thread::id> threads;
    std::vector<qint64> totals;
};

TEST(Scan, GatheringOnEveryCoreFindsWhatTheSingleWalkFinds)
{
    // Many folders at several depths, so that walkers hand folders to each other; links and other
    // files in between.
    test::TempTree tree;
    int archives = 0;
    QStringList expected;
    for (int i = 0; i < 60; ++i) {
        const QString top = u"%1/pack %2"_s.arg(romDirectoryNames()[i % 3]).arg(i);
        for (int j = 0; j < 5; ++j) {
            const QString folder = j == 0 ? top : u"%1/sub %2/deeper"_s.arg(top).arg(j);
            for (int k = 0; k < 12; ++k, ++archives) {
                expected.append(u"%1/Game %2 %3 %4.%5"_s.arg(folder).arg(i).arg(j).arg(k).arg(k % 2 ? u"zip" : u"ZIP"));
                tree.file(expected.last());
            }
            tree.file(folder + u"/notes.txt"_s);
        }
        tree.symlink(u"../pack 0"_s, top + u"/linked"_s);
    }
    tree.file(u"roms/loose.zip"_s);
    expected.append(u"roms/loose.zip"_s);
    ++archives;

    RecordingProgress progress;
    const FoundFiles gathered = gatherFilesWithExtension(tree.path(), romDirectoryNames(), u"zip"_s, &progress);
    // Every archive once, each with the folder it lies in.
    QStringList paths;
    for (qsizetype i = 0; i < gathered.size(); ++i)
        paths.append(QString::fromUtf8(gathered.folderOf(i)) + u'/' + gathered.names.text(i));
    paths.sort();
    expected.sort();
    EXPECT_EQ(paths, expected);
    EXPECT_TRUE(gathered.walk.unreadable.empty());
    EXPECT_TRUE(gathered.walk.isComplete());

    // Progress comes on the calling thread only, never going back, and ends with every entry seen.
    ASSERT_FALSE(progress.totals.empty());
    for (const std::thread::id id : progress.threads)
        EXPECT_EQ(id, std::this_thread::get_id());
    EXPECT_TRUE(std::is_sorted(progress.totals.begin(), progress.totals.end()));
    EXPECT_GE(progress.totals.back(), archives);
}

} // namespace
} // namespace zelvora
