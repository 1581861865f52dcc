#include "audit/files/reports.h"

#include "audit/files/atomicwrite.h"
#include "audit/files/resulttext.h"

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
    const SaveFolder folder(directory);
    removeStaleTemporaryFiles(folder);
    QList<WriteFailure> failures;
    for (const ReportFile &file : files) {
        // An existing report is either kept or replaced whole; a link in its place is replaced, not followed.
        const QString reason = writeFileAtomically(folder, file.fileName, file.bytes);
        if (!reason.isEmpty()) {
            const QString path =
                directory.endsWith(u'/') ? directory + file.fileName : directory + u'/' + file.fileName;
            failures.append({file.fileName, path, reason});
        }
    }
    return failures;
}

} // namespace zelvora
