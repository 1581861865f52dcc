// The undo subcommand (its arguments, what it prints, its exit status) and the report of a rename run.

#include "cli/undo.h"

#include "audit/files/humantext.h"
#include "audit/names/filenames.h"
#include "cli/options.h"
#include "cli/output.h"
#include "cli/run.h"

#include <QByteArray>

using namespace Qt::StringLiterals;

namespace zelvora::cli {

namespace {

// A file below the Zelvora directory as messages show it.
QString shown(const QString &folder, const QString &name)
{
    return quotedPath(folder.isEmpty() ? name : folder + u'/' + name);
}

QString shownName(const QString &name)
{
    return quotedPath(name);
}

QString files(qsizetype count)
{
    return count == 1 ? u"file"_s : u"files"_s;
}

int usageError(const QString &text)
{
    printTo(stderr, u"Error: %1\n\n%2"_s.arg(shownText(text), usageText()));
    return kExitUsage;
}

} // namespace

bool isUndoCommand(const QStringList &arguments)
{
    return arguments.size() > 1 && arguments.at(1) == "undo"_L1;
}

int runUndo(const QStringList &arguments)
{
    QStringList rest = arguments.mid(2);
    if (rest.size() == 1 && (rest.constFirst() == "-h"_L1 || rest.constFirst() == "--help"_L1)) {
        printTo(stdout, usageText());
        return std::fflush(stdout) == 0 ? kExitOk : kExitOutputFailed;
    }
    const bool separated = !rest.isEmpty() && rest.constFirst() == "--"_L1;
    if (separated)
        rest.removeFirst();
    if (rest.isEmpty())
        return usageError(u"name the journal to undo: undo JOURNAL."_s);
    if (!separated && rest.constFirst().startsWith(u'-') && rest.constFirst() != "-"_L1)
        return usageError(u"unknown option \"%1\" for undo."_s.arg(rest.constFirst()));
    if (rest.size() > 1)
        return usageError(u"unexpected argument \"%1\"."_s.arg(rest.at(1)));
    if (rest.constFirst().isEmpty())
        return usageError(u"undo needs a non-empty journal path."_s);

    const QString &journal = rest.constFirst();
    const UndoReport report = undoRenames(journal);
    if (!report.error.isEmpty()) {
        printTo(stderr, message(u"Error: can't undo the renames of %1: %2\n",
                                {MessageArg::own(quotedPath(journal)), report.error}));
        return kExitReportsNotWritten;
    }
    qsizetype putBack = 0;
    for (const UndoOutcome &outcome : report.outcomes) {
        const RenameRequest &r = outcome.request;
        if (outcome.isDone()) {
            ++putBack;
            printTo(stdout, message(u"Put back %1 as %2\n", {MessageArg::own(shown(r.folder, r.newName)),
                                                             MessageArg::own(shownName(r.oldName))}));
        } else {
            printTo(stderr, message(u"Error: %1 was not put back as %2: %3\n",
                                    {MessageArg::own(shown(r.folder, r.newName)), MessageArg::own(shownName(r.oldName)),
                                     outcome.error}));
        }
    }
    const auto total = qsizetype(report.outcomes.size());
    const MessageArg dir = MessageArg::own(quotedPath(report.zelvoraDir));
    printTo(stdout,
            putBack == total
                ? message(u"Put back %1 %2 in %3.\n", {putBack, MessageArg::own(files(putBack)), dir})
                : message(u"Put back %1 of %2 %3 in %4.\n", {putBack, total, MessageArg::own(files(total)), dir}));
    if (std::fflush(stdout) != 0)
        return kExitOutputFailed;
    return report.allDone() ? kExitOk : kExitReportsNotWritten;
}

int printRenameReport(const RenameReport &report, std::FILE *out, std::FILE *err)
{
    if (!report.error.isEmpty()) {
        printTo(err, message(u"Error: nothing was renamed: %1\n", {report.error}));
        return kExitReportsNotWritten;
    }
    const qsizetype done = report.doneCount();
    const auto total = qsizetype(report.outcomes.size());
    QString summary = done == total ? u"Renamed %1 %2"_s.arg(done).arg(files(done))
                                    : u"Renamed %1 of %2 %3"_s.arg(done).arg(total).arg(files(total));
    if (!report.journalPath.isEmpty())
        summary += message(u"; undo journal: %1", {report.journalPath});
    printTo(out, summary + u'\n');
    for (const RenameOutcome &outcome : report.outcomes) {
        if (outcome.isDone())
            continue;
        const RenameRequest &r = outcome.request;
        printTo(err, message(u"Error: %1 was not renamed to %2: %3\n",
                             {MessageArg::own(shown(r.folder, r.oldName)), MessageArg::own(shownName(r.newName)),
                              outcome.error}));
    }
    return report.allDone() ? kExitOk : kExitReportsNotWritten;
}

} // namespace zelvora::cli
