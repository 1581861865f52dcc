#pragma once

#include "app/nearmissview.h"
#include "app/problemsview.h"
#include "app/resultcaption.h"
#include "app/resultlists.h"
#include "app/resultnotes.h"
#include "audit/audits.h"
#include "audit/files/reports.h"
#include "audit/files/resulttext.h"
#include "audit/names/merge.h"
#include "audit/nearmiss/nearmiss.h"
#include "audit/nearmiss/saferename.h"
#include "platform/busyindicator.h"
#include "platform/resultview.h"
#include "platform/segmentedcontrol.h"
#include "platform/summarystrip.h"

#include <QCheckBox>
#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QStringList>
#include <QTabWidget>
#include <QThreadPool>
#include <array>
#include <atomic>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

class QAction;
class QMenu;

namespace zelvora {

class Alert;
class Confirm;
class OpenPanel;
class Progress;
class SettingsStore;
class UrlOpener;

// The lines of each list's view text, by segment, made when the segment is first shown.
using RomLines = std::array<std::shared_ptr<const NameListLines>, kRomListCount>;
using VideoLines = std::array<std::shared_ptr<const NameListLines>, kVideoListCount>;

// The desktop services the controller uses; they outlive it.
struct PlatformServices
{
    SettingsStore &settings;
    OpenPanel &openPanel;
    Alert &alert;
    UrlOpener &urlOpener;
    Confirm &confirm;
};

// The one controller of the window: it owns the seven result lists, reaches the window's controls
// through its outlets and receives every action. All members run on the main thread except those
// marked "worker thread", which touch no widget and no result list.
class QKAppDelegate : public QObject
{
    Q_OBJECT

public:
    enum class Audit { Roms, Videos };

    explicit QKAppDelegate(const PlatformServices &services, QObject *parent = nullptr);
    // Waits for running audits and searches: none may outlive the controller.
    ~QKAppDelegate() override;
    Q_DISABLE_COPY_MOVE(QKAppDelegate)

    // Lifecycle (lifecycle.cpp)
    void applicationDidFinishLaunching(QObject *notification = nullptr);
    void applicationWillTerminate(QObject *notification = nullptr);

    // Outlets (lifecycle.cpp)
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
    // Over each audit's result view: the caption of what produced it and the strip of the lists' shares.
    QLabel *captionLabel(Audit audit) const { return m_panes[std::size_t(audit)].caption; }
    SummaryStrip *summaryStrip(Audit audit) const { return m_panes[std::size_t(audit)].strip; }
    // The filter box over the shown list.
    QLineEdit *filterField(Audit audit) const { return m_panes[std::size_t(audit)].filter; }
    void setResultPane(Audit audit, QLabel *caption, SummaryStrip *strip, QLineEdit *filter);

    // Name lists, worker thread (namelists.cpp). They read the paths of `inputs`, never the window, and
    // are the engine's own steps, which the audits run.
    static FoundFiles cacheZelvoraRomDirs(const AuditInputs &inputs, Progress *progress = nullptr);
    static FoundFiles cacheZelvoraVideoDirs(const AuditInputs &inputs, Progress *progress = nullptr);
    static FoundFiles cacheFilenamesFromDirsWithFileExtensions(const AuditInputs &inputs,
                                                               const QStringList &directories, const QString &extension,
                                                               Progress *progress = nullptr);
    static std::optional<NameBlock> cacheRomsListFile(const AuditInputs &inputs);
    static void setExtensionOfFilenames(const QString &extension, NameBlock &filenames);

    // Rom audit (romaudit.cpp)
    void auditRoms(QObject *sender = nullptr);
    // Worker thread; `cancel` set: the user cancelled the audit.
    void auditRomsInBackground(const AuditInputs &inputs, std::shared_ptr<const std::atomic<bool>> cancel = {});
    // No audit: the supported roms list could not be used and the lists stay as they were.
    // `notes` go with the audit's result, shown beside it until the next result replaces it.
    // `nearMisses` are the result's possible matches.
    void didFinishAuditRoms(const std::shared_ptr<const RomAudit> &result, const ResultNotes &notes = {},
                            const std::shared_ptr<const NearMisses> &nearMisses = {});
    // `listPath` is the list the audit tried, `fault` why it was refused.
    void showInvalidRomsListAlert(const QString &listPath, RomsListFault fault);
    // The walk could not open every folder: the audit gave no result and the earlier one stays.
    void showIncompleteWalkAlert(const WalkReport &walk);
    bool isAuditingRoms() const { return m_auditingRoms; }

