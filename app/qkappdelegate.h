#pragma once

#include "app/archiveverify.h"
#include "app/auditpane.h"
#include "app/pathchooser.h"
#include "app/phaserow.h"
#include "app/platformservices.h"
#include "app/renames.h"
#include "app/tableexport.h"
#include "app/usersettings.h"

#include <QAction>
#include <QCheckBox>
#include <QObject>
#include <QPointer>
#include <QTabWidget>
#include <QThreadPool>
#include <optional>

class QMenu;

namespace zelvora {

// The one controller of the window: it owns the seven result lists, holds the window's controls as
// outlets and receives every action, handing it to the class of its concern. Main thread only, except
// the members marked "worker thread", which touch no widget and no result list.
class QKAppDelegate : public QObject
{
    Q_OBJECT

public:
    using Audit = zelvora::Audit;
    explicit QKAppDelegate(const PlatformServices &services, QObject *parent = nullptr);
    ~QKAppDelegate() override; // waits for every worker: none may outlive the controller
    Q_DISABLE_COPY_MOVE(QKAppDelegate)

    // Lifecycle and outlets (lifecycle.cpp)
    void applicationDidFinishLaunching(QObject *notification = nullptr);
    void applicationWillTerminate(QObject *notification = nullptr);
    QLineEdit *zelvoraDirPathTextField() const { return m_zelvoraDirPathTextField; }
    void setZelvoraDirPathTextField(QLineEdit *field);
    QLineEdit *romsListPathTextField() const { return m_romsListPathTextField; }
    void setRomsListPathTextField(QLineEdit *field);
    ResultView *romsResultView() const { return m_romsResultView; }
    void setRomsResultView(ResultView *view);
    SegmentedControl *romsResultControl() const { return m_romsResultControl; }
    void setRomsResultControl(SegmentedControl *control);
    ResultView *videosResultView() const { return m_videosResultView; }
    void setVideosResultView(ResultView *view);
    SegmentedControl *videosResultControl() const { return m_videosResultControl; }
    void setVideosResultControl(SegmentedControl *control);
    QCheckBox *checkAvailableRomVideosOnly() const { return m_checkAvailableRomVideosOnly; }
    void setCheckAvailableRomVideosOnly(QCheckBox *checkBox);
    QLabel *progressLabel() const { return m_progressLabel; }
    void setProgressLabel(QLabel *label);
    BusyIndicator *progressIndicator() const { return m_progressIndicator; }
    void setProgressIndicator(BusyIndicator *indicator);
    QTabWidget *tabView() const { return m_tabView; }
    void setTabView(QTabWidget *tabView);
    // Beside each audit's result: why it may hold fewer files than the tree.
    QLabel *romsNotesLabel() const { return m_romsNotesLabel; }
    void setRomsNotesLabel(QLabel *label);
    QLabel *videosNotesLabel() const { return m_videosNotesLabel; }
    void setVideosNotesLabel(QLabel *label);
    void setResultPane(Audit audit, QLabel *caption, SummaryStrip *strip, QLineEdit *filter);
    void setProblemsPane(Audit audit, ProblemsPane *problems);
    void setNearMissPane(Audit audit, NearMissPane *nearMisses);
    void setUndoRenamesAction(QAction *action);

    // Name lists, worker thread (namelists.cpp): the engine's own steps, on the paths of `inputs`.
    static FoundFiles cacheZelvoraRomDirs(const AuditInputs &inputs, Progress *progress = nullptr);
    static FoundFiles cacheZelvoraVideoDirs(const AuditInputs &inputs, Progress *progress = nullptr);
    static FoundFiles cacheFilenamesFromDirsWithFileExtensions(const AuditInputs &inputs,
                                                               const QStringList &directories, const QString &extension,
                                                               Progress *progress = nullptr);
    static std::optional<NameBlock> cacheRomsListFile(const AuditInputs &inputs);
    static void setExtensionOfFilenames(const QString &extension, NameBlock &filenames);

    // The audits (audits.cpp). A finish step without an audit keeps the lists; `notes` go beside it.
    void auditRoms(QObject *sender = nullptr);
    void auditRomsInBackground(const AuditInputs &inputs, // worker thread
                               std::shared_ptr<const std::atomic<bool>> cancel = {});
    void didFinishAuditRoms(const std::shared_ptr<const RomAudit> &result, const ResultNotes &notes = {},
                            const std::shared_ptr<const NearMisses> &nearMisses = {});
    void auditVideos(QObject *sender = nullptr);
    void auditVideosInBackground(const AuditInputs &inputs, // worker thread
                                 std::shared_ptr<const std::atomic<bool>> cancel = {});
    void didFinishAuditVideos(const std::shared_ptr<const VideoAudit> &result, const ResultNotes &notes = {},
                              const std::shared_ptr<const NearMisses> &nearMisses = {});
    void showInvalidRomsListAlert(const QString &listPath, RomsListFault fault);
    void showIncompleteWalkAlert(const WalkReport &walk);
    bool isAuditing(Audit audit) const { return pane(audit).isAuditing(); }
    // Stops a running audit as soon as the engine can; its earlier results stay.
    void cancelAudit(Audit audit);
    void cancelAudits();

