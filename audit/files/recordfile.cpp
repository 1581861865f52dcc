#include "audit/files/recordfile.h"

#include "audit/names/filenames.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace Qt::StringLiterals;

namespace zelvora {

std::optional<QByteArray> readRecordFile(const QString &path, qint64 maxBytes, QString &problem)
{
    const int fd = ::open(encodeFileName(path).constData(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        if (errno != ENOENT)
            problem = QString::fromLocal8Bit(std::strerror(errno));
        return std::nullopt;
    }
    std::optional<QByteArray> bytes;
    struct stat st = {};
    if (::fstat(fd, &st) != 0) {
        problem = QString::fromLocal8Bit(std::strerror(errno));
    } else if (!S_ISREG(st.st_mode)) {
        problem = u"not a regular file"_s;
    } else if (st.st_size > maxBytes) {
        problem = u"too big"_s;
    } else {
        QByteArray data(qsizetype(st.st_size), Qt::Uninitialized);
        qsizetype done = 0;
        while (done < data.size()) {
            const ssize_t n = ::read(fd, data.data() + done, std::size_t(data.size() - done));
            if (n < 0 && errno == EINTR)
                continue;
            if (n < 0)
                problem = QString::fromLocal8Bit(std::strerror(errno));
            if (n <= 0)
                break;
            done += n;
        }
        data.truncate(done);
        if (problem.isEmpty())
            bytes = std::move(data);
    }
    ::close(fd);
    return bytes;
}

} // namespace zelvora
