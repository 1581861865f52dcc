#include "audit/names/names.h"

#include "audit/names/textunits.h"

#include <QChar>
#include <QString>
#include <algorithm>

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
            return int(order > 0) - int(order < 0);
        } else {
            p = char16_t(QChar::toCaseFolded(char32_t(p)));
            q = char16_t(QChar::toCaseFolded(char32_t(q)));
        }
        if (p != q)
            return p < q ? -1 : 1;
    }
    return int(a.size() > b.size()) - int(a.size() < b.size());
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

int compareNameComponents(std::string_view a, std::string_view b)
{
    const std::size_t common = std::min(a.size(), b.size());
    for (std::size_t i = 0; i < common; ++i) {
        const auto p = static_cast<unsigned char>(a[i]);
        const auto q = static_cast<unsigned char>(b[i]);
        if (p >= 0x80 || q >= 0x80)
            return compareComponents(textOfUtf8(a), textOfUtf8(b));
        const char16_t x = foldAscii(p);
        const char16_t y = foldAscii(q);
        if (x != y)
            return x < y ? -1 : 1;
    }
    // One name ended while both were ASCII: the longer one sorts last, whatever follows.
    return int(a.size() > b.size()) - int(a.size() < b.size());
}

} // namespace zelvora
