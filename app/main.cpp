#include "app/mainwindow.h"
#include "app/qkappdelegate.h"
#include "platform/alert.h"
#include "platform/confirm.h"
#include "platform/openpanel.h"
#include "platform/settingsstore.h"
#include "platform/urlopener.h"
#include "version/version.h"

#include <QApplication>
#include <cstdio>
#include <cstring>
#include <optional>

using namespace Qt::StringLiterals;

static const char kUsage[] = R"(Usage: zelvora-auditor [options]

Opens the Zelvora Auditor window, which audits the rom archives and the preview videos
of a Zelvora directory against its supported roms list.

Options:
  -h, --help     show this help
      --version  show the version

Qt's own options, such as -platform and -style, are accepted too.
)";

// --help and --version are answered before the application starts, so they need no display.
// Every other argument is left to Qt (-platform, -style, ...).
static std::optional<int> answerInformationOptions(int argc, char *argv[])
{
    for (int i = 1; i < argc; ++i) {
        QByteArray text;
        if (std::strcmp(argv[i], "-h") == 0 || std::strcmp(argv[i], "--help") == 0)
            text = kUsage;
        else if (std::strcmp(argv[i], "--version") == 0)
            text = ("zelvora-auditor "_L1 + zelvora::versionText() + u'\n').toUtf8();
        else
            continue;
        const bool written = std::fwrite(text.constData(), 1, size_t(text.size()), stdout) == size_t(text.size());
        return std::fflush(stdout) == 0 && written ? 0 : 1;
    }
    return std::nullopt;
}

int main(int argc, char *argv[])
{
    using namespace zelvora;

    if (const std::optional<int> status = answerInformationOptions(argc, argv))
        return *status;

    QApplication app(argc, argv);
    QApplication::setOrganizationName(kSettingsOrganization.toString());
    QApplication::setApplicationName(kSettingsApplication.toString());
    QApplication::setApplicationVersion(versionText());
    // Every window and box is titled with this, never with the binary's name.
    QGuiApplication::setApplicationDisplayName(u"Zelvora Auditor"_s);
    QGuiApplication::setDesktopFileName(QStringLiteral(ZELVORA_APP_ID));

    MainWindow window;
    QtSettingsStore settings;
    QtOpenPanel openPanel(&window);
    QtAlert alert(&window);
    QtUrlOpener urlOpener;
    QtConfirm confirm(&window);
    QKAppDelegate controller(PlatformServices{settings, openPanel, alert, urlOpener, confirm});
    window.connectController(controller);

    QObject::connect(&app, &QCoreApplication::aboutToQuit, &controller,
                     [&controller, &app] { controller.applicationWillTerminate(&app); });
    controller.applicationDidFinishLaunching(&app);
    window.show();
    return QApplication::exec();
}
