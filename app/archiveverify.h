#pragma once

// File > Verify Archives, and its button above the rom problems: every entry of the shown rom result's
// counted archives is read on a worker and checked against its checksum. The bar shows files, bytes,
// rate and time left, with Cancel; the rows found join that result's problems, and with them its saved
// problems file and the exported table.

#include "audit/checks/verify.h"

#include <QElapsedTimer>
#include <QObject>
#include <QPointer>
#include <QTimer>
#include <QWidget>
#include <atomic>
#include <memory>

class QAction;
class QLabel;
class QProgressBar;
class QPushButton;
class QThreadPool;

namespace zelvora {

class AuditPane;

class VerifyBar final : public QWidget
{
    Q_OBJECT

public:
    explicit VerifyBar(QWidget *parent = nullptr);
    QPushButton *verifyButton() const { return m_verify; }
    QPushButton *cancelButton() const { return m_cancel; }
    QProgressBar *progressBar() const { return m_progress; }
    QLabel *statusLabel() const { return m_status; }

    void showIdle(const QString &text);
    void showRunning(qint64 files, qint64 totalFiles, const QString &text);

private:
    QPushButton *m_verify;
    QProgressBar *m_progress;
    QLabel *m_status;
    QPushButton *m_cancel;
};

// "1,234 of 5,000 archives, 1.2 GB, 180.0 MB/s, about 12 s left"
QString verifyProgressText(qint64 files, qint64 totalFiles, qint64 bytes, double seconds);

class ArchiveVerify final : public QObject
{
    Q_OBJECT

public:
    ArchiveVerify(QThreadPool &workers, AuditPane &roms, QObject *parent = nullptr);
    ~ArchiveVerify() override;
    Q_DISABLE_COPY_MOVE(ArchiveVerify)

    void setWidgets(VerifyBar *bar, QAction *action);
    // Nothing happens unless a rom result and its problems are shown and no audit runs.
    void start();
    void cancel();
    bool isVerifying() const { return m_progress != nullptr; }
    bool canStart() const;

Q_SIGNALS:
    void verifyingChanged(bool verifying);

private:
    struct Finished
    {
        quint64 result = 0; // the pane's result it belongs to
        std::shared_ptr<const std::vector<Problem>> problems;
        VerifySummary summary;
        bool cancelled = false;
        QString error;
    };
    void updateEnabled();
    void showProgress();
    void didVerify(const Finished &finished);

    QThreadPool &m_workers;
    AuditPane &m_roms;
    QPointer<VerifyBar> m_bar;
    QPointer<QAction> m_action;
    // Of the running verify: its counts, read by the bar, and its cancel, read by its workers.
    std::shared_ptr<VerifyProgress> m_progress;
    std::shared_ptr<std::atomic<bool>> m_cancel;
    QElapsedTimer m_clock;
    QTimer m_ticker;
};

} // namespace zelvora
