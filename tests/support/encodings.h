#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

namespace zelvora::test {

// Encoders written apart from the reader under test, so that tests can make UTF-16 and UTF-32 lists.
inline QByteArray encodeUtf16(const QString &text, bool bigEndian)
{
    QByteArray out;
    for (const QChar c : text) {
        const char hi = char(c.unicode() >> 8);
        const char lo = char(c.unicode() & 0xFF);
        out.append(bigEndian ? hi : lo).append(bigEndian ? lo : hi);
    }
    return out;
}

inline QByteArray encodeUtf32(const QString &text, bool bigEndian)
{
    QByteArray out;
    for (const char32_t cp : text.toUcs4()) {
        const char b[4] = {char(cp >> 24), char(cp >> 16 & 0xFF), char(cp >> 8 & 0xFF), char(cp & 0xFF)};
        for (int k = 0; k < 4; ++k)
            out.append(b[bigEndian ? k : 3 - k]);
    }
    return out;
}

} // namespace zelvora::test
