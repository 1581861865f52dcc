#include "app/qkappdelegate.h"
#include "platform/busyindicator.h"
#include "platform/mainthread.h"
#include "platform/resultview.h"
#include "platform/segmentedcontrol.h"

#include <QApplication>
#include <QCheckBox>
#include <QFont>
#include <QLabel>
#include <QLineEdit>
#include <QTabWidget>
#include <algorithm>

namespace zelvora {

QKAppDelegate::QKAppDelegate(const PlatformServices &services, QObject *parent)
    : QObject(parent), m_services(services), m_settings(services.settings),
      m_roms(PaneKind::roms(), {&m_validRoms, &m_missingRoms, &m_unknownRoms},
             {m_workers, m_phases, services.alert, [this] { return snapshotInputs(); }}),
      m_videos(PaneKind::videos(), {&m_validVideos, &m_missingVideos, &m_extraVideos, &m_unknownVideos},
               {m_workers, m_phases, services.alert, [this] { return snapshotInputs(); }}),
      m_renames({m_workers,
                 services.alert,
                 services.confirm,
                 {&m_roms, &m_videos},
                 [this](Audit audit) { audit == Audit::Roms ? auditRoms() : auditVideos(); }}),
      m_tableExport({m_workers,
                     services.openPanel,
                     services.alert,
                     m_settings,
                     {&m_roms, &m_videos},
                     [this] { return snapshotInputs(); },
                     [this](Audit audit) { audit == Audit::Roms ? auditRoms() : auditVideos(); }}),
      m_verify(m_workers, m_roms), m_paths(*this, services.openPanel, m_workers)
{
    // Two audits and any number of list-file searches may run at once; none should wait for another.
    m_workers.setMaxThreadCount(std::max(8, QThread::idealThreadCount()));
    connectPane(m_roms, &QKAppDelegate::romsAuditRunningChanged);
    connectPane(m_videos, &QKAppDelegate::videosAuditRunningChanged);
    connect(&m_renames, &Renames::renamingChanged, this, &QKAppDelegate::renamingChanged);
    connect(&m_tableExport, &TableExport::finished, this, &QKAppDelegate::tableExportFinished);
    connect(&m_renames, &Renames::reported, this, &QKAppDelegate::reported);
    connect(&m_tableExport, &TableExport::reported, this, &QKAppDelegate::reported);
    connect(&m_paths, &PathChooser::searchFinished, this, &QKAppDelegate::romListSearchFinished);
}

void QKAppDelegate::connectPane(AuditPane &pane, void (QKAppDelegate::*running)(bool))
{
    const int audit = int(pane.kind().audit);
    connect(&pane, &AuditPane::runningChanged, this, running);
    connect(&pane, &AuditPane::extrasPendingChanged, this,
            [this, audit](bool pending) { Q_EMIT extrasPendingChanged(audit, pending); });
    connect(&pane, &AuditPane::filterApplied, this, [this, audit] { Q_EMIT filterApplied(audit); });
}

QKAppDelegate::~QKAppDelegate()
{
    // A worker posts its results to this object; it must be done before the object goes. A running
    // audit is cancelled first, so that closing the window does not wait for a long walk.
    cancelAudits();
    m_verify.cancel();
    m_roms.stopExtras();
    m_videos.stopExtras();
    m_workers.waitForDone();
    handover::acquire(&handover::workersDone);

    setZelvoraDirPathTextField(nullptr);
    setRomsListPathTextField(nullptr);
    setRomsResultView(nullptr);
    setRomsResultControl(nullptr);
    setProgressIndicator(nullptr);
    setProgressLabel(nullptr);
    setCheckAvailableRomVideosOnly(nullptr);
    setVideosResultControl(nullptr);
    setVideosResultView(nullptr);
    setTabView(nullptr);
    setRomsNotesLabel(nullptr);
    setVideosNotesLabel(nullptr);
}

void QKAppDelegate::applicationDidFinishLaunching(QObject *)
{
    for (SharedNameList *list : {&m_missingRoms, &m_validRoms, &m_unknownRoms, &m_missingVideos, &m_validVideos,
                                 &m_unknownVideos, &m_extraVideos})
        *list = SharedNameList();

    QFont font = QApplication::font();
    font.setBold(true);
    font.setPointSizeF(13.0);
    romsResultView()->setFont(font);
    videosResultView()->setFont(font);

    loadUserDefaults();
}

void QKAppDelegate::applicationWillTerminate(QObject *)
{
    cancelAudits();
    saveUserDefaults();
}

std::optional<AuditInputs> QKAppDelegate::snapshotInputs() const
{
    if (!zelvoraDirPathTextField() || !romsListPathTextField() || !checkAvailableRomVideosOnly())
        return std::nullopt;
    return AuditInputs{zelvoraDirPathTextField()->text(), romsListPathTextField()->text(),
                       checkAvailableRomVideosOnly()->isChecked()};
}

void QKAppDelegate::setZelvoraDirPathTextField(QLineEdit *field)
{
    m_zelvoraDirPathTextField = field;
}

void QKAppDelegate::setRomsListPathTextField(QLineEdit *field)
{
    m_romsListPathTextField = field;
    if (field)
        m_paths.setListPlaceholder(field->placeholderText());
}

void QKAppDelegate::setRomsResultView(ResultView *view)
{
    m_romsResultView = view;
    m_roms.widgets().view = view;
}

void QKAppDelegate::setRomsResultControl(SegmentedControl *control)
{
    m_romsResultControl = control;
    m_roms.widgets().control = control;
}

void QKAppDelegate::setVideosResultView(ResultView *view)
{
    m_videosResultView = view;
    m_videos.widgets().view = view;
}

void QKAppDelegate::setVideosResultControl(SegmentedControl *control)
{
    m_videosResultControl = control;
    m_videos.widgets().control = control;
}

void QKAppDelegate::setCheckAvailableRomVideosOnly(QCheckBox *checkBox)
{
    m_checkAvailableRomVideosOnly = checkBox;
}

void QKAppDelegate::setProgressLabel(QLabel *label)
{
    m_progressLabel = label;
    m_phases.setLabel(label);
}

void QKAppDelegate::setProgressIndicator(BusyIndicator *indicator)
{
    m_progressIndicator = indicator;
    m_phases.setIndicator(indicator);
}

void QKAppDelegate::setTabView(QTabWidget *tabView)
{
    m_tabView = tabView;
}

void QKAppDelegate::setRomsNotesLabel(QLabel *label)
{
    m_romsNotesLabel = label;
    m_roms.widgets().notes = label;
}

void QKAppDelegate::setVideosNotesLabel(QLabel *label)
{
    m_videosNotesLabel = label;
    m_videos.widgets().notes = label;
}

void QKAppDelegate::setResultPane(Audit audit, QLabel *caption, SummaryStrip *strip, QLineEdit *filter)
{
    pane(audit).setResultWidgets(caption, strip, filter);
}

void QKAppDelegate::setProblemsPane(Audit audit, ProblemsPane *problems)
{
    pane(audit).widgets().problems = problems;
}

void QKAppDelegate::setNearMissPane(Audit audit, NearMissPane *nearMisses)
{
    pane(audit).widgets().nearMisses = nearMisses;
    connect(nearMisses, &NearMissPane::renameRequested, this, [this, audit] { renameCheckedNearMisses(audit); });
    connect(this,
            audit == Audit::Roms ? &QKAppDelegate::romsAuditRunningChanged : &QKAppDelegate::videosAuditRunningChanged,
            &m_renames, &Renames::updateActions);
    m_renames.updateActions();
}

void QKAppDelegate::setUndoRenamesAction(QAction *action)
{
    m_undoRenamesAction = action;
    m_renames.setUndoAction(action);
}

} // namespace zelvora
