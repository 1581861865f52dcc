// The zip structure reader and the deep verify on arbitrary bytes: neither may crash, read outside the
// bytes, or hold more than bounded memory; a directory called sound keeps every entry's data inside the
// file and before the directory, and the verify's structure verdict is the quick check's.
#include "audit/checks/verify.h"
#include "audit/checks/zipcheck.h"
#include "fuzzcheck.h"

#include <cstdint>
#include <cstring>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    using namespace zelvora;
    const auto *bytes = reinterpret_cast<const char *>(data);
    MemoryZipSource source(bytes, size);
    ZipDirectory directory;
    const QString structure = readZipDirectory(source, size, &directory);
    if (structure.isEmpty()) {
        FUZZ_CHECK(directory.directoryOffset <= size, QString());
        for (const ZipEntry &entry : directory.entries)
            FUZZ_CHECK(entry.localOffset + 30 + entry.name.size() + entry.compressedSize <= directory.directoryOffset,
                       QString::fromStdString(entry.name));
    }
    MemoryZipSource again(bytes, size);
    const ArchiveVerdict verdict = verifyArchive(again, size);
    FUZZ_CHECK(verdict.damagedZip == structure, verdict.damagedZip + QStringLiteral(" / ") + structure);
    FUZZ_CHECK(verdict.bytesRead <= quint64(size) * 2 + (4U << 20), QString::number(verdict.bytesRead));
    return 0;
}
