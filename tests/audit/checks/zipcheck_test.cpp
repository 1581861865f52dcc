// Archives made here, sound and damaged in the ways copies get damaged, each with what the quick check
// (structure only) and the deep verify (every entry read) must say of it; and the verdict cache, which
// must read a changed archive again.
#include "audit/checks/verify.h"
#include "audit/checks/zipcheck.h"
#include "audit/walk/scan.h"
#include "support/temptree.h"
#include "support/zipbuilder.h"

#include <QFile>
#include <QTemporaryDir>
#include <cstring>
#include <functional>
#include <gtest/gtest.h>
#include <random>

using namespace Qt::StringLiterals;

namespace zelvora {
namespace {

using test::buildZip;
using test::ZipMember;

// Rom-like bytes: repetitive enough to compress about 3:1, never the same twice.
QByteArray romBytes(qsizetype size, unsigned seed)
{
    std::mt19937 random(seed);
    QByteArray out(size, '\0');
    for (qsizetype i = 0; i < size; ++i)
        out[i] = char((i % 7 == 0) ? random() & 0xFF : (i / 64) & 0x0F);
    return out;
}

QByteArray typical()
{
    return buildZip({{"part1.bin", romBytes(30000, 1)}, {"part2.bin", romBytes(20000, 2)}, {"notes.txt", "hello", 0}});
}

// The end record's place in an archive without a comment.
qsizetype endAt(const QByteArray &zip)
{
    return zip.size() - 22;
}

// `bytes` bytes at `at`, little-endian: the value's, then zeros.
QByteArray patched(QByteArray zip, qsizetype at, quint64 value, int bytes)
{
    for (int i = 0; i < bytes; ++i, value >>= 8)
        zip[at + i] = char(value & 0xFF);
    return zip;
}

quint32 le32(const QByteArray &zip, qsizetype at)
{
    quint32 v = 0;
    for (int i = 3; i >= 0; --i)
        v = (v << 8) | static_cast<unsigned char>(zip[at + i]);
    return v;
}

QByteArray flipped(QByteArray zip, qsizetype at)
{
    zip[at] = char(zip[at] ^ 0x55);
    return zip;
}

struct Case
{
    const char *name;
    QByteArray zip;
    const char *kind;   // "", "damaged-zip", "damaged-entry" or "not-verified"
    const char *detail; // a part of the detail
};

TEST(ZipCheck, EachArchiveGivesItsKind)
{
    const QByteArray zip = typical();
    const qsizetype end = endAt(zip);
    const quint32 directory = le32(zip, end + 16);
    // The first entry's data starts after its 30-byte header and 9-byte name.
    const qsizetype deflateData = 30 + 9;
    const QByteArray stored = buildZip({{"a.bin", romBytes(5000, 3), 0}});
    const QByteArray large = buildZip({{"big.bin", romBytes(3 << 20, 4)}});
    QList<ZipMember> many;
    for (int i = 0; i < 3000; ++i)
        many.append({"f" + QByteArray::number(i), QByteArray::number(i), 0});
    const QByteArray bomb = buildZip({{"zeros.bin", QByteArray(1 << 20, '\0'), 8, false, 0, -1, 1000}});

    const std::vector<Case> cases = {
        {"intact", zip, "", ""},
        {"stored", stored, "", ""},
        {"a comment", buildZip({{"a", "abc"}}, {"a comment\r\nof two lines", false}), "", ""},
        {"zip64", buildZip({{"a.bin", romBytes(9000, 5)}, {"b.bin", "b", 0}}, {{}, true}), "", ""},
        {"data descriptors", buildZip({{"a.bin", romBytes(9000, 6), 8, true}, {"b", "bb", 0, true}}), "", ""},
        {"many entries", buildZip(many), "", ""},
        {"no entries", buildZip({}), "", ""},
        {"large, streamed", large, "", ""},
        {"cut in the middle", zip.first(zip.size() / 2), "damaged-zip", "cut short"},
        {"cut one byte short", zip.first(zip.size() - 1), "damaged-zip", "cut short"},
        {"cut at the directory", zip.first(directory), "damaged-zip", "cut short"},
        {"a zeroed tail", patched(zip, end, 0, 22 - 2), "damaged-zip", "cut short"},
        {"a bad directory offset", patched(zip, end + 16, directory + 1000, 4), "damaged-zip", "outside the file"},
        {"a shifted directory offset", patched(zip, end + 16, directory - 7, 4), "damaged-zip", "holds 0"},
        {"a wrong entry count", patched(patched(zip, end + 8, 2, 2), end + 10, 2, 2), "damaged-zip", "counts 2"},
        {"an entry past the directory", patched(zip, qsizetype(directory) + 42, directory - 10, 4), "damaged-zip",
         "entry \"part1.bin\" runs past the central directory"},
        {"two entries sharing bytes", patched(zip, qsizetype(directory) + 46 + 9 + 42, 0, 4), "damaged-zip",
         "share the same bytes"},
        {"flipped deflate bytes", flipped(flipped(zip, deflateData + 100), deflateData + 101), "damaged-entry",
         "\"part1.bin\""},
        {"a flipped stored byte", flipped(stored, 30 + 5 + 100), "damaged-entry", "\"a.bin\": CRC mismatch"},
        {"a flipped streamed byte", flipped(large, large.size() / 2), "damaged-entry", "\"big.bin\""},
        {"a wrong CRC", buildZip({{"x.bin", "xyz", 8, false, 0, 1234}}), "damaged-entry", "CRC mismatch"},
        {"a bomb past its size", bomb, "damaged-entry", "inflates past"},
        {"a size that is too big", buildZip({{"s", "abc", 8, false, 0, -1, 4}}), "damaged-entry",
         "size differs from the directory"},
        {"a local header that differs", patched(zip, 14, 0xDEADBEEF, 4), "damaged-entry", "local header differs"},
        {"encrypted", buildZip({{"e", "abc", 0, false, 1}}), "not-verified", ""},
        {"bzip2 and LZMA", buildZip({{"b", "BZh9", 12}, {"l", "lzma", 14}, {"fine", "abc"}}), "not-verified", ""},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        MemoryZipSource quick(c.zip.constData(), std::size_t(c.zip.size()));
        const QString structure = readZipDirectory(quick, quint64(c.zip.size()), nullptr);
        MemoryZipSource deep(c.zip.constData(), std::size_t(c.zip.size()));
        const ArchiveVerdict verdict = verifyArchive(deep, quint64(c.zip.size()));
        const QString kind = !verdict.damagedZip.isEmpty()     ? u"damaged-zip"_s
                             : !verdict.damagedEntry.isEmpty() ? u"damaged-entry"_s
                             : verdict.notVerified > 0         ? u"not-verified"_s
                                                               : QString();
        EXPECT_EQ(kind.toStdString(), c.kind) << verdict.damagedEntry.toStdString();
        // The quick check sees the structure only, the same as the deep verify's first step.
        EXPECT_EQ(structure, verdict.damagedZip);
        const QString detail = verdict.damagedZip + verdict.damagedEntry;
        EXPECT_TRUE(detail.contains(QString::fromUtf8(c.detail))) << detail.toStdString();
        // zlib alone, as the bench compares it, tells damage from soundness the same way.
        MemoryZipSource again(c.zip.constData(), std::size_t(c.zip.size()));
        const ArchiveVerdict zlib = verifyArchive(again, quint64(c.zip.size()), Inflater::ZlibOnly);
        EXPECT_EQ(zlib.damagedEntry.isEmpty(), verdict.damagedEntry.isEmpty()) << zlib.damagedEntry.toStdString();
        EXPECT_EQ(zlib.notVerified, verdict.notVerified);
    }
}

// With the identities of the quick check just before, as a session gives them, or stat'ed by the verify.
TEST(ZipCheck, AChangedArchiveIsReadAgainDespiteTheCache)
{
    for (const bool quickCheckFirst : {false, true}) {
        SCOPED_TRACE(quickCheckFirst);
        QTemporaryDir data;
        qputenv("XDG_DATA_HOME", QFile::encodeName(data.path()));
        test::TempTree tree;
        tree.file(u"roms/game.zip"_s, typical());
        const FoundFiles found = cacheZelvoraRomDirs(tree.path());
        const std::vector<qsizetype> pairing(std::size_t(found.size()), 0);
        const auto verify = [&](bool all) {
            std::vector<FileIdentity> identities;
            VerifyRequest request{true, all};
            if (quickCheckFirst) {
                fileProblems(tree.path(), found, pairing, true, &identities);
                request.known = &identities;
            }
            return verifyArchives(tree.path(), found, pairing, request);
        };

        VerifyResult first = verify(false);
        EXPECT_EQ(first.summary.fromCache, 0);
        EXPECT_TRUE(first.problems.empty());
        EXPECT_EQ(verify(false).summary.fromCache, 1);
        EXPECT_EQ(verify(true).summary.fromCache, 0);

        // Damaged in place, the same size: its change time tells.
        tree.file(u"roms/game.zip"_s, flipped(typical(), 30 + 9 + 100));
        VerifyResult changed = verify(false);
        EXPECT_EQ(changed.summary.fromCache, 0);
        ASSERT_EQ(changed.problems.size(), 1U);
        // Still reported from the cache while it stays as it is.
        VerifyResult again = verify(false);
        EXPECT_EQ(again.summary.fromCache, 1);
        ASSERT_EQ(again.problems.size(), 1U);
        EXPECT_EQ(again.problems[0].detail, changed.problems[0].detail);
        qunsetenv("XDG_DATA_HOME");
    }
}

} // namespace
} // namespace zelvora
