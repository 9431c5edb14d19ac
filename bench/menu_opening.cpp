// What a panel waits for when it opens the tray menu: AboutToShow and GetLayout on the exported menu of the real
// tavix-menu, on a bus of its own, with a 100-byte status.json beside one of 15 MB that does not change. Then a
// panel that sends 300 AboutToShow at once: how long its GetLayout waits behind them. Goals: the 15 MB opening
// within 3× the small one, the GetLayout after the burst within 2 s.
//   bench_menu_opening

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusPendingCall>
#include <QDir>
#include <QElapsedTimer>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

namespace {

const QString kMenuPath = QStringLiteral("/MenuBar");
const QString kMenuInterface = QStringLiteral("com.canonical.dbusmenu");

void writeStatus(const QString& root, std::size_t bytes) {
    std::string text = R"({"at":4102444800000,"connected":true,"devices":[)";
    const std::string device = R"({"model":"Pixel 8","state":"device","screen":"awake"},)";
    while (text.size() + device.size() + 64 < bytes) text += device;
    text += R"({"model":"Pixel 8","state":"device"}]})";
    std::ofstream((root + "/status.json").toStdString()) << text;
}

QDBusMessage call(const QString& service, const QString& method, const QVariantList& arguments) {
    QDBusMessage message = QDBusMessage::createMethodCall(service, kMenuPath, kMenuInterface, method);
    message.setArguments(arguments);
    return message;
}

// The median of `rounds` openings: AboutToShow on the root, then the whole layout.
double openingMs(QDBusConnection& bus, const QString& service, int rounds) {
    std::vector<double> times;
    for (int i = 0; i < rounds; ++i) {
        QElapsedTimer timer;
        timer.start();
        bus.call(call(service, QStringLiteral("AboutToShow"), {0}));
        bus.call(call(service, QStringLiteral("GetLayout"), {0, -1, QStringList{}}));
        times.push_back(static_cast<double>(timer.nsecsElapsed()) / 1e6);
    }
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QTemporaryDir dir;
    const QString root = dir.path() + QStringLiteral("/state");
    QDir().mkpath(root);
    QDir().mkpath(dir.path() + QStringLiteral("/runtime"));
    std::ofstream((root + "/token").toStdString()) << std::string(64, 'a');
    writeStatus(root, 100);

    QProcess daemon;
    daemon.start(QStringLiteral("dbus-daemon"), {QStringLiteral("--session"), QStringLiteral("--nofork"),
                                                 QStringLiteral("--nopidfile"), QStringLiteral("--print-address")});
    if (!daemon.waitForReadyRead(10000)) return 1;
    const QString address = QString::fromUtf8(daemon.readLine()).trimmed();
    QDBusConnection bus = QDBusConnection::connectToBus(address, QStringLiteral("panel"));

    QProcess menu;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), address);
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    env.insert(QStringLiteral("TAVIX_HOME"), root);
    env.insert(QStringLiteral("XDG_RUNTIME_DIR"), dir.path() + QStringLiteral("/runtime"));
    menu.setProcessEnvironment(env);
    menu.start(QStringLiteral(TAVIX_MENU_BINARY), {});
    if (!menu.waitForStarted(10000)) return 1;
    const QString service = QStringLiteral("org.kde.StatusNotifierItem-%1-1").arg(menu.processId());
    for (int i = 0; i < 200 && !bus.interface()->isServiceRegistered(service); ++i) QThread::msleep(50);
    if (!bus.interface()->isServiceRegistered(service)) return 1;

    const double small = openingMs(bus, service, 40);
    writeStatus(root, 15'000'000);
    openingMs(bus, service, 2);  // the change itself is read once
    const double large = openingMs(bus, service, 40);

    QElapsedTimer timer;
    timer.start();
    std::vector<QDBusPendingCall> burst;
    for (int i = 0; i < 300; ++i) burst.push_back(bus.asyncCall(call(service, QStringLiteral("AboutToShow"), {0})));
    const QDBusMessage layout = bus.call(call(service, QStringLiteral("GetLayout"), {0, -1, QStringList{}}));
    const double afterBurst = static_cast<double>(timer.nsecsElapsed()) / 1e6;

    menu.kill();
    menu.waitForFinished();
    daemon.kill();
    daemon.waitForFinished();
    const bool ok = layout.type() == QDBusMessage::ReplyMessage;
    std::printf("menu opening: %.2f ms with a 100-byte status, %.2f ms with 15 MB unchanged (%.1f×, goal 3)\n", small,
                large, large / small);
    std::printf("GetLayout after 300 AboutToShow at once: %.0f ms (goal 2000)%s\n", afterBurst,
                ok ? "" : ", and it failed");
    return ok && large <= 3 * small && afterBurst <= 2000 ? 0 : 2;
}
