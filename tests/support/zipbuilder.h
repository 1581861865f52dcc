#pragma once

// Zip archives made in memory, sound or with the faults a test asks for. Deflate through zlib.

#include <QByteArray>
#include <QList>
#include <zlib.h>

namespace zelvora::test {

struct ZipMember
{
    QByteArray name;
    QByteArray data;
    quint16 method = 8;       // 0 stored, 8 deflate; others are written as stored bytes under that id
    bool descriptor = false;  // sizes and CRC after the data, zero in the local header
    quint16 extraFlags = 0;   // e.g. 1: encrypted
    qint64 crcOverride = -1;  // a wrong CRC in both headers
    qint64 sizeOverride = -1; // a wrong inflated size in both headers
};

struct ZipOptions
{
    QByteArray comment;
    bool zip64 = false; // zip64 end record and locator, and zip64 sizes in the directory
};

inline void putLe(QByteArray &out, quint64 value, int bytes)
{
    for (int i = 0; i < bytes; ++i)
        out.append(char((value >> (8 * i)) & 0xFF));
}

inline QByteArray rawDeflate(const QByteArray &data)
{
    z_stream z = {};
    deflateInit2(&z, 6, Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY);
    QByteArray out(qsizetype(deflateBound(&z, uLong(data.size()))), '\0');
    z.next_in = reinterpret_cast<Bytef *>(const_cast<char *>(data.constData()));
    z.avail_in = uInt(data.size());
    z.next_out = reinterpret_cast<Bytef *>(out.data());
    z.avail_out = uInt(out.size());
    deflate(&z, Z_FINISH);
    out.truncate(qsizetype(z.total_out));
    deflateEnd(&z);
    return out;
}

inline QByteArray buildZip(const QList<ZipMember> &members, const ZipOptions &options = {})
{
    QByteArray out;
    QByteArray central;
    for (const ZipMember &m : members) {
        const QByteArray stored = m.method == 8 ? rawDeflate(m.data) : m.data;
        const quint32 crc =
            m.crcOverride >= 0
                ? quint32(m.crcOverride)
                : quint32(crc32(0, reinterpret_cast<const Bytef *>(m.data.constData()), uInt(m.data.size())));
        const quint16 flags = quint16(m.extraFlags | (m.descriptor ? 8 : 0) | 0x800);
        const quint64 size = m.sizeOverride >= 0 ? quint64(m.sizeOverride) : quint64(m.data.size());
        const quint64 offset = quint64(out.size());
        putLe(out, 0x04034b50, 4);
        putLe(out, 20, 2);
        putLe(out, flags, 2);
        putLe(out, m.method, 2);
        putLe(out, 0, 4); // time, date
        putLe(out, m.descriptor ? 0 : crc, 4);
        putLe(out, m.descriptor ? 0 : quint64(stored.size()), 4);
        putLe(out, m.descriptor ? 0 : size, 4);
        putLe(out, quint64(m.name.size()), 2);
        putLe(out, 0, 2);
        out += m.name;
        out += stored;
        if (m.descriptor) {
            putLe(out, 0x08074b50, 4);
            putLe(out, crc, 4);
            putLe(out, quint64(stored.size()), 4);
            putLe(out, size, 4);
        }
        QByteArray extra;
        if (options.zip64) {
            putLe(extra, 1, 2);
            putLe(extra, 24, 2);
            putLe(extra, size, 8);
            putLe(extra, quint64(stored.size()), 8);
            putLe(extra, offset, 8);
        }
        const quint64 full = 0xFFFFFFFF;
        putLe(central, 0x02014b50, 4);
        putLe(central, options.zip64 ? 45 : 20, 2);
        putLe(central, options.zip64 ? 45 : 20, 2);
        putLe(central, flags, 2);
        putLe(central, m.method, 2);
        putLe(central, 0, 4);
        putLe(central, crc, 4);
        putLe(central, options.zip64 ? full : quint64(stored.size()), 4);
        putLe(central, options.zip64 ? full : size, 4);
        putLe(central, quint64(m.name.size()), 2);
        putLe(central, quint64(extra.size()), 2);
        putLe(central, 0, 2); // comment
        putLe(central, 0, 2); // disk
        putLe(central, 0, 2);
        putLe(central, 0, 4);
        putLe(central, options.zip64 ? full : offset, 4);
        central += m.name;
        central += extra;
    }
    const quint64 directoryOffset = quint64(out.size());
    out += central;
    const auto count = quint64(members.size());
    if (options.zip64) {
        const quint64 record = quint64(out.size());
        putLe(out, 0x06064b50, 4);
        putLe(out, 44, 8);
        putLe(out, 45, 2);
        putLe(out, 45, 2);
        putLe(out, 0, 4);
        putLe(out, 0, 4);
        putLe(out, count, 8);
        putLe(out, count, 8);
        putLe(out, quint64(central.size()), 8);
        putLe(out, directoryOffset, 8);
        putLe(out, 0x07064b50, 4);
        putLe(out, 0, 4);
        putLe(out, record, 8);
        putLe(out, 1, 4);
    }
    putLe(out, 0x06054b50, 4);
    putLe(out, 0, 2);
    putLe(out, 0, 2);
    putLe(out, options.zip64 ? 0xFFFF : count, 2);
    putLe(out, options.zip64 ? 0xFFFF : count, 2);
    putLe(out, options.zip64 ? 0xFFFFFFFF : quint64(central.size()), 4);
    putLe(out, options.zip64 ? 0xFFFFFFFF : directoryOffset, 4);
    putLe(out, quint64(options.comment.size()), 2);
    out += options.comment;
    return out;
}

} // namespace zelvora::test