    // Video audit (videoaudit.cpp)
    void auditVideos(QObject *sender = nullptr);
    void auditVideosInBackground(const AuditInputs &inputs, // worker thread
                                 std::shared_ptr<const std::atomic<bool>> cancel = {});
    void didFinishAuditVideos(const std::shared_ptr<const VideoAudit> &result, const ResultNotes &notes = {},
                              const std::shared_ptr<const NearMisses> &nearMisses = {});
    bool isAuditingVideos() const { return m_auditingVideos; }

    // Stops a running audit as soon as the engine can: its earlier results stay and the phase row
    // says "Cancelled". Nothing happens when it is not running.
    void cancelAudit(Audit audit);
    void cancelAudits();
    bool isAuditing(Audit audit) const { return audit == Audit::Roms ? m_auditingRoms : m_auditingVideos; }

    // Result views (resultviews.cpp)
    void didClickRomsResultControl(QObject *sender = nullptr);
    void didClickVideosResultControl(QObject *sender = nullptr);
    void didClickCheckAvailableRomVideosOnly(QObject *sender = nullptr);
    // The fields or the check box changed: each caption says whether its result still matches them.
    void updateCaptions();
    // Shows the audit's selected list through its filter: at once when the filter is empty, else once
    // a worker has filtered it (filterApplied then follows).
    void showList(Audit audit);
    // The lines the audit's view shows now, with which names they hold.
    std::shared_ptr<const NameListLines> shownLines(Audit audit) const { return m_panes[std::size_t(audit)].shown; }

    // Where the files are (filelocations.cpp). The path of the found file on a shown line of the
    // audit's view: none for a line without a name and for a missing name.
    std::optional<QString> filePathAt(Audit audit, qsizetype line) const;
    QString fileToolTipAt(Audit audit, qsizetype line) const;
    // "Open Containing Folder" and "Copy Path" for the line, disabled when it has no path.
    void addFileActions(Audit audit, QMenu *menu, qsizetype line);

    // Possible matches and their renames (renames.cpp). Renames and undo run on a worker; afterwards
    // the audits they touched run again by themselves.
    NearMissPane *nearMissPane(Audit audit) const { return m_panes[std::size_t(audit)].nearMisses; }
    void setNearMissPane(Audit audit, NearMissPane *pane);
    QAction *undoRenamesAction() const { return m_undoRenamesAction; }
    void setUndoRenamesAction(QAction *action);
    void renameCheckedNearMisses(Audit audit);
    void undoLastRenames(QObject *sender = nullptr);
    bool isRenaming() const { return m_renaming; }

    // Result files (resultfiles.cpp)
    void saveRomsResult(QObject *sender = nullptr);
    void saveVideosResult(QObject *sender = nullptr);
    // Whether the audit has given results in this run of the window: only then is there anything to save.
    bool hasRomResults() const { return m_hasRomResults; }
    bool hasVideoResults() const { return m_hasVideoResults; }

    // Problems and changes since the previous audit (history.cpp), found once the audit's lists are
    // shown. Worker thread: keeps the audit's record and finds its problems, unless `superseded` says
    // that a newer result has replaced it.
    static AuditExtras romExtras(const AuditInputs &inputs, const RomAudit &audit, const std::atomic<bool> &superseded);
    static AuditExtras videoExtras(const AuditInputs &inputs, const VideoAudit &audit,
                                   const std::atomic<bool> &superseded);
    void setProblemsPane(Audit audit, ProblemsPane *pane);
    ProblemsPane *problemsPane(Audit audit) const { return m_problemsPanes[std::size_t(audit)]; }
    std::shared_ptr<const std::vector<Problem>> problems(Audit audit) const { return m_problems[std::size_t(audit)]; }
    // Whether the shown result's problems and changes are still being found.
    bool areExtrasPending(Audit audit) const { return m_extras[std::size_t(audit)].pending; }
    // Where each audit's extras run, one after another.
    QThreadPool &extrasWorkers(Audit audit) { return m_extrasWorkers[std::size_t(audit)]; }

    // Export table (tableexport.cpp): asks for a file, runs the audits that have no result for the
    // current fields, then writes one table of both on a worker.
    void exportTable(QObject *sender = nullptr);
    bool isExportingTable() const { return m_tableFile.has_value() || m_writingTable; }

