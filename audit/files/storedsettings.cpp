#include "audit/files/storedsettings.h"

#include <QDir>
#include <QFile>
#include <QSettings>
#include <QStandardPaths>
#include <QTemporaryFile>
#include <QVariant>
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace Qt::StringLiterals;

namespace zelvora {

std::optional<QString> storedText(const QVariant &value)
{
    switch (value.typeId()) {
    case QMetaType::QString:
    case QMetaType::QByteArray:
        return value.toString();
    default:
        return std::nullopt;
    }
}

QString userSettingsFile()
{
    // Where QSettings(kSettingsOrganization, kSettingsApplication) keeps the user's values on Linux.
    return u"%1/%2/%3.conf"_s.arg(QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation),
                                  kSettingsOrganization, kSettingsApplication);
}

namespace {

bool isSmallRegularFile(const struct stat &st)
{
    return S_ISREG(st.st_mode) && st.st_size <= kStoredSettingsMaxBytes;
}

// The bytes of `fileName` when it is a regular file within the limit. Looked at before opening,
// since opening a device can have effects of its own; opened without waiting (a FIFO put in its
// place meanwhile opens at once) and checked again on the very file that is read.
std::optional<QByteArray> readSmallRegularFile(const QString &fileName)
{
    const QByteArray encoded = QFile::encodeName(fileName);
    struct stat st = {};
    if (::stat(encoded.constData(), &st) != 0 || !isSmallRegularFile(st))
        return std::nullopt;
    const int fd = ::open(encoded.constData(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0)
        return std::nullopt;
    QByteArray bytes;
    if (::fstat(fd, &st) == 0 && isSmallRegularFile(st)) {
        // One byte past the limit at most, so a file that grew since the check is still refused.
        bytes.resize(kStoredSettingsMaxBytes + 1);
        qsizetype total = 0;
        bool failed = false;
        while (total < bytes.size() && !failed) {
            const ssize_t n = ::read(fd, bytes.data() + total, std::size_t(bytes.size() - total));
            if (n == 0)
                break;
            if (n > 0)
                total += n;
            else
                failed = errno != EINTR;
        }
        if (failed)
            total = 0;
        bytes.truncate(total);
    }
    ::close(fd);
    if (bytes.isEmpty() || bytes.size() > kStoredSettingsMaxBytes)
        return std::nullopt;
    return bytes;
}

} // namespace

StoredPaths readStoredPaths(const QString &fileName)
{
    const std::optional<QByteArray> bytes = readSmallRegularFile(fileName);
    if (!bytes)
        return {};
    // QSettings parses only files it opens itself, by name. It is given a private copy of the bytes
    // checked above, so that nothing put at `fileName` since can be read instead.
    QTemporaryFile copy(QDir::tempPath() + u"/zelvora-settings-XXXXXX.conf"_s);
    if (!copy.open() || copy.write(*bytes) != bytes->size() || !copy.flush())
        return {};
    // A QSettings on one file has no fallbacks.
    const QSettings settings(copy.fileName(), QSettings::IniFormat);
    return {storedText(settings.value(kZelvoraDirPathKey.toString())),
            storedText(settings.value(kZelvoraRomsListPathKey.toString()))};
}

} // namespace zelvora
