// The directory reader's sides list the same entries, with the record's type and the inode that lstat
// gives, across batches and when one reader is used for folder after folder.

#include "platform/fs/directoryreader.h"
#include "support/temptree.h"

#include <QFile>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <map>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

using namespace Qt::StringLiterals;

namespace zelvora::fs {
namespace {

struct Seen
{
    EntryType type;
    std::uint64_t inode;
    bool operator==(const Seen &) const = default;
};
using Listing = std::map<std::string, Seen>;

template <typename Reader> Listing list(Reader &reader, const QString &folder, int &error)
{
    const int fd = ::open(QFile::encodeName(folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    EXPECT_GE(fd, 0);
    Listing listing;
    error = reader.start(fd);
    for (auto batch = reader.next(); !batch.empty(); batch = reader.next()) {
        for (const DirectoryEntry &entry : batch) {
            EXPECT_EQ(entry.name.data()[entry.name.size()], '\0');
            EXPECT_TRUE(listing.emplace(std::string(entry.name), Seen{entry.type, entry.inode}).second)
                << "listed twice: " << entry.name;
        }
    }
    if (error == 0)
        error = reader.error();
    ::close(fd);
    return listing;
}

// What lstat says of every entry the test made.
Listing expected(const QString &folder, const std::vector<std::string> &names)
{
    Listing listing;
    for (const std::string &name : names) {
        struct stat st = {};
        EXPECT_EQ(::lstat((QFile::encodeName(folder) + '/' + name.c_str()).constData(), &st), 0) << name;
        listing[name] = Seen{typeOfMode(st.st_mode), std::uint64_t(st.st_ino)};
    }
    return listing;
}

TEST(DirectoryReader, SidesListEveryKindOfEntryAlike)
{
    zelvora::test::TempTree tree;
    std::vector<std::string> small{"file.zip", "folder", "link",    "dangling",
                                   "fifo",     "socket", ".hidden", "caf\xe9 \n odd"};
    tree.file(u"small/file.zip"_s, "x");
    tree.dir(u"small/folder"_s);
    tree.symlink(u"file.zip"_s, u"small/link"_s);
    tree.symlink(u"nowhere"_s, u"small/dangling"_s);
    tree.fifo(u"small/fifo"_s);
    tree.socket(u"small/socket"_s);
    tree.file(u"small/.hidden"_s);
    tree.rawFile("small/caf\xe9 \n odd");
    // More entries than one batch of either side holds.
    std::vector<std::string> big;
    for (int i = 0; i < 3000; ++i) {
        big.push_back("entry-with-a-longish-name-" + std::to_string(i) + ".zip");
        tree.file(u"big/"_s + QString::fromStdString(big.back()));
    }
    tree.dir(u"empty"_s);

    const struct
    {
        const char *folder;
        const std::vector<std::string> &names;
    } folders[] = {{"small", small}, {"big", big}, {"empty", {}}};

    // One reader of each side for all the folders in turn: a reader is reused as the walker does.
    PortableDirectoryReader portable;
#ifndef ZELVORA_POSIX_ONLY
    LinuxDirectoryReader native;
#endif
    for (const auto &f : folders) {
        SCOPED_TRACE(f.folder);
        const QString path = tree.filePath(QString::fromUtf8(f.folder));
        const Listing want = expected(path, f.names);
        int error = -1;
        const Listing got = list(portable, path, error);
        EXPECT_EQ(error, 0);
        EXPECT_EQ(got, want);
#ifndef ZELVORA_POSIX_ONLY
        const Listing nativeGot = list(native, path, error);
        EXPECT_EQ(error, 0);
        EXPECT_EQ(nativeGot, want);
#endif
    }
}

} // namespace
} // namespace zelvora::fs
