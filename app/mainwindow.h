#pragma once

#include <QMainWindow>
#include <QPointer>
#include <array>
#include <memory>

namespace Ui {
class MainWindow;
}

namespace zelvora {

class QKAppDelegate;

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

private:
    std::unique_ptr<Ui::MainWindow> m_ui;
    // By audit (roms, videos): the control that had the focus when the audit disabled it.
    std::array<QPointer<QWidget>, 2> m_focusBeforeRun;
};

} // namespace zelvora
