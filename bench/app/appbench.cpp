// The window under load, offscreen: how long the main thread stalls while the audits run and finish,
// and how long a segment click takes to show a long list. A heartbeat timer on the main thread
// records when it gets to run; a gap between two ticks is time the window could not answer.
#include "app/mainwindow.h"
#include "app/namefilter.h"
#include "app/qkappdelegate.h"
#include "audit/files/resulttext.h"
#include "platform/alert.h"
#include "platform/confirm.h"
#include "platform/openpanel.h"
#include "platform/resultview.h"
#include "platform/segmentedcontrol.h"
#include "platform/settingsstore.h"
#include "platform/urlopener.h"
#include "ui_mainwindow.h"

#include <QApplication>
#include <QCheckBox>
#include <QCommandLineParser>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLineEdit>
#include <QMap>
#include <QProcess>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <QToolButton>
#include <algorithm>
#include <cstdio>
#include <ctime>
#include <functional>
#include <string>
#include <utility>
#include <vector>

using namespace Qt::StringLiterals;

namespace zelvora {
namespace {

constexpr double kStallMs = 50.0;
constexpr double kSwitchTargetMs = 100.0;
constexpr double kFilterTargetMs = 100.0;
// Heartbeat kept running after the measured step, so the paint it schedules is measured too.
constexpr int kTailMs = 150;
constexpr double kMemoryTargetBytes = 150;
constexpr double kCommandLineRatioTarget = 1.5;
constexpr int kAuditTimeoutMs = 600000;

class MemorySettings final : public SettingsStore
{
public:
    std::optional<QString> stringForKey(const QString &key) const override
    {
        const auto it = values.constFind(key);
        if (it == values.cend())
            return std::nullopt;
        return *it;
    }
    void setString(const QString &key, const QString &value) override { values.insert(key, value); }
    void synchronize() override {}

    QMap<QString, QString> values;
};

// No dialog may open in a benchmark: each service only counts its calls. The panel answers only the
// export it is told of.
class CountingPanel final : public OpenPanel
{
public:
    std::optional<QString> runModal(const OpenPanelOptions &) override
    {
        if (answer)
            return std::exchange(answer, std::nullopt);
        ++opened;
        return std::nullopt;
    }
    int opened = 0;
    std::optional<QString> answer;
};

class CountingAlert final : public Alert
{
public:
    void runModal(const AlertMessage &) override { ++shown; }
    int shown = 0;
};

class RefusingConfirm final : public Confirm
{
public:
    bool runModal(const ConfirmMessage &) override { return false; }
};

class NoUrlOpener final : public UrlOpener
{
public:
    bool openUrl(const QUrl &) override { return false; }
};

// CPU time of the calling thread: within a gap it tells the window's own work from waiting for a core.
qint64 threadCpuNs()
{
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return qint64(now.tv_sec) * 1000000000 + now.tv_nsec;
}

struct Gap
{
    double wallMs;
    double cpuMs; // of the main thread
};

class Heartbeat
{
public:
    explicit Heartbeat(int intervalMs)
    {
        m_timer.setTimerType(Qt::PreciseTimer);
        m_timer.setInterval(intervalMs);
        QObject::connect(&m_timer, &QTimer::timeout, [this] { tick(); });
    }

    void start()
    {
        m_ticks.clear();
        m_ticks.reserve(1 << 20);
        m_clock.start();
        tick();
        m_timer.start();
    }

    // The gaps between ticks; the last one runs up to now.
    std::vector<Gap> stop()
    {
        m_timer.stop();
        tick();
        std::vector<Gap> gaps;
        gaps.reserve(m_ticks.size());
        for (std::size_t i = 1; i < m_ticks.size(); ++i)
            gaps.push_back({double(m_ticks[i].wall - m_ticks[i - 1].wall) / 1e6,
                            double(m_ticks[i].cpu - m_ticks[i - 1].cpu) / 1e6});
        return gaps;
    }

private:
    struct Tick
    {
        qint64 wall;
        qint64 cpu;
    };

    void tick() { m_ticks.push_back({m_clock.nsecsElapsed(), threadCpuNs()}); }

