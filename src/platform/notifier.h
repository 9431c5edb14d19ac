#pragma once

#include <string>

#include "platform/command.h"

namespace tavix {

// What a desktop notification is about. Each kind has at most one on screen: a new one takes the place of the last.
enum class NotificationKind { connection, error };

struct Notification {
    NotificationKind kind = NotificationKind::connection;
    std::string summary;
    std::string body;      // plain text
    std::string category;  // the desktop's category for it ("network.disconnected", …)
    bool expires = false;  // goes by itself after a few seconds, else stays as the desktop keeps its notifications
    Command action = Command::showSettings;  // what choosing it asks for
};

// The desktop's notifications. Nothing reaches the user where the desktop has none; no call reports that.
class Notifier {
  public:
    virtual ~Notifier() = default;
    // Shows `notification` in place of the one of its kind still shown; choosing it sends its action to `target`.
    virtual void show(const Notification& notification, CommandTarget& target) = 0;
    virtual void close(NotificationKind kind) = 0;
};

}  // namespace tavix
