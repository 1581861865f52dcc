#include "app/mainwindow.h"

#include "app/aboutbox.h"
#include "app/archiveverify.h"
#include "app/nearmissview.h"
#include "app/pathdrops.h"
#include "app/problemsview.h"
#include "app/qkappdelegate.h"
#include "app/statusrow.h"
#include "audit/files/resulttext.h"
#include "platform/resultview.h"
#include "platform/segmentedcontrol.h"
#include "platform/summarystrip.h"
#include "ui_mainwindow.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QIcon>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QScreen>
#include <QTabBar>
#include <QTableView>
#include <QToolButton>
#include <vector>

using namespace Qt::StringLiterals;

// The icons live in this static library; a linker keeps its resources only when asked for them.
static void initResources()
{
    Q_INIT_RESOURCE(zelvora_auditor);
}

namespace zelvora {

namespace {

constexpr QSize kMinimumSize(640, 460);

using Audit = QKAppDelegate::Audit;

// Actions take their sender, as a user's click would give it.
void onClick(QKAppDelegate *c, QAbstractButton *button, void (QKAppDelegate::*action)(QObject *))
{
    QObject::connect(button, &QAbstractButton::clicked, c, [c, button, action] { (c->*action)(button); });
}

void onTrigger(QKAppDelegate *c, QAction *item, void (QKAppDelegate::*action)(QObject *))
{
    QObject::connect(item, &QAction::triggered, c, [c, item, action] { (c->*action)(item); });
}

} // namespace

MainWindow::MainWindow(QWidget *parent) : QMainWindow(parent), m_ui(std::make_unique<Ui::MainWindow>())
{
    initResources();
    m_ui->setupUi(this);
    QIcon icon;
    for (int size : {16, 32, 48, 128, 256})
        icon.addFile(u":/icons/zelvora-auditor-%1.png"_s.arg(size), QSize(size, size));
    setWindowIcon(icon);
    m_ui->actionQuit->setShortcuts(QKeySequence::Quit);

    // Initial states the .ui cannot express. The phase text starts hidden; its row keeps its height
    // by the status row beside it, so the window does not jump when an audit starts.
    m_ui->progressLabel->hide();
    // Nothing to note before an audit.
    m_ui->romsNotesLabel->hide();
    m_ui->videosNotesLabel->hide();
    addResultPanes();
    addAuditControls();
    // At least 640x460. The width is the layout's own, so that the window grows when the segments'
    // counts need more room: an explicit minimum width would hold it and clip them.
    setMinimumHeight(kMinimumSize.height());
    const QMargins margins = m_ui->mainLayout->contentsMargins();
    m_ui->mainLayout->addStrut(kMinimumSize.width() - margins.left() - margins.right());
    // The first size leaves room on a small screen; a stored geometry replaces it.
    if (const QScreen *shownOn = screen())
        resize(size().boundedTo(shownOn->availableGeometry().size() * 0.9));

    // The check box starts off, so the segment of videos for missing roms starts disabled.
    m_ui->videosResultControl->setEnabledForSegment(m_ui->checkAvailableRomVideosOnly->isChecked(),
                                                    int(VideoList::Extra));
}

// Over each result: the filter beside the segments, the strip of the lists' shares above them, the
// caption right over the view, and the possible matches below it.
void MainWindow::addResultPanes()
{
    // Over each result: the strip of the lists' shares above the segments, the caption right over the view.
    // The filter stands on the caption's row, right over the list it narrows, so that the segments have
    // the row above to themselves.
    const auto addPane = [](QVBoxLayout *tab, QWidget *container, ResultPaneWidgets &pane) {
        pane.filter = new QLineEdit(container->parentWidget());
        pane.filter->setPlaceholderText(u"Filter names"_s);
        pane.filter->setToolTip(u"Show only the names that contain this text (Ctrl+F)"_s);
        pane.filter->setClearButtonEnabled(true);
        // One width whatever the segments' counts, on both tabs.
        pane.filter->setFixedWidth(pane.filter->fontMetrics().horizontalAdvance(u"Filter names"_s) * 2);
        pane.strip = new SummaryStrip(container->parentWidget());
        pane.caption = new QLabel(container->parentWidget());
        pane.caption->setTextFormat(Qt::PlainText);
        pane.caption->setWordWrap(true);
        pane.caption->setStyleSheet(u"QLabel[outOfDate=\"true\"] { color: #8a4b00; font-weight: bold; }"_s);
        auto *row = new QHBoxLayout;
        row->addWidget(pane.caption, 1);
        row->addWidget(pane.filter, 0, Qt::AlignRight);
        tab->insertWidget(0, pane.strip);
        tab->insertLayout(tab->indexOf(container), row);
    };
    addPane(m_ui->romsTabLayout, m_ui->romsResultContainer, m_panes[0]);
    addPane(m_ui->videosTabLayout, m_ui->videosResultContainer, m_panes[1]);
    // Each audit's possible matches, below its result.
    m_nearMissPanes[0] = installNearMissPane(m_ui->romsTabLayout, m_ui->romsResultContainer);
    m_nearMissPanes[1] = installNearMissPane(m_ui->videosTabLayout, m_ui->videosResultContainer);
    // The filter over the lists narrows the possible matches too.
    for (std::size_t audit = 0; audit < 2; ++audit) {
        connect(m_panes[audit].filter, &QLineEdit::textChanged, m_nearMissPanes[audit],
                [pane = m_nearMissPanes[audit]](const QString &text) { pane->setFilterText(text.trimmed()); });
    }
    m_undoRenames = new QAction(u"&Undo Last Renames"_s, this);
    m_undoRenames->setToolTip(u"Give the files renamed last their earlier names back"_s);
    m_ui->menuFile->insertAction(m_ui->actionQuit, m_undoRenames);
    m_ui->menuFile->insertSeparator(m_ui->actionQuit);
    // Tab order: segments, filter, view, as they stand.
    setTabOrder(m_ui->romsResultControl, m_panes[0].filter);
    setTabOrder(m_panes[0].filter, m_ui->romsResultView);
    setTabOrder(m_ui->videosResultControl, m_panes[1].filter);
    setTabOrder(m_panes[1].filter, m_ui->videosResultView);
    // The possible matches follow their result view: the buttons above the table, as they stand.
    const auto chainPane = [](QWidget *view, NearMissPane *pane) {
        setTabOrder(view, pane->checkAllButton());
        setTabOrder(pane->checkAllButton(), pane->uncheckAllButton());
        setTabOrder(pane->uncheckAllButton(), pane->renameButton());
        setTabOrder(pane->renameButton(), pane->table());
    };
    chainPane(m_ui->romsResultView, m_nearMissPanes[0]);
    chainPane(m_ui->videosResultView, m_nearMissPanes[1]);
}

// Cancel, the problems, the File menu's additions and the find shortcut.
void MainWindow::addAuditControls()
{

    // Each audit's Cancel button stands beside its Audit button while it runs.
    const auto addCancel = [](QHBoxLayout *actions, QPushButton *audit) {
        auto *cancel = new QPushButton(u"Cancel"_s, audit->parentWidget());
        cancel->setToolTip(u"Stop the running audit and keep the earlier results (Esc)"_s);
        cancel->hide();
        actions->insertWidget(actions->indexOf(audit), cancel);
        return cancel;
    };
    m_cancelButtons[0] = addCancel(m_ui->romsActionsLayout, m_ui->auditRomsButton);
    m_cancelButtons[1] = addCancel(m_ui->videosActionsLayout, m_ui->auditVideosButton);
    m_problemsPanes[0] =
        new ProblemsPane({m_ui->romsTabLayout, m_ui->romsChoiceLayout, m_ui->romsResultContainer, m_ui->romsResultView,
                          m_ui->romsResultControl, m_panes[0].filter, m_ui->romsNotesLabel},
                         this);
    m_problemsPanes[1] =
        new ProblemsPane({m_ui->videosTabLayout, m_ui->videosChoiceLayout, m_ui->videosResultContainer,
                          m_ui->videosResultView, m_ui->videosResultControl, m_panes[1].filter, m_ui->videosNotesLabel},
                         this);
    m_exportTable = new QAction(u"&Export Table…"_s, this);
    m_exportTable->setObjectName(u"actionExportTable"_s);
    m_exportTable->setToolTip(u"Write one table of both audits for a spreadsheet"_s);
    m_ui->menuFile->insertAction(m_ui->actionQuit, m_exportTable);
    // The rom archives' deep verify: from the menu, or from its bar above the rom problems.
    m_verifyArchives = new QAction(u"&Verify Archives"_s, this);
    m_verifyArchives->setToolTip(u"Read every entry of the rom archives and check it against its checksum"_s);
    m_ui->menuFile->insertAction(m_ui->actionQuit, m_verifyArchives);
    m_ui->menuFile->insertSeparator(m_ui->actionQuit);
    // What the last save, export, rename or undo did, in the row of the phase text under the tabs.
    m_statusRow = new StatusRow(centralWidget());
    m_ui->statusLayout->insertWidget(m_ui->statusLayout->indexOf(m_ui->progressLabel) + 1, m_statusRow, 1);
    m_verifyBar = new VerifyBar(m_ui->romsResultContainer);
    m_problemsPanes[0]->setTableBar(m_verifyBar);
    // Tab order: the segments, Problems (N), the filter; the view or the problems with the verify bar
    // above them, then the possible matches.
    const auto chainProblems = [](SegmentedControl *control, QWidget *view, ProblemsPane *problems,
                                  const std::vector<QWidget *> &bar, NearMissPane *nearMisses) {
        setTabOrder(control->segmentButton(control->segmentCount() - 1), problems->toggle());
        QWidget *previous = view;
        for (QWidget *next : bar) {
            setTabOrder(previous, next);
            previous = next;
        }
        setTabOrder(previous, problems->table());
        setTabOrder(problems->table(), nearMisses->checkAllButton());
    };
    chainProblems(m_ui->romsResultControl, m_ui->romsResultView, m_problemsPanes[0],
                  {m_verifyBar->verifyButton(), m_verifyBar->cancelButton()}, m_nearMissPanes[0]);
    chainProblems(m_ui->videosResultControl, m_ui->videosResultView, m_problemsPanes[1], {}, m_nearMissPanes[1]);

    // Ctrl+PgUp and Ctrl+PgDn switch tabs wherever the focus is, as in other tabbed windows.
    for (const auto &[key, step] : {std::pair{Qt::Key_PageUp, -1}, std::pair{Qt::Key_PageDown, 1}}) {
        auto *switchTab = new QAction(this);
        switchTab->setShortcut(QKeySequence(Qt::CTRL | key));
        addAction(switchTab);
        connect(switchTab, &QAction::triggered, this, [tabs = m_ui->tabView, step = step] {
            tabs->setCurrentIndex((tabs->currentIndex() + step + tabs->count()) % tabs->count());
        });
    }
    auto *find = new QAction(this);
    find->setShortcuts(QKeySequence::Find);
    addAction(find);
    connect(find, &QAction::triggered, this, [this] {
        QLineEdit *filter = m_panes[m_ui->tabView->currentIndex() == 0 ? 0 : 1].filter;
        filter->setFocus(Qt::ShortcutFocusReason);
        filter->selectAll();
    });
}

MainWindow::~MainWindow() = default;

void MainWindow::connectController(QKAppDelegate &controller)
{
    m_controller = &controller;
    connectOutlets(controller);
    connectPaths(controller);
    connectResults(controller);
    connectAudits(controller);
    connectMenus(controller);
    // Return clicks the focused button, as in a dialog.
    for (QPushButton *button : findChildren<QPushButton *>())
        button->setAutoDefault(true);
}

void MainWindow::connectOutlets(QKAppDelegate &c)
{
    Ui::MainWindow &w = *m_ui;
    c.setZelvoraDirPathTextField(w.zelvoraDirPathTextField);
    c.setRomsListPathTextField(w.romsListPathTextField);
    c.setRomsResultView(w.romsResultView);
    c.setRomsResultControl(w.romsResultControl);
    c.setVideosResultView(w.videosResultView);
    c.setVideosResultControl(w.videosResultControl);
    c.setCheckAvailableRomVideosOnly(w.checkAvailableRomVideosOnly);
    c.setProgressLabel(w.progressLabel);
    c.setProgressIndicator(w.progressIndicator);
    c.setTabView(w.tabView);
    c.setRomsNotesLabel(w.romsNotesLabel);
    c.setVideosNotesLabel(w.videosNotesLabel);
    for (const auto audit : {Audit::Roms, Audit::Videos}) {
        const auto a = std::size_t(audit);
        c.setResultPane(audit, m_panes[a].caption, m_panes[a].strip, m_panes[a].filter);
        c.setProblemsPane(audit, m_problemsPanes[a]);
        c.setNearMissPane(audit, m_nearMissPanes[a]);
    }
    c.setUndoRenamesAction(m_undoRenames);
    c.archiveVerify().setWidgets(m_verifyBar, m_verifyArchives);
}

// The two path fields and their buttons, drops and menu items.
void MainWindow::connectPaths(QKAppDelegate &controller)
{
    Ui::MainWindow &w = *m_ui;
    QKAppDelegate *c = &controller;
    // A typed path confirmed with Enter is taken as a chosen one.
    connect(w.zelvoraDirPathTextField, &QLineEdit::returnPressed, c, [c, field = w.zelvoraDirPathTextField] {
        if (!field->text().isEmpty())
            c->chooseZelvoraDirectory(field->text());
    });
    // A result whose inputs no longer match the fields is marked as such at once.
    connect(w.zelvoraDirPathTextField, &QLineEdit::textChanged, c, &QKAppDelegate::updateCaptions);
    connect(w.zelvoraDirPathTextField, &QLineEdit::textChanged, this, [this, c] {
        for (const auto audit : {Audit::Roms, Audit::Videos})
            updateAuditButton(audit, c->isAuditing(audit));
    });
    connect(w.romsListPathTextField, &QLineEdit::textChanged, c, &QKAppDelegate::updateCaptions);
    connect(w.checkAvailableRomVideosOnly, &QCheckBox::toggled, c, &QKAppDelegate::updateCaptions);
    addRecentMenu(controller);
    onClick(c, w.chooseZelvoraDirButton, &QKAppDelegate::selectZelvoraDirectory);
    onClick(c, w.chooseRomsListButton, &QKAppDelegate::selectRomsListFile);
    onTrigger(c, w.actionChooseZelvoraDirectory, &QKAppDelegate::selectZelvoraDirectory);
    onTrigger(c, w.actionChooseRomsList, &QKAppDelegate::selectRomsListFile);

    // A folder dropped anywhere on the window is the Zelvora directory; a file, only on the list field.
    const auto takeFolder = [c](const QString &path) { c->chooseZelvoraDirectory(path); };
    auto *folderDrops = new PathDropFilter(PathDropFilter::Kind::Folder, takeFolder, this);
    setAcceptDrops(true);
    installEventFilter(folderDrops);
    w.zelvoraDirPathTextField->installEventFilter(folderDrops);
    folderDrops->refuseOver(w.romsListPathTextField);
    w.romsListPathTextField->installEventFilter(new PathDropFilter(
        PathDropFilter::Kind::File, [c](const QString &path) { c->chooseRomsListFile(path); }, this));
}

// File > Open Recent: the latest Zelvora directories, built as the menu opens.
void MainWindow::addRecentMenu(QKAppDelegate &controller)
{
    QKAppDelegate *c = &controller;
    auto *recent = new QMenu(u"Open &Recent"_s, this);
    recent->setObjectName(u"recentMenu"_s);
    m_ui->menuFile->insertMenu(m_ui->actionChooseRomsList, recent);
    connect(recent, &QMenu::aboutToShow, c, [c, recent] {
        recent->clear();
        const QStringList directories = c->recentDirectories();
        for (qsizetype i = 0; i < directories.size(); ++i) {
            // Numbered mnemonics for the first nine; '&' in a path must not become one.
            QString label = QDir::toNativeSeparators(directories[i]).replace(u'&', u"&&"_s);
            QAction *item = recent->addAction(i < 9 ? u"&%1 %2"_s.arg(i + 1).arg(label) : label);
            connect(item, &QAction::triggered, c,
                    [c, directory = directories[i]] { c->chooseZelvoraDirectory(directory); });
        }
        if (directories.isEmpty())
            recent->addAction(u"No Recent Directories"_s)->setEnabled(false);
        recent->addSeparator();
        QAction *clear = recent->addAction(u"&Clear Menu"_s);
        clear->setEnabled(!directories.isEmpty());
        connect(clear, &QAction::triggered, c, &QKAppDelegate::clearRecentDirectories);
    });
}

// The result views: where a found file lies, the filters and the segments.
void MainWindow::connectResults(QKAppDelegate &controller)
{
    Ui::MainWindow &w = *m_ui;
    QKAppDelegate *c = &controller;
    // Where a found file lies: a tooltip and two items in the view's menu.
    for (const auto audit : {Audit::Roms, Audit::Videos}) {
        ResultView *view = audit == Audit::Roms ? w.romsResultView : w.videosResultView;
        view->setLineToolTip([c, audit](qsizetype line) { return c->fileToolTipAt(audit, line); });
        connect(view, &ResultView::contextMenuAboutToShow, c,
                [c, audit](QMenu *menu, qsizetype line) { c->addFileActions(audit, menu, line); });
    }
    connect(m_panes[0].filter, &QLineEdit::textChanged, c, [c] { c->showList(Audit::Roms); });
    connect(m_panes[1].filter, &QLineEdit::textChanged, c, [c] { c->showList(Audit::Videos); });
    onClick(c, w.checkAvailableRomVideosOnly, &QKAppDelegate::didClickCheckAvailableRomVideosOnly);
    SegmentedControl *roms = w.romsResultControl;
    SegmentedControl *videos = w.videosResultControl;
    connect(roms, &SegmentedControl::activated, c, [c, roms] { c->didClickRomsResultControl(roms); });
    connect(videos, &SegmentedControl::activated, c, [c, videos] { c->didClickVideosResultControl(videos); });
}

// Running an audit: its buttons, Cancel and Esc, and the state of its controls while it runs.
void MainWindow::connectAudits(QKAppDelegate &controller)
{
    Ui::MainWindow &w = *m_ui;
    QKAppDelegate *c = &controller;
    // Cancel: the button, or Esc for the shown tab's audit (else whichever runs).
    connect(m_cancelButtons[0], &QPushButton::clicked, c, [c] { c->cancelAudit(Audit::Roms); });
    connect(m_cancelButtons[1], &QPushButton::clicked, c, [c] { c->cancelAudit(Audit::Videos); });
    auto *escape = new QAction(this);
    escape->setShortcut(Qt::Key_Escape);
    addAction(escape);
    connect(escape, &QAction::triggered, c, [c, tabs = w.tabView] {
        const Audit shown = tabs->currentIndex() == 0 ? Audit::Roms : Audit::Videos;
        c->cancelAudit(c->isAuditing(shown) ? shown : (shown == Audit::Roms ? Audit::Videos : Audit::Roms));
    });
    onClick(c, w.auditRomsButton, &QKAppDelegate::auditRoms);
    onClick(c, w.auditVideosButton, &QKAppDelegate::auditVideos);
    onClick(c, w.saveRomsButton, &QKAppDelegate::saveRomsResult);
    onClick(c, w.saveVideosButton, &QKAppDelegate::saveVideosResult);
    connect(c, &QKAppDelegate::romsAuditRunningChanged, m_problemsPanes[0], &ProblemsPane::setRunning);
    connect(c, &QKAppDelegate::videosAuditRunningChanged, m_problemsPanes[1], &ProblemsPane::setRunning);

    w.saveRomsButton->setEnabled(canSave(Audit::Roms));
    w.saveVideosButton->setEnabled(canSave(Audit::Videos));
    updateAuditButton(Audit::Roms, c->isAuditing(Audit::Roms));
    updateAuditButton(Audit::Videos, c->isAuditing(Audit::Videos));
    connect(c, &QKAppDelegate::romsAuditRunningChanged, this,
            [this](bool running) { setAuditRunning(Audit::Roms, running); });
    connect(c, &QKAppDelegate::videosAuditRunningChanged, this,
            [this](bool running) { setAuditRunning(Audit::Videos, running); });
    connect(c, &QKAppDelegate::extrasPendingChanged, this, [this, c](int audit, bool pending) {
        const auto a = Audit(audit);
        (a == Audit::Roms ? m_ui->saveRomsButton : m_ui->saveVideosButton)->setEnabled(!c->isAuditing(a) && canSave(a));
        if (!pending && !c->isAuditing(a))
            restoreFocus(a, QApplication::focusWidget(), false);
    });
}

void MainWindow::connectMenus(QKAppDelegate &controller)
{
    Ui::MainWindow &w = *m_ui;
    QKAppDelegate *c = &controller;
    onTrigger(c, w.actionOpenHomepage, &QKAppDelegate::openHomepage);
    onTrigger(c, m_exportTable, &QKAppDelegate::exportTable);
    connect(w.actionQuit, &QAction::triggered, this, &QWidget::close);
    connect(c, &QKAppDelegate::reported, m_statusRow, &StatusRow::report);
    connect(m_statusRow, &StatusRow::folderRequested, c, &QKAppDelegate::showFolder);
    connect(w.actionAbout, &QAction::triggered, this, [this, c, item = w.actionAbout] {
        auto *box = new AboutBox(QStringLiteral(ZELVORA_HOMEPAGE), this);
        box->setAttribute(Qt::WA_DeleteOnClose);
        connect(box, &AboutBox::homepageClicked, c, [c, item] { c->openHomepage(item); });
        box->open();
    });
}

// Nothing to save before an audit has given results, nor before its problems, which go with them.
bool MainWindow::canSave(Audit audit) const
{
    const QKAppDelegate &c = *m_controller;
    return c.hasResults(audit) && !c.areExtrasPending(audit);
}

// A disabled control loses its focus to the next one in the chain, a path field, which would then
// select its whole text; the tabs are a calmer place for it while the audit runs. Afterwards the
// focus goes back, unless the user has moved it meanwhile.
void MainWindow::setAuditRunning(Audit audit, bool running)
{
    Ui::MainWindow &w = *m_ui;
    const bool roms = audit == Audit::Roms;
    QPushButton *auditButton = roms ? w.auditRomsButton : w.auditVideosButton;
    QPushButton *save = roms ? w.saveRomsButton : w.saveVideosButton;
    SegmentedControl *control = roms ? w.romsResultControl : w.videosResultControl;
    QPointer<QWidget> &parked = m_focusBeforeRun[std::size_t(audit)];
    QWidget *focused = QApplication::focusWidget();
    // The result view is hidden while the audit runs: it loses the focus too.
    QWidget *view = roms ? static_cast<QWidget *>(w.romsResultView) : w.videosResultView;
    if (running && focused &&
        (focused == auditButton || focused == save || control->isAncestorOf(focused) || focused == view)) {
        parked = focused;
        w.tabView->setFocus(Qt::OtherFocusReason);
    }
    updateAuditButton(audit, running);
    save->setEnabled(!running && canSave(audit));
    m_cancelButtons[std::size_t(audit)]->setVisible(running);
    if (!running)
        restoreFocus(audit, focused, parked == save);
}

// An audit needs a Zelvora directory: with the field empty it would stand for an empty collection.
void MainWindow::updateAuditButton(Audit audit, bool running)
{
    Ui::MainWindow &w = *m_ui;
    QPushButton *button = audit == Audit::Roms ? w.auditRomsButton : w.auditVideosButton;
    const bool noDirectory = w.zelvoraDirPathTextField->text().trimmed().isEmpty();
    button->setEnabled(!noDirectory && !running);
    button->setToolTip(noDirectory            ? u"Choose the Zelvora directory first"_s
                       : audit == Audit::Roms ? u"Compare the rom archives with the supported roms list"_s
                                              : u"Compare the preview videos with the games that should have one"_s);
}

// Save waits for the problems that go with the result; the focus it had waits with it.
void MainWindow::restoreFocus(Audit audit, QWidget *focused, bool waitsForSave)
{
    QPointer<QWidget> &parked = m_focusBeforeRun[std::size_t(audit)];
    if (!parked || (waitsForSave && !parked->isEnabled()))
        return;
    if (parked->isEnabled() && (!focused || focused == m_ui->tabView || focused == m_ui->tabView->tabBar()))
        parked->setFocus(Qt::OtherFocusReason);
    parked = nullptr;
}

} // namespace zelvora
