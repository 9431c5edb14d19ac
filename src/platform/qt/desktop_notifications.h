#pragma once

#include <QDBusConnection>
#include <QHash>
#include <QObject>
#include <QString>

#include <array>
#include <optional>

#include "platform/notifier.h"

class QDBusPendingCallWatcher;

namespace tavix {

// The desktop's notifications, through its notification server (org.freedesktop.Notifications). Every call is
// asynchronous and every failure silent: a server that is slow, missing or gone costs the tray nothing.
class DesktopNotifications final : public QObject, public Notifier {
    Q_OBJECT
  public:
    // On `bus`, or on the session bus, which is then first reached at the first notification.
    explicit DesktopNotifications(std::optional<QDBusConnection> bus = std::nullopt) : bus_(std::move(bus)) {}

    void show(const Notification& notification, CommandTarget& target) override;
    void close(NotificationKind kind) override;

  private Q_SLOTS:
    void actionInvoked(uint id, const QString& action);
    void activationToken(uint id, const QString& token);
    void closed(uint id, uint reason);

  private:
    // One kind's notification: the server's id while ours is on screen, and what is to happen to it next.
    struct Slot {
        uint id = 0;
        std::optional<Notification> show;
        bool close = false;
        bool calling = false;  // a Notify call has not answered yet: its id is still to come
        CommandTarget* target = nullptr;
        Command action = Command::showSettings;
    };

    bool connectBus();
    void askCapabilities();
    void pump(Slot& slot);
    Slot* slotWithId(uint id);

    std::optional<QDBusConnection> bus_;
    bool connected_ = false;
    // Whether the server reads the body as markup; unknown until it has said.
    std::optional<bool> markup_;
    bool asking_ = false;
    std::array<Slot, 2> slots_;
    QHash<uint, QString> tokens_;  // xdg-activation tokens the server sent for an action of ours
};

}  // namespace tavix
