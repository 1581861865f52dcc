#include "audit/names.h"

#include "audit/parallel.h"

#include <QtEndian>
#include <algorithm>
#include <cstring>
#include <memory>
#include <span>
#include <string>
#include <system_error>
#include <thread>
#include <vector>

namespace zelvora {

// A trailing separator is not part of a name's last component.
static QStringView withoutTrailingSlashes(QStringView path)
{
    while (path.size() > 1 && path.endsWith(u'/'))
        path.chop(1);
    return path;
}

QStringView lastPathComponent(QStringView path)
{
    path = withoutTrailingSlashes(path);
    if (path.size() <= 1)
        return path;
    const char16_t *begin = path.utf16();
    for (const char16_t *p = begin + path.size(); p != begin; --p) {
        if (p[-1] == u'/')
            return path.sliced(p - begin);
    }
    return path;
}

namespace {

inline char16_t foldAscii(char16_t c)
{
    return (c >= u'A' && c <= u'Z') ? char16_t(c + 32) : c;
}

// Qt's case-insensitive comparison folds unit by unit; this does the same without its general
// set-up, falling back to it only at a surrogate pair. For names without a separator.
int compareComponents(QStringView a, QStringView b)
{
    const qsizetype common = std::min(a.size(), b.size());
    const char16_t *x = a.utf16();
    const char16_t *y = b.utf16();
    for (qsizetype i = 0; i < common; ++i) {
        char16_t p = x[i];
        char16_t q = y[i];
        if (p == q && !QChar::isSurrogate(p))
            continue;
        if (p < 0x80 && q < 0x80) {
            p = foldAscii(p);
            q = foldAscii(q);
        } else if (QChar::isSurrogate(p) || QChar::isSurrogate(q)) {
            const int order = a.compare(b, Qt::CaseInsensitive);
            return (order > 0) - (order < 0);
        } else {
            p = char16_t(QChar::toCaseFolded(char32_t(p)));
            q = char16_t(QChar::toCaseFolded(char32_t(q)));
        }
        if (p != q)
            return p < q ? -1 : 1;
    }
    return (a.size() > b.size()) - (a.size() < b.size());
}

} // namespace

int compareSringsCaseInsensitive(QStringView a, QStringView b)
{
    if (a.contains(u'/') || b.contains(u'/')) {
        a = lastPathComponent(a);
        b = lastPathComponent(b);
    }
    return compareComponents(a, b);
}

bool anyHasSeparator(const QStringList &names)
{
    // Names are short: a plain loop beats a call into the vectorised search for each of them.
    for (const QString &name : names) {
        for (const QChar c : name) {
            if (c == u'/')
                return true;
        }
    }
    return false;
}

NameComparison::NameComparison(std::initializer_list<const QStringList *> lists)
    : m_plain(std::none_of(lists.begin(), lists.end(),
                           [](const QStringList *names) { return names && anyHasSeparator(*names); }))
{}

int NameComparison::operator()(QStringView a, QStringView b) const
{
    return m_plain ? compareComponents(a, b) : compareSringsCaseInsensitive(a, b);
}

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
    char16_t unit = char16_t(units[at]);
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
    quint64 word;
    std::memcpy(&word, bytes, sizeof word);
    return qFromBigEndian(word);
}

