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
#include "platform/clock.h"
#include "platform/curl_http.h"
#include "platform/executable.h"
#include "platform/qt/artwork.h"
#include "platform/qt/desktop_opener.h"
#include "platform/qt/qt_application.h"
#include "platform/qt/qt_dialogs.h"
#include "platform/qt/qt_main_queue.h"
#include "platform/qt/settings_window.h"
#include "platform/qt/tray_item.h"

namespace {

int renderIconMode(int argc, char** argv, const std::string& path) {
    // Drawing needs no screen: render the same way on a desktop, a build machine or a container.
    qputenv("QT_QPA_PLATFORM", "offscreen");
    // This mode prints nothing but its own failure: keep the toolkit's notes about the environment quiet.
    qInstallMessageHandler([](QtMsgType, const QMessageLogContext&, const QString&) {});
    QGuiApplication app(argc, argv);
    QString error;
    const int status = tavix::renderIcon(QString::fromStdString(path), &error);
    if (!error.isEmpty()) std::cerr << error.toStdString() << std::endl;
    return status;
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
    if (mode.mode == tavix::Mode::renderIcon) return renderIconMode(argc, argv, mode.iconPath);

    tavix::QtMainQueue mainQueue;
    tavix::QtDialogs dialogs;
    tavix::TrayItem item;
    tavix::SettingsWindow settings;
    tavix::DesktopOpener desktop;
    tavix::CurlHttp http;
    tavix::QtApplication application;
    tavix::SystemClock clock;
    tavix::Options options;
    options.arguments = arguments;
    options.appPath = tavix::executablePath();
    const tavix::Ports ports{mainQueue, dialogs, item, settings, desktop, http, application, clock};

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

    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("tavix-menu"));
    QApplication::setApplicationDisplayName(QStringLiteral("Tavix Link"));
    QApplication::setDesktopFileName(QStringLiteral("app.tavix.menu"));
    QApplication::setQuitOnLastWindowClosed(false);

    tavix::TavixMenu menu(ports, options);
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
