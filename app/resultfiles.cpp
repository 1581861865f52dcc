#include "app/qkappdelegate.h"
#include "audit/reports.h"
#include "platform/alert.h"
#include "platform/openpanel.h"

#include <QDir>

using namespace Qt::StringLiterals;

namespace zelvora {

namespace {

OpenPanelOptions saveResultsPanel()
{
    return OpenPanelOptions{.canChooseDirectories = true,
                            .canChooseFiles = false,
                            .allowsMultipleSelection = false,
                            .title = u"Save results"_s,
                            .prompt = u"Select"_s};
}

} // namespace

void QKAppDelegate::saveRomsResult(QObject *)
{
    if (m_auditingRoms)
        return;
    writeResultFiles(romReportFiles(romResults()));
}

void QKAppDelegate::saveVideosResult(QObject *)
{
    if (m_auditingVideos)
        return;
    writeResultFiles(videoReportFiles(videoResults()));
}

void QKAppDelegate::writeResultFiles(const std::vector<ReportFile> &files)
{
    const std::optional<QString> directory = m_openPanel.runModal(saveResultsPanel());
    if (!directory)
        return;

    const QList<WriteFailure> failures = writeReportFiles(*directory, files);
    if (failures.isEmpty())
        return;

    // A report that silently failed to appear would pass for a saved one.
    QStringList lines{u"Not written in %1:"_s.arg(QDir::toNativeSeparators(*directory)), QString()};
    for (const WriteFailure &failure : failures)
        lines.append(u"%1: %2"_s.arg(failure.fileName, failure.reason));
    m_alert.runModal(AlertMessage{u"Some result files could not be saved."_s, lines.join(u'\n'), u"OK"_s,
                                  AlertMessage::Style::Warning});
}

} // namespace zelvora
