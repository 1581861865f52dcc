#pragma once

#include "app/resultlists.h"
#include "audit/audits.h"
#include "audit/merge.h"
#include "audit/reports.h"
#include "audit/resulttext.h"
#include "platform/busyindicator.h"
#include "platform/resultview.h"
#include "platform/segmentedcontrol.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QStringList>
#include <QTabWidget>
#include <QThreadPool>
#include <array>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

namespace zelvora {

class Alert;
class OpenPanel;
class Progress;
class SettingsStore;
class UrlOpener;

// The lines of each list's view text, by segment, made when the segment is first shown.
using RomLines = std::array<std::shared_ptr<const ResultLines>, kRomListCount>;
using VideoLines = std::array<std::shared_ptr<const ResultLines>, kVideoListCount>;

// The desktop services the controller uses; they outlive it.
struct PlatformServices
{
    SettingsStore &settings;
    OpenPanel &openPanel;
    Alert &alert;
    UrlOpener &urlOpener;
};

// The one controller of the window: it owns the seven result lists, reaches the window's controls
// through its outlets and receives every action. All members run on the main thread except those
// marked "worker thread", which touch no widget and no result list.
class QKAppDelegate : public QObject
{
    Q_OBJECT

public:
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
    void auditRomsInBackground(const AuditInputs &inputs); // worker thread
    // No audit: the supported roms list could not be used and the lists stay as they were.
    void didFinishAuditRoms(const std::shared_ptr<const RomAudit> &audit);
    void showInvalidRomsListAlert();
    // The walk could not open every folder: the audit gave no result and the earlier one stays.
    void showIncompleteWalkAlert(const WalkReport &walk);
    bool isAuditingRoms() const { return m_auditingRoms; }

    // Video audit (videoaudit.cpp)
    void auditVideos(QObject *sender = nullptr);
    void auditVideosInBackground(const AuditInputs &inputs); // worker thread
    void didFinishAuditVideos(const std::shared_ptr<const VideoAudit> &audit);
    bool isAuditingVideos() const { return m_auditingVideos; }

    // Result views (resultviews.cpp)
    void didClickRomsResultControl(QObject *sender = nullptr);
    void didClickVideosResultControl(QObject *sender = nullptr);
    void didClickCheckAvailableRomVideosOnly(QObject *sender = nullptr);

    // Result files (resultfiles.cpp)
    void saveRomsResult(QObject *sender = nullptr);
    void saveVideosResult(QObject *sender = nullptr);

    // Settings (settings.cpp)
    void loadUserDefaults();
    void saveUserDefaults();

    // Path selection (pathselection.cpp)
    void selectZelvoraDirectory(QObject *sender = nullptr);
    void selectRomsListFile(QObject *sender = nullptr);
    void findRomListFile(const QString &directory, quint64 search); // worker thread
    void openHomepage(QObject *sender = nullptr);

Q_SIGNALS:
    // Sent when an audit starts and when its finish step has run; the window disables the audit's
    // buttons in between.
    void romsAuditRunningChanged(bool running);
    void videosAuditRunningChanged(bool running);
    // Sent on the main thread when a search for the supported roms list has ended, found or not.
    void romListSearchFinished();

private:
    friend class PhaseReporter;

    // Shared by both audits (auditruns.cpp)
    AuditInputs snapshotInputs() const;
    void beginBusyLook(ResultView *view);
    void endBusyLook(ResultView *view);
    void showPhase(const QString &text);
    void startInBackground(std::function<void()> work);
    // Worker thread: whether an audit's result may be shown (null: the supported roms list could not be
    // used); when not, the alert that says why is on its way to the main thread.
    bool isShowable(const WalkReport *walk);

    void didFindRomListFile(const std::optional<QString> &path, quint64 search);
    void writeResultFiles(const std::vector<ReportFile> &files);

    const SharedNameList &romsList(int segment) const;
    const SharedNameList &videosList(int segment) const;
    RomResults romResults() const;
    VideoResults videoResults() const;

    SettingsStore &m_settings;
    OpenPanel &m_openPanel;
    Alert &m_alert;
    UrlOpener &m_urlOpener;

    // Views of the names of the last audit that gave results, which they keep alive.
    SharedNameList m_missingRoms;
    SharedNameList m_validRoms;
    SharedNameList m_unknownRoms;
    SharedNameList m_missingVideos;
    SharedNameList m_validVideos;
    SharedNameList m_extraVideos;
    SharedNameList m_unknownVideos;
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

    bool m_auditingRoms = false;
    bool m_auditingVideos = false;
    // Audits under way; the phase text and the indicator stay busy until the last one finishes.
    int m_runningAudits = 0;
    // Numbers the list-file searches: only the latest choice may fill the list field.
    quint64 m_romListSearch = 0;

    // Last member: destroyed first, after the destructor has waited for every job.
    QThreadPool m_workers;
};

} // namespace zelvora
