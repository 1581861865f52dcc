#pragma once

#include "app/auditpane.h"
#include "audit/nearmiss/saferename.h"

#include <QObject>
#include <QPointer>
#include <array>
#include <functional>
#include <optional>

class QAction;
class QThreadPool;

namespace zelvora {

class Alert;
class Confirm;

// Renaming the checked possible matches after one question, and "Undo Last Renames". The file work
// runs on a worker; the audits it touched run again afterwards, so the lists show the new names.
class Renames : public QObject
{
    Q_OBJECT

public:
    struct Context
    {
        QThreadPool &workers;
        Alert &alert;
        Confirm &confirm;
        std::array<AuditPane *, 2> panes; // by Audit
        // Runs an audit again, as its button would.
        std::function<void(Audit)> rerun;
    };
    explicit Renames(Context context, QObject *parent = nullptr) : QObject(parent), m_context(std::move(context)) {}

    void setUndoAction(QAction *action);
    void renameChecked(Audit audit);
    void undoLast();
    bool isRenaming() const { return m_renaming; }
    // Neither while an audit walks the folders: its result would be half old, half new.
    void updateActions();

Q_SIGNALS:
    void renamingChanged(bool running);
    // What a rename or an undo did, and the Zelvora directory it worked in.
    void reported(const QString &text, const QString &folder);

private:
    bool isBusy() const;
    void setRenaming(bool renaming);
    void didRename(Audit audit, const QString &dir, const RenameReport &report);
    void didUndo(const std::optional<QString> &journal, const UndoReport &report);

    Context m_context;
    QPointer<QAction> m_undoAction;
    bool m_renaming = false;
};

} // namespace zelvora