    QTimer m_timer;
    QElapsedTimer m_clock;
    std::vector<Tick> m_ticks;
};

struct GapStats
{
    double worst = 0;
    double p99 = 0;
    double busiest = 0; // the most main-thread CPU time within one gap
    int over = 0;       // gaps over kStallMs
};

GapStats gapStats(const std::vector<Gap> &gaps)
{
    GapStats stats;
    if (gaps.empty())
        return stats;
    std::vector<double> walls;
    walls.reserve(gaps.size());
    for (const Gap &gap : gaps) {
        walls.push_back(gap.wallMs);
        stats.busiest = std::max(stats.busiest, gap.cpuMs);
    }
    std::sort(walls.begin(), walls.end());
    stats.worst = walls.back();
    stats.p99 = walls[std::min(walls.size() - 1, std::size_t(double(walls.size()) * 0.99))];
    stats.over = int(std::count_if(walls.begin(), walls.end(), [](double gap) { return gap > kStallMs; }));
    return stats;
}

double median(std::vector<double> values)
{
    if (values.empty())
        return 0;
    std::sort(values.begin(), values.end());
    const std::size_t mid = values.size() / 2;
    return values.size() % 2 ? values[mid] : (values[mid - 1] + values[mid]) / 2;
}

double maximum(const std::vector<double> &values)
{
    return values.empty() ? 0 : *std::max_element(values.begin(), values.end());
}

// Runs the event loop for `ms`.
void settle(int ms)
{
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

// The list sizes a correct audit reports, from the generator's manifest; empty when there is none.
QMap<QString, qsizetype> expectedCounts(const QString &tree)
{
    QFile file(QDir(tree).filePath(u".bench-manifest.json"_s));
    QMap<QString, qsizetype> counts;
    if (!file.open(QIODevice::ReadOnly))
        return counts;
    const QJsonObject expected = QJsonDocument::fromJson(file.readAll()).object().value(u"expected"_s).toObject();
    for (const QString &audit : expected.keys()) {
        const QJsonObject lists = expected.value(audit).toObject();
        for (const QString &list : lists.keys())
            counts.insert(audit + u'.' + list, qsizetype(lists.value(list).toInteger()));
    }
    return counts;
}

// The process's peak resident memory so far, in KB.
qint64 peakResidentKb()
{
    QFile status(u"/proc/self/status"_s);
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith("VmHWM:"))
            return line.mid(6).trimmed().split(' ').value(0).toLongLong();
    }
    return -1;
}

// The median wall time of `runs` runs of the command line on the same tree with `arguments` (an audit
// and its options), JSON to /dev/null, in ms.
double commandLineMs(const QString &cli, const QString &tree, const QStringList &arguments, int runs)
{
    std::vector<double> times;
    for (int i = 0; i < runs; ++i) {
        QProcess process;
        process.setStandardOutputFile(QProcess::nullDevice());
        QElapsedTimer clock;
        clock.start();
        process.start(cli, arguments + QStringList{u"-q"_s, u"-f"_s, u"json"_s, u"-d"_s, tree, u"-l"_s,
                                                   QDir(tree).filePath(u"- Supported Games Lookup For Naming.txt"_s)});
        if (!process.waitForFinished(-1) || process.exitCode() != 0)
            return -1;
        times.push_back(double(clock.nsecsElapsed()) / 1e6);
    }
    return median(times);
}

// The count in a result text's header, "Found N ...".
qsizetype shownCount(const QString &text)
{
    const qsizetype end = text.indexOf(u' ', 6);
    return end < 0 ? -1 : text.sliced(6, end - 6).toLongLong();
}

// Counts the paint events of a widget, to be sure a repaint did paint.
class PaintCounter : public QObject
{
public:
    explicit PaintCounter(QWidget *widget) { widget->installEventFilter(this); }
    int count = 0;

protected:
    bool eventFilter(QObject *, QEvent *event) override
    {
        if (event->type() == QEvent::Paint)
            ++count;
        return false;
    }
};

struct Row
{
    explicit Row(std::string rowName) : name(std::move(rowName)) {}

