// One audit of the window, run: the inputs taken at the start, the worker, the finish step that shows
// the result or keeps the earlier one, and the alerts of an audit that gives none.
#include "app/auditpane.h"

#include "app/phasereporter.h"
#include "app/phaserow.h"
#include "audit/checks/problems.h"
#include "audit/files/resulttext.h"
#include "platform/alert.h"
#include "platform/mainthread.h"
#include "platform/resultview.h"
#include "platform/segmentedcontrol.h"

#include <QDir>
#include <QFile>
#include <QLabel>
#include <cstring>
#include <new>

using namespace Qt::StringLiterals;

namespace zelvora {

namespace {

// Okabe–Ito colours, told apart with every common colour vision deficiency.
const QColor kValidColor(0x00, 0x9E, 0x73);   // bluish green
const QColor kMissingColor(0xD5, 0x5E, 0x00); // vermillion
const QColor kExtraColor(0xE6, 0x9F, 0x00);   // orange
const QColor kUnknownColor(0x56, 0xB4, 0xE9); // sky blue

} // namespace

PaneKind PaneKind::roms()
{
    return PaneKind{Audit::Roms,
                    u"rom audit"_s,
                    u"rom"_s,
                    kRomProblemsFileName,
                    false,
                    {romViewFormat(RomList::Valid), romViewFormat(RomList::Missing), romViewFormat(RomList::Unknown)},
                    {kValidColor, kMissingColor, kUnknownColor},
                    int(RomList::Missing)};
}

PaneKind PaneKind::videos()
{
    return PaneKind{Audit::Videos,
                    u"video audit"_s,
                    u"video"_s,
                    kVideoProblemsFileName,
                    true,
                    {videoViewFormat(VideoList::Valid), videoViewFormat(VideoList::Missing),
                     videoViewFormat(VideoList::Extra), videoViewFormat(VideoList::Unknown)},
                    {kValidColor, kMissingColor, kExtraColor, kUnknownColor},
                    int(VideoList::Missing),
                    int(VideoList::Extra)};
}

std::shared_ptr<const void> KeptAudit::owner() const
{
    return roms ? std::shared_ptr<const void>(roms) : std::shared_ptr<const void>(videos);
}

std::vector<const NameList *> KeptAudit::lists() const
{
    if (roms)
        return {&roms->lists.valid, &roms->lists.missing, &roms->lists.unknown};
    if (videos)
        return {&videos->lists.valid, &videos->lists.missing, &videos->lists.extra, &videos->lists.unknown};
    return {};
}

const FoundFiles *KeptAudit::found() const
{
    return roms ? &roms->found : videos ? &videos->videos : nullptr;
}

AuditPane::AuditPane(PaneKind kind, std::vector<SharedNameList *> lists, Context context, QObject *parent)
    : QObject(parent), m_kind(std::move(kind)), m_lists(std::move(lists)), m_context(std::move(context)),
      m_lines(m_lists.size())
{
    m_extrasWorkers.setMaxThreadCount(1);
}

AuditPane::~AuditPane()
{
    stopExtras();
}

void AuditPane::start(const AuditInputs &inputs)
{
    if (m_auditing)
        return;
    // The lists stay readable during the run (the worker fills lists of its own), but a view or a
    // save of the old results while new ones are coming would only mislead.
    m_auditing = true;
    // Sent first: the window notes which of the audit's controls has the focus before they lose it.
    Q_EMIT runningChanged(true);
    m_widgets.control->setEnabled(false);

    showPhase({});
    m_context.phases.beginBusyLook(m_kind.audit, m_widgets.view);
    m_runningInputs = inputs;
    m_clock.start();
    m_cancel = std::make_shared<std::atomic<bool>>(false);
    m_context.phases.forgetUnlessRunning(m_kind.audit == Audit::Roms ? Audit::Videos : Audit::Roms);

    startOnPool(m_context.workers, [this, inputs, cancel = m_cancel] {
        try {
            runInBackground(inputs, cancel);
        } catch (const std::bad_alloc &) {
            // Posted apart, as the other alerts of an audit are: the window finishes behind the alert.
            postToMainThread(this, [this] {
                m_context.alert.runModal(AlertMessage{
                    u"Out of memory"_s,
                    u"The %1 ran out of memory and could not finish. The earlier results are kept."_s.arg(m_kind.name),
                    u"OK"_s,
                    AlertMessage::Style::Critical,
                    {}});
            });
            postToMainThread(this, [this] { finish({}); });
        }
    });
}

void AuditPane::runInBackground(const AuditInputs &inputs, std::shared_ptr<const std::atomic<bool>> cancel)
{
    PhaseReporter progress(this, std::move(cancel));
    PaneResult outcome = run(inputs, progress);
    postToMainThread(this, [this, outcome = std::move(outcome)] { finish(outcome); });
}

PaneResult AuditPane::run(const AuditInputs &inputs, Progress &progress)
{
    AuditRequest request;
    request.kind = m_kind.audit == Audit::Roms ? AuditKind::Roms : AuditKind::Videos;
    request.inputs = inputs;
    request.problems = true;
    // The window always shows the possible matches.
    request.nearMisses = true;
    auto session = std::make_shared<AuditSession>(std::move(request));
    session->runAudits(progress);
    AuditOutcome &outcome = session->outcome();
    const WalkReport *walk = outcome.roms.audit     ? &outcome.roms.audit->found.walk
                             : outcome.videos.audit ? &outcome.videos.audit->walk
                                                    : nullptr;
    PaneResult result;
    // A cancelled audit is not shown, nor are its faults.
    if (progress.isCancelled() || !isShowable(walk, inputs.romsListPath, outcome.listFault))
        return result;
    result.notes = resultNotes(inputs.zelvoraDir, outcome.dirWarning, *walk);
    result.audit = KeptAudit{outcome.roms.audit, outcome.videos.audit};
    std::optional<NearMisses> &nearMisses = outcome.roms.audit ? outcome.roms.nearMisses : outcome.videos.nearMisses;
    if (nearMisses)
        result.nearMisses = std::make_shared<const NearMisses>(std::move(*nearMisses));
    result.session = std::move(session);
    if (progress.isCancelled())
        return {};
    return result;
}

AuditRequest AuditPane::extrasRequest() const
{
    AuditRequest request;
    request.kind = m_kind.audit == Audit::Roms ? AuditKind::Roms : AuditKind::Videos;
    request.inputs = m_runningInputs;
    request.problems = true;
    return request;
}

bool AuditPane::isShowable(const WalkReport *walk, const QString &listPath, RomsListFault fault)
{
    Alert &alert = m_context.alert;
    if (!walk)
        postToMainThread(this, [&alert, listPath, fault] { showInvalidRomsListAlert(alert, listPath, fault); });
    else if (!walk->isComplete())
        postToMainThread(this, [&alert, report = *walk] { showIncompleteWalkAlert(alert, report); });
    return walk != nullptr && walk->isComplete();
}

void AuditPane::finish(const PaneResult &outcome)
{
    // Cancelled, even if the worker finished first: the earlier results stay.
    const bool cancelled = m_cancel && m_cancel->load(std::memory_order_relaxed);
    const bool shown = !cancelled && outcome.audit;
    if (shown) {
        showNotes(outcome.notes);
        // The lists first; the problems and the changes follow, found from the audit kept alive here.
        startExtras(outcome.notes, outcome.session ? outcome.session
                                                   : std::make_shared<AuditSession>(AuditSession::forResult(
                                                         extrasRequest(), outcome.audit.roms, outcome.audit.videos)));
        keep(outcome.audit);
        m_nearMissDir = m_runningInputs.zelvoraDir;
        if (m_widgets.nearMisses)
            m_widgets.nearMisses->setNearMisses(outcome.audit.owner(), outcome.nearMisses);
        m_hasResults = true;
    }

    showPhase(cancelled ? u"Cancelled"_s : QString());
    m_context.phases.endBusyLook(m_kind.audit, m_widgets.view);
    m_widgets.control->setEnabled(true);
    // A first audit cancelled has nothing to show: empty lists would pass for a result. The view keeps
    // its placeholder, and says why.
    ResultView *view = m_widgets.view;
    if (cancelled && !m_hasResults && view->lineCount() <= 1 && view->line(0).isEmpty()) {
        constexpr QStringView kNoResults = u"Cancelled: no results yet. ";
        if (!view->placeholderText().startsWith(kNoResults))
            view->setPlaceholderText(kNoResults.toString() + view->placeholderText());
    } else {
        showList();
    }
    if (shown)
        showResults();
    m_widgets.view->setHidden(false);

    m_auditing = false;
    Q_EMIT runningChanged(false);
}

void AuditPane::keep(const KeptAudit &audit)
{
    // The earlier audit's names go with the last of its views, a few large blocks at once.
    const std::vector<const NameList *> lists = audit.lists();
    for (std::size_t segment = 0; segment < m_lists.size(); ++segment)
        *m_lists[segment] = SharedNameList(audit.owner(), *lists[segment]);
    m_lines.assign(m_lists.size(), nullptr);
    m_audit = audit;
}

void AuditPane::cancel()
{
    if (m_auditing && m_cancel)
        m_cancel->store(true, std::memory_order_relaxed);
}

void AuditPane::showPhase(const QString &text, bool newPhase)
{
    m_context.phases.showPhase(m_kind.audit, text, newPhase);
}

void AuditPane::showEntriesSeen(qint64 total)
{
    // Only while the audit runs: a count posted before its end must not outlive it.
    if (m_auditing)
        m_context.phases.showEntriesSeen(m_kind.audit, total);
}

void AuditPane::showNotes(const ResultNotes &notes) const
{
    QLabel *label = m_widgets.notes;
    label->setText(notes.text);
    label->setToolTip(notes.toolTip);
    label->setHidden(notes.text.isEmpty());
}

void showIncompleteWalkAlert(Alert &alert, const WalkReport &walk)
{
    QStringList lines;
    for (const UnreadFolder &folder : walk.failed)
        lines.append(
            u"%1: %2"_s.arg(QFile::decodeName(folder.path), QString::fromLocal8Bit(std::strerror(folder.error))));
    alert.runModal(AlertMessage{u"The folders could not be read completely."_s,
                                u"The earlier results are kept.\n\n"_s + lines.join(u'\n'),
                                u"OK"_s,
                                AlertMessage::Style::Warning,
                                {}});
}

void showInvalidRomsListAlert(Alert &alert, const QString &listPath, RomsListFault fault)
{
    const QString detail =
        listPath.isEmpty()
            ? u"No file named \"%1\" was found below the Zelvora directory."_s.arg(kRomsListFileName)
            : u"%1\n\nThe file is %2."_s.arg(QDir::toNativeSeparators(listPath), romsListFaultText(fault));
    alert.runModal(AlertMessage{u"Error"_s, u"Can't find supported roms list or it is too big."_s, u"OK"_s,
                                AlertMessage::Style::Critical, detail});
}

} // namespace zelvora
