// File > Export Table…: one table of both audits for a spreadsheet. The audits without a result for the
// fields as they stand run first, shown as any audit is; the table is built and written on a worker.
#include "app/tableexport.h"

#include "app/usersettings.h"
#include "audit/files/atomicwrite.h"
#include "audit/files/humantext.h"
#include "audit/files/table.h"
#include "audit/nearmiss/nearmiss.h"
#include "platform/alert.h"
#include "platform/mainthread.h"
#include "platform/openpanel.h"

#include <QDir>
#include <QFileInfo>

using namespace Qt::StringLiterals;

namespace zelvora {

namespace {

QString writeTable(const QString &file, QByteArrayView bytes)
{
    const QFileInfo info(file);
    if (info.fileName().isEmpty())
        return u"not a file name"_s;
    const SaveFolder folder(info.path());
    if (!folder.isOpen())
        return folder.error();
    return writeFileAtomically(folder, info.fileName(), bytes);
}

} // namespace

void TableExport::start()
{
    if (isExporting())
        return;
    const std::optional<AuditInputs> current = m_context.fields();
    const std::optional<QString> file = m_context.openPanel.runModal(OpenPanelOptions{
        .canChooseDirectories = false,
        .canChooseFiles = true,
        .allowsMultipleSelection = false,
        .title = u"Export Table"_s,
        .prompt = u"Export"_s,
        .directory = m_context.settings.lastSaveFolder(),
        .selectedFile = u"%1 table.csv"_s.arg(QFileInfo(current->zelvoraDir).fileName()).trimmed(),
        .savesFile = true,
        .nameFilters = {u"CSV files (*.csv)"_s, u"All files (*)"_s},
        .note = u"One row per game and file of both audits. The video columns follow the check box on the "
                "Videos tab: with it on, videos are expected only for the roms that are there."_s});
    if (!file)
        return;
    m_file = *file;
    m_context.settings.noteSaveFolder(QFileInfo(*file).absolutePath());

    // An audit whose result no longer matches the fields (or has none) runs again; one already running
    // is waited for.
    const AuditInputs now = *m_context.fields();
    const auto needs = [&now](const AuditPane *pane) {
        return !pane->isAuditing() && (!pane->stamp() || isOutOfDate(*pane->stamp(), now) || !pane->audit());
    };
    for (AuditPane *pane : m_context.panes) {
        connect(pane, &AuditPane::runningChanged, this, &TableExport::proceed, Qt::UniqueConnection);
        // The table holds the problems, found after the lists.
        connect(pane, &AuditPane::extrasPendingChanged, this, &TableExport::proceed, Qt::UniqueConnection);
    }
    const bool roms = needs(m_context.panes[0]);
    const bool videos = needs(m_context.panes[1]);
    if (roms)
        m_context.run(Audit::Roms);
    if (videos)
        m_context.run(Audit::Videos);
    if (!roms && !videos)
        proceed();
}

void TableExport::proceed()
{
    const AuditPane &roms = *m_context.panes[0];
    const AuditPane &videos = *m_context.panes[1];
    if (!m_file || roms.isAuditing() || videos.isAuditing() || roms.areExtrasPending() || videos.areExtrasPending())
        return;
    const QString file = *std::exchange(m_file, std::nullopt);
    const AuditInputs current = *m_context.fields();
    // A failed or cancelled audit has said why; the table would not be of the fields as they stand.
    if (!roms.audit() || !videos.audit() || !roms.stamp() || !videos.stamp() || isOutOfDate(*roms.stamp(), current) ||
        isOutOfDate(*videos.stamp(), current)) {
        m_context.alert.runModal(
            AlertMessage{u"The table was not exported."_s,
                         u"The audits it is made of did not finish for the folders as they stand."_s,
                         u"OK"_s,
                         AlertMessage::Style::Warning,
                         {}});
        Q_EMIT finished();
        return;
    }

    m_writing = true;
    startOnPool(m_context.workers, [this, file, romInputs = roms.stamp()->inputs, inputs = videos.stamp()->inputs,
                                    romAudit = roms.audit().roms, videoAudit = videos.audit().videos,
                                    romFound = roms.problems(), videoFound = videos.problems()] {
        QString error;
        try {
            // Extras that could not be found are looked for again here.
            const SharedProblems romProblems =
                romFound ? romFound
                         : std::make_shared<const std::vector<Problem>>(zelvora::romProblems(romInputs, *romAudit));
            const SharedProblems videoProblems =
                videoFound ? videoFound
                           : std::make_shared<const std::vector<Problem>>(zelvora::videoProblems(inputs, *videoAudit));
            const NearMisses romNearMisses = findRomNearMisses(*romAudit);
            const NearMisses videoNearMisses = findVideoNearMisses(*videoAudit);
            const QByteArray table =
                collectionTableCsv(TableSources{&inputs, romAudit.get(), videoAudit.get(), romProblems.get(),
                                                videoProblems.get(), &romNearMisses, &videoNearMisses});
            error = writeTable(file, table);
        } catch (const std::bad_alloc &) {
            error = u"out of memory"_s;
        }
        postToMainThread(this, [this, file, error] { didWrite(file, error); });
    });
}

void TableExport::didWrite(const QString &file, const QString &error)
{
    m_writing = false;
    if (error.isEmpty()) {
        Q_EMIT reported(message(u"Exported the table to %1.", {QDir::toNativeSeparators(file)}),
                        QFileInfo(file).absolutePath());
    } else {
        // A table that silently failed to appear would pass for an exported one.
        m_context.alert.runModal(AlertMessage{u"The table could not be exported."_s,
                                              u"%1: %2"_s.arg(QDir::toNativeSeparators(file), error),
                                              u"OK"_s,
                                              AlertMessage::Style::Warning,
                                              {}});
    }
    Q_EMIT finished();
}

} // namespace zelvora
