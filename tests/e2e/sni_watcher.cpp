// A minimal StatusNotifierWatcher with a host, standing in for a desktop panel on a private session bus.
// Prints "registered SERVICE PATH" and "unregistered SERVICE PATH" as items come and go, and, like a panel that
// re-reads an item only when told to, "signal MEMBER SERVICE" for each change signal of an item and its menu.

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusServiceWatcher>
#include <QDBusVariant>
#include <QObject>
#include <QStringList>

#include <cstdio>

namespace {

const QString kService = QStringLiteral("org.kde.StatusNotifierWatcher");
const QString kPath = QStringLiteral("/StatusNotifierWatcher");

class Watcher final : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.kde.StatusNotifierWatcher")
    Q_PROPERTY(QStringList RegisteredStatusNotifierItems READ registeredItems)
    Q_PROPERTY(bool IsStatusNotifierHostRegistered READ hostRegistered)
    Q_PROPERTY(int ProtocolVersion READ protocolVersion)

  public:
    explicit Watcher(const QDBusConnection& bus) : bus_(bus), owners_(QString(), bus) {
        owners_.setWatchMode(QDBusServiceWatcher::WatchForUnregistration);
        connect(&owners_, &QDBusServiceWatcher::serviceUnregistered, this, &Watcher::ownerGone);
    }

    QStringList registeredItems() const { return items_; }
    bool hostRegistered() const { return true; }
    int protocolVersion() const { return 0; }

  public Q_SLOTS:
    void RegisterStatusNotifierItem(const QString& serviceOrPath, const QDBusMessage& message) {
        // Items name either their bus name or, as some toolkits do, only an object path on the caller's connection.
        const bool pathOnly = serviceOrPath.startsWith(QLatin1Char('/'));
        const QString service = pathOnly ? message.service() : serviceOrPath;
        const QString path = pathOnly ? serviceOrPath : QStringLiteral("/StatusNotifierItem");
        const QString entry = service + path;
        if (items_.contains(entry)) return;
        items_.append(entry);
        owners_.addWatchedService(service);
        listenTo(service, path);
        std::printf("registered %s %s\n", qPrintable(service), qPrintable(path));
        std::fflush(stdout);
        Q_EMIT StatusNotifierItemRegistered(entry);
    }

    void RegisterStatusNotifierHost(const QString&) {}

  Q_SIGNALS:
    void StatusNotifierItemRegistered(const QString& item);
    void StatusNotifierItemUnregistered(const QString& item);
    void StatusNotifierHostRegistered();

  private Q_SLOTS:
    void changed(const QDBusMessage& message) {
        std::printf("signal %s %s\n", qPrintable(message.member()), qPrintable(message.service()));
        std::fflush(stdout);
    }

  private:
    void listenTo(const QString& service, const QString& path) {
        const QString item = QStringLiteral("org.kde.StatusNotifierItem");
        for (const char* member : {"NewToolTip", "NewIcon", "NewTitle", "NewStatus"}) {
            bus_.connect(service, path, item, QLatin1String(member), this, SLOT(changed(QDBusMessage)));
        }
        QDBusMessage get = QDBusMessage::createMethodCall(
            service, path, QStringLiteral("org.freedesktop.DBus.Properties"), QStringLiteral("Get"));
        get.setArguments({item, QStringLiteral("Menu")});
        const QDBusMessage reply = bus_.call(get, QDBus::Block, 20000);
        if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty()) return;
        const QString menu = reply.arguments().first().value<QDBusVariant>().variant().value<QDBusObjectPath>().path();
        if (menu.isEmpty()) return;
        const QString dbusmenu = QStringLiteral("com.canonical.dbusmenu");
        for (const char* member : {"LayoutUpdated", "ItemsPropertiesUpdated"}) {
            bus_.connect(service, menu, dbusmenu, QLatin1String(member), this, SLOT(changed(QDBusMessage)));
        }
    }

    void ownerGone(const QString& service) {
        for (qsizetype i = items_.size() - 1; i >= 0; --i) {
            const QString entry = items_[i];
            if (!entry.startsWith(service + QLatin1Char('/'))) continue;
            items_.removeAt(i);
            std::printf("unregistered %s %s\n", qPrintable(service), qPrintable(entry.mid(service.size())));
            std::fflush(stdout);
            Q_EMIT StatusNotifierItemUnregistered(entry);
        }
        owners_.removeWatchedService(service);
    }

    QDBusConnection bus_;
    QDBusServiceWatcher owners_;
    QStringList items_;
};

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) {
        std::fprintf(stderr, "sni_watcher: no session bus: %s\n", qPrintable(bus.lastError().message()));
        return 1;
    }
    Watcher watcher(bus);
    // The object first, the name second: a client reacting to the name finds the properties already there.
    if (!bus.registerObject(kPath, &watcher,
                            QDBusConnection::ExportAllSlots | QDBusConnection::ExportAllSignals |
                                QDBusConnection::ExportAllProperties)) {
        std::fprintf(stderr, "sni_watcher: cannot export %s\n", qPrintable(kPath));
        return 1;
    }
    if (!bus.registerService(kService)) {
        std::fprintf(stderr, "sni_watcher: cannot own %s: %s\n", qPrintable(kService),
                     qPrintable(bus.lastError().message()));
        return 1;
    }
    std::printf("watching\n");
    std::fflush(stdout);
    return QCoreApplication::exec();
}

#include "sni_watcher.moc"