    // Result views (resultviews.cpp); a filtered list is shown once a worker has filtered it.
    void didClickRomsResultControl(QObject *sender = nullptr);
    void didClickVideosResultControl(QObject *sender = nullptr);
    void didClickCheckAvailableRomVideosOnly(QObject *sender = nullptr);
    // The fields or the check box changed: each caption says whether its result still matches them.
    void updateCaptions();
    void showList(Audit audit) { pane(audit).showList(); }
    // Where a shown line's file lies (filelocations.cpp): none for a missing name or a line without one.
    QString fileToolTipAt(Audit audit, qsizetype line) const;
    void addFileActions(Audit audit, QMenu *menu, qsizetype line);
    bool areExtrasPending(Audit audit) const { return pane(audit).areExtrasPending(); }

    // Possible matches, renames and their undo; the audits they touched run again by themselves.
    QAction *undoRenamesAction() const { return m_undoRenamesAction; }
    void renameCheckedNearMisses(Audit audit) { m_renames.renameChecked(audit); }
    void undoLastRenames(QObject * = nullptr) { m_renames.undoLast(); }
    bool isRenaming() const { return m_renames.isRenaming(); }
    ArchiveVerify &archiveVerify() { return m_verify; } // the deep verify of the shown rom archives

    // Result files (resultfiles.cpp); only an audit that has given results in this run has any.
    void saveRomsResult(QObject *sender = nullptr);
    void saveVideosResult(QObject *sender = nullptr);
    bool hasResults(Audit audit) const { return pane(audit).hasResults(); }
    void exportTable(QObject * = nullptr) { m_tableExport.start(); }
    // Opens a folder that a save, an export or a rename wrote in, in the file manager.
    void showFolder(const QString &folder);

    // Settings (settings.cpp)
    void loadUserDefaults();
    void saveUserDefaults();
    QStringList recentDirectories() const { return m_settings.recentDirectories(); }
    void noteRecentDirectory(const QString &directory) { m_settings.noteRecentDirectory(directory); }
    void clearRecentDirectories() { m_settings.clearRecentDirectories(); }

    // Path selection (pathselection.cpp): a directory is taken and its supported roms list looked up.
    void selectZelvoraDirectory(QObject * = nullptr) { m_paths.selectZelvoraDirectory(); }
    void selectRomsListFile(QObject * = nullptr) { m_paths.selectRomsListFile(); }
    void chooseZelvoraDirectory(const QString &directory) { m_paths.chooseZelvoraDirectory(directory); }
    void chooseRomsListFile(const QString &file) { m_paths.chooseRomsListFile(file); }
    void findRomListFile(const QString &directory, quint64 search) { m_paths.findRomListFile(directory, search); }
    void openHomepage(QObject *sender = nullptr);

    // Each audit's pane, which does the work of its actions.
    AuditPane &pane(Audit audit) { return audit == Audit::Roms ? m_roms : m_videos; }
    const AuditPane &pane(Audit audit) const { return audit == Audit::Roms ? m_roms : m_videos; }

Q_SIGNALS:
    // When an audit starts and when its finish step has run.
    void romsAuditRunningChanged(bool running);
    void videosAuditRunningChanged(bool running);
    void romListSearchFinished();
    // A filtered list is shown; `audit` is an Audit.
    void filterApplied(int audit);
    void tableExportFinished();
    void renamingChanged(bool running);
    // A shown result's problems and changes start being found, or are shown; `audit` is an Audit.
    void extrasPendingChanged(int audit, bool pending);
    // What a save, an export, a rename or an undo did, and the folder it wrote in (empty: none).
    void reported(const QString &text, const QString &folder);

private:
    std::optional<AuditInputs> snapshotInputs() const;
    void connectPane(AuditPane &pane, void (QKAppDelegate::*running)(bool));
    void saveResult(AuditPane &pane);

    const PlatformServices m_services;

    // Views of the names of the last audit that gave results, which they keep alive.
    SharedNameList m_missingRoms;
    SharedNameList m_validRoms;
    SharedNameList m_unknownRoms;
    SharedNameList m_missingVideos;
    SharedNameList m_validVideos;
    SharedNameList m_extraVideos;
    SharedNameList m_unknownVideos;

    QPointer<QLineEdit> m_zelvoraDirPathTextField;
    QPointer<QLineEdit> m_romsListPathTextField;
    QPointer<ResultView> m_romsResultView;
    QPointer<SegmentedControl> m_romsResultControl;
    QPointer<ResultView> m_videosResultView;
    QPointer<SegmentedControl> m_videosResultControl;
    QPointer<QCheckBox> m_checkAvailableRomVideosOnly;
    QPointer<QLabel> m_progressLabel;
    QPointer<BusyIndicator> m_progressIndicator;
    QPointer<QTabWidget> m_tabView;
    QPointer<QLabel> m_romsNotesLabel;
    QPointer<QLabel> m_videosNotesLabel;
    QPointer<QAction> m_undoRenamesAction;

    // Audits, filters, renames, exports and list-file searches; the destructor waits for every job.
    QThreadPool m_workers;
    PhaseRow m_phases;
    UserSettings m_settings;
    AuditPane m_roms;
    AuditPane m_videos;
    Renames m_renames;
    TableExport m_tableExport;
    ArchiveVerify m_verify;
    PathChooser m_paths;
};

} // namespace zelvora
