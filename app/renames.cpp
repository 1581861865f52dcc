// Possible matches in the window: showing an audit's pairs, renaming the checked ones after one
// question, and "Undo Last Renames". The file work runs on a worker; the audits that the renames
// touched run again afterwards, so the lists show the files under their new names.
#include "app/renames.h"

#include "app/nearmissview.h"
#include "audit/files/humantext.h"
#include "audit/files/resulttext.h"
#include "audit/names/filenames.h"
#include "platform/alert.h"
#include "platform/confirm.h"
#include "platform/mainthread.h"

#include <QAction>
#include <QDir>
#include <QFile>
#include <QLocale>

using namespace Qt::StringLiterals;

namespace zelvora {

namespace {

// Enough lines of a question or an alert to see what it is about; the rest is counted.
constexpr qsizetype kLinesShown = 12;

// A file below the Zelvora directory as messages show it, control characters made visible.
QString shownPath(const QString &folder, const QString &name)
{
    const QByteArray path = encodeFileName(folder.isEmpty() ? name : folder + u'/' + name);
    return nameText(std::string_view(path.constData(), std::size_t(path.size())));
}

QString shownName(const QString &name)
{
    const QByteArray bytes = encodeFileName(name);
    return nameText(std::string_view(bytes.constData(), std::size_t(bytes.size())));
}

QString renameLine(const RenameRequest &request)
{
    return u"%1 → %2"_s.arg(shownPath(request.folder, request.oldName), shownName(request.newName));
}

// The first lines, then how many more there are.
QString someLines(const QStringList &lines)
{
    if (lines.size() <= kLinesShown)
        return lines.join(u'\n');
    return lines.first(kLinesShown).join(u'\n') +
           u"\n…and %1 more"_s.arg(QLocale().toString(qlonglong(lines.size() - kLinesShown)));
}

QString files(qsizetype count)
{
    return count == 1 ? u"1 file"_s : u"%1 files"_s.arg(QLocale().toString(qlonglong(count)));
}

// "3 files", or "2 of 3 files" when only some were done.
QString filesDone(qsizetype done, qsizetype all)
{
    return done == all ? files(all) : u"%1 of %2"_s.arg(QLocale().toString(qlonglong(done)), files(all));
}

} // namespace

void Renames::setUndoAction(QAction *action)
{
    m_undoAction = action;
    connect(action, &QAction::triggered, this, &Renames::undoLast);
    updateActions();
}

bool Renames::isBusy() const
{
    return m_renaming || m_context.panes[0]->isAuditing() || m_context.panes[1]->isAuditing();
}

void Renames::updateActions()
{
    const bool busy = isBusy();
    for (AuditPane *pane : m_context.panes) {
        if (NearMissPane *nearMisses = pane->widgets().nearMisses)
            nearMisses->setBusy(busy);
    }
    if (m_undoAction)
        m_undoAction->setEnabled(!busy);
}

void Renames::setRenaming(bool renaming)
{
    m_renaming = renaming;
    updateActions();
    Q_EMIT renamingChanged(renaming);
}

void Renames::renameChecked(Audit audit)
{
    AuditPane *pane = m_context.panes[std::size_t(audit)];
    NearMissPane *nearMisses = pane->widgets().nearMisses;
    if (!nearMisses || isBusy() || pane->isOfOtherFolders())
        return;
    std::vector<RenameRequest> requests = nearMisses->checkedRequests();
    if (requests.empty())
        return;
    QStringList lines;
    for (const RenameRequest &request : requests)
        lines.append(renameLine(request));
    const ConfirmMessage question{
        u"Rename %1?"_s.arg(files(qsizetype(requests.size()))),
        u"In %1, each file gets the name the list expects, in its own folder. No file is replaced, and "
        "File > Undo Last Renames puts them back.\n\n"_s.arg(QDir::toNativeSeparators(pane->nearMissDir())) +
            someLines(lines),
        u"Rename"_s, u"Cancel"_s};
    if (!m_context.confirm.runModal(question))
        return;

    setRenaming(true);
    startOnPool(m_context.workers, [this, audit, dir = pane->nearMissDir(), requests = std::move(requests)] {
        RenameReport report = renameSafely(dir, requests);
        postToMainThread(this, [this, audit, dir, report = std::move(report)] { didRename(audit, dir, report); });
    });
}

void Renames::didRename(Audit audit, const QString &dir, const RenameReport &report)
{
    setRenaming(false);
    const auto done = qsizetype(report.doneCount());
    if (report.error.isEmpty()) {
        Q_EMIT reported(done == 0 ? u"No file was renamed."_s
                                  : message(u"Renamed %1 in %2; File > Undo Last Renames puts them back.",
                                            {MessageArg::own(filesDone(done, qsizetype(report.outcomes.size()))),
                                             QDir::toNativeSeparators(dir)}),
                        done == 0 ? QString() : dir);
    }
    if (!report.error.isEmpty()) {
        m_context.alert.runModal(
            AlertMessage{u"No file was renamed."_s, report.error, u"OK"_s, AlertMessage::Style::Critical, {}});
    } else if (!report.allDone()) {
        QStringList lines;
        for (const RenameOutcome &outcome : report.outcomes) {
            if (!outcome.isDone())
                lines.append(u"%1: %2"_s.arg(renameLine(outcome.request), outcome.error));
        }
        m_context.alert.runModal(
            AlertMessage{u"%1 of %2 could not be renamed."_s.arg(QLocale().toString(qlonglong(lines.size())),
                                                                 files(qsizetype(report.outcomes.size()))),
                         someLines(lines), u"OK"_s, AlertMessage::Style::Warning, lines.join(u'\n')});
    }
    if (report.doneCount() > 0)
        m_context.rerun(audit);
}

void Renames::undoLast()
{
    if (isBusy())
        return;
    setRenaming(true);
    startOnPool(m_context.workers, [this] {
        const std::optional<QString> journal = latestJournal();
        UndoReport report;
        if (journal) {
            report = undoRenames(*journal);
            // Put back in full: the next undo reaches for the renames before these. A journal with
            // something left to undo stays, so that it can be tried again.
            if (report.error.isEmpty() && report.allDone())
                QFile::rename(*journal, *journal + u".undone"_s);
        }
        postToMainThread(this, [this, journal, report = std::move(report)] { didUndo(journal, report); });
    });
}

void Renames::didUndo(const std::optional<QString> &journal, const UndoReport &report)
{
    setRenaming(false);
    if (!journal) {
        m_context.alert.runModal(AlertMessage{u"There are no renames to undo."_s,
                                              u"No undo journal was found in %1."_s.arg(journalFolder()),
                                              u"OK"_s,
                                              AlertMessage::Style::Warning,
                                              {}});
        return;
    }
    if (!report.error.isEmpty()) {
        m_context.alert.runModal(AlertMessage{u"The renames could not be undone."_s,
                                              u"%1\n\n%2"_s.arg(*journal, report.error),
                                              u"OK"_s,
                                              AlertMessage::Style::Critical,
                                              {}});
        return;
    }
    qsizetype done = 0;
    QStringList lines;
    for (const UndoOutcome &outcome : report.outcomes) {
        if (outcome.isDone())
            ++done;
        else
            lines.append(u"%1 → %2: %3"_s.arg(shownPath(outcome.request.folder, outcome.request.newName),
                                              shownName(outcome.request.oldName), outcome.error));
    }
    Q_EMIT reported(
        done == 0 ? u"No file was put back."_s
                  : message(u"Put back %1 in %2.", {MessageArg::own(filesDone(done, qsizetype(report.outcomes.size()))),
                                                    QDir::toNativeSeparators(report.zelvoraDir)}),
        done == 0 ? QString() : report.zelvoraDir);
    if (!lines.isEmpty()) {
        m_context.alert.runModal(
            AlertMessage{u"%1 of %2 could not be put back."_s.arg(QLocale().toString(qlonglong(lines.size())),
                                                                  files(qsizetype(report.outcomes.size()))),
                         u"%1\n\nThe journal stays, for another try: %2"_s.arg(someLines(lines), *journal), u"OK"_s,
                         AlertMessage::Style::Warning, lines.join(u'\n')});
    }
    // Undo does not say which audit a file belongs to: each shown result may have changed.
    if (done > 0) {
        for (AuditPane *pane : m_context.panes) {
            if (pane->hasResults())
                m_context.rerun(pane->kind().audit);
        }
    }
}

} // namespace zelvora
