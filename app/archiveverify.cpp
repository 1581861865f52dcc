#include "app/archiveverify.h"

#include "app/auditpane.h"
#include "audit/files/humantext.h"
#include "platform/mainthread.h"

#include <QAction>
#include <QHBoxLayout>
#include <QLabel>
#include <QLocale>
#include <QProgressBar>
#include <QPushButton>
#include <QThreadPool>
#include <algorithm>
#include <climits>
#include <cmath>
#include <new>

using namespace Qt::StringLiterals;

namespace zelvora {

VerifyBar::VerifyBar(QWidget *parent)
    : QWidget(parent), m_verify(new QPushButton(u"Verify Archives"_s, this)), m_progress(new QProgressBar(this)),
      m_status(new QLabel(this)), m_cancel(new QPushButton(u"Cancel"_s, this))
{
    m_verify->setToolTip(u"Read every entry of the rom archives and check it against its checksum"_s);
    m_cancel->setToolTip(u"Stop verifying; the archives read so far need not be read again"_s);
    m_progress->setTextVisible(false);
    m_progress->setMaximumWidth(160);
    m_status->setTextInteractionFlags(Qt::TextSelectableByMouse);
    auto *layout = new QHBoxLayout(this);
    layout->setContentsMargins(6, 4, 6, 4);
    layout->addWidget(m_verify);
    layout->addWidget(m_progress);
    layout->addWidget(m_status, 1);
    layout->addWidget(m_cancel);
    showIdle({});
}

void VerifyBar::showIdle(const QString &text)
{
    m_progress->hide();
    m_cancel->hide();
    m_verify->show();
    m_status->setText(text);
}

void VerifyBar::showRunning(qint64 files, qint64 totalFiles, const QString &text)
{
    m_verify->hide();
    m_progress->show();
    m_cancel->show();
    // Until the archives are counted the bar only says that it works.
    m_progress->setRange(0, int(std::min<qint64>(totalFiles, INT_MAX)));
    m_progress->setValue(int(std::min<qint64>(files, INT_MAX)));
    m_status->setText(text);
}

QString verifyProgressText(qint64 files, qint64 totalFiles, qint64 bytes, double seconds)
{
    const QLocale locale;
    QString text =
        u"%1 of %2 archives, %3"_s.arg(locale.toString(files), locale.toString(totalFiles), byteSizeText(bytes));
    // A rate and an estimate need a second of reading to mean anything.
    if (seconds < 1 || files == 0)
        return text;
    text += u", %1/s"_s.arg(byteSizeText(qint64(double(bytes) / seconds)));
    const double left = seconds * double(totalFiles - files) / double(files);
    if (left >= 90)
        text += u", about %1 min left"_s.arg(locale.toString(qlonglong(std::ceil(left / 60))));
    else if (files < totalFiles)
        text += u", about %1 s left"_s.arg(locale.toString(qlonglong(std::ceil(left))));
    return text;
}

ArchiveVerify::ArchiveVerify(QThreadPool &workers, AuditPane &roms, QObject *parent)
    : QObject(parent), m_workers(workers), m_roms(roms)
{
    m_ticker.setInterval(200);
    connect(&m_ticker, &QTimer::timeout, this, &ArchiveVerify::showProgress);
    // A new audit replaces the result being verified.
    connect(&m_roms, &AuditPane::runningChanged, this, [this](bool running) {
        if (running) {
            cancel();
            if (m_bar && !isVerifying())
                m_bar->showIdle({});
        }
        updateEnabled();
    });
    connect(&m_roms, &AuditPane::extrasPendingChanged, this, &ArchiveVerify::updateEnabled);
}

ArchiveVerify::~ArchiveVerify()
{
    // The owner waits for the workers; this one should not keep it waiting.
    cancel();
}

void ArchiveVerify::setWidgets(VerifyBar *bar, QAction *action)
{
    m_bar = bar;
    m_action = action;
    if (bar) {
        connect(bar->verifyButton(), &QPushButton::clicked, this, &ArchiveVerify::start);
        connect(bar->cancelButton(), &QPushButton::clicked, this, &ArchiveVerify::cancel);
    }
    if (action)
        connect(action, &QAction::triggered, this, &ArchiveVerify::start);
    updateEnabled();
}

bool ArchiveVerify::canStart() const
{
    return !isVerifying() && m_roms.audit().roms && m_roms.stamp() && !m_roms.isAuditing() &&
           !m_roms.areExtrasPending() && m_roms.problems();
}

void ArchiveVerify::updateEnabled()
{
    const bool can = canStart();
    if (m_action)
        m_action->setEnabled(can);
    if (m_bar)
        m_bar->verifyButton()->setEnabled(can);
}

void ArchiveVerify::start()
{
    if (!canStart())
        return;
    m_progress = std::make_shared<VerifyProgress>();
    m_cancel = std::make_shared<std::atomic<bool>>(false);
    m_clock.start();
    m_roms.showProblems();
    showProgress();
    m_ticker.start();
    updateEnabled();
    Q_EMIT verifyingChanged(true);

    startOnPool(m_workers, [this, result = m_roms.resultNumber(), audit = m_roms.audit().roms,
                            directory = m_roms.stamp()->inputs.zelvoraDir, earlier = m_roms.problems(),
                            progress = m_progress, cancelled = m_cancel] {
        Finished finished;
        finished.result = result;
        try {
            // A verify before this one left its rows; this one's take their place.
            std::vector<Problem> rows;
            std::copy_if(earlier->begin(), earlier->end(), std::back_inserter(rows),
                         [](const Problem &p) { return p.kind != ProblemKind::DamagedEntry; });
            finished.summary =
                verifyRomArchives(directory, *audit, {true, false, cancelled.get()}, progress.get(), rows);
            finished.problems = std::make_shared<const std::vector<Problem>>(std::move(rows));
        } catch (const std::bad_alloc &) {
            finished.error = u"out of memory"_s;
        }
        finished.cancelled = cancelled->load(std::memory_order_relaxed);
        postToMainThread(this, [this, finished = std::move(finished)] { didVerify(finished); });
    });
}

void ArchiveVerify::cancel()
{
    if (m_cancel)
        m_cancel->store(true, std::memory_order_relaxed);
}

void ArchiveVerify::showProgress()
{
    if (!m_bar || !m_progress)
        return;
    const VerifyProgress &p = *m_progress;
    const qint64 total = p.totalFiles.load(std::memory_order_relaxed);
    const QString text = total == 0
                             ? u"Looking at the archives…"_s
                             : u"Verifying: "_s + verifyProgressText(p.files.load(std::memory_order_relaxed), total,
                                                                     p.bytes.load(std::memory_order_relaxed),
                                                                     double(m_clock.elapsed()) / 1000);
    m_bar->showRunning(p.files.load(std::memory_order_relaxed), total, text);
}

void ArchiveVerify::didVerify(const Finished &finished)
{
    // Cancelled here before its result came: whatever the worker saw, the user was told it stops.
    const bool cancelled = finished.cancelled || m_cancel->load(std::memory_order_relaxed);
    m_ticker.stop();
    m_progress.reset();
    m_cancel.reset();
    QString text;
    if (finished.result != m_roms.resultNumber()) {
        // Of a result no longer shown: nothing to say about the one that is.
    } else if (!finished.error.isEmpty()) {
        text = u"The archives could not be verified: %1"_s.arg(finished.error);
    } else if (cancelled) {
        text = u"Verify cancelled. The archives read in full keep their verdicts for the next verify."_s;
    } else {
        m_roms.setVerifiedProblems(finished.result, finished.problems);
        text = verifySummaryText(finished.summary);
        if (!finished.summary.cacheWarning.isEmpty())
            text += u"\n"_s + message(u"Warning: %1", {finished.summary.cacheWarning});
    }
    if (m_bar)
        m_bar->showIdle(text);
    updateEnabled();
    Q_EMIT verifyingChanged(false);
}

} // namespace zelvora
