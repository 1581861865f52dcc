#pragma once

// Small rules about text units shared by the sort, the merges and the writers: the ASCII case fold,
// the UTF-8 encoding of one UTF-16 unit or code point, and the one way a name's UTF-8 bytes become text.

#include <QString>
#include <QStringDecoder>
#include <algorithm>
#include <string_view>

namespace zelvora {

inline char16_t foldAscii(char16_t c)
{
    return (c >= u'A' && c <= u'Z') ? char16_t(c + 32) : c;
}

inline bool isAscii(std::string_view bytes)
{
    return std::all_of(bytes.begin(), bytes.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

// Writes a code point below U+110000 (a BMP unit, or a pair already joined) as UTF-8 at `out`; returns
// the end.
template <typename Byte> inline Byte *encodeUtf8(char32_t c, Byte *out)
{
    if (c < 0x80) {
        *out++ = Byte(c);
    } else if (c < 0x800) {
        *out++ = Byte(0xC0 | c >> 6);
        *out++ = Byte(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        *out++ = Byte(0xE0 | c >> 12);
        *out++ = Byte(0x80 | (c >> 6 & 0x3F));
        *out++ = Byte(0x80 | (c & 0x3F));
    } else {
        *out++ = Byte(0xF0 | c >> 18);
        *out++ = Byte(0x80 | (c >> 12 & 0x3F));
        *out++ = Byte(0x80 | (c >> 6 & 0x3F));
        *out++ = Byte(0x80 | (c & 0x3F));
    }
    return out;
}

// A name's text. Bytes that are not UTF-8 become U+FFFD, so such a name is still listed; a leading
// U+FEFF is a character of the name, not a byte-order mark, and stays.
inline QString textOfUtf8(std::string_view bytes)
{
    if (isAscii(bytes)) {
        // Most names: widened in one pass, without the decoder's set-up.
        QString text(qsizetype(bytes.size()), Qt::Uninitialized);
        std::copy(bytes.begin(), bytes.end(), reinterpret_cast<char16_t *>(text.data()));
        return text;
    }
    QStringDecoder decode(QStringConverter::Utf8, QStringConverter::Flag::ConvertInitialBom);
    return decode(QByteArrayView(bytes.data(), qsizetype(bytes.size())));
}

} // namespace zelvora
