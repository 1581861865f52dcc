#include "audit/reports.h"

#include "audit/resulttext.h"

#include <QSaveFile>
#include <cerrno>
#include <cstring>
#include <unistd.h>

namespace zelvora {

std::vector<ReportFile> romReportFiles(const RomResults &results)
{
    std::vector<ReportFile> files;
    for (int i = 0; i < kRomListCount; ++i) {
        const auto which = RomList(i);
        files.push_back({romFileName(which), formatResultText(romFileFormat(which), romList(results, which))});
    }
    return files;
}

std::vector<ReportFile> videoReportFiles(const VideoResults &results)
{
    std::vector<ReportFile> files;
    for (int i = 0; i < kVideoListCount; ++i) {
        const auto which = VideoList(i);
        files.push_back({videoFileName(which), formatResultText(videoFileFormat(which), videoList(results, which))});
    }
    return files;
}

namespace {

// Writes `bytes` to `path` through a file beside it that is renamed over the target only once every
// byte is on disk. On failure says why in `reason`.
bool replaceFile(const QString &path, const QByteArray &bytes, QString &reason)
{
    QSaveFile out(path);
    // Unbuffered: a buffered write that fails only when flushed still lets commit() rename the cut
    // file into place and report success (seen with Qt 6.4 on a full file system).
    if (!out.open(QIODevice::WriteOnly | QIODevice::Unbuffered)) {
        reason = out.errorString();
        return false;
    }
    for (qint64 done = 0; done < bytes.size();) {
        // A short write says nothing; writing the rest gives the reason.
        const qint64 n = out.write(bytes.constData() + done, bytes.size() - done);
        if (n <= 0) {
            reason = out.errorString();
            out.cancelWriting();
            return false;
        }
        done += n;
    }
    // commit() ignores a failed sync, and with it errors the file system reports only then; a file
    // system that cannot sync at all is no failure.
    int synced = 0;
    do
        synced = ::fdatasync(out.handle());
    while (synced != 0 && errno == EINTR);
    if (synced != 0 && errno != EINVAL && errno != ENOTSUP) {
        reason = QString::fromLocal8Bit(std::strerror(errno));
        out.cancelWriting();
        return false;
    }
    if (!out.commit()) {
        reason = out.errorString();
        return false;
    }
    return true;
}

} // namespace

QList<WriteFailure> writeReportFiles(const QString &directory, const std::vector<ReportFile> &files)
{
    QList<WriteFailure> failures;
    for (const ReportFile &file : files) {
        const QString path = directory.endsWith(u'/') ? directory + file.fileName : directory + u'/' + file.fileName;
        // Written beside the target and renamed over it: an existing report is either kept or replaced whole.
        QString reason;
        if (!replaceFile(path, file.bytes, reason))
            failures.append({file.fileName, path, reason});
    }
    return failures;
}

} // namespace zelvora