    std::string name;
    std::vector<double> times;
    std::vector<double> worstGaps;
    std::vector<double> p99s;
    std::vector<double> busiest;
    int over = 0;
    std::vector<double> textTimes;   // segment switches only: until the text is set
    std::vector<double> extrasTimes; // audits only: until the problems and the changes are shown
};

class Bench
{
public:
    Bench(const QString &tree, int heartbeatMs)
        : m_tree(tree), m_heartbeat(heartbeatMs), m_expected(expectedCounts(tree)),
          m_controller(PlatformServices{m_settings, m_panel, m_alert, m_urlOpener, m_confirm})
    {
        m_window.connectController(m_controller);
        m_settings.values.insert(kZelvoraDirPathKey.toString(), tree);
        m_settings.values.insert(kZelvoraRomsListPathKey.toString(),
                                 QDir(tree).filePath(u"- Supported Games Lookup For Naming.txt"_s));
        m_controller.applicationDidFinishLaunching();
        m_window.show();
        settle(300);
    }

    Ui::MainWindow &ui() { return m_window.ui(); }
    qsizetype expected(const QString &key) const { return m_expected.value(key, 0); }
    bool failed() const { return m_failed || m_alert.shown > 0 || m_panel.opened > 0; }
    QSize viewSize() { return ui().romsResultView->viewport()->size(); }

    // One audit from the button's click to its finish step and the paint after it.
    void audit(Row &row, bool videos)
    {
        QPushButton *button = videos ? ui().auditVideosButton : ui().auditRomsButton;
        ui().tabView->setCurrentWidget(videos ? ui().videosTab : ui().romsTab);
        settle(50);

        QEventLoop loop;
        QElapsedTimer clock;
        double finishedAt = -1;
        double extrasAt = -1;
        const auto which = videos ? QKAppDelegate::Audit::Videos : QKAppDelegate::Audit::Roms;
        // The lists are shown at the finish step; the problems and the changes follow on a worker. The
        // heartbeat runs until they are shown too, so the next run starts on a quiet machine.
        const auto finished = [&](bool running) {
            if (running)
                return;
            finishedAt = double(clock.nsecsElapsed()) / 1e6;
            if (!m_controller.areExtrasPending(which))
                QTimer::singleShot(kTailMs, &loop, &QEventLoop::quit);
        };
        const auto extrasShown = [&](int audit, bool pending) {
            if (audit != int(which) || pending || finishedAt < 0)
                return;
            extrasAt = double(clock.nsecsElapsed()) / 1e6;
            QTimer::singleShot(kTailMs, &loop, &QEventLoop::quit);
        };
        const QMetaObject::Connection connection =
            videos ? QObject::connect(&m_controller, &QKAppDelegate::videosAuditRunningChanged, &loop, finished)
                   : QObject::connect(&m_controller, &QKAppDelegate::romsAuditRunningChanged, &loop, finished);
        const QMetaObject::Connection extrasConnection =
            QObject::connect(&m_controller, &QKAppDelegate::extrasPendingChanged, &loop, extrasShown);
        QTimer::singleShot(kAuditTimeoutMs, &loop, &QEventLoop::quit);

        m_heartbeat.start();
        QTimer::singleShot(0, &loop, [&] {
            clock.start();
            button->click();
        });
        loop.exec();
        const GapStats stats = gapStats(m_heartbeat.stop());
        QObject::disconnect(connection);
        QObject::disconnect(extrasConnection);

        if (finishedAt < 0) {
            std::fprintf(stderr, "%s: did not finish\n", row.name.c_str());
            m_failed = true;
            return;
        }
        row.times.push_back(finishedAt);
        if (extrasAt >= 0)
            row.extrasTimes.push_back(extrasAt);
        row.worstGaps.push_back(stats.worst);
        row.p99s.push_back(stats.p99);
        row.busiest.push_back(stats.busiest);
        row.over += stats.over;
        checkAuditShown(videos);
    }