    // Settings (settings.cpp)
    void loadUserDefaults();
    void saveUserDefaults();
    // The Zelvora directories chosen lately, the latest first.
    static constexpr qsizetype kRecentDirectoryCount = 8;
    QStringList recentDirectories() const { return m_recentDirectories; }
    void noteRecentDirectory(const QString &directory);
    void clearRecentDirectories();

    // Path selection (pathselection.cpp)
    void selectZelvoraDirectory(QObject *sender = nullptr);
    void selectRomsListFile(QObject *sender = nullptr);
    // What a choice in a panel, a drop or a confirmed typed path does: the directory is taken and its
    // supported roms list looked up; the list file is taken as it is.
    void chooseZelvoraDirectory(const QString &directory);
    void chooseRomsListFile(const QString &file);
    void findRomListFile(const QString &directory, quint64 search); // worker thread
    void openHomepage(QObject *sender = nullptr);

Q_SIGNALS:
    // Sent when an audit starts and when its finish step has run; the window disables the audit's
    // buttons in between.
    void romsAuditRunningChanged(bool running);
    void videosAuditRunningChanged(bool running);
    // Sent on the main thread when a search for the supported roms list has ended, found or not.
    void romListSearchFinished();
    // Sent on the main thread when a filtered list is shown; `audit` is an Audit.
    void filterApplied(int audit);
    // Sent on the main thread when an export of the table has ended, written or not.
    void tableExportFinished();
    // Sent when renames or their undo start and when their outcome has been shown.
    void renamingChanged(bool running);
    // Sent when a shown result's problems and changes start being found, and once they are shown;
    // `audit` is an Audit.
    void extrasPendingChanged(int audit, bool pending);

private:
    friend class PhaseReporter;

    // What each audit's view shows besides the names (resultpanes.cpp).
    struct ResultPane
    {
        QPointer<QLabel> caption;
        QPointer<SummaryStrip> strip;
        std::optional<AuditStamp> stamp;
        QPointer<QLineEdit> filter;
        // The running audit's inputs and the time since it started.
        AuditInputs runningInputs;
        QElapsedTimer clock;
        // Set when the user cancels the running audit; its worker reads it.
        std::shared_ptr<std::atomic<bool>> cancel;
        std::shared_ptr<const NameListLines> shown;
        int shownSegment = -1;
        // Numbers the filter runs: only the latest may show its result.
        quint64 filterRun = 0;
        // The last filter result, which a text that contains its text narrows instead of starting over.
        const NameList *matchedList = nullptr;
        QString matchedText;
        std::shared_ptr<const NamePositions> matched;
        QPointer<NearMissPane> nearMisses;
        // The Zelvora directory the shown possible matches lie in.
        QString nearMissDir;
    };
    void didFilter(Audit audit, quint64 run, const NameList *list, const QString &text,
                   const std::shared_ptr<const NamePositions> &matched);
    ResultPane &pane(Audit audit) { return m_panes[std::size_t(audit)]; }
    SegmentedControl *resultControl(Audit audit) const;
    // Returns the flag that cancels the audit.
    std::shared_ptr<std::atomic<bool>> didStartAudit(Audit audit, const AuditInputs &inputs);
    // Whether the running audit was cancelled: then its finish keeps the earlier results.
    bool wasCancelled(Audit audit) const;
    void showCancelled(Audit audit);
    // The running audit gave results: stamp them, count the lists on the segments and the strip.
    void didShowResults(Audit audit);
    void updateCaption(Audit audit);

    // Shared by both audits (auditruns.cpp)
    AuditInputs snapshotInputs() const;
    void beginBusyLook(ResultView *view);
    void endBusyLook(ResultView *view);
    // Each running audit's latest phase is shown, with the entries seen in it; `text` empty: the audit
    // has none (any more).
    void showPhase(Audit audit, const QString &text, bool newPhase = true);
    void showEntriesSeen(Audit audit, qint64 total);
    static void showNotes(QLabel *label, const ResultNotes &notes);
    void startInBackground(std::function<void()> work);
    // Worker thread: whether an audit's result may be shown (null: the supported roms list could not be
    // used); when not, the alert that says why is on its way to the main thread.
    bool isShowable(const WalkReport *walk, const QString &listPath, RomsListFault fault);
    // Starts an audit's `work` in the background. Should it run out of memory, what it held is freed as
    // its stack unwinds; then an alert names the audit (e.g. "rom audit") and `failed` finishes it on
    // the main thread, keeping the earlier results.
    void startAudit(const QString &audit, std::function<void()> work, std::function<void()> failed);
    void showOutOfMemoryAlert(const QString &audit);

