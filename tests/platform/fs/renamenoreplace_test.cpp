// The rename that never replaces, by each of its ways: on the test's own file system with the way
// forced, and on a real exFAT file system over FUSE (no RENAME_NOREPLACE, no hard links), where the
// fallback must find its own way down to the claim.

#include "platform/fs/renamenoreplace.h"
#include "support/temptree.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QStringList>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <map>
#include <sys/stat.h>
#include <unistd.h>

using namespace Qt::StringLiterals;

namespace zelvora::fs {
namespace {

using Files = std::map<QByteArray, QByteArray>;

// Every entry of a folder with its content, hidden ones too.
Files snapshot(const QString &folder)
{
    Files files;
    DIR *dir = ::opendir(QFile::encodeName(folder).constData());
    EXPECT_NE(dir, nullptr);
    while (const dirent *e = dir ? ::readdir(dir) : nullptr) {
        if (std::strcmp(e->d_name, ".") == 0 || std::strcmp(e->d_name, "..") == 0)
            continue;
        QFile file(folder + u'/' + QString::fromUtf8(e->d_name));
        files[e->d_name] = file.open(QIODevice::ReadOnly) ? file.readAll() : "?";
    }
    if (dir)
        ::closedir(dir);
    return files;
}

bool run(const QString &program, const QStringList &arguments, QByteArray *out = nullptr)
{
    QProcess process;
    process.start(program, arguments);
    const bool ok =
        process.waitForFinished(30000) && process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0;
    if (out)
        *out = process.readAllStandardOutput().trimmed();
    return ok;
}

// A small exFAT image mounted with exfat-fuse (through a loop device: as root it wants a block
// device). skipReason() says why there is none.
class ExfatMount
{
public:
    explicit ExfatMount(const zelvora::test::TempTree &tree)
    {
        const std::string reason = mount(tree);
        if (!reason.empty())
            m_skip = "exFAT over FUSE: " + reason;
    }
    ~ExfatMount()
    {
        if (m_mounted)
            run(u"umount"_s, {m_path});
        if (!m_loop.isEmpty())
            run(u"losetup"_s, {u"-d"_s, QString::fromUtf8(m_loop)});
    }
    ExfatMount(const ExfatMount &) = delete;
    ExfatMount &operator=(const ExfatMount &) = delete;

    const std::string &skipReason() const { return m_skip; }
    const QString &path() const { return m_path; }

private:
    std::string mount(const zelvora::test::TempTree &tree)
    {
        if (::geteuid() != 0)
            return "not root: mounting needs it";
        if (::access("/dev/fuse", R_OK | W_OK) != 0)
            return "no /dev/fuse";
        for (const QString &tool : {u"mkfs.exfat"_s, u"mount.exfat-fuse"_s, u"losetup"_s, u"umount"_s}) {
            if (QStandardPaths::findExecutable(tool, {u"/usr/sbin"_s, u"/sbin"_s, u"/usr/bin"_s, u"/bin"_s}).isEmpty())
                return "no " + tool.toStdString() + " (exfat-fuse, exfatprogs)";
        }
        const QString image = tree.filePath(u"exfat.img"_s);
        m_path = tree.filePath(u"mnt"_s);
        QFile file(image);
        if (!file.open(QIODevice::WriteOnly) || !file.resize(8 * 1024 * 1024) || !QDir().mkpath(m_path))
            return "cannot make the image";
        file.close();
        if (!run(u"mkfs.exfat"_s, {image}))
            return "mkfs.exfat failed";
        if (!run(u"losetup"_s, {u"-f"_s, u"--show"_s, image}, &m_loop) || m_loop.isEmpty())
            return "no loop device to be had";
        if (!run(u"mount.exfat-fuse"_s, {QString::fromUtf8(m_loop), m_path}))
            return "mount.exfat-fuse failed (FUSE not allowed here?)";
        m_mounted = true;
        return {};
    }

