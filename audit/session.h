#pragma once

// One audit session: a request goes in, one outcome comes out. It reads the list once, walks once, runs
// the audits asked for and then what they add (possible matches, problems, the changes since the last
// audit, the table), in the one order both the window and the command line rely on. Neither of them
// orders engine steps itself; they only say what they want and show what comes back.
//
// The work comes in two stages so that the window can show the lists before the slower extras:
// runAudits() gives the lists (and the possible matches), findExtras() the problems, the changes and the
// table. runAuditSession() runs both for a caller that waits for everything.

#include "audit/audits.h"
#include "audit/checks/problems.h"
#include "audit/checks/verify.h"
#include "audit/files/history.h"
#include "audit/nearmiss/nearmiss.h"
#include "audit/progress.h"

#include <QByteArray>
#include <QString>
#include <atomic>
#include <memory>
#include <optional>
#include <vector>

namespace zelvora {

struct AuditRequest
{
    AuditKind kind = AuditKind::Roms;
    AuditInputs inputs;
    bool problems = false;   // what the audits should not trust
    bool nearMisses = false; // each missing name paired with the file that is almost its name
    bool history = true;     // compare with the previous audit of the same inputs, and keep this one
    bool table = false;      // All only: one row per game; finds the problems it shows
    bool verify = false;     // read every entry of every counted archive (implies problems)
    bool verifyAll = false;  // with verify: read every archive again, whatever the cache says
    bool verifyCache = true; // with verify: take and keep the verdicts of unchanged archives
};

// What one audit of the session gave, and what was found beside it.
template <typename Audit> struct AuditPart
{
    std::shared_ptr<const Audit> audit; // null: the list could not be used
    std::optional<NearMisses> nearMisses;
    std::vector<Problem> problems;
    HistoryOutcome history;
    bool historyKept = false;            // whether the history was asked for and looked at
    std::optional<VerifySummary> verify; // roms, when the deep verify ran
};

struct AuditOutcome
{
    // Not an error: the audit still runs, on empty lists (zelvoraDirWarning).
    std::optional<QString> dirWarning;
    // Why the list was refused, when it was.
    RomsListFault listFault = RomsListFault::Missing;
    AuditPart<RomAudit> roms;
    AuditPart<VideoAudit> videos;
    QByteArray table; // the collection table's CSV, when asked for

    bool wantsRoms = false;
    bool wantsVideos = false;

    // An audit asked for that gave no result: the list could not be used.
    bool isListRefused() const { return (wantsRoms && !roms.audit) || (wantsVideos && !videos.audit); }
    // Every folder the audits asked for could be read; an incomplete walk gives no result.
    bool isWalkComplete() const;
};

class AuditSession
{
public:
    explicit AuditSession(AuditRequest request);
    // A session whose audits are already made (a result handed in whole): only its extras are left.
    static AuditSession forResult(AuditRequest request, std::shared_ptr<const RomAudit> roms,
                                  std::shared_ptr<const VideoAudit> videos);

    const AuditRequest &request() const { return m_request; }
    const AuditOutcome &outcome() const { return m_outcome; }
    AuditOutcome &outcome() { return m_outcome; }

    // The lists, and the possible matches when asked for. Cancelled through `progress`.
    void runAudits(Progress &progress);

    // The history (compared and kept), then the problems and the table. `superseded` set (the result
    // is no longer shown) skips what only the shown result needs: the problems and the table. The
    // history is still kept: the user saw the result, and the next audit compares with it.
    // `verifyProgress`, when given, counts the deep verify's files and bytes as they are read.
    void findExtras(const std::atomic<bool> *superseded = nullptr, VerifyProgress *verifyProgress = nullptr);

    // The audit's history key ("roms", "videos", "videos-available"), by the request.
    static QString historyAudit(AuditKind kind, const AuditInputs &inputs);

private:
    AuditRequest m_request;
    AuditOutcome m_outcome;
};

// The collection table of two audits' parts (their problems and possible matches in it).
QByteArray collectionTable(const AuditInputs &inputs, const AuditPart<RomAudit> &roms,
                           const AuditPart<VideoAudit> &videos);

// Both stages, for a caller that waits for everything.
AuditOutcome runAuditSession(const AuditRequest &request, Progress &progress);

} // namespace zelvora
