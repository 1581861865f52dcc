#include "audit/names.h"

#include <algorithm>
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
    for (const QString &name : names)
        if (name.contains(u'/'))
            return true;
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

// A name's last component, case-folded once, so that sorting compares plain code units; its first
// four units packed into one number decide most comparisons without touching the text. Names with a
// surrogate pair (rare) are compared the slow way.
struct SortKey
{
    quint64 prefix;
    qsizetype index;
    qsizetype offset; // into the folded units, or -1 for the slow way
    qsizetype length;
};

class KeyOrder
{
public:
    KeyOrder(const QStringList &names, const char16_t *units) : m_names(names), m_units(units) {}

    bool operator()(const SortKey &a, const SortKey &b) const
    {
        if (a.offset >= 0 && b.offset >= 0) {
            if (a.prefix != b.prefix)
                return a.prefix < b.prefix;
            const qsizetype common = std::min(a.length, b.length);
            for (qsizetype i = 4; i < common; ++i) {
                const char16_t p = m_units[a.offset + i];
                const char16_t q = m_units[b.offset + i];
                if (p != q)
                    return p < q;
            }
            return a.length < b.length;
        }
        return compareSringsCaseInsensitive(m_names[a.index], m_names[b.index]) < 0;
    }

private:
    const QStringList &m_names;
    const char16_t *m_units;
};

constexpr qsizetype kParallelSortThreshold = 50'000;

} // namespace

void sortNames(QStringList &names)
{
    const qsizetype count = names.size();
    std::vector<SortKey> keys;
    keys.reserve(std::size_t(count));
    std::vector<char16_t> folded;
    folded.reserve(std::size_t(count) * 24);

    for (qsizetype i = 0; i < count; ++i) {
        const QStringView component = lastPathComponent(names[i]);
        const qsizetype offset = qsizetype(folded.size());
        bool simple = true;
        for (const QChar c : component) {
            const char16_t u = c.unicode();
            if (u < 0x80) {
                folded.push_back(foldAscii(u));
            } else if (QChar::isSurrogate(u)) {
                simple = false;
                break;
            } else {
                folded.push_back(char16_t(QChar::toCaseFolded(char32_t(u))));
            }
        }
        quint64 prefix = 0;
        if (simple) {
            for (qsizetype k = 0; k < 4; ++k)
                prefix = prefix << 16 | (k < component.size() ? folded[std::size_t(offset + k)] : 0);
        } else {
            folded.resize(std::size_t(offset));
        }
        keys.push_back({prefix, i, simple ? offset : -1, component.size()});
    }

    const KeyOrder order(names, folded.data());
    if (count >= kParallelSortThreshold) {
        // Two halves on two cores, then one merge.
        const auto middle = keys.begin() + count / 2;
        std::thread other;
        try {
            other = std::thread([&] { std::sort(keys.begin(), middle, order); });
        } catch (const std::system_error &) {
            std::sort(keys.begin(), middle, order);
        }
        std::sort(middle, keys.end(), order);
        if (other.joinable())
            other.join();
        std::inplace_merge(keys.begin(), middle, keys.end(), order);
    } else {
        std::sort(keys.begin(), keys.end(), order);
    }

    QStringList sorted;
    sorted.reserve(count);
    for (const SortKey &key : keys)
        sorted.append(std::move(names[key.index]));
    names = std::move(sorted);
}

// The extension's dot, or -1 when the last component has none or its only dot comes first.
static qsizetype extensionDot(QStringView name)
{
    const qsizetype componentStart = name.lastIndexOf(u'/') + 1;
    const qsizetype dot = name.lastIndexOf(u'.');
    return dot > componentStart ? dot : -1;
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
