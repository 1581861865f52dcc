#include "audit/session.h"

#include "audit/files/table.h"

#include <QDateTime>
#include <algorithm>
#include <utility>
#if defined(__GLIBC__)
#include <malloc.h>
#endif

using namespace Qt::StringLiterals;

namespace zelvora {

namespace {

// The sort's keys and the walk's buffers are free by now, but the C library keeps them for the thread
// that had them; the near misses, the problems and the history that follow run on other threads and
// would grow beside them. Handing them back keeps a large audit's peak to what it holds.
void returnFreedMemory()
{
#if defined(__GLIBC__)
    malloc_trim(0);
#endif
}

bool isSuperseded(const std::atomic<bool> *superseded)
{
    return superseded != nullptr && superseded->load(std::memory_order_relaxed);
}

template <typename Audit> std::shared_ptr<const Audit> shared(std::optional<Audit> audit)
{
    return audit ? std::make_shared<const Audit>(std::move(*audit)) : nullptr;
}

} // namespace

bool AuditOutcome::isWalkComplete() const
{
    return (!roms.audit || roms.audit->found.walk.isComplete()) && (!videos.audit || videos.audit->walk.isComplete());
}

AuditSession::AuditSession(AuditRequest request) : m_request(std::move(request))
{
    m_request.inputs.otherFormats = m_request.nearMisses;
    m_outcome.wantsRoms = m_request.kind != AuditKind::Videos;
    m_outcome.wantsVideos = m_request.kind != AuditKind::Roms;
}

AuditSession AuditSession::forResult(AuditRequest request, std::shared_ptr<const RomAudit> roms,
                                     std::shared_ptr<const VideoAudit> videos)
{
    AuditSession session(std::move(request));
    session.m_outcome.roms.audit = std::move(roms);
    session.m_outcome.videos.audit = std::move(videos);
    return session;
}

QString AuditSession::historyAudit(AuditKind kind, const AuditInputs &inputs)
{
    if (kind == AuditKind::Roms)
        return u"roms"_s;
    return inputs.availableRomsOnly ? u"videos-available"_s : u"videos"_s;
}

void AuditSession::runAudits(Progress &progress)
{
    const AuditInputs &inputs = m_request.inputs;
    m_outcome.dirWarning = zelvoraDirWarning(inputs.zelvoraDir);
    switch (m_request.kind) {
    case AuditKind::Roms:
        m_outcome.roms.audit = shared(runRomAudit(inputs, progress, &m_outcome.listFault));
        break;
    case AuditKind::Videos:
        m_outcome.videos.audit = shared(runVideoAudit(inputs, progress, &m_outcome.listFault));
        break;
    case AuditKind::All: {
        // One read of the list and one walk for both audits.
        CollectionAudit collection = runCollectionAudit(inputs, progress, &m_outcome.listFault);
        m_outcome.roms.audit = shared(std::move(collection.roms));
        m_outcome.videos.audit = shared(std::move(collection.videos));
        break;
    }
    }
    returnFreedMemory();
    if (!m_request.nearMisses || m_outcome.isListRefused() || !m_outcome.isWalkComplete() || progress.isCancelled())
        return;
    if (m_outcome.roms.audit)
        m_outcome.roms.nearMisses = findRomNearMisses(*m_outcome.roms.audit);
    if (m_outcome.videos.audit)
        m_outcome.videos.nearMisses = findVideoNearMisses(*m_outcome.videos.audit);
}

void AuditSession::findExtras(const std::atomic<bool> *superseded, VerifyProgress *verifyProgress)
{
    // No result is given: nothing to compare, keep or check.
    if (m_outcome.isListRefused() || !m_outcome.isWalkComplete())
        return;
    const AuditInputs &inputs = m_request.inputs;
    const bool problems = m_request.problems || m_request.table || m_request.verify;
    const auto extras = [&](auto &part, AuditKind kind, auto findProblems) {
        if (!part.audit)
            return;
        if (m_request.history) {
            part.history = recordAudit(historyKey(inputs, historyAudit(kind, inputs)),
                                       auditRecord(part.audit->lists, QDateTime::currentDateTimeUtc()));
            part.historyKept = true;
        }
        if (problems && !isSuperseded(superseded))
            part.problems = findProblems(inputs, *part.audit);
    };
    // The quick check's identities spare the verify a stat per archive.
    std::vector<FileIdentity> identities;
    extras(m_outcome.roms, AuditKind::Roms, [&](const AuditInputs &in, const RomAudit &audit) {
        return romProblems(in, audit, m_request.verify ? &identities : nullptr);
    });
    if (m_request.verify && m_outcome.roms.audit && !isSuperseded(superseded)) {
        m_outcome.roms.verify = verifyRomArchives(
            inputs.zelvoraDir, *m_outcome.roms.audit,
            {m_request.verifyCache, m_request.verifyAll, nullptr, identities.empty() ? nullptr : &identities},
            verifyProgress, m_outcome.roms.problems);
    }
    extras(m_outcome.videos, AuditKind::Videos, videoProblems);
    if (m_request.table && m_outcome.roms.audit && m_outcome.videos.audit && !isSuperseded(superseded))
        m_outcome.table = collectionTable(inputs, m_outcome.roms, m_outcome.videos);
}

QByteArray collectionTable(const AuditInputs &inputs, const AuditPart<RomAudit> &roms,
                           const AuditPart<VideoAudit> &videos)
{
    return collectionTableCsv({&inputs, roms.audit.get(), videos.audit.get(), &roms.problems, &videos.problems,
                               roms.nearMisses ? &*roms.nearMisses : nullptr,
                               videos.nearMisses ? &*videos.nearMisses : nullptr});
}

AuditOutcome runAuditSession(const AuditRequest &request, Progress &progress)
{
    AuditSession session(request);
    session.runAudits(progress);
    session.findExtras();
    return std::move(session.outcome());
}

} // namespace zelvora