// Folds a name into `out` and fills `key`; returns the end of the folded bytes. A folded unit is written
// as UTF-8 writes it, one byte for ASCII: bytes then order like units, and most names fit the head words.
template <typename Unit>
unsigned char *makeKey(const Unit *units, qsizetype size, qint32 index, unsigned char *base, unsigned char *out,
                       SortKey &key)
{
    unsigned char *start = out;
    key.index = index;
    for (qsizetype k = 0; k < size; ++k) {
        char16_t u = char16_t(units[k]);
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
        u = char16_t(QChar::toCaseFolded(char32_t(u)));
        if (u < 0x80) {
            *out++ = static_cast<unsigned char>(u);
        } else if (u < 0x800) {
            *out++ = static_cast<unsigned char>(0xC0 | u >> 6);
            *out++ = static_cast<unsigned char>(0x80 | (u & 0x3F));
        } else {
            *out++ = static_cast<unsigned char>(0xE0 | u >> 12);
            *out++ = static_cast<unsigned char>(0x80 | (u >> 6 & 0x3F));
            *out++ = static_cast<unsigned char>(0x80 | (u & 0x3F));
        }
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

// The names of a list, seen through their last components.
class ListNames
{
public:
    explicit ListNames(const QStringList &names) : m_names(names) {}
    qsizetype size() const { return m_names.size(); }
    // Calls `use(units, size)` with the name's last component.
    template <typename Use> auto withName(qsizetype i, Use &&use) const
    {
        const QStringView component = lastPathComponent(m_names[i]);
        return use(component.utf16(), component.size());
    }
    int compareSlowly(qint32 a, qint32 b) const { return compareSringsCaseInsensitive(m_names[a], m_names[b]); }
    bool isExactlyBefore(qint32 a, qint32 b) const { return m_names[a] < m_names[b]; }

private:
    const QStringList &m_names;
};

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
        if (std::all_of(name.begin(), name.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; }))
            return use(name.data(), qsizetype(name.size()));
        const QString text = QString::fromUtf8(name.data(), qsizetype(name.size()));
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

constexpr qsizetype kParallelSortThreshold = 50'000;
constexpr qsizetype kBucketThreshold = 4096;

// Below this many keys a bucket is left to the comparison sort.
constexpr std::ptrdiff_t kRadixThreshold = 48;

inline unsigned keyByte(const SortKey &key, int depth)
{
    return unsigned(key.head[depth / 8] >> (56 - 8 * (depth % 8))) & 0xFF;
}

// Sorts keys that agree on their first `depth` bytes, one byte at a time while the head words last (a
// most-significant-digit radix sort), then by comparison. None of them is a slow one.
template <typename Order>
void radixSort(SortKey *begin, SortKey *end, int depth, const Order &order, std::vector<SortKey> &scratch)
{
    for (;;) {
        const std::ptrdiff_t n = end - begin;
        if (n < kRadixThreshold || depth >= 16) {
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
                    radixSort(run, runEnd, depth + 1, order, scratch);
            }
            run = runEnd;
        }
        return;
    }
    std::sort(begin, end, order);
}

// The positions of the names in sorted order. `separators` tells whether a list name holds one.
template <typename Names> std::vector<qint32> sortedPositions(const Names &names, bool &separators)
{
    separators = false;
    const qsizetype count = names.size();
    const bool bucketed = count >= kBucketThreshold;
    const bool parallel = count >= kParallelSortThreshold;
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
                radixSort(begin, end, depth, order, scratch);
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

// Puts the names in the order of `sources` (the position each name comes from), in place: a list of a
// million names is not copied.
void permute(QStringList &names, std::vector<qint32> &sources)
{
    QString *data = names.data();
    for (std::size_t i = 0; i < sources.size(); ++i) {
        if (sources[i] < 0 || std::size_t(sources[i]) == i)
            continue;
        QString held = std::move(data[i]);
        std::size_t to = i;
        for (;;) {
            const std::size_t from = std::size_t(sources[to]);
            sources[to] = -1;
            if (from == i) {
                data[to] = std::move(held);
                break;
            }
            data[to] = std::move(data[from]);
            to = from;
        }
    }
}

} // namespace

bool sortNames(QStringList &names)
{
    bool separators = false;
    std::vector<qint32> sources = sortedPositions(ListNames(names), separators);
    for (const QString &name : std::as_const(names)) {
        if (separators)
            break;
        separators = lastPathComponent(name).size() != name.size();
    }
    permute(names, sources);
    return separators;
}

NameBlock sortNameBlock(const NameBlock &names)
{
    bool separators = false;
    return names.reordered(sortedPositions(BlockNames(names), separators));
}

// The extension's dot, or -1 when the last component has none or its only dot comes first.
static qsizetype extensionDot(QStringView name)
{
    // One backward pass: the last dot counts only if it lies in the last component, after its start.
    const char16_t *begin = name.utf16();
    for (const char16_t *p = begin + name.size(); p != begin; --p) {
        if (p[-1] == u'/')
            return -1;
        if (p[-1] == u'.')
            return (p - 1 == begin || p[-2] == u'/') ? -1 : p - 1 - begin;
    }
    return -1;
}

QStringView pathExtension(QStringView name)
{
    name = withoutTrailingSlashes(name);
    const qsizetype dot = extensionDot(name);
    return dot < 0 ? QStringView() : name.sliced(dot + 1);
}

void setExtensionOfFilenames(const QString &extension, QStringList &filenames)
{
    for (QString &name : filenames) {
        const qsizetype length = withoutTrailingSlashes(name).size();
        const qsizetype dot = extensionDot(QStringView(name).first(length));
        if (dot >= 0 && length == name.size() && QStringView(name).sliced(dot + 1) == extension)
            continue; // already right: keep the string as it is
        name.truncate(dot >= 0 ? dot : length);
        name.append(u'.').append(extension);
    }
}

} // namespace zelvora
