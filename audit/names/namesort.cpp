// Map: SortKey and its folding (makeKey), the bucket of a name, KeyOrder (the comparison of two keys),
// radixSort (one byte at a time within a bucket), positionsInOrder (the whole sort), and the calls of
// namesort.h that lay the names out in that order.

#include "audit/names/namesort.h"

#include "audit/names/names.h"
#include "audit/names/textunits.h"
#include "audit/parallel.h"
#include "audit/tuning.h"

#include <QtEndian>
#include <algorithm>
#include <cstring>
#include <memory>
#include <span>
#include <vector>

namespace zelvora {

namespace {

// A name's last component, case-folded once into bytes that order like its units; the first sixteen
// bytes, packed into two numbers, decide most comparisons without leaving the key array. Names with a
// surrogate pair (rare) are compared the slow way.
struct SortKey
{
    quint64 head[2];
    qint64 offset; // into the folded bytes, or -1 for the slow way
    qint32 index;
    qint32 length; // in bytes
};

// Keys are first spread into buckets by their first two folded units, then each bucket is sorted on
// its own: most names are ASCII, so most of the sorting is done without a comparison. A digit is 0 for
// a missing unit (a shorter name sorts first), 1..128 for an ASCII unit, and 129 for any other unit,
// whose bucket the comparison then orders.
constexpr int kBucketDigits = 130;
constexpr int kBucketCount = kBucketDigits * kBucketDigits;

// Units are char16_t, or char for names known to be ASCII.
template <typename Unit> inline int bucketDigit(const Unit *units, qsizetype size, qsizetype at)
{
    if (at >= size)
        return 0;
    auto unit = char16_t(units[at]);
    // Folded first: a few letters outside ASCII fold into it (the Kelvin sign into "k").
    if (unit >= 0x80 && !QChar::isSurrogate(unit))
        unit = char16_t(QChar::toCaseFolded(char32_t(unit)));
    return unit < 0x80 ? foldAscii(unit) + 1 : kBucketDigits - 1;
}

// The bucket of a name: its first two folded units as digits. Past a unit outside ASCII the comparison
// decides, so the second digit must not split that bucket.
template <typename Unit> int bucketOf(const Unit *units, qsizetype size)
{
    const int first = bucketDigit(units, size, 0);
    return first * kBucketDigits + (first == kBucketDigits - 1 ? 0 : bucketDigit(units, size, 1));
}

inline quint64 bigEndianWord(const unsigned char *bytes)
{
    quint64 word = 0;
    std::memcpy(&word, bytes, sizeof word);
    return qFromBigEndian(word);
}

// Folds a name into `out` and fills `key`; returns the end of the folded bytes. A folded unit is written
// as UTF-8 writes it, one byte for ASCII: bytes then order like units, and most names fit the head words.
template <typename Unit>
unsigned char *makeKey(const Unit *units, qsizetype size, qint32 index, const unsigned char *base, unsigned char *out,
                       SortKey &key)
{
    unsigned char *start = out;
    key.index = index;
    for (qsizetype k = 0; k < size; ++k) {
        auto u = char16_t(units[k]);
        if (u < 0x80) {
            *out++ = static_cast<unsigned char>(foldAscii(u));
            continue;
        }
        if (QChar::isSurrogate(u)) {
            key.head[0] = key.head[1] = 0;
            key.offset = -1;
            key.length = 0;
            return start;
        }
        // Folded first: a few letters outside ASCII fold into it (the Kelvin sign into "k").
        out = encodeUtf8(QChar::toCaseFolded(char32_t(u)), out);
    }
    const auto length = qint32(out - start);
    // The head words read past a short key; zero those bytes so that "ab" still sorts before "ab\0".
    unsigned char head[16] = {};
    std::memcpy(head, start, std::size_t(std::min(length, 16)));
    key.head[0] = bigEndianWord(head);
    key.head[1] = bigEndianWord(head + 8);
    key.offset = start - base;
    key.length = length;
    return out;
}

// The names of a block, seen through their last components: ASCII ones are folded from their bytes,
// others from their text. A separator is ASCII, so the component of the text is the text of the component.
class BlockNames
{
public:
    explicit BlockNames(const NameBlock &names) : m_names(names), m_separators(names.holdsSeparator()) {}
    qsizetype size() const { return m_names.size(); }
    template <typename Use> auto withName(qsizetype i, Use &&use) const
    {
        const std::string_view name = m_separators ? lastPathComponent(m_names.at(i)) : m_names.at(i);
        if (isAscii(name))
            return use(name.data(), qsizetype(name.size()));
        const QString text = textOfUtf8(name);
        return use(text.utf16(), text.size());
    }
    int compareSlowly(qint32 a, qint32 b) const
    {
        return compareSringsCaseInsensitive(m_names.text(a), m_names.text(b));
    }
    bool isExactlyBefore(qint32 a, qint32 b) const { return m_names.at(a) < m_names.at(b); }

private:
    const NameBlock &m_names;
    bool m_separators;
};

template <typename Names> class KeyOrder
{
public:
    KeyOrder(const Names &names, const unsigned char *bytes) : m_names(names), m_bytes(bytes) {}

    bool operator()(const SortKey &a, const SortKey &b) const
    {
        if (a.offset < 0 || b.offset < 0) {
            const int order = m_names.compareSlowly(a.index, b.index);
            return order != 0 ? order < 0 : m_names.isExactlyBefore(a.index, b.index);
        }
        if (a.head[0] != b.head[0])
            return a.head[0] < b.head[0];
        if (a.head[1] != b.head[1])
            return a.head[1] < b.head[1];
        // Names are short: eight bytes at a time, inline, beat a call to memcmp.
        const qint32 common = std::min(a.length, b.length);
        const unsigned char *x = m_bytes + a.offset;
        const unsigned char *y = m_bytes + b.offset;
        qint32 i = 16;
        for (; i + 8 <= common; i += 8) {
            const quint64 p = bigEndianWord(x + i);
            const quint64 q = bigEndianWord(y + i);
            if (p != q)
                return p < q;
        }
        for (; i < common; ++i) {
            if (x[i] != y[i])
                return x[i] < y[i];
        }
        if (a.length != b.length)
            return a.length < b.length;
        // Names that differ only in case keep one order whatever order the walk found them in.
        return m_names.isExactlyBefore(a.index, b.index);
    }

private:
    const Names &m_names;
    const unsigned char *m_bytes;
};

inline unsigned keyByte(const SortKey &key, int depth)
{
    return unsigned(key.head[depth / 8] >> (56 - 8 * (depth % 8))) & 0xFF;
}

// Sorts keys that agree on their first `depth` bytes, one byte at a time while the head words last (a
// most-significant-digit radix sort), then by comparison. None of them is a slow one.
template <typename Order>
// NOLINTNEXTLINE(misc-no-recursion): one level per head byte, so at most 16 deep
void radixSort(SortKey *begin, SortKey *end, int depth, const Order &order, std::vector<SortKey> &scratch,
               std::ptrdiff_t radixFrom)
{
    for (;;) {
        const std::ptrdiff_t n = end - begin;
        if (n < radixFrom || depth >= 16) {
            std::sort(begin, end, order);
            return;
        }
        std::size_t count[256] = {};
        for (const SortKey *key = begin; key != end; ++key)
            ++count[keyByte(*key, depth)];
        const unsigned firstByte = keyByte(*begin, depth);
        if (count[firstByte] == std::size_t(n)) {
            if (firstByte == 0)
                break; // all ended here (or hold U+0000): the comparison knows
            ++depth;
            continue;
        }
        std::size_t next[256];
        std::size_t at = 0;
        for (int b = 0; b < 256; ++b) {
            next[b] = at;
            at += count[b];
        }
        scratch.resize(std::max(scratch.size(), std::size_t(n)));
        for (const SortKey *key = begin; key != end; ++key)
            scratch[next[keyByte(*key, depth)]++] = *key;
        std::copy(scratch.begin(), scratch.begin() + n, begin);
        SortKey *run = begin;
        for (int b = 0; b < 256; ++b) {
            SortKey *runEnd = run + count[b];
            if (runEnd - run > 1) {
                if (b == 0)
                    std::sort(run, runEnd, order);
                else
                    radixSort(run, runEnd, depth + 1, order, scratch, radixFrom);
            }
            run = runEnd;
        }
        return;
    }
    std::sort(begin, end, order);
}

// The positions of the names in sorted order.
template <typename Names> std::vector<qint32> positionsInOrder(const Names &names, const tuning::SortSizes &sizes)
{
    const qsizetype count = names.size();
    const bool bucketed = count >= sizes.bucketsFrom;
    const bool parallel = count >= sizes.twoCoresFrom;
    // The names split into two halves, each folded on a core of its own.
    const qsizetype halfEnd[2] = {parallel ? count / 2 : count, count};
    const auto halfBegin = [&](int half) { return half == 0 ? qsizetype(0) : halfEnd[0]; };
    const auto eachHalf = [&](auto work) {
        if (parallel)
            onTwoCores(work);
        else
            work(0);
    };

    // First pass: the size of each half's folded keys and, for large lists, how many names of it fall in
    // each bucket, so that the keys can be written straight into bucket order.
    qsizetype units[2] = {0, 0};
    std::vector<qint32> bucketCount[2];
    std::vector<quint16> buckets(bucketed ? std::size_t(count) : 0);
    eachHalf([&](int half) {
        if (bucketed)
            bucketCount[half].assign(kBucketCount, 0);
        for (qsizetype i = halfBegin(half); i < halfEnd[half]; ++i) {
            names.withName(i, [&](const auto *text, qsizetype size) {
                units[half] += size;
                if (bucketed) {
                    const int bucket = bucketOf(text, size);
                    buckets[std::size_t(i)] = quint16(bucket);
                    ++bucketCount[half][std::size_t(bucket)];
                }
            });
        }
    });
    std::vector<qint32> bucketStart(bucketed ? kBucketCount + 1 : 0, 0);
    std::vector<qint32> next[2];
    if (bucketed) {
        next[0].resize(kBucketCount);
        next[1].resize(kBucketCount);
        for (std::size_t b = 0; b < kBucketCount; ++b) {
            next[0][b] = bucketStart[b];
            next[1][b] = bucketStart[b] + bucketCount[0][b];
            bucketStart[b + 1] = next[1][b] + (parallel ? bucketCount[1][b] : 0);
        }
    }

    // Written through a pointer into storage sized once: growing it byte by byte costs more than folding.
    // Room for the worst case, three bytes a unit; left uninitialised, the pages never written cost nothing.
    const std::size_t room[2] = {std::size_t(3 * units[0]), std::size_t(3 * units[1])};
    const std::unique_ptr<unsigned char[]> folded(new unsigned char[room[0] + room[1] + 16]);
    // Every key is written once below, on two cores; zeroing them first would be a pass of its own.
    const std::unique_ptr<SortKey[]> keyStorage(new SortKey[std::size_t(count)]);
    const std::span<SortKey> keys(keyStorage.get(), std::size_t(count));
    eachHalf([&](int half) {
        unsigned char *out = folded.get() + (half == 0 ? 0 : room[0]);
        for (qsizetype i = halfBegin(half); i < halfEnd[half]; ++i) {
            const std::size_t slot = bucketed ? std::size_t(next[half][buckets[std::size_t(i)]]++) : std::size_t(i);
            out = names.withName(i, [&](const auto *text, qsizetype size) {
                return makeKey(text, size, qint32(i), folded.get(), out, keys[slot]);
            });
        }
    });
    std::vector<quint16>().swap(buckets);

    const KeyOrder<Names> order(names, folded.get());
    const auto sortBuckets = [&](int first, int last) {
        std::vector<SortKey> scratch;
        for (int b = first; b < last; ++b) {
            SortKey *begin = keys.data() + bucketStart[std::size_t(b)];
            SortKey *end = keys.data() + bucketStart[std::size_t(b) + 1];
            if (end - begin < 2)
                continue;
            // Bytes already equal: one per leading ASCII digit of the bucket. A slow key needs the comparison.
            const int firstDigit = b / kBucketDigits;
            const int depth = firstDigit == 0 || firstDigit == kBucketDigits - 1                   ? 0
                              : (b % kBucketDigits == 0 || b % kBucketDigits == kBucketDigits - 1) ? 1
                                                                                                   : 2;
            if (std::any_of(begin, end, [](const SortKey &key) { return key.offset < 0; }))
                std::sort(begin, end, order);
            else
                radixSort(begin, end, depth, order, scratch, sizes.radixFrom);
        }
    };
    if (!bucketed) {
        // Too few names to pay for the buckets.
        std::sort(keys.data(), keys.data() + keys.size(), order);
    } else if (parallel) {
        // The buckets split into two runs of about equal size, sorted on two cores.
        const auto middle = std::lower_bound(bucketStart.begin(), bucketStart.end(), qint32(count / 2));
        const int split = int(middle - bucketStart.begin());
        onTwoCores([&](int half) { half == 0 ? sortBuckets(0, split) : sortBuckets(split, kBucketCount); });
    } else {
        sortBuckets(0, kBucketCount);
    }

    std::vector<qint32> positions(keys.size());
    for (std::size_t k = 0; k < keys.size(); ++k)
        positions[k] = keys[k].index;
    return positions;
}

} // namespace

std::vector<qint32> sortedPositions(const NameBlock &names, const tuning::SortSizes &sizes)
{
    return positionsInOrder(BlockNames(names), sizes);
}

NameBlock sortNameBlock(const NameBlock &names, const tuning::SortSizes &sizes)
{
    return names.reordered(sortedPositions(names, sizes), sizes.reorderOnTwoCoresFrom);
}

FoundFiles sortFoundFiles(const FoundFiles &files)
{
    const std::vector<qint32> positions = sortedPositions(files.names);
    FoundFiles sorted;
    sorted.names = files.names.reordered(positions);
    sorted.folders.resize(positions.size());
    for (std::size_t k = 0; k < positions.size(); ++k)
        sorted.folders[k] = files.folders[std::size_t(positions[k])];
    sorted.folderPaths = files.folderPaths;
    sorted.walk = files.walk;
    return sorted;
}

qsizetype findSortedName(const NameBlock &sorted, std::string_view name)
{
    qsizetype low = 0;
    qsizetype high = sorted.size();
    while (low < high) {
        const qsizetype middle = low + (high - low) / 2;
        if (compareNameComponents(sorted.at(middle), name) < 0)
            low = middle + 1;
        else
            high = middle;
    }
    // Names equal but for letter case lie together; the same bytes are the better answer.
    qsizetype found = -1;
    for (qsizetype i = low; i < sorted.size() && compareNameComponents(sorted.at(i), name) == 0; ++i) {
        if (sorted.at(i) == name)
            return i;
        if (found < 0)
            found = i;
    }
    return found;
}

} // namespace zelvora
