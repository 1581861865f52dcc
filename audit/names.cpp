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

namespace {

// The bucket of a name: its first two folded units as digits. Past a unit outside ASCII the comparison
// decides, so the second digit must not split that bucket.
int bucketOf(QStringView component)
{
    const int first = bucketDigit(component.utf16(), component.size(), 0);
    return first * kBucketDigits +
           (first == kBucketDigits - 1 ? 0 : bucketDigit(component.utf16(), component.size(), 1));
}

// Folds `component` into `out` and fills `key`; returns the end of the folded bytes.
unsigned char *makeKey(QStringView component, qint32 index, unsigned char *base, unsigned char *out, SortKey &key)
{
    unsigned char *start = out;
    const char16_t *units = component.utf16();
    const qsizetype size = component.size();
    key.index = index;
    for (qsizetype k = 0; k < size; ++k) {
        char16_t u = units[k];
        if (u < 0x80) {
            u = foldAscii(u);
        } else if (QChar::isSurrogate(u)) {
            key.head[0] = key.head[1] = 0;
            key.offset = -1;
            key.length = 0;
            return start;
        } else {
            u = char16_t(QChar::toCaseFolded(char32_t(u)));
        }
        *out++ = static_cast<unsigned char>(u >> 8);
        *out++ = static_cast<unsigned char>(u & 0xFF);
    }
    const qint32 length = qint32(out - start);
    // The head words read past a short key; zero those bytes so that "ab" still sorts before "ab\0".
    unsigned char head[16] = {};
    std::memcpy(head, start, std::size_t(std::min(length, 16)));
    key.head[0] = bigEndianWord(head);
    key.head[1] = bigEndianWord(head + 8);
    key.offset = qint32(start - base);
    key.length = length;
    return out;
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
    const qsizetype count = names.size();
    const bool bucketed = count >= kBucketThreshold;

    // First pass: the size of the folded keys and, for large lists, how many names fall in each bucket,
    // so that the keys can be written straight into bucket order.
    qsizetype total = 0;
    std::vector<qint32> bucketStart(bucketed ? kBucketCount + 1 : 0, 0);
    for (const QString &name : std::as_const(names)) {
        const QStringView component = lastPathComponent(name);
        separators = separators || component.size() != name.size();
        total += component.size();
        if (bucketed)
            ++bucketStart[std::size_t(bucketOf(component)) + 1];
    }
    for (std::size_t b = 1; b < bucketStart.size(); ++b)
        bucketStart[b] += bucketStart[b - 1];

    // Written through a pointer into storage sized once: growing it byte by byte costs more than folding.
    std::vector<unsigned char> folded(std::size_t(2 * total) + 16);
    std::vector<SortKey> keys(static_cast<std::size_t>(count));
    {
        std::vector<qint32> next;
        if (bucketed)
            next.assign(bucketStart.begin(), bucketStart.end() - 1);
        unsigned char *out = folded.data();
        for (qsizetype i = 0; i < count; ++i) {
            const QStringView component = lastPathComponent(names[i]);
            const std::size_t slot = bucketed ? std::size_t(next[std::size_t(bucketOf(component))]++) : std::size_t(i);
            out = makeKey(component, qint32(i), folded.data(), out, keys[slot]);
        }
    }

    const KeyOrder order(names, folded.data());
    const auto sortBuckets = [&](int first, int last) {
        for (int b = first; b < last; ++b) {
            const auto begin = keys.begin() + bucketStart[std::size_t(b)];
            const auto end = keys.begin() + bucketStart[std::size_t(b) + 1];
            if (end - begin > 1)
                std::sort(begin, end, order);
        }
    };
    if (!bucketed) {
        // Too few names to pay for the buckets.
        std::sort(keys.begin(), keys.end(), order);
    } else if (count >= kParallelSortThreshold) {
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

    // Only the order is kept; the keys go before the names move.
    std::vector<qint32> sources(keys.size());
    for (std::size_t k = 0; k < keys.size(); ++k)
        sources[k] = keys[k].index;
    std::vector<SortKey>().swap(keys);
    std::vector<unsigned char>().swap(folded);
    permute(names, sources);
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
