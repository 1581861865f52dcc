#include "audit/names.h"

#include <QtEndian>
#include <algorithm>
#include <cstring>
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

// A name's last component, case-folded once and stored as big-endian code units, so that keys order
// like their units; the first eight units, packed into two numbers, decide most comparisons without
// leaving the key array. Names with a surrogate pair (rare) are compared the slow way.
struct SortKey
{
    quint64 head[2];
    qint32 index;
    qint32 offset; // into the folded bytes, or -1 for the slow way
    qint32 length; // in bytes
    qint32 bucket; // from the first two units, see bucketDigit
};

// Keys are first spread into buckets by their first two folded units, then each bucket is sorted on
// its own: most names are ASCII, so most of the sorting is done without a comparison. A digit is 0 for
// a missing unit (a shorter name sorts first), 1..128 for an ASCII unit, and 129 for any other unit,
// whose bucket the comparison then orders.
constexpr int kBucketDigits = 130;
constexpr int kBucketCount = kBucketDigits * kBucketDigits;

inline int bucketDigit(const char16_t *units, qsizetype size, qsizetype at)
{
    if (at >= size)
        return 0;
    char16_t unit = units[at];
    // Folded first: a few letters outside ASCII fold into it (the Kelvin sign into "k").
    if (unit >= 0x80 && !QChar::isSurrogate(unit))
        unit = char16_t(QChar::toCaseFolded(char32_t(unit)));
    return unit < 0x80 ? foldAscii(unit) + 1 : kBucketDigits - 1;
}

inline quint64 bigEndianWord(const unsigned char *bytes)
{
    quint64 word;
    std::memcpy(&word, bytes, sizeof word);
    return qFromBigEndian(word);
}

class KeyOrder
{
public:
    KeyOrder(const QStringList &names, const unsigned char *bytes) : m_names(names), m_bytes(bytes) {}

    bool operator()(const SortKey &a, const SortKey &b) const
    {
        if (a.offset < 0 || b.offset < 0)
            return compareSringsCaseInsensitive(m_names[a.index], m_names[b.index]) < 0;
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
        return a.length < b.length;
    }

private:
    const QStringList &m_names;
    const unsigned char *m_bytes;
};

constexpr qsizetype kParallelSortThreshold = 50'000;
constexpr qsizetype kBucketThreshold = 4096;

} // namespace

bool sortNames(QStringList &names)
{
    bool separators = false;
    const qsizetype count = names.size();
    std::vector<SortKey> keys(static_cast<std::size_t>(count));
    qsizetype total = 0;
    for (const QString &name : std::as_const(names))
        total += name.size();
    // Sized once for every key; written through a pointer, since growing it byte by byte costs more
    // than the folding.
    std::vector<unsigned char> folded(std::size_t(2 * total) + 16);
    unsigned char *out = folded.data();

    for (qsizetype i = 0; i < count; ++i) {
        const QStringView component = lastPathComponent(names[i]);
        separators = separators || component.size() != names[i].size();
        unsigned char *start = out;
        const char16_t *units = component.utf16();
        const qsizetype size = component.size();
        bool simple = true;
        for (qsizetype k = 0; k < size; ++k) {
            char16_t u = units[k];
            if (u < 0x80) {
                u = foldAscii(u);
            } else if (QChar::isSurrogate(u)) {
                simple = false;
                break;
            } else {
                u = char16_t(QChar::toCaseFolded(char32_t(u)));
            }
            *out++ = static_cast<unsigned char>(u >> 8);
            *out++ = static_cast<unsigned char>(u & 0xFF);
        }
        SortKey &key = keys[std::size_t(i)];
        key.index = qint32(i);
        // Past a unit outside ASCII the comparison decides, so the second digit must not split its bucket.
        const int firstDigit = bucketDigit(units, size, 0);
        key.bucket = firstDigit * kBucketDigits + (firstDigit == kBucketDigits - 1 ? 0 : bucketDigit(units, size, 1));
        if (!simple) {
            out = start;
            key.head[0] = key.head[1] = 0;
            key.offset = -1;
            key.length = 0;
            continue;
        }
        const qint32 length = qint32(out - start);
        // The head words read past a short key; zero those bytes so that "ab" still sorts before "ab\0".
        unsigned char head[16] = {};
        std::memcpy(head, start, std::size_t(std::min(length, 16)));
        key.head[0] = bigEndianWord(head);
        key.head[1] = bigEndianWord(head + 8);
        key.offset = qint32(start - folded.data());
        key.length = length;
    }

    const KeyOrder order(names, folded.data());
    std::vector<SortKey> spread;
    if (count < kBucketThreshold) {
        // Too few names to pay for the buckets.
        std::sort(keys.begin(), keys.end(), order);
        spread = std::move(keys);
    } else {
        // Counting sort into the buckets, in order.
        std::vector<qint32> bucketStart(kBucketCount + 1, 0);
        for (const SortKey &key : keys)
            ++bucketStart[std::size_t(key.bucket) + 1];
        for (int b = 0; b < kBucketCount; ++b)
            bucketStart[std::size_t(b) + 1] += bucketStart[std::size_t(b)];
        spread.resize(keys.size());
        {
            std::vector<qint32> next(bucketStart.begin(), bucketStart.end() - 1);
            for (const SortKey &key : keys)
                spread[std::size_t(next[std::size_t(key.bucket)]++)] = key;
        }
        keys = {};

        const auto sortBuckets = [&](int first, int last) {
            for (int b = first; b < last; ++b) {
                const auto begin = spread.begin() + bucketStart[std::size_t(b)];
                const auto end = spread.begin() + bucketStart[std::size_t(b) + 1];
                if (end - begin > 1)
                    std::sort(begin, end, order);
            }
        };
        if (count >= kParallelSortThreshold) {
            // The buckets split into two runs of about equal size, sorted on two cores.
            const auto middle = std::lower_bound(bucketStart.begin(), bucketStart.end(), qint32(count / 2));
            const int split = int(middle - bucketStart.begin());
            std::thread other;
            try {
                other = std::thread(sortBuckets, 0, split);
            } catch (const std::system_error &) {
                sortBuckets(0, split);
            }
            sortBuckets(split, kBucketCount);
            if (other.joinable())
                other.join();
        } else {
            sortBuckets(0, kBucketCount);
        }
    }

    QStringList sorted;
    sorted.reserve(count);
    for (const SortKey &key : spread)
        sorted.append(std::move(names[key.index]));
    names = std::move(sorted);
    return separators;
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