    QString m_path;
    QByteArray m_loop;
    std::string m_skip;
    bool m_mounted = false;
};

struct Case
{
    const char *what;
    Files before;
    const char *from;
    const char *to;
    // Another program acting between the claim and its check; only for ways that reach the claim.
    void (*meanwhile)(int dir);
    int error;
    Files after;
};

const Case kCases[] = {
    {"renames to a free name", {{"a", "A"}}, "a", "b", nullptr, 0, {{"b", "A"}}},
    {"never replaces a file", {{"a", "A"}, {"b", "B"}}, "a", "b", nullptr, EEXIST, {{"a", "A"}, {"b", "B"}}},
    {"a missing file leaves nothing behind", {{"c", "C"}}, "gone", "b", nullptr, ENOENT, {{"c", "C"}}},
    {"a file renamed onto the claim is never replaced",
     {{"a", "A"}, {"theirs", "T"}},
     "a",
     "b",
     [](int dir) { ASSERT_EQ(::renameat(dir, "theirs", dir, "b"), 0); },
     EEXIST,
     {{"a", "A"}, {"b", "T"}}},
    {"a claim written to meanwhile is left alone",
     {{"a", "A"}},
     "a",
     "b",
     [](int dir) {
         const int fd = ::openat(dir, "b", O_WRONLY | O_CLOEXEC);
         ASSERT_GE(fd, 0);
         ASSERT_EQ(::write(fd, "W", 1), 1);
         ::close(fd);
     },
     EEXIST,
     {{"a", "A"}, {"b", "W"}}},
};

// Runs every case in a fresh folder below `base`; `reachesClaim`: whether the way taken ends in the claim.
void checkRules(const QString &base, const NoReplaceTrial &way, bool reachesClaim)
{
    int n = 0;
    for (const Case &c : kCases) {
        SCOPED_TRACE(c.what);
        if (c.meanwhile && !reachesClaim)
            continue;
        const QString folder = base + u"/case"_s + QString::number(n++);
        ASSERT_TRUE(QDir().mkpath(folder));
        for (const auto &[name, content] : c.before) {
            QFile file(folder + u'/' + QString::fromUtf8(name));
            ASSERT_TRUE(file.open(QIODevice::WriteOnly));
            file.write(content);
        }
        const int dir = ::open(QFile::encodeName(folder).constData(), kNamingFolderFlags);
        ASSERT_GE(dir, 0);
        bool claimed = false;
        NoReplaceTrial trial = way;
        trial.afterClaim = [&] {
            claimed = true;
            if (c.meanwhile)
                c.meanwhile(dir);
        };
        EXPECT_EQ(renameNoReplace(dir, c.from, c.to, trial), c.error) << std::strerror(c.error);
        ::close(dir);
        EXPECT_EQ(snapshot(folder), c.after);
        if (c.error == 0) {
            EXPECT_EQ(claimed, reachesClaim) << "the way the rename took";
        }
    }
}

TEST(RenameNoReplace, EachWayOnThisFileSystem)
{
    zelvora::test::TempTree tree;
    const struct
    {
        const char *what;
        NoReplaceWay first;
        bool reachesClaim;
    } ways[] = {
#ifndef ZELVORA_POSIX_ONLY
        {"renameat2", NoReplaceWay::RenameFlag, false},
#endif
        {"link and unlink", NoReplaceWay::Link, false},
        {"claim", NoReplaceWay::Claim, true},
    };
    for (const auto &w : ways) {
        SCOPED_TRACE(w.what);
        checkRules(tree.filePath(QString::fromUtf8(w.what)), {w.first, {}}, w.reachesClaim);
    }
}

TEST(RenameNoReplace, FallsBackToTheClaimOnExfat)
{
    zelvora::test::TempTree tree;
    const ExfatMount mount(tree);
    if (!mount.skipReason().empty())
        GTEST_SKIP() << mount.skipReason();
    checkRules(mount.path(), {}, true);
}

} // namespace
} // namespace zelvora::fs
