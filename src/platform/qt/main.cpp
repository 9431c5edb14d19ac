// tavix-menu: the tray application, or one of its command-line modes.

#include <QApplication>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QGuiApplication>
#include <QTimer>

#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <string>
#include <vector>

#include "app/mode.h"
#include "app/self_test.h"
#include "app/tavix_menu.h"
#include "platform/qt/artwork.h"
#include "platform/qt/desktop_notifications.h"
#include "platform/qt/desktop_opener.h"
#include "platform/qt/desktop_window.h"
#include "platform/qt/qt_application.h"
#include "platform/qt/qt_dialogs.h"
#include "platform/qt/qt_main_queue.h"
#include "platform/qt/settings_window.h"
#include "platform/qt/tray_item.h"
#include "platform/system/curl_http.h"
#include "platform/system/executable.h"
#include "platform/system/system_clock.h"

namespace {

// The argument vector handed to Qt: only the program name, so that Qt's own options (-platform, -display, …) are
// not honoured; every argument but our own options is ignored.
struct QtArguments {
    explicit QtArguments(char* program) : argv{program != nullptr ? program : fallback, nullptr} {}
    char fallback[11] = "tavix-menu";
    int argc = 1;
    char* argv[2];
};

int renderIconMode(QtArguments& qt, const std::string& path) {
    // Drawing needs no screen: render the same way on a desktop, a build machine or a container.
    qputenv("QT_QPA_PLATFORM", "offscreen");
    // This mode prints nothing but its own failure: keep the toolkit's notes about the environment quiet.
    qInstallMessageHandler([](QtMsgType, const QMessageLogContext&, const QString&) {});
    QGuiApplication app(qt.argc, qt.argv);
    QString error;
    const int status = tavix::renderIcon(QString::fromStdString(path), &error);
    if (!error.isEmpty()) std::cerr << error.toStdString() << std::endl;
    return status;
}

// Qt treats a display it cannot reach as a fatal error and aborts, leaving a core dump for a typo in DISPLAY. While
// the application object connects, its notes are held back and a fatal one becomes one line and status 2.
void startupMessage(QtMsgType type, const QMessageLogContext&, const QString&) {
    if (type != QtFatalMsg) return;
    std::string shown;
    for (const char* name : {"WAYLAND_DISPLAY", "DISPLAY"}) {
        const char* value = std::getenv(name);
        if (value == nullptr || *value == '\0') continue;
        shown += std::string(shown.empty() ? "" : ", ") + name + "=" + value;
    }
    const std::string line = "Tavix Link could not connect to the display (" + shown +
                             "): start it from a running desktop session, or try it on a virtual display with "
                             "scripts/run.sh --demo\n";
    std::fputs(line.c_str(), stderr);
    std::_Exit(2);
}

// Native on Wayland: Qt picks Wayland only when the session type says so, which a compositor started from a
// console does not. GNOME is the exception Qt makes too: there the window stays on X11 (Xwayland), which gives
// it the desktop's own title bar.
void choosePlatform() {
    if (!qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") || qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY")) return;
    const QByteArray desktop = (qgetenv("XDG_CURRENT_DESKTOP") + ':' + qgetenv("XDG_SESSION_DESKTOP")).toLower();
    const bool gnome = desktop.contains("gnome") && !qEnvironmentVariableIsEmpty("DISPLAY");
    qputenv("QT_QPA_PLATFORM", gnome ? "xcb;wayland" : "wayland;xcb");
}

bool displayAvailable() {
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"}) {
        const char* value = std::getenv(name);
        if (value != nullptr && *value != '\0') return true;
    }
    return false;
}

}  // namespace

int main(int argc, char** argv) {
    const std::vector<std::string> arguments(argv, argv + argc);
    const tavix::ModeChoice mode = tavix::chooseMode(arguments);
    QtArguments qt(argc > 0 ? argv[0] : nullptr);
    if (mode.mode == tavix::Mode::renderIcon) return renderIconMode(qt, mode.iconPath);

    tavix::QtMainQueue mainQueue;
    tavix::QtDialogs dialogs;
    tavix::TrayItem item;
    tavix::SettingsWindow settings;
    tavix::DesktopOpener desktop;
    tavix::CurlHttp http;
    tavix::QtApplication application;
    tavix::SystemClock clock;
    tavix::DesktopNotifications notifier;
    tavix::Options options;
    options.arguments = arguments;
    options.appPath = tavix::executablePath();
    const tavix::Ports ports{mainQueue, dialogs, item, settings, desktop, http, application, clock, notifier};

    if (mode.mode == tavix::Mode::selfTest) {
        return tavix::runSelfTest([&] { return std::make_unique<tavix::TavixMenu>(ports, options); }, std::cout,
                                  std::cerr);
    }

    if (!displayAvailable()) {
        std::cerr << "Tavix Link is a tray application and needs a graphical desktop, but no display was found "
                     "(DISPLAY and WAYLAND_DISPLAY are unset).\n"
                     "Start it from a desktop session, or try it on a virtual display with: scripts/run.sh --demo\n";
        return 2;
    }

    // The session's running copy is asked before the display is reached: a second start whose display is out of
    // reach (another XDG_RUNTIME_DIR on Wayland) still brings the running copy's window forward and ends quietly.
    tavix::TavixMenu menu(ports, options);
    if (!menu.claimInstance()) return 0;

    choosePlatform();
    const QtMessageHandler previous = qInstallMessageHandler(startupMessage);
    QApplication app(qt.argc, qt.argv);
    qInstallMessageHandler(previous);
    QApplication::setApplicationName(QStringLiteral("tavix-menu"));
    QApplication::setApplicationDisplayName(QStringLiteral("Tavix Link"));
    QApplication::setDesktopFileName(QStringLiteral("app.tavix.menu"));
    QApplication::setQuitOnLastWindowClosed(false);
    const tavix::DesktopWindows windows;

    QTimer::singleShot(0, &app, [&menu] { menu.applicationDidFinishLaunching(); });
    const int status = QApplication::exec();

    // A panel that chose "Quit" over D-Bus waits for the reply to that click, which Qt's bus thread may not
    // have written yet: one blocking call on the same connection goes out after it, so it is sent by then.
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (bus.isConnected()) {
        bus.call(QDBusMessage::createMethodCall(QStringLiteral("org.freedesktop.DBus"),
                                                QStringLiteral("/org/freedesktop/DBus"),
                                                QStringLiteral("org.freedesktop.DBus.Peer"), QStringLiteral("Ping")),
                 QDBus::Block, 1000);
    }

    // Workers may still wait on a child program or a server; nothing is left to save, so end without
    // unwinding the objects they would report to.
    std::fflush(nullptr);
    std::_Exit(status);
}
