#include "platform/qt/session_instance.h"

#include <QApplication>
#include <QDBusMessage>
#include <QDialog>
#include <QEventLoop>
#include <QProcess>
#include <QTimer>

#include <gtest/gtest.h>

#include "platform/qt/artwork.h"
#include "platform/qt/desktop_window.h"
#include "private_bus.h"
#include "support/temp_dir.h"

namespace tavix {
namespace {

// The running copy's side: what later starts asked of it, and the activation token on offer for its window.
struct Recorder final : ApplicationDelegate {
    void reopen() override { tokens.push_back(token()); }
    std::optional<ActionRefusal> activateAction(const std::string& name) override {
        actions.push_back(name);
        tokens.push_back(token());
        if (name == "showSettings") return std::nullopt;
        if (name == "restart") return ActionRefusal{false, "Not paired: Pair this computer with an account first."};
        return ActionRefusal{true, "no such action"};
    }
    static QString token() {
        const QString taken = takeActivationToken();
        return taken.isEmpty() ? QStringLiteral("(none)") : taken;
    }
    QStringList tokens;
    std::vector<std::string> actions;
};

// Runs `program` while this process keeps answering on the bus; its exit status, or -1 after 30 seconds.
int runAnswering(QProcess& program) {
    QEventLoop loop;
    QObject::connect(&program, &QProcess::finished, &loop, &QEventLoop::quit);
    QTimer::singleShot(30000, &loop, &QEventLoop::quit);
    program.start();
    loop.exec();
    if (program.state() != QProcess::NotRunning) {
        program.kill();
        program.waitForFinished();
        return -1;
    }
    return program.exitStatus() == QProcess::NormalExit ? program.exitCode() : -1;
}

using SessionInstanceOnBus = test::OnPrivateBus;

TEST_F(SessionInstanceOnBus, LaterStartsOfTheSessionReachTheRunningCopyWhateverTheirRuntimeFolder) {
    test::TempDir dir;
    Recorder running;
    SessionInstance first(bus.connect(QStringLiteral("first")));
    ASSERT_EQ(first.claim(running), InstanceClaim::claimed);
    Recorder none;
    EXPECT_EQ(SessionInstance(QDBusConnection(QStringLiteral("no bus"))).claim(none), InstanceClaim::unavailable);

    // The real program started again: it asks the running copy to come forward and ends with 0, whatever its
    // runtime folder, home or state directory; a launcher's activation token travels with the request.
    const auto folder = [&](const char* name) {
        std::filesystem::create_directories(dir / name);
        return QString::fromStdString((dir / name).string());
    };
    const struct {
        const char* what;
        QStringList env;
        QString token;
    } starts[] = {
        {"other folders", {"XDG_RUNTIME_DIR=" + folder("run"), "HOME=" + folder("home")}, "(none)"},
        {"no runtime folder", {"HOME=" + folder("home3")}, "(none)"},
        {"from a launcher", {"XDG_ACTIVATION_TOKEN=token-1", "DESKTOP_STARTUP_ID=id-1"}, "token-1"},
        // Another runtime folder on Wayland puts the display out of reach: the running copy is asked first.
        {"display out of reach", {"QT_QPA_PLATFORM=wayland", "WAYLAND_DISPLAY=wayland-nowhere"}, "(none)"},
    };
    QStringList expected;
    for (const auto& start : starts) {
        SCOPED_TRACE(start.what);
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        for (const char* name : {"XDG_RUNTIME_DIR", "XDG_ACTIVATION_TOKEN", "DESKTOP_STARTUP_ID", "WAYLAND_DISPLAY"}) {
            env.remove(QString::fromLatin1(name));
        }
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        env.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), bus.address());
        env.insert(QStringLiteral("TAVIX_HOME"), folder("state"));
        for (const QString& setting : start.env) env.insert(setting.section('=', 0, 0), setting.section('=', 1));
        QProcess second;
        second.setProgram(QStringLiteral(TAVIX_MENU_BINARY));
        second.setProcessEnvironment(env);
        EXPECT_EQ(runAnswering(second), 0) << second.readAllStandardError().toStdString();
        expected.push_back(start.token);
        EXPECT_EQ(running.tokens, expected);
    }

    // The rest of the interface, as a launcher or `gapplication` calls it (this thread answers while it waits).
    // Launchers older than "activation-token" hand the token over as "desktop-startup-id".
    QDBusConnection caller = bus.connect(QStringLiteral("caller"));
    const struct {
        const char* method;
        QVariantList arguments;
        QString error;
        QString token;
        QString message = {};
    } calls[] = {
        {"Open", {QStringList{"file:///tmp/x"}, QVariantMap{{"activation-token", "token-2"}}}, "", "token-2"},
        {"ActivateAction", {"showSettings", QVariantList{}, QVariantMap{{"desktop-startup-id", "id-3"}}}, "", "id-3"},
        // A command that may not run now does nothing, and the caller is told why.
        {"ActivateAction",
         {"restart", QVariantList{}, QVariantMap{}},
         "org.freedesktop.DBus.Error.AccessDenied",
         "(none)",
         "Not paired: Pair this computer with an account first."},
        {"ActivateAction",
         {"nonsense", QVariantList{}, QVariantMap{}},
         "org.freedesktop.DBus.Error.InvalidArgs",
         "(none)"},
    };
    for (const auto& c : calls) {
        QDBusMessage message = QDBusMessage::createMethodCall(SessionInstance::kService, SessionInstance::kPath,
                                                              "org.freedesktop.Application", c.method);
        message.setArguments(c.arguments);
        const QDBusMessage reply = caller.call(message, QDBus::BlockWithGui, 10000);
        EXPECT_EQ(reply.errorName(), c.error) << c.method;
        EXPECT_EQ(running.tokens.back(), c.token) << c.method;
        if (!c.message.isEmpty()) {
            EXPECT_EQ(reply.errorMessage(), c.message);
        }
    }
    EXPECT_EQ(running.actions, (std::vector<std::string>{"showSettings", "restart", "nonsense"}));
}

TEST(ActivationToken, ThisStartsFromTheEnvironmentThenEachServesOnceTheNewestFirst) {
    {
        const test::ScopedEnv launcher("XDG_ACTIVATION_TOKEN", "launcher-token");
        QGuiApplication::setDesktopFileName(QStringLiteral("app.tavix.menu"));
        const DesktopWindows windows;
        EXPECT_FALSE(qEnvironmentVariableIsSet("XDG_ACTIVATION_TOKEN")) << "no child program inherits it";
        // Every window and dialog shows the application's logo (_NET_WM_ICON on X11), also where there is no X
        // server to name the desktop file to (this offscreen platform).
        QDialog dialog;
        dialog.show();
        EXPECT_EQ(dialog.windowIcon().pixmap(48).toImage(), logo(48));
    }
    const struct {
        QStringList offered;
        QString taken;
    } steps[] = {
        {{}, "launcher-token"},
        {{}, ""},
        {{"older", "newer"}, "newer"},
        {{""}, ""},
    };
    for (const auto& step : steps) {
        for (const QString& token : step.offered) offerActivationToken(token);
        EXPECT_EQ(takeActivationToken(), step.taken) << step.offered.join(',').toStdString();
    }
}

}  // namespace
}  // namespace tavix
