#include "support/temptree.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <string>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>
#include <vector>

namespace zelvora::test {

TempTree::TempTree()
{
    EXPECT_TRUE(m_dir.isValid()) << "cannot create a temporary folder";
}

// Removes everything below the folder open as `fd`, by handles and raw names: paths cannot reach the
// bottom of chains deeper than PATH_MAX, and names that are not UTF-8 do not survive a QString.
static void removeContents(int fd)
{
    DIR *dir = ::fdopendir(fd);
    if (!dir) {
        ::close(fd);
        return;
    }
    std::vector<std::string> entries;
    while (const dirent *e = ::readdir(dir)) {
        if (std::strcmp(e->d_name, ".") != 0 && std::strcmp(e->d_name, "..") != 0)
            entries.emplace_back(e->d_name);
    }
    for (const std::string &entry : entries) {
        if (::unlinkat(::dirfd(dir), entry.c_str(), 0) == 0)
            continue;
        // Not removable as a file, so a folder, which a test may have locked.
        ::fchmodat(::dirfd(dir), entry.c_str(), 0700, 0);
        const int child = ::openat(::dirfd(dir), entry.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
        if (child >= 0)
            removeContents(child);
        ::unlinkat(::dirfd(dir), entry.c_str(), AT_REMOVEDIR);
    }
    ::closedir(dir);
}

TempTree::~TempTree()
{
    if (!m_dir.isValid())
        return;
    ::chmod(QFile::encodeName(path()).constData(), 0700);
    const int fd = ::open(QFile::encodeName(path()).constData(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd >= 0)
        removeContents(fd);
}

QString TempTree::filePath(const QString &relative) const
{
    return relative.isEmpty() ? path() : path() + u'/' + relative;
}

static void makeParent(const QString &fullPath)
{
    const QString parent = QFileInfo(fullPath).path();
    EXPECT_TRUE(QDir().mkpath(parent)) << parent.toStdString();
}

void TempTree::file(const QString &relative, QByteArrayView content) const
{
    rawFile(QFile::encodeName(relative), content);
}

// Folder names may be bytes that no text holds, so they are made from the bytes.
static void makeParentBytes(const QByteArray &fullPath)
{
    for (qsizetype slash = fullPath.indexOf('/', 1); slash >= 0; slash = fullPath.indexOf('/', slash + 1)) {
        const QByteArray folder = fullPath.first(slash);
        struct stat st;
        if (::stat(folder.constData(), &st) != 0) {
            ASSERT_EQ(::mkdir(folder.constData(), 0755), 0) << folder.constData() << ": " << std::strerror(errno);
        }
    }
}

void TempTree::rawFile(const QByteArray &relativeBytes, QByteArrayView content) const
{
    const QByteArray full = QFile::encodeName(path()) + '/' + relativeBytes;
    makeParentBytes(full);
    const int fd = ::open(full.constData(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    ASSERT_GE(fd, 0) << full.constData() << ": " << std::strerror(errno);
    qsizetype written = 0;
    while (written < content.size()) {
        const ssize_t n = ::write(fd, content.data() + written, size_t(content.size() - written));
        ASSERT_GT(n, 0) << std::strerror(errno);
        written += n;
    }
    ::close(fd);
}

void TempTree::dir(const QString &relative) const
{
    EXPECT_TRUE(QDir().mkpath(filePath(relative))) << relative.toStdString();
}

void TempTree::symlink(const QString &target, const QString &relative) const
{
    const QString full = filePath(relative);
    makeParent(full);
    EXPECT_EQ(::symlink(QFile::encodeName(target).constData(), QFile::encodeName(full).constData()), 0)
        << std::strerror(errno);
}

void TempTree::fifo(const QString &relative) const
{
    const QString full = filePath(relative);
    makeParent(full);
    EXPECT_EQ(::mkfifo(QFile::encodeName(full).constData(), 0644), 0) << std::strerror(errno);
}

void TempTree::socket(const QString &relative) const
{
    const QString full = filePath(relative);
    makeParent(full);
    const QByteArray encoded = QFile::encodeName(full);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    ASSERT_LT(size_t(encoded.size()), sizeof(address.sun_path)) << "socket path too long for this test";
    std::memcpy(address.sun_path, encoded.constData(), size_t(encoded.size()));
    const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
    ASSERT_GE(fd, 0);
    EXPECT_EQ(::bind(fd, reinterpret_cast<const sockaddr *>(&address), sizeof(address)), 0) << std::strerror(errno);
    ::close(fd);
}

QByteArray TempTree::read(const QString &relative) const
{
    QFile f(filePath(relative));
    if (!f.open(QIODevice::ReadOnly)) {
        ADD_FAILURE() << "cannot read " << relative.toStdString();
        return {};
    }
    return f.readAll();
}

} // namespace zelvora::test
