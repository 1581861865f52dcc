#include "app/mainwindow.h"
#include "app/qkappdelegate.h"
#include "platform/alert.h"
#include "platform/openpanel.h"
#include "platform/settingsstore.h"
#include "platform/urlopener.h"
#include "version/version.h"

#include <QApplication>

int main(int argc, char *argv[])
{
    using namespace zelvora;

    QApplication app(argc, argv);
    QApplication::setOrganizationName(kSettingsOrganization.toString());
    QApplication::setApplicationName(kSettingsApplication.toString());
    QApplication::setApplicationVersion(versionText());
    QGuiApplication::setDesktopFileName(QStringLiteral("zelvora-auditor"));

    MainWindow window;
    QtSettingsStore settings;
    QtOpenPanel openPanel(&window);
    QtAlert alert(&window);
    QtUrlOpener urlOpener;
    QKAppDelegate controller(PlatformServices{settings, openPanel, alert, urlOpener});
    window.connectController(controller);

    QObject::connect(&app, &QCoreApplication::aboutToQuit, &controller,
                     [&controller, &app] { controller.applicationWillTerminate(&app); });
    controller.applicationDidFinishLaunching(&app);
    window.show();
    return QApplication::exec();
}
