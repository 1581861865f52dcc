#include "audit/names/filenames.h"

namespace zelvora {

namespace {

constexpr char16_t kEscapeBase = 0xDC00; // + a byte from 0x80 to 0xFF

// The code point of the UTF-8 sequence at `p`, and its length; 0 when it is not a valid one
// (overlong, a surrogate, past U+10FFFF, cut short).
int decodeSequence(const unsigned char *p, const unsigned char *end, char32_t &cp)
{
    int length = 0;
    char32_t least = 0;
    if ((*p & 0xE0) == 0xC0) {
        length = 2, cp = *p & 0x1F, least = 0x80;
    } else if ((*p & 0xF0) == 0xE0) {
        length = 3, cp = *p & 0x0F, least = 0x800;
    } else if ((*p & 0xF8) == 0xF0) {
        length = 4, cp = *p & 0x07, least = 0x10000;
    } else {
        return 0;
    }
    if (end - p < length)
        return 0;
    for (int i = 1; i < length; ++i) {
        if ((p[i] & 0xC0) != 0x80)
            return 0;
        cp = cp << 6 | (p[i] & 0x3F);
    }
    if (cp < least || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF))
        return 0;
    return length;
}

void appendUtf8(QByteArray &out, char32_t cp)
{
    if (cp < 0x80) {
        out += char(cp);
    } else if (cp < 0x800) {
        out += char(0xC0 | cp >> 6);
        out += char(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += char(0xE0 | cp >> 12);
        out += char(0x80 | (cp >> 6 & 0x3F));
        out += char(0x80 | (cp & 0x3F));
    } else {
        out += char(0xF0 | cp >> 18);
        out += char(0x80 | (cp >> 12 & 0x3F));
        out += char(0x80 | (cp >> 6 & 0x3F));
        out += char(0x80 | (cp & 0x3F));
    }
}

} // namespace

QString decodeFileName(QByteArrayView bytes)
{
    QString out;
    out.reserve(bytes.size());
    const auto *p = reinterpret_cast<const unsigned char *>(bytes.data());
    const auto *end = p + bytes.size();
    while (p < end) {
        char32_t cp = *p;
        const int length = cp < 0x80 ? 1 : decodeSequence(p, end, cp);
        if (length == 0) {
            out += QChar(char16_t(kEscapeBase + *p++));
            continue;
        }
        if (cp < 0x10000) {
            out += QChar(char16_t(cp));
        } else {
            out += QChar(QChar::highSurrogate(cp));
            out += QChar(QChar::lowSurrogate(cp));
        }
        p += length;
    }
    return out;
}

QByteArray encodeFileName(QStringView name)
{
    QByteArray out;
    out.reserve(name.size());
    for (qsizetype i = 0; i < name.size(); ++i) {
        const char16_t u = name[i].unicode();
        if (QChar::isHighSurrogate(u) && i + 1 < name.size() && QChar::isLowSurrogate(name[i + 1].unicode())) {
            appendUtf8(out, QChar::surrogateToUcs4(u, name[++i].unicode()));
        } else if (u >= kEscapeBase + 0x80 && u <= kEscapeBase + 0xFF) {
            out += char(u - kEscapeBase);
        } else if (QChar::isSurrogate(u)) {
            appendUtf8(out, QChar::ReplacementCharacter); // as Qt writes a lone surrogate
        } else {
            appendUtf8(out, u);
        }
    }
    return out;
}

} // namespace zelvora
