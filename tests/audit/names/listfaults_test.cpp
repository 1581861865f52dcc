// Supported roms lists that are awkward or change under the reader: the size limit from both sides
// in every encoding, files that grow or are swapped while they are read, marks with nothing after
// them, lone surrogates and NUL bytes.
#include "audit/names/romslist.h"
#include "support/backgroundloop.h"
#include "support/nametexts.h"
#include "support/temptree.h"

#include <QFile>
#include <algorithm>
#include <chrono>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <iostream>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

using namespace Qt::StringLiterals;

namespace zelvora {
namespace {

// The entries of the list at `path` as text, in file order.
std::optional<QStringList> readRomsListEntries(const QString &path)
{
    const std::optional<NameBlock> names = readRomsListBlock(path);
    return names ? std::optional(test::textsOf(*names)) : std::nullopt;
}

// A list of `size` bytes in all: the mark, then lines of "g", a number and padding in the mark's
// encoding (one byte per character for UTF-8, two for UTF-16), the last line cut to fit.
QByteArray listOfSize(QByteArrayView mark, int unitBytes, qint64 size, qsizetype *lines)
{
    constexpr int lineUnits = 100;
    QByteArray bytes = mark.toByteArray();
    bytes.reserve(size);
    *lines = 0;
    const auto put = [&](char c) {
        bytes.append(c);
        for (int i = 1; i < unitBytes; ++i)
            bytes.append('\0'); // little-endian
    };
    while (bytes.size() + lineUnits * unitBytes <= size) {
        put('g');
        for (const char c : QByteArray::number(*lines).rightJustified(8, '0'))
            put(c);
        for (int i = 10; i < lineUnits; ++i)
            put('p');
        put('\n');
        ++*lines;
    }
    if (bytes.size() + unitBytes <= size) {
        while (bytes.size() + unitBytes <= size)
            put('t');
        ++*lines;
    }
    bytes.append(QByteArray(size - bytes.size(), 't')); // an odd last byte only for UTF-8
    return bytes;
}

TEST(ListFaults, SizeLimitFromBothSidesInEveryEncoding)
{
    struct Case
    {
        const char *label;
        QByteArray mark;
        int unitBytes;
        qint64 size;
        bool accepted;
    };
    const qint64 limit = kRomsListMaxBytes;
    const Case cases[] = {
        {"utf8 one under", {}, 1, limit - 1, true},
        {"utf8 at", {}, 1, limit, true},
        {"utf8 one over", {}, 1, limit + 1, false},
        {"utf8 mark at", "\xEF\xBB\xBF", 1, limit, true},
        {"utf8 mark one over", "\xEF\xBB\xBF", 1, limit + 1, false},
        {"utf16 mark at", "\xFF\xFE", 2, limit, true},
        {"utf16 mark two under", "\xFF\xFE", 2, limit - 2, true},
        {"utf16 mark two over", "\xFF\xFE", 2, limit + 2, false},
    };
    test::TempTree tree;
    for (const Case &c : cases) {
        SCOPED_TRACE(c.label);
        qsizetype lines = 0;
        const QByteArray bytes = listOfSize(c.mark, c.unitBytes, c.size, &lines);
        ASSERT_EQ(bytes.size(), c.size);
        tree.file(u"list.txt"_s, bytes);
        const std::optional<QStringList> entries = readRomsListEntries(tree.filePath(u"list.txt"_s));
        ASSERT_EQ(entries.has_value(), c.accepted);
        if (entries) {
            EXPECT_EQ(entries->size(), lines);
            EXPECT_EQ(entries->first(), u"g00000000"_s + QString(90, u'p'));
        }
    }
}

// A file that claims a huge size is refused without being read.
TEST(ListFaults, HugeSparseFileIsRefused)
{
    test::TempTree tree;
    tree.file(u"huge.txt"_s, "a\n");
    ASSERT_EQ(::truncate(QFile::encodeName(tree.filePath(u"huge.txt"_s)).constData(), qint64(1) << 40), 0);
    EXPECT_EQ(readRomsListEntries(tree.filePath(u"huge.txt"_s)), std::nullopt);
}

TEST(ListFaults, AwkwardTexts)
{
    struct Case
    {
        const char *label;
        QByteArray bytes;
        std::optional<QStringList> entries;
    };
    const Case cases[] = {
        {"utf8 mark alone", "\xEF\xBB\xBF", QStringList()},
        {"utf16le mark alone", "\xFF\xFE", QStringList()},
        {"utf16be mark alone", "\xFE\xFF", QStringList()},
        {"utf32le mark alone", QByteArray("\xFF\xFE\x00\x00", 4), QStringList()},
        {"utf32be mark alone", QByteArray("\x00\x00\xFE\xFF", 4), QStringList()},
        {"mark then line ends only", "\xEF\xBB\xBF\r\n\r\n", QStringList()},
        {"utf16le high surrogate last",
         QByteArray("\xFF\xFE"
                    "a\x00"
                    "\x3C\xD8",
                    6),
         std::nullopt},
        {"utf16le low surrogate alone",
         QByteArray("\xFF\xFE"
                    "\x00\xDC"
                    "a\x00",
                    6),
         std::nullopt},
        {"utf16le two high surrogates",
         QByteArray("\xFF\xFE"
                    "\x3C\xD8"
                    "\x3C\xD8"
                    "\xAE\xDF",
                    8),
         std::nullopt},
        {"utf16le pair reversed",
         QByteArray("\xFF\xFE"
                    "\xAE\xDF"
                    "\x3C\xD8",
                    6),
         std::nullopt},
        {"utf16be high surrogate then a letter",
         QByteArray("\xFE\xFF"
                    "\xD8\x3C"
                    "\x00"
                    "a",
                    6),
         std::nullopt},
        {"utf16be pair",
         QByteArray("\xFE\xFF"
                    "\xD8\x3C\xDF\xAE"
                    "\x00\n"
                    "\x00"
                    "b",
                    10),
         QStringList{u"\U0001F3AE"_s, u"b"_s}},
        {"utf32 surrogate",
         QByteArray("\x00\x00\xFE\xFF"
                    "\x00\x00\xD8\x00",
                    8),
         std::nullopt},
        {"utf8 mark then encoded surrogates", "\xEF\xBB\xBF\xED\xA0\xBD\xED\xBE\xAE", std::nullopt},
        // U+FEFF after the mark is a character like any other, in every encoding that keeps it.
        {"utf32le no-break space inside",
         QByteArray("\xFF\xFE\x00\x00"
                    "a\x00\x00\x00"
                    "\xFF\xFE\x00\x00"
                    "b\x00\x00\x00",
                    16),
         QStringList{u"a\uFEFFb"_s}},
        {"utf16le no-break space inside",
         QByteArray("\xFF\xFE"
                    "a\x00"
                    "\xFF\xFE"
                    "b\x00",
                    8),
         QStringList{u"a\uFEFFb"_s}},
        {"nul bytes inside lines", QByteArray("a\0b\n\0\nc", 7), QStringList{u"a\0b"_s, u"\0"_s, u"c"_s}},
        {"nul bytes only", QByteArray(3, '\0'), QStringList{QString(3, QChar(0))}},
        {"nul bytes in utf16",
         QByteArray("\xFF\xFE"
                    "a\x00\x00\x00"
                    "\n\x00",
                    8),
         QStringList{u"a\0"_s}},
    };
    test::TempTree tree;
    for (const Case &c : cases) {
        SCOPED_TRACE(c.label);
        tree.file(u"list.txt"_s, c.bytes);
        EXPECT_EQ(readRomsListEntries(tree.filePath(u"list.txt"_s)), c.entries);
    }
}

// The list grows past the limit and is cut back while it is read, again and again. Whatever a read
// gives must come from at most kRomsListMaxBytes of the file's bytes.
TEST(ListFaults, FileGrowingWhileReadNeverGivesMoreThanTheLimit)
{
    test::TempTree tree;
    const QByteArray path = QFile::encodeName(tree.filePath(u"list.txt"_s));
    constexpr qsizetype lineBytes = 64;
    const QByteArray line = QByteArray(lineBytes - 1, 'x') + '\n';
    const qint64 start = kRomsListMaxBytes - 8 * lineBytes;
    const auto reset = [&] {
        const int fd = ::open(path.constData(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
        ASSERT_GE(fd, 0);
        const QByteArray bytes = line.repeated(start / lineBytes);
        ASSERT_EQ(::write(fd, bytes.constData(), std::size_t(bytes.size())), bytes.size());
        ::close(fd);
    };
    reset();

    test::BackgroundLoop writer([&] {
        const int fd = ::open(path.constData(), O_WRONLY | O_APPEND | O_CLOEXEC);
        for (int i = 0; i < 16; ++i) {
            if (::write(fd, line.constData(), std::size_t(line.size())) != line.size())
                break;
            std::this_thread::yield();
        }
        if (::ftruncate(fd, start) != 0)
            std::abort();
        ::close(fd);
    });

    int accepted = 0;
    int refused = 0;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(800);
    while (accepted + refused < 300 && std::chrono::steady_clock::now() < deadline) {
        const std::optional<QStringList> entries = readRomsListEntries(QFile::decodeName(path));
        if (!entries) {
            ++refused;
            continue;
        }
        ++accepted;
        qint64 bytes = 0;
        for (qsizetype i = 0; i < entries->size(); ++i) {
            const QString &entry = (*entries)[i];
            bytes += entry.size() + 1;
            // A read that races a truncation may see the zeroed tail of a page, never other bytes.
            ASSERT_TRUE(std::all_of(entry.begin(), entry.end(), [](QChar c) { return c == u'x' || c == u'\0'; }));
        }
        ASSERT_LE(bytes, kRomsListMaxBytes + 1);
    }
    writer.stop();
    std::cout << "[          ] growing list: " << accepted << " reads accepted, " << refused << " refused\n";
    EXPECT_GT(accepted + refused, 0);
}

// The path is swapped among a small list, a link to another list, a FIFO and a folder while it is
// read. A read gives the small list or nothing: never what the link points to, and it never blocks.
TEST(ListFaults, FileSwappedWhileReadIsNeverFollowedOrBlockedOn)
{
    test::TempTree tree;
    tree.file(u"secret.txt"_s, "secret\n");
    const QByteArray path = QFile::encodeName(tree.filePath(u"list.txt"_s));
    const QByteArray next = QFile::encodeName(tree.filePath(u"next"_s));
    const QByteArray secret = QFile::encodeName(tree.filePath(u"secret.txt"_s));
    tree.file(u"list.txt"_s, "good\n");

    test::BackgroundLoop swapper([&] {
        ::symlink(secret.constData(), next.constData());
        ::rename(next.constData(), path.constData());
        ::mkfifo(next.constData(), 0644);
        ::rename(next.constData(), path.constData());
        ::unlink(path.constData());
        ::mkdir(path.constData(), 0755);
        ::rmdir(path.constData());
        const int fd = ::open(next.constData(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
        if (fd < 0 || ::write(fd, "good\n", 5) != 5)
            std::abort();
        ::close(fd);
        ::rename(next.constData(), path.constData());
    });

    int good = 0;
    int refused = 0;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(500);
    while (std::chrono::steady_clock::now() < deadline) {
        const std::optional<QStringList> entries = readRomsListEntries(QFile::decodeName(path));
        if (entries) {
            ASSERT_EQ(*entries, QStringList{u"good"_s});
            ++good;
        } else {
            ++refused;
        }
    }
    const int swaps = swapper.stop();
    std::cout << "[          ] swapped list: " << good << " reads of the list, " << refused << " refused, " << swaps
              << " swap cycles\n";
    EXPECT_GT(swaps, 0);
}

} // namespace
} // namespace zelvora
