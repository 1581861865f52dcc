#pragma once

#include <QAction>
#include <QLabel>
#include <QLineEdit>
#include <QMainWindow>
#include <QPointer>
#include <QPushButton>
#include <array>
#include <memory>

namespace Ui {
class MainWindow;
}

namespace zelvora {

enum class Audit;
class ProblemsPane;
class VerifyBar;
class NearMissPane;
class QKAppDelegate;
class StatusRow;
class SummaryStrip;

// The main window, built from its .ui description.
class MainWindow : public QMainWindow
{
    Q_OBJECT

public:
    explicit MainWindow(QWidget *parent = nullptr);
    ~MainWindow() override;
    Q_DISABLE_COPY_MOVE(MainWindow)

    Ui::MainWindow &ui() { return *m_ui; }

    // Connects the controller's outlets through its writers and the window's controls to its actions.
    void connectController(QKAppDelegate &controller);

    // The widgets over each result view that the .ui does not hold, by audit (roms, videos).
    struct ResultPaneWidgets
    {
        QLabel *caption = nullptr;
        SummaryStrip *strip = nullptr;
        QLineEdit *filter = nullptr;
    };
    const ResultPaneWidgets &pane(int audit) const { return m_panes[std::size_t(audit)]; }
    QPushButton *cancelButton(int audit) const { return m_cancelButtons[std::size_t(audit)]; }
    ProblemsPane *problemsPane(int audit) const { return m_problemsPanes[std::size_t(audit)]; }
    QAction *exportTableAction() const { return m_exportTable; }
    QAction *verifyArchivesAction() const { return m_verifyArchives; }
    VerifyBar *verifyBar() const { return m_verifyBar; }
    NearMissPane *nearMissPane(int audit) const { return m_nearMissPanes[std::size_t(audit)]; }
    QAction *undoRenamesAction() const { return m_undoRenames; }
    StatusRow *statusRow() const { return m_statusRow; }

private:
    void addResultPanes();
    void addAuditControls();
    void connectOutlets(QKAppDelegate &controller);
    void connectPaths(QKAppDelegate &controller);
    void addRecentMenu(QKAppDelegate &controller);
    void connectResults(QKAppDelegate &controller);
    void connectAudits(QKAppDelegate &controller);
    void connectMenus(QKAppDelegate &controller);
    bool canSave(Audit audit) const;
    void setAuditRunning(Audit audit, bool running);
    void updateAuditButton(Audit audit, bool running);
    void restoreFocus(Audit audit, QWidget *focused, bool waitsForSave);

    std::unique_ptr<Ui::MainWindow> m_ui;
    QKAppDelegate *m_controller = nullptr;
    std::array<ResultPaneWidgets, 2> m_panes;
    std::array<QPushButton *, 2> m_cancelButtons{};
    std::array<ProblemsPane *, 2> m_problemsPanes{};
    QAction *m_exportTable = nullptr;
    QAction *m_verifyArchives = nullptr;
    VerifyBar *m_verifyBar = nullptr;
    std::array<NearMissPane *, 2> m_nearMissPanes{};
    QAction *m_undoRenames = nullptr;
    StatusRow *m_statusRow = nullptr;
    // By audit (roms, videos): the control that had the focus when the audit disabled it.
    std::array<QPointer<QWidget>, 2> m_focusBeforeRun;
};

} // namespace zelvora