    // A click on `segment` of a control whose view shows another list, until the view has painted.
    void segmentSwitch(Row &row, bool videos, int from, int segment)
    {
        SegmentedControl *control = videos ? ui().videosResultControl : ui().romsResultControl;
        ResultView *view = videos ? ui().videosResultView : ui().romsResultView;
        ui().tabView->setCurrentWidget(videos ? ui().videosTab : ui().romsTab);
        control->segmentButton(from)->click();
        settle(100);

        QEventLoop loop;
        double textAt = 0;
        double paintedAt = 0;
        PaintCounter paints(view->viewport());
        m_heartbeat.start();
        const int paintsBefore = paints.count;
        QTimer::singleShot(0, &loop, [&] {
            QElapsedTimer clock;
            clock.start();
            control->segmentButton(segment)->click();
            textAt = double(clock.nsecsElapsed()) / 1e6;
            view->repaint();
            paintedAt = double(clock.nsecsElapsed()) / 1e6;
            if (paints.count == paintsBefore) {
                std::fprintf(stderr, "%s: the view did not paint\n", row.name.c_str());
                m_failed = true;
            }
            QTimer::singleShot(kTailMs, &loop, &QEventLoop::quit);
        });
        loop.exec();
        const GapStats stats = gapStats(m_heartbeat.stop());
        view->viewport()->removeEventFilter(&paints);

        row.textTimes.push_back(textAt);
        row.times.push_back(paintedAt);
        row.worstGaps.push_back(stats.worst);
        row.p99s.push_back(stats.p99);
        row.busiest.push_back(stats.busiest);
        row.over += stats.over;
    }

    // Typing `text` into the filter over the shown list, until the filtered list has painted.
    void filter(Row &row, bool videos, const QString &text)
    {
        const auto audit = videos ? QKAppDelegate::Audit::Videos : QKAppDelegate::Audit::Roms;
        ResultView *view = videos ? ui().videosResultView : ui().romsResultView;
        QLineEdit *field = m_controller.pane(audit).widgets().filter;
        field->clear();
        settle(100);

        QEventLoop loop;
        QElapsedTimer clock;
        double paintedAt = -1;
        const QMetaObject::Connection connection =
            QObject::connect(&m_controller, &QKAppDelegate::filterApplied, &loop, [&](int) {
                view->repaint();
                paintedAt = double(clock.nsecsElapsed()) / 1e6;
                QTimer::singleShot(kTailMs, &loop, &QEventLoop::quit);
            });
        QTimer::singleShot(kAuditTimeoutMs, &loop, &QEventLoop::quit);
        m_heartbeat.start();
        QTimer::singleShot(0, &loop, [&] {
            clock.start();
            field->setText(text);
        });
        loop.exec();
        const GapStats stats = gapStats(m_heartbeat.stop());
        QObject::disconnect(connection);
        if (paintedAt < 0) {
            std::fprintf(stderr, "%s: the filter did not finish\n", row.name.c_str());
            m_failed = true;
            return;
        }
        row.textTimes.push_back(double(m_controller.pane(audit).shownLines()->shownCount()));
        row.times.push_back(paintedAt);
        row.worstGaps.push_back(stats.worst);
        row.p99s.push_back(stats.p99);
        row.busiest.push_back(stats.busiest);
        row.over += stats.over;
        field->clear();
        settle(100);
    }

    qsizetype shown(bool videos) { return shownCount((videos ? ui().videosResultView : ui().romsResultView)->line(0)); }

    // File > Export Table… into `file`, until the table is written. `fresh`: the directory field names
    // the tree anew (a trailing slash), so that both audits run first, as from a launched window.
    void exportTable(Row &row, const QString &file, bool fresh)
    {
        QLineEdit *dir = ui().zelvoraDirPathTextField;
        dir->setText(fresh ? (dir->text().endsWith(u'/') ? m_tree : m_tree + u'/') : dir->text());
        settle(100);
        QEventLoop loop;
        QElapsedTimer clock;
        double writtenAt = -1;
        const QMetaObject::Connection connection =
            QObject::connect(&m_controller, &QKAppDelegate::tableExportFinished, &loop, [&] {
                writtenAt = double(clock.nsecsElapsed()) / 1e6;
                QTimer::singleShot(kTailMs, &loop, &QEventLoop::quit);
            });
        QTimer::singleShot(kAuditTimeoutMs, &loop, &QEventLoop::quit);
        m_heartbeat.start();
        QTimer::singleShot(0, &loop, [&] {
            m_panel.answer = file;
            clock.start();
            m_window.exportTableAction()->trigger();
        });
        loop.exec();
        const GapStats stats = gapStats(m_heartbeat.stop());
        QObject::disconnect(connection);
        if (writtenAt < 0 || !QFileInfo(file).isFile()) {
            std::fprintf(stderr, "%s: the table was not written\n", row.name.c_str());
            m_failed = true;
            return;
        }
        row.times.push_back(writtenAt);
        row.worstGaps.push_back(stats.worst);
        row.p99s.push_back(stats.p99);
        row.busiest.push_back(stats.busiest);
        row.over += stats.over;
    }

private:
    // The finish step showed the first segment, the valid names; its count must be the generator's.
    void checkAuditShown(bool videos)
    {
        const QString key = videos ? u"videos.valid"_s : u"roms.valid"_s;
        const qsizetype count = shown(videos);
        if (videos && ui().checkAvailableRomVideosOnly->isChecked())
            return; // the manifest records the check box off
        if (m_expected.contains(key) && m_expected.value(key) != count) {
            std::fprintf(stderr, "MISMATCH %s: shown %lld, expected %lld\n", qPrintable(key), qlonglong(count),
                         qlonglong(m_expected.value(key)));
            m_failed = true;
        }
    }

