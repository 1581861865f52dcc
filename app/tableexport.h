#pragma once

#include "app/auditpane.h"

#include <QObject>
#include <array>
#include <functional>
#include <optional>

class QThreadPool;

namespace zelvora {

class Alert;
class OpenPanel;
class UserSettings;

// File > Export Table…: asks for a file, runs the audits that have no result for the fields as they
// stand, then writes one table of both on a worker.
class TableExport : public QObject
{
    Q_OBJECT

public:
    struct Context
    {
        QThreadPool &workers;
        OpenPanel &openPanel;
        Alert &alert;
        UserSettings &settings;           // the folder the panel opens at
        std::array<AuditPane *, 2> panes; // by Audit
        std::function<std::optional<AuditInputs>()> fields;
        // Runs an audit, as its button would.
        std::function<void(Audit)> run;
    };
    explicit TableExport(Context context, QObject *parent = nullptr) : QObject(parent), m_context(std::move(context)) {}

    void start();
    bool isExporting() const { return m_file.has_value() || m_writing; }

Q_SIGNALS:
    void finished();
    // The table was written: what to tell the user, and its folder.
    void reported(const QString &text, const QString &folder);

private:
    void proceed();
    void didWrite(const QString &file, const QString &error);

    Context m_context;
    // The file the export will write once the audits it waits for have finished.
    std::optional<QString> m_file;
    bool m_writing = false;
};

} // namespace zelvora
