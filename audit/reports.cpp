#include "audit/reports.h"

#include "audit/resulttext.h"

#include <QSaveFile>

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

QList<WriteFailure> writeReportFiles(const QString &directory, const std::vector<ReportFile> &files)
{
    QList<WriteFailure> failures;
    for (const ReportFile &file : files) {
        const QString path = directory.endsWith(u'/') ? directory + file.fileName : directory + u'/' + file.fileName;
        // Written beside the target and renamed over it: an existing report is either kept or replaced whole.
        QSaveFile out(path);
        const QByteArray bytes = file.text.toUtf8();
        if (!out.open(QIODevice::WriteOnly)) {
            failures.append({file.fileName, path, out.errorString()});
            continue;
        }
        if (out.write(bytes) != bytes.size()) {
            const QString reason = out.errorString();
            out.cancelWriting();
            failures.append({file.fileName, path, reason});
            continue;
        }
        if (!out.commit())
            failures.append({file.fileName, path, out.errorString()});
    }
    return failures;
}

} // namespace zelvora
