#pragma once

// The one printer of the command: what a session's outcome shows on stdout (text or JSON, every section
// of every audit), what it says on stderr, and which report files it saves. The session never formats
// text; every name goes through the one escaping rule of audit/files/humantext.h.

#include "audit/files/reports.h"
#include "audit/session.h"
#include "cli/options.h"

#include <QList>
#include <vector>

namespace zelvora::cli {

class Printer
{
public:
    Printer(const Options &options, const AuditSession &session);

    // What makes the run give no result: the list error (status 3) or the folders that could not be read
    // (status 5), printed on stderr with the warnings of a run that stands. kExitOk when it stands.
    int reportAudits() const;
    // The warnings of the history, once the extras are found.
    void reportHistory() const;
    // The deep verify's summary line (and the verdict cache's warning), on stderr.
    void reportVerify() const;

    // The results on stdout; false when they could not all be written.
    bool writeResults() const;
    // The report files --save writes.
    std::vector<ReportFile> reportFiles() const;
    // The files that could not be written, on stderr.
    static void reportWriteFailures(const QList<WriteFailure> &failures);

private:
    QByteArray romText() const;
    QByteArray videoText() const;
    template <typename Audit> QByteArray extrasText(const AuditPart<Audit> &part) const;
    template <typename Audit> QByteArray jsonMembers(const AuditPart<Audit> &part) const;

    const Options &m_options;
    const AuditInputs &m_inputs;
    const AuditOutcome &m_outcome;
};

} // namespace zelvora::cli
