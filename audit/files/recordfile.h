#pragma once

// The records kept in the user's data folder (the audit history, the verify's verdicts): numbers
// big-endian, texts as a 32-bit length and their bytes, and a reader for a file of them that never
// follows a link nor waits on a special file.

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QtGlobal>
#include <cstddef>
#include <optional>
#include <type_traits>

namespace zelvora {

template <typename Number> void appendRecordNumber(QByteArray &to, Number value)
{
    const auto bits = static_cast<std::make_unsigned_t<Number>>(value);
    for (int shift = int(sizeof(Number) * 8) - 8; shift >= 0; shift -= 8)
        to.append(char((bits >> shift) & 0xFF));
}

inline void appendRecordText(QByteArray &to, QByteArrayView text)
{
    appendRecordNumber(to, quint32(text.size()));
    to.append(text);
}

// Reads what appendRecordNumber and appendRecordText wrote; false when the bytes end too early.
struct RecordReader
{
    QByteArrayView rest;

    template <typename Number> bool number(Number &value)
    {
        using Bits = std::make_unsigned_t<Number>;
        if (rest.size() < qsizetype(sizeof(Number)))
            return false;
        Bits bits = 0;
        for (std::size_t i = 0; i < sizeof(Number); ++i)
            bits = Bits(bits << 8) | Bits(static_cast<unsigned char>(rest[qsizetype(i)]));
        value = static_cast<Number>(bits);
        rest = rest.sliced(qsizetype(sizeof(Number)));
        return true;
    }
    bool text(QByteArrayView &value)
    {
        quint32 size = 0;
        if (!number(size) || rest.size() < qsizetype(size))
            return false;
        value = rest.first(qsizetype(size));
        rest = rest.sliced(qsizetype(size));
        return true;
    }
};

// The file's bytes, if it is a regular file of at most `maxBytes`. None when it is not there, or when
// it could not be read, which `problem` then says ("not a regular file", "too big", a system error).
std::optional<QByteArray> readRecordFile(const QString &path, qint64 maxBytes, QString &problem);

} // namespace zelvora
