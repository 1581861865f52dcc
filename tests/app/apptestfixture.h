#pragma once

#include "app/mainwindow.h"
#include "app/qkappdelegate.h"
#include "doubles.h"
#include "support/temptree.h"
#include "ui_mainwindow.h"

#include <QString>
#include <gtest/gtest.h>

namespace zelvora::test {

// The real window wired to a controller that talks to platform doubles.
class AppTest : public ::testing::Test
{
protected:
    AppTest();

    Ui::MainWindow &ui() { return window.ui(); }

    // Launches the controller with both paths set (as if restored) and shows the window.
    void launchWith(const QString &zelvoraDir, const QString &romsListPath);

    // Click the audit button like a user and wait until its finish step has run and its problems and
    // changes are shown.
    void clickAuditRoms();
    void clickAuditVideos();
    // The same for an audit that is already running.
    void waitForRomsAudit();
    void waitForVideosAudit();
    void waitForExtras(QKAppDelegate::Audit audit);
    // Wait for `count` list-file searches to end.
    void waitForRomListSearches(int count);

    void clickSegment(SegmentedControl *control, int segment);
    void clickCheckBox();

    QString romsText() const;
    QString videosText() const;

    SettingsStoreDouble settings;
    OpenPanelDouble panel;
    AlertDouble alert;
    UrlOpenerDouble urlOpener;
    ConfirmDouble confirm;
    MainWindow window;
    QKAppDelegate controller{PlatformServices{settings, panel, alert, urlOpener, confirm}};
};

// A Zelvora directory: rom archives, preview videos and a supported roms list.
struct ZelvoraTree
{
    TempTree tree;
    QString listPath() const { return tree.filePath(QStringLiteral("- Supported Games Lookup For Naming.txt")); }
    void writeList(QByteArrayView content) const
    {
        tree.file(QStringLiteral("- Supported Games Lookup For Naming.txt"), content);
    }
};

} // namespace zelvora::test
