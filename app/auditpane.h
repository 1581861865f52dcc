#pragma once

#include "app/nearmissview.h"
#include "app/problemsview.h"
#include "app/resultcaption.h"
#include "app/resultlists.h"
#include "app/resultnotes.h"
#include "audit/audits.h"
#include "audit/files/reports.h"
#include "audit/nearmiss/nearmiss.h"
#include "audit/session.h"
#include "platform/resultview.h"
#include "platform/segmentedcontrol.h"
#include "platform/summarystrip.h"

#include <QColor>
#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QStringList>
#include <QThreadPool>
#include <atomic>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

namespace zelvora {

class Alert;
class PhaseRow;

enum class Audit { Roms, Videos };

// What tells one audit of the window from the other: its lists, texts and file names. The code that
// shows, runs and saves an audit is the same for both.
struct PaneKind
{
    Audit audit;
    QString name;       // in alerts: "rom audit"
    QString reportName; // in the save questions: "rom"
    QStringView problemsFileName;
    // The check box changes this audit's result.
    bool followsCheckBox = false;
    // By segment, in the order of the engine's list enums.
    std::vector<QStringView> formats;
    std::vector<QColor> colors;
    // Its names were never found, so they have no file.
    int missingSegment = 1;
    // Its list is filled only with the check box on (-1: none is).
    int checkBoxSegment = -1;

    static PaneKind roms();
    static PaneKind videos();
};

// A finished audit as the window keeps it: the engine's result of the pane's kind (one of the two).
struct KeptAudit
{
    std::shared_ptr<const RomAudit> roms;
    std::shared_ptr<const VideoAudit> videos;

    explicit operator bool() const { return roms || videos; }
    std::shared_ptr<const void> owner() const;
    // By segment.
    std::vector<const NameList *> lists() const;
    const FoundFiles *found() const;
};

// What an audit's worker hands back: no audit when there is nothing to show.
struct PaneResult
{
    KeptAudit audit;
    ResultNotes notes;
    std::shared_ptr<const NearMisses> nearMisses;
    // The session that made it, whose extras are still to find; none for a result handed in whole.
    std::shared_ptr<AuditSession> session;
};

// The widgets of one audit's tab that its pane fills; they belong to the window.
struct AuditPaneWidgets
{
    QPointer<ResultView> view;
    QPointer<SegmentedControl> control;
    QPointer<QLabel> notes;
    QPointer<QLabel> caption;
    QPointer<SummaryStrip> strip;
    QPointer<QLineEdit> filter;
    QPointer<ProblemsPane> problems;
    QPointer<NearMissPane> nearMisses;
};

// One audit in the window: runs it on a worker, shows its lists, counts, caption, problems and changes,
// filters the shown list and says where its files are. Main thread, except where marked.
class AuditPane : public QObject
{
    Q_OBJECT

public:
    struct Context
    {
        QThreadPool &workers;
        PhaseRow &phases;
        Alert &alert;
        // The fields as they stand; none while the window is not connected.
        std::function<std::optional<AuditInputs>()> fields;
    };
    // `lists` are where the results go, by segment.
    AuditPane(PaneKind kind, std::vector<SharedNameList *> lists, Context context, QObject *parent = nullptr);
    ~AuditPane() override;
    Q_DISABLE_COPY_MOVE(AuditPane)

    const PaneKind &kind() const { return m_kind; }
    AuditPaneWidgets &widgets() { return m_widgets; }
    const AuditPaneWidgets &widgets() const { return m_widgets; }
    void setResultWidgets(QLabel *caption, SummaryStrip *strip, QLineEdit *filter);

    // Running (auditpane.cpp)
    void start(const AuditInputs &inputs);
    // Worker thread: runs the audit and hands its outcome to finish on the main thread.
    void runInBackground(const AuditInputs &inputs, std::shared_ptr<const std::atomic<bool>> cancel);
    void finish(const PaneResult &outcome);
    void cancel();
    bool isAuditing() const { return m_auditing; }
    bool hasResults() const { return m_hasResults; }
    const KeptAudit &audit() const { return m_audit; }
    const std::optional<AuditStamp> &stamp() const { return m_stamp; }
    // The result shown is not of the directory and list in the fields (or there is none): its files
    // are not the ones the fields name, so nothing may rename them.
    bool isOfOtherFolders() const;
    void showPhase(const QString &text, bool newPhase = true);
    void showEntriesSeen(qint64 total);

