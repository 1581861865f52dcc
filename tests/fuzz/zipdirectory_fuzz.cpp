// The zip structure reader and the deep verify on arbitrary bytes: neither may crash, read outside the
// bytes, or hold more than bounded memory; a directory called sound keeps every entry's data inside the
// file and before the directory, and the verify's structure verdict is the quick check's.
#include "audit/checks/verify.h"
#include "audit/checks/zipcheck.h"
#include "fuzzcheck.h"

#include <cstdint>
#include <cstring>

namespace zelvora {
namespace {

class MemorySource final : public ZipSource
{
public:
    MemorySource(const char *bytes, std::size_t size) : m_bytes(bytes), m_size(size) {}
    qint64 read(quint64 offset, char *to, std::size_t size) override
    {
        if (offset >= m_size)
            return 0;
        const std::size_t n = std::min<std::size_t>(size, m_size - std::size_t(offset));
        std::memcpy(to, m_bytes + offset, n);
        return qint64(n);
    }

private:
    const char *m_bytes;
    std::size_t m_size;
};

} // namespace
} // namespace zelvora

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    using namespace zelvora;
    const auto *bytes = reinterpret_cast<const char *>(data);
    MemorySource source(bytes, size);
    ZipDirectory directory;
    const QString structure = readZipDirectory(source, size, &directory);
    if (structure.isEmpty()) {
        FUZZ_CHECK(directory.directoryOffset <= size, QString());
        for (const ZipEntry &entry : directory.entries)
            FUZZ_CHECK(entry.localOffset + 30 + entry.name.size() + entry.compressedSize <= directory.directoryOffset,
                       QString::fromStdString(entry.name));
    }
    MemorySource again(bytes, size);
    const ArchiveVerdict verdict = verifyArchive(again, size);
    FUZZ_CHECK(verdict.damagedZip == structure, verdict.damagedZip + QStringLiteral(" / ") + structure);
    FUZZ_CHECK(verdict.bytesRead <= quint64(size) * 2 + (4U << 20), QString::number(verdict.bytesRead));
    return 0;
}
