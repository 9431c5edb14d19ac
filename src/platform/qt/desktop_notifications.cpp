#include "platform/qt/desktop_notifications.h"

#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QStringList>
#include <QVariantMap>

#include <utility>

namespace tavix {
namespace {

const QString kService = QStringLiteral("org.freedesktop.Notifications");
const QString kPath = QStringLiteral("/org/freedesktop/Notifications");
const QString kInterface = QStringLiteral("org.freedesktop.Notifications");
// Long enough to read a line, for a notification that goes by itself.
constexpr int kExpiresMs = 8000;

std::size_t index(NotificationKind kind) {
    return kind == NotificationKind::connection ? 0 : 1;
}

}  // namespace

bool DesktopNotifications::connectBus() {
    if (!bus_) bus_ = QDBusConnection::sessionBus();
    if (!bus_->isConnected()) return false;
    if (!connected_) {
        connected_ = true;
        // By the server's name: the bus passes on what its owner of the moment sends, whichever server that is.
        bus_->connect(kService, kPath, kInterface, QStringLiteral("ActionInvoked"), this,
                      SLOT(actionInvoked(uint, QString)));
        bus_->connect(kService, kPath, kInterface, QStringLiteral("ActivationToken"), this,
                      SLOT(activationToken(uint, QString)));
        bus_->connect(kService, kPath, kInterface, QStringLiteral("NotificationClosed"), this,
                      SLOT(closed(uint, uint)));
    }
    return true;
}

void DesktopNotifications::show(const Notification& notification, CommandTarget& target) {
    Slot& slot = slots_[index(notification.kind)];
    slot.show = notification;
    slot.close = false;
    slot.target = &target;
    pump(slot);
}

void DesktopNotifications::close(NotificationKind kind) {
    Slot& slot = slots_[index(kind)];
    slot.show.reset();
    slot.close = true;
    pump(slot);
}

void DesktopNotifications::askCapabilities() {
    if (asking_) return;
    asking_ = true;
    const QDBusMessage call =
        QDBusMessage::createMethodCall(kService, kPath, kInterface, QStringLiteral("GetCapabilities"));
    auto* watcher = new QDBusPendingCallWatcher(bus_->asyncCall(call), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [this](QDBusPendingCallWatcher* answered) {
        answered->deleteLater();
        asking_ = false;
        const QDBusPendingReply<QStringList> reply = *answered;
        if (reply.isError()) {
            // No server to answer: nothing is shown, and the next notification asks again.
            for (Slot& slot : slots_) {
                slot.show.reset();
                slot.close = false;
            }
            return;
        }
        markup_ = reply.value().contains(QStringLiteral("body-markup"));
        for (Slot& slot : slots_) pump(slot);
    });
}

void DesktopNotifications::pump(Slot& slot) {
    if (!connectBus()) {
        slot.show.reset();
        slot.close = false;
        return;
    }
    if (!markup_) return askCapabilities();
    // Until a Notify has answered, its id is unknown, and the next step of the same kind waits for it.
    if (slot.calling) return;
    if (std::exchange(slot.close, false)) {
        if (slot.id == 0) return;
        bus_->asyncCall(QDBusMessage::createMethodCall(kService, kPath, kInterface, QStringLiteral("CloseNotification"))
                        << slot.id);
        slot.id = 0;
        return;
    }
    if (!slot.show) return;
    const Notification notification = *std::exchange(slot.show, std::nullopt);
    slot.action = notification.action;
    const QString body = QString::fromStdString(notification.body);
    const QVariantMap hints{
        {QStringLiteral("desktop-entry"), QStringLiteral("app.tavix.menu")},
        {QStringLiteral("category"), QString::fromStdString(notification.category)},
    };
    QDBusMessage call = QDBusMessage::createMethodCall(kService, kPath, kInterface, QStringLiteral("Notify"));
    call << QStringLiteral("Tavix Link") << slot.id << QStringLiteral("app.tavix.menu")
         << QString::fromStdString(notification.summary) << (*markup_ ? body.toHtmlEscaped() : body)
         << QStringList{QStringLiteral("default"), QStringLiteral("Connection & Settings")} << hints
         << (notification.expires ? kExpiresMs : -1);
    slot.calling = true;
    auto* watcher = new QDBusPendingCallWatcher(bus_->asyncCall(call), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [this, &slot](QDBusPendingCallWatcher* answered) {
        answered->deleteLater();
        const QDBusPendingReply<uint> reply = *answered;
        slot.calling = false;
        slot.id = reply.isError() ? 0 : reply.value();
        pump(slot);
    });
}

DesktopNotifications::Slot* DesktopNotifications::slotWithId(uint id) {
    for (Slot& slot : slots_) {
        if (id != 0 && slot.id == id) return &slot;
    }
    return nullptr;
}

void DesktopNotifications::activationToken(uint id, const QString& token) {
    if (slotWithId(id) != nullptr) tokens_.insert(id, token);
}

void DesktopNotifications::actionInvoked(uint id, const QString& action) {
    Slot* slot = slotWithId(id);
    const QString token = tokens_.take(id);
    if (slot == nullptr || slot->target == nullptr || action != QLatin1String("default")) return;
    // The server's token lets our window come forward on Wayland; Qt presents it at the next raise. None is left
    // for child programs.
    if (token.isEmpty()) return slot->target->perform(slot->action);
    qputenv("XDG_ACTIVATION_TOKEN", token.toUtf8());
    slot->target->perform(slot->action);
    qunsetenv("XDG_ACTIVATION_TOKEN");
}

void DesktopNotifications::closed(uint id, uint) {
    tokens_.remove(id);
    if (Slot* slot = slotWithId(id)) slot->id = 0;
}

}  // namespace tavix