    QString m_tree;
    Heartbeat m_heartbeat;
    QMap<QString, qsizetype> m_expected;
    MemorySettings m_settings;
    CountingPanel m_panel;
    CountingAlert m_alert;
    RefusingConfirm m_confirm;
    NoUrlOpener m_urlOpener;
    MainWindow m_window;
    QKAppDelegate m_controller;
    bool m_failed = false;
};

void printAuditTable(const std::vector<Row> &rows)
{
    std::printf("%-34s %4s %10s %10s %10s %10s %10s %10s %8s  %s\n", "audit (click to lists shown)", "runs",
                "median ms", "extras ms", "worst gap", "med worst", "p99 gap", "max busy", ">50 ms",
                "target: no gap > 50 ms");
    for (const Row &row : rows) {
        std::printf("%-34s %4zu %10.1f %10.1f %10.1f %10.1f %10.2f %10.1f %8d  %s\n", row.name.c_str(),
                    row.times.size(), median(row.times), median(row.extrasTimes), maximum(row.worstGaps),
                    median(row.worstGaps), median(row.p99s), maximum(row.busiest), row.over,
                    row.over == 0 && !row.times.empty() ? "PASS" : "FAIL");
    }
}

void printSwitchTable(const std::vector<Row> &rows)
{
    std::printf("%-34s %4s %10s %10s %10s %10s %10s %8s  %s\n", "segment click", "runs", "text ms", "painted ms",
                "max paint", "worst gap", "max busy", ">50 ms", "target: painted <= 100 ms");
    for (const Row &row : rows) {
        std::printf("%-34s %4zu %10.1f %10.1f %10.1f %10.1f %10.1f %8d  %s\n", row.name.c_str(), row.times.size(),
                    median(row.textTimes), median(row.times), maximum(row.times), maximum(row.worstGaps),
                    maximum(row.busiest), row.over,
                    median(row.times) <= kSwitchTargetMs && !row.times.empty() ? "PASS" : "FAIL");
    }
}

void printFilterTable(const std::vector<Row> &rows)
{
    std::printf("%-34s %4s %10s %10s %10s %10s %10s %8s  %s\n", "filter (typed to painted)", "runs", "matches",
                "median ms", "max ms", "worst gap", "busiest", "stalls", "target <= 100 ms");
    for (const Row &row : rows) {
        std::printf("%-34s %4zu %10.0f %10.1f %10.1f %10.1f %10.1f %8d  %s\n", row.name.c_str(), row.times.size(),
                    median(row.textTimes), median(row.times), maximum(row.times), maximum(row.worstGaps),
                    maximum(row.busiest), row.over,
                    median(row.times) <= kFilterTargetMs && !row.times.empty() ? "PASS" : "FAIL");
    }
}

// filterNames alone over `count` made-up names, as many as a million-file collection shows.
Row syntheticFilter(qsizetype count, int runs, const QString &text)
{
    std::vector<QByteArray> storage;
    storage.reserve(std::size_t(count));
    for (qsizetype i = 0; i < count; ++i)
        storage.push_back("Some Game Title " + QByteArray::number(i * 7919 % 1000003) + " (Rev " +
                          QByteArray::number(i % 7) + ").zip");
    NameList names;
    names.reserve(storage.size());
    for (const QByteArray &name : storage)
        names.emplace_back(name.constData(), std::size_t(name.size()));
    Row row{"filterNames, " + std::to_string(count) + " names, \"" + text.toStdString() + "\""};
    for (int i = 0; i < runs; ++i) {
        QElapsedTimer clock;
        clock.start();
        const NamePositions found = filterNames(names, text);
        row.times.push_back(double(clock.nsecsElapsed()) / 1e6);
        row.textTimes.push_back(double(found.size()));
    }
    return row;
}

std::string withCount(const char *text, qsizetype count)
{
    return std::string(text) + " (" + std::to_string(count) + ")";
}

int run(const QString &tree, int runs, int heartbeatMs, const QString &cli)
{
    Bench bench(tree, heartbeatMs);
    const qint64 idleKb = peakResidentKb();
    const QSize viewSize = bench.viewSize();
    std::printf("zelvora-app-bench: %s, %d runs, heartbeat %d ms, result view %dx%d px, Qt %s, platform %s\n",
                qPrintable(QDir(tree).dirName()), runs, heartbeatMs, viewSize.width(), viewSize.height(), qVersion(),
                qPrintable(QGuiApplication::platformName()));

    // The floor: what the heartbeat gets with nothing to do but the window's own animations.
    Row idle{"idle window (1 s)"};
    for (int i = 0; i < runs; ++i) {
        Heartbeat heartbeat(heartbeatMs);
        heartbeat.start();
        settle(1000);
        const GapStats stats = gapStats(heartbeat.stop());
        idle.times.push_back(1000);
        idle.worstGaps.push_back(stats.worst);
        idle.p99s.push_back(stats.p99);
        idle.busiest.push_back(stats.busiest);
        idle.over += stats.over;
    }

    Row roms{"rom audit"};
    Row videosOff{"video audit, check box off"};
    Row videosOn{"video audit, check box on"};
    qint64 romPeakKb = -1;
    for (int i = 0; i < runs; ++i) {
        bench.audit(roms, false);
        if (i == 0)
            romPeakKb = peakResidentKb();
        if (bench.ui().checkAvailableRomVideosOnly->isChecked())
            bench.ui().checkAvailableRomVideosOnly->click();
        bench.audit(videosOff, true);
        bench.ui().checkAvailableRomVideosOnly->click();
        bench.audit(videosOn, true);
    }

    // The lists of the last audits: valid roms is the long one, missing roms a short one.
    if (bench.ui().checkAvailableRomVideosOnly->isChecked())
        bench.ui().checkAvailableRomVideosOnly->click();
    Row setUp{"video audit for the segment clicks"};
    bench.audit(setUp, true);
    const int valid = int(RomList::Valid);
    const int missing = int(RomList::Missing);
    bench.ui().romsResultControl->segmentButton(valid)->click();
    const qsizetype validRoms = bench.shown(false);
    bench.ui().romsResultControl->segmentButton(missing)->click();
    const qsizetype missingRoms = bench.shown(false);
    bench.ui().videosResultControl->segmentButton(int(VideoList::Valid))->click();
    const qsizetype validVideos = bench.shown(true);

    Row toValid{withCount("missing -> valid roms", validRoms)};
    Row toMissing{withCount("valid -> missing roms", missingRoms)};
    Row toValidVideos{withCount("missing -> valid videos", validVideos)};
    for (int i = 0; i < runs; ++i) {
        bench.segmentSwitch(toValid, false, missing, valid);
        bench.segmentSwitch(toMissing, false, valid, missing);
        bench.segmentSwitch(toValidVideos, true, int(VideoList::Missing), int(VideoList::Valid));
    }

    Row filterValid{withCount("filter valid roms \"e\"", validRoms)};
    Row filterValidRare{withCount("filter valid roms \"7q\"", validRoms)};
    for (int i = 0; i < runs; ++i) {
        bench.ui().romsResultControl->segmentButton(valid)->click();
        bench.filter(filterValid, false, u"e"_s);
        bench.filter(filterValidRare, false, u"7q"_s);
    }
    // Export Table…: with both results current (the near misses and the table alone), and with both
    // audits to run first, as `all -m --table` does.
    const QTemporaryDir exports;
    Row exportCurrent{"export table, results current"};
    Row exportFresh{"export table, audits first"};
    for (int i = 0; i < runs; ++i) {
        bench.exportTable(exportCurrent, exports.filePath(u"current.csv"_s), false);
        bench.exportTable(exportFresh, exports.filePath(u"fresh.csv"_s), true);
    }
    const Row synthetic = syntheticFilter(1000000, runs, u"e"_s);
    const Row syntheticRare = syntheticFilter(1000000, runs, u"title 12"_s);

    std::printf("\n");
    printAuditTable({idle, roms, videosOff, videosOn, exportCurrent, exportFresh});
    std::printf("\n");
    printSwitchTable({toValid, toMissing, toValidVideos});
    std::printf("\n");
    printFilterTable({filterValid, filterValidRare, synthetic, syntheticRare});

    // Memory of the first rom audit, above the launched window, per archive it found.
    const qsizetype romFiles = bench.expected(u"roms.valid"_s) + bench.expected(u"roms.unknown"_s);
    const double perFile = romFiles > 0 ? double(romPeakKb - idleKb) * 1024 / double(romFiles) : 0;
    std::printf("\npeak memory: idle window %lld KB, after the rom audit %lld KB: %.1f B per archive found (%lld)  "
                "target: <= 150: %s\n",
                qlonglong(idleKb), qlonglong(romPeakKb), perFile, qlonglong(romFiles),
                perFile <= kMemoryTargetBytes ? "PASS" : "FAIL");
    if (!cli.isEmpty()) {
        const auto compare = [](const char *what, double windowMs, const char *command, double cliMs) {
            const double ratio = windowMs / cliMs;
            std::printf("%s: window %.1f ms, command line `%s` %.1f ms: ratio %.2f  target: <= 1.5: %s\n", what,
                        windowMs, command, cliMs, ratio,
                        cliMs > 0 && ratio <= kCommandLineRatioTarget ? "PASS" : "FAIL");
        };
        const QTemporaryDir tables;
        compare("rom audit, click to lists", median(roms.times), "roms", commandLineMs(cli, tree, {u"roms"_s}, runs));
        compare("rom audit, click to problems and changes", median(roms.extrasTimes), "roms -p",
                commandLineMs(cli, tree, {u"roms"_s, u"-p"_s}, runs));
        compare("export table, audits first", median(exportFresh.times), "all -m --table",
                commandLineMs(cli, tree, {u"all"_s, u"-m"_s, u"--table"_s, tables.filePath(u"t.csv"_s)}, runs));
    }
    if (bench.failed()) {
        std::fprintf(stderr, "zelvora-app-bench: a check failed (wrong counts, a dialog, or an unfinished audit)\n");
        return 1;
    }
    return 0;
}

} // namespace
} // namespace zelvora