    // Showing (auditpaneview.cpp)
    void showList();
    void updateCaption();
    std::shared_ptr<const NameListLines> shownLines() const { return m_shown; }
    std::optional<QString> filePathAt(qsizetype line) const;
    std::vector<ReportFile> reportFiles() const;

    // Problems and changes (auditpaneextras.cpp). Worker thread: keeps the audit's record and finds
    // its problems, unless `superseded` says that a newer result has replaced it.
    static AuditExtras extras(AuditSession &session, const std::atomic<bool> &superseded);
    std::shared_ptr<const std::vector<Problem>> problems() const { return m_problems; }
    bool areExtrasPending() const { return m_extrasPending; }
    QThreadPool &extrasWorkers() { return m_extrasWorkers; }
    // Numbers the results shown, so that work on one can tell whether it still is.
    quint64 resultNumber() const { return m_extrasRun; }
    // The problems of result `result` with a deep verify's rows; ignored once another result is shown.
    void setVerifiedProblems(quint64 result, std::shared_ptr<const std::vector<Problem>> problems);
    // The problems table instead of the lists.
    void showProblems() const;
    // Lets running extras skip what they can and waits for them.
    void stopExtras();

    // Possible matches: the Zelvora directory the shown ones lie in.
    const QString &nearMissDir() const { return m_nearMissDir; }

Q_SIGNALS:
    void runningChanged(bool running);
    void extrasPendingChanged(bool pending);
    void filterApplied();

private:
    // Worker thread: the audit, with its near misses unless cancelled. The window's one call of it.
    PaneResult run(const AuditInputs &inputs, Progress &progress);
    bool isShowable(const WalkReport *walk, const QString &listPath, RomsListFault fault);
    void keep(const KeptAudit &audit);
    void showResults();
    void showNotes(const ResultNotes &notes) const;
    void startExtras(const ResultNotes &notes, std::shared_ptr<AuditSession> session);
    // The request of the running audit, for the extras of a result handed in whole.
    AuditRequest extrasRequest() const;
    void didFindExtras(quint64 run, const AuditExtras &found);
    void showFiltered(const QString &text, const std::shared_ptr<const NameListLines> &lines);
    void didFilter(quint64 run, const NameList *list, const QString &text,
                   const std::shared_ptr<const NamePositions> &matched);

    const PaneKind m_kind;
    const std::vector<SharedNameList *> m_lists;
    Context m_context;
    AuditPaneWidgets m_widgets;

    bool m_auditing = false;
    bool m_hasResults = false;
    KeptAudit m_audit;
    // The lines of each list's view text, by segment, made when the segment is first shown.
    std::vector<std::shared_ptr<const NameListLines>> m_lines;
    std::optional<AuditStamp> m_stamp;
    // The running audit's inputs and the time since it started.
    AuditInputs m_runningInputs;
    QElapsedTimer m_clock;
    // Set when the user cancels the running audit; its worker reads it.
    std::shared_ptr<std::atomic<bool>> m_cancel;
    // The segments' own texts, which the counts follow.
    QStringList m_segmentLabels;

    std::shared_ptr<const NameListLines> m_shown;
    int m_shownSegment = -1;
    // Numbers the filter runs: only the latest may show its result.
    quint64 m_filterRun = 0;
    // The last filter result, which a text that contains its text narrows instead of starting over.
    const NameList *m_matchedList = nullptr;
    QString m_matchedText;
    std::shared_ptr<const NamePositions> m_matched;
    QString m_nearMissDir;

    std::shared_ptr<const std::vector<Problem>> m_problems;
    // Numbers the results shown: only the extras of the latest may show.
    quint64 m_extrasRun = 0;
    bool m_extrasPending = false;
    // Set once a newer result replaces this one, or the window closes.
    std::shared_ptr<std::atomic<bool>> m_superseded;
    // The result's own notes, which a history fault adds a line to.
    ResultNotes m_notes;
    // One thread: the history of one result is written before the next one reads it.
    QThreadPool m_extrasWorkers;
};

// The alerts of an audit that gives no result; the earlier one stays.
void showInvalidRomsListAlert(Alert &alert, const QString &listPath, RomsListFault fault);
void showIncompleteWalkAlert(Alert &alert, const WalkReport &walk);

} // namespace zelvora
