#include "audit/files/humantext.h"

#include "audit/names/filenames.h"
#include "audit/names/textunits.h"

#include <algorithm>

using namespace Qt::StringLiterals;

namespace zelvora {

namespace {

bool isControl(char32_t c)
{
    return c < 0x20 || (c >= 0x7F && c <= 0x9F) || c == 0x2028 || c == 0x2029;
}

bool isPlainAscii(std::string_view name)
{
    return std::all_of(name.begin(), name.end(), [](char c) { return c >= 0x20 && c < 0x7F; });
}

} // namespace

QString shownText(QStringView text)
{
    if (std::none_of(text.cbegin(), text.cend(), [](QChar c) { return isControl(c.unicode()); }))
        return text.toString();
    QString escaped;
    escaped.reserve(text.size() + 16);
    for (const QChar c : text) {
        if (isControl(c.unicode()))
            escaped += u"\\u{"_s + QString::number(c.unicode(), 16).toUpper().rightJustified(4, u'0') + u'}';
        else
            escaped += c;
    }
    return escaped;
}

QString shownLines(QStringView text)
{
    QString out;
    out.reserve(text.size());
    qsizetype start = 0;
    for (qsizetype i = 0; i <= text.size(); ++i) {
        if (i < text.size() && text[i] != u'\n')
            continue;
        out += shownText(text.sliced(start, i - start));
        if (i < text.size())
            out += u'\n';
        start = i + 1;
    }
    return out;
}

QString nameText(std::string_view name)
{
    return shownText(textOfUtf8(name));
}

void appendNameText(QByteArray &out, std::string_view name)
{
    if (isPlainAscii(name))
        out.append(name.data(), qsizetype(name.size()));
    else
        out.append(nameText(name).toUtf8());
}

QString shownPath(const QByteArray &path)
{
    return nameText(std::string_view(path.constData(), std::size_t(path.size())));
}

QString message(QStringView pattern, std::initializer_list<MessageArg> args)
{
    QString out;
    out.reserve(pattern.size() + 64);
    for (qsizetype i = 0; i < pattern.size(); ++i) {
        const QChar c = pattern[i];
        if (c == u'%' && i + 1 < pattern.size() && pattern[i + 1] >= u'1' && pattern[i + 1] <= u'9') {
            const auto index = std::size_t(pattern[i + 1].unicode() - u'1');
            if (index < args.size()) {
                out += std::data(args)[index].text();
                ++i;
                continue;
            }
        }
        out += c;
    }
    return out;
}

QString quotedPath(const QString &path)
{
    return u'"' + shownText(path) + u'"';
}

QString byteSizeText(qint64 bytes)
{
    if (bytes < 1000)
        return u"%1 B"_s.arg(bytes);
    auto value = double(bytes);
    int unit = 0;
    for (; value >= 999.95 && unit < 4; ++unit)
        value /= 1000;
    static const char *const units[] = {"B", "kB", "MB", "GB", "TB"};
    return u"%1 %2"_s.arg(value, 0, 'f', 1).arg(QLatin1StringView(units[unit]));
}

} // namespace zelvora