int main(int argc, char *argv[])
{
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    // The audits' history and the command line's runs go to a folder of the bench's own, never the user's.
    const QTemporaryDir data;
    qputenv("XDG_DATA_HOME", QFile::encodeName(data.path()));
    QApplication app(argc, argv);

    QCommandLineParser parser;
    parser.setApplicationDescription(u"Measures main-thread stalls of the window on a Zelvora directory."_s);
    parser.addHelpOption();
    parser.addOption({{u"r"_s, u"runs"_s}, u"Runs of each measurement (default 5)."_s, u"K"_s, u"5"_s});
    parser.addOption({u"heartbeat-ms"_s, u"Heartbeat interval (default 1)."_s, u"MS"_s, u"1"_s});
    parser.addOption(
        {u"cli"_s, u"Also time this zelvora-auditor-cli on the tree (roms, roms -p, all -m --table), for the ratios."_s,
         u"PATH"_s});
    parser.addPositionalArgument(u"tree"_s, u"The Zelvora directory, e.g. bench/out/tree-120000."_s);
    parser.process(app);
    if (parser.positionalArguments().size() != 1)
        parser.showHelp(2);
    const int runs = parser.value(u"runs"_s).toInt();
    const int heartbeatMs = parser.value(u"heartbeat-ms"_s).toInt();
    const QString tree = parser.positionalArguments().constFirst();
    if (!QFileInfo(tree).isDir()) {
        std::fprintf(stderr, "zelvora-app-bench: %s is not a directory (make one with bench/gen_tree.py)\n",
                     qPrintable(tree));
        return 2;
    }
    if (runs < 1 || heartbeatMs < 1) {
        std::fprintf(stderr, "zelvora-app-bench: --runs and --heartbeat-ms must be at least 1\n");
        return 2;
    }
    return zelvora::run(tree, runs, heartbeatMs, parser.value(u"cli"_s));
}
