// File > Export Table…: one table of both audits for a spreadsheet. The audits without a result for the
// fields as they stand run first, shown as any audit is; the table is built and written on a worker.
#include "app/qkappdelegate.h"
#include "audit/files/atomicwrite.h"
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

void QKAppDelegate::exportTable(QObject *)
{
    if (isExportingTable())
        return;
    const QString directory = zelvoraDirPathTextField()->text();
    const std::optional<QString> file = m_openPanel.runModal(
        OpenPanelOptions{.canChooseDirectories = false,
                         .canChooseFiles = true,
                         .allowsMultipleSelection = false,
                         .title = u"Export Table"_s,
                         .prompt = u"Export"_s,
                         .directory = {},
                         .selectedFile = u"%1 table.csv"_s.arg(QFileInfo(directory).fileName()).trimmed(),
                         .savesFile = true});
    if (!file)
        return;
    m_tableFile = *file;

    // An audit whose result no longer matches the fields (or has none) runs again; one already running
    // is waited for.
    const AuditInputs current = snapshotInputs();
    const auto needs = [&](Audit audit) {
        const ResultPane &p = m_panes[std::size_t(audit)];
        return !isAuditing(audit) &&
               (!p.stamp || isOutOfDate(*p.stamp, current) || (audit == Audit::Roms ? !m_romAudit : !m_videoAudit));
    };
    connect(this, &QKAppDelegate::romsAuditRunningChanged, this, &QKAppDelegate::continueTableExport,
            Qt::UniqueConnection);
    connect(this, &QKAppDelegate::videosAuditRunningChanged, this, &QKAppDelegate::continueTableExport,
            Qt::UniqueConnection);
    // The table holds the problems, found after the lists.
    connect(this, &QKAppDelegate::extrasPendingChanged, this, &QKAppDelegate::continueTableExport,
            Qt::UniqueConnection);
    const bool roms = needs(Audit::Roms);
    const bool videos = needs(Audit::Videos);
    if (roms)
        auditRoms();
    if (videos)
        auditVideos();
    if (!roms && !videos)
        continueTableExport();
}

void QKAppDelegate::continueTableExport()
{
    if (!m_tableFile || m_auditingRoms || m_auditingVideos || areExtrasPending(Audit::Roms) ||
        areExtrasPending(Audit::Videos))
        return;
    const QString file = *std::exchange(m_tableFile, std::nullopt);
    const ResultPane &roms = m_panes[std::size_t(Audit::Roms)];
    const ResultPane &videos = m_panes[std::size_t(Audit::Videos)];
    const AuditInputs current = snapshotInputs();
    // A failed or cancelled audit has said why; the table would not be of the fields as they stand.
    if (!m_romAudit || !m_videoAudit || !roms.stamp || !videos.stamp || isOutOfDate(*roms.stamp, current) ||
        isOutOfDate(*videos.stamp, current)) {
        m_alert.runModal(AlertMessage{u"The table was not exported."_s,
                                      u"The audits it is made of did not finish for the folders as they stand."_s,
                                      u"OK"_s,
                                      AlertMessage::Style::Warning,
                                      {}});
        Q_EMIT tableExportFinished();
        return;
    }

    m_writingTable = true;
    startInBackground([this, file, romInputs = roms.stamp->inputs, inputs = videos.stamp->inputs, romAudit = m_romAudit,
                       videoAudit = m_videoAudit, romFound = m_problems[0], videoFound = m_problems[1]] {
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
        postToMainThread(this, [this, file, error] { didWriteTable(file, error); });
    });
}

void QKAppDelegate::didWriteTable(const QString &file, const QString &error)
{
    m_writingTable = false;
    if (!error.isEmpty()) {
        // A table that silently failed to appear would pass for an exported one.
        m_alert.runModal(AlertMessage{u"The table could not be exported."_s,
                                      u"%1: %2"_s.arg(QDir::toNativeSeparators(file), error),
                                      u"OK"_s,
                                      AlertMessage::Style::Warning,
                                      {}});
    }
    Q_EMIT tableExportFinished();
}

} // namespace zelvora
