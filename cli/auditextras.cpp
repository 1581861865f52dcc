// The problems and changes sections of one audit's output.

#include "cli/auditextras.h"

#include "cli/historyoutput.h"
#include "cli/problemsoutput.h"

#include <cstdio>

using namespace Qt::StringLiterals;

namespace zelvora::cli {

AuditExtras auditExtras(const Options &options, const std::vector<Problem> &problems, const AuditInputs &inputs,
                        QStringView audit, const std::function<AuditRecord(const QDateTime &now)> &record)
{
    AuditExtras extras;
    if (options.problems) {
        extras.text += '\n' + problemsText(problems);
        extras.jsonMembers += problemsJsonMember(problems);
    }
    if (options.noHistory)
        return extras;
    const HistoryOutcome outcome = recordAudit(historyKey(inputs, audit), record(QDateTime::currentDateTimeUtc()));
    if (!outcome.warning.isEmpty()) {
        const QByteArray warning = u"Warning: %1\n"_s.arg(outcome.warning).toUtf8();
        static_cast<void>(std::fwrite(warning.constData(), 1, std::size_t(warning.size()), stderr));
    }
    if (outcome.changes)
        extras.text += '\n' + changesText(outcome.changes);
    extras.jsonMembers += changesJsonMember(outcome.changes);
    return extras;
}

} // namespace zelvora::cli
