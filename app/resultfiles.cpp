#include "app/qkappdelegate.h"
#include "audit/checks/problems.h"
#include "audit/files/humantext.h"
#include "audit/files/reports.h"
#include "platform/alert.h"
#include "platform/confirm.h"
#include "platform/openpanel.h"
#include "platform/urlopener.h"

#include <QDir>
#include <QFileInfo>
#include <QUrl>

using namespace Qt::StringLiterals;

namespace zelvora {

namespace {

OpenPanelOptions saveResultsPanel(const QString &lastFolder)
{
    return OpenPanelOptions{.canChooseDirectories = true,
                            .canChooseFiles = false,
                            .allowsMultipleSelection = false,
                            .title = u"Save results"_s,
                            .prompt = u"Select"_s,
                            .directory = lastFolder,
                            .selectedFile = {}};
}

// The reports that would replace a file (or a link) already in `directory`.
QStringList existingReports(const QString &directory, const std::vector<ReportFile> &files)
{
    QStringList existing;
    for (const ReportFile &file : files) {
        const QFileInfo info(QDir(directory).filePath(file.fileName));
        if (info.exists() || info.isSymLink())
            existing.append(file.fileName);
    }
    return existing;
}

// The audit's problems go with its reports when it found some, or when an earlier save left a problems
// file there that would otherwise no longer match the reports beside it.
void addProblemsFile(std::vector<ReportFile> &files, const std::shared_ptr<const std::vector<Problem>> &problems,
                     QStringView fileName, const QString &directory)
{
    if (problems && (!problems->empty() || QFileInfo(QDir(directory).filePath(fileName.toString())).exists()))
        files.push_back({fileName.toString(), problemsCsv(*problems)});
}

} // namespace

void QKAppDelegate::saveRomsResult(QObject *)
{
    saveResult(m_roms);
}

void QKAppDelegate::saveVideosResult(QObject *)
{
    saveResult(m_videos);
}

void QKAppDelegate::saveResult(AuditPane &pane)
{
    if (pane.isAuditing() || !pane.hasResults() || pane.areExtrasPending())
        return;
    std::vector<ReportFile> files = pane.reportFiles();
    const QString &audit = pane.kind().reportName;
    // Reports of one collection saved while the window names another would pass for the other's.
    if (pane.isOfOtherFolders() && pane.stamp()) {
        const QString of = QDir::toNativeSeparators(pane.stamp()->inputs.zelvoraDir);
        const ConfirmMessage question{
            message(u"Save the %1 results of %2?", {MessageArg::own(audit), of}),
            message(u"They are of %1, not of the folders the window names now. Audit again for results of "
                    "those.",
                    {of}),
            u"Save"_s, u"Cancel"_s};
        if (!m_services.confirm.runModal(question))
            return;
    }
    const std::optional<QString> directory =
        m_services.openPanel.runModal(saveResultsPanel(m_settings.lastSaveFolder()));
    if (!directory)
        return;
    m_settings.noteSaveFolder(*directory);
    addProblemsFile(files, pane.problems(), pane.kind().problemsFileName, *directory);

    const QString shownDirectory = QDir::toNativeSeparators(*directory);
    if (const QStringList existing = existingReports(*directory, files); !existing.isEmpty()) {
        const QString question =
            existing.size() == 1
                ? u"Replace the %1 report file %2 in %3?"_s.arg(audit, existing.first(), shownDirectory)
                : u"Replace the %1 %2 report files in %3?"_s.arg(existing.size()).arg(audit, shownDirectory);
        const ConfirmMessage message{question, u"Already there: %1."_s.arg(existing.join(u", "_s)), u"Yes"_s, u"No"_s};
        if (!m_services.confirm.runModal(message))
            return;
    }

    const QList<WriteFailure> failures = writeReportFiles(*directory, files);
    const qsizetype written = qsizetype(files.size()) - failures.size();
    if (failures.isEmpty()) {
        Q_EMIT reported(message(u"Saved %1 %2 result files to %3.", {written, MessageArg::own(audit), shownDirectory}),
                        *directory);
        return;
    }
    if (written > 0)
        Q_EMIT reported(message(u"Saved %1 of %2 %3 result files to %4.",
                                {written, files.size(), MessageArg::own(audit), shownDirectory}),
                        *directory);
    else
        Q_EMIT reported(message(u"No %1 result files could be saved.", {MessageArg::own(audit)}), {});

    // A report that silently failed to appear would pass for a saved one.
    QStringList lines{u"Not written in %1:"_s.arg(shownDirectory), QString()};
    for (const WriteFailure &failure : failures)
        lines.append(u"%1: %2"_s.arg(failure.fileName, failure.reason));
    const QString what = std::size_t(failures.size()) == files.size() ? u"No result files could be saved."_s
                                                                      : u"Some result files could not be saved."_s;
    m_services.alert.runModal(AlertMessage{what, lines.join(u'\n'), u"OK"_s, AlertMessage::Style::Warning, {}});
}

void QKAppDelegate::showFolder(const QString &folder)
{
    if (m_services.urlOpener.openUrl(QUrl::fromLocalFile(folder)))
        return;
    m_services.alert.runModal(AlertMessage{u"No file manager could be opened."_s,
                                           message(u"The files are in %1.", {QDir::toNativeSeparators(folder)}),
                                           u"OK"_s,
                                           AlertMessage::Style::Warning,
                                           {}});
}

} // namespace zelvora