    using ExtrasWork = std::function<AuditExtras(const std::atomic<bool> &superseded)>;
    // The shown result's extras: pending until `work` has found them on the audit's extras worker.
    void startExtras(Audit audit, const ResultNotes &notes, ExtrasWork work);
    void didFindExtras(Audit audit, quint64 run, const AuditExtras &found);
    // Lets running extras skip what they can and waits for them.
    void stopExtras();
    void continueTableExport();
    void didWriteTable(const QString &file, const QString &error);
    void showNearMisses(Audit audit, std::shared_ptr<const void> owner,
                        const std::shared_ptr<const NearMisses> &nearMisses);
    void setRenaming(bool renaming);
    void updateRenameActions();
    void didRename(Audit audit, const RenameReport &report);
    void didUndoRenames(const std::optional<QString> &journal, const UndoReport &report);

    void didFindRomListFile(const std::optional<QString> &path, quint64 search);
    // With the audit's problems file when there are problems.
    void writeResultFiles(std::vector<ReportFile> files, const QString &audit,
                          const std::shared_ptr<const std::vector<Problem>> &problems, QStringView problemsFileName);

    const SharedNameList &romsList(int segment) const;
    const SharedNameList &videosList(int segment) const;
    RomResults romResults() const;
    VideoResults videoResults() const;

    SettingsStore &m_settings;
    OpenPanel &m_openPanel;
    Alert &m_alert;
    UrlOpener &m_urlOpener;
    Confirm &m_confirm;

    // Views of the names of the last audit that gave results, which they keep alive.
    SharedNameList m_missingRoms;
    SharedNameList m_validRoms;
    SharedNameList m_unknownRoms;
    SharedNameList m_missingVideos;
    SharedNameList m_validVideos;
    SharedNameList m_extraVideos;
    SharedNameList m_unknownVideos;
    // The audits the lists come from, for the folders of their found files.
    std::shared_ptr<const RomAudit> m_romAudit;
    std::shared_ptr<const VideoAudit> m_videoAudit;
    RomLines m_romsLines;
    VideoLines m_videosLines;

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

    bool m_auditingRoms = false;
    bool m_auditingVideos = false;
    bool m_hasRomResults = false;
    bool m_hasVideoResults = false;
    std::array<QString, 2> m_phases;      // by Audit
    std::array<qint64, 2> m_seen{-1, -1}; // by Audit: entries seen in its phase, -1 none yet
    std::array<ResultPane, 2> m_panes;    // by Audit
    // The segments' own texts, which the counts follow.
    std::array<QStringList, 2> m_segmentLabels; // by Audit
    // Audits under way; the phase text and the indicator stay busy until the last one finishes.
    int m_runningAudits = 0;
    QStringList m_recentDirectories;
    // The list field's own hint, given back once a list is found or chosen.
    QString m_romsListPlaceholder;
    QPointer<QAction> m_undoRenamesAction;
    bool m_renaming = false;
    // Numbers the list-file searches: only the latest choice may fill the list field.
    quint64 m_romListSearch = 0;

    std::array<QPointer<ProblemsPane>, 2> m_problemsPanes;                 // by Audit
    std::array<std::shared_ptr<const std::vector<Problem>>, 2> m_problems; // by Audit
    struct ExtrasRun
    {
        // Numbers the results shown: only the extras of the latest may show.
        quint64 run = 0;
        bool pending = false;
        // Set once a newer result replaces this one, or the window closes.
        std::shared_ptr<std::atomic<bool>> superseded;
        // The result's own notes, which a history fault adds a line to.
        ResultNotes notes;
    };
    std::array<ExtrasRun, 2> m_extras; // by Audit
    // The file a table export will write once the audits it waits for have finished.
    std::optional<QString> m_tableFile;
    bool m_writingTable = false;

    // Each with one thread. The destructor waits for them and for every job of m_workers.
    std::array<QThreadPool, 2> m_extrasWorkers; // by Audit
    // Last member: destroyed first, after the destructor has waited for every job.
    QThreadPool m_workers;
};

} // namespace zelvora
