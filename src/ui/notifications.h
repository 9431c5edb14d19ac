#pragma once

#include <array>
#include <deque>
#include <optional>
#include <string>

#include "platform/command.h"
#include "platform/notifier.h"

namespace tavix {

// What the notifications go by, as one refresh reads it.
struct NotificationInputs {
    std::string label;                 // the connection label
    std::optional<std::string> error;  // what the menu's error row shows, when it shows one
    double nowMs = 0;
    bool enabled = true;         // the user has not turned them off
    bool windowFocused = false;  // the settings window, which shows the state, has the keyboard focus
};

// A lost connection is told once it has stayed lost this long; each kind is told at most once per interval.
inline constexpr double kOfflineHoldMs = 30'000;
inline constexpr double kNotificationIntervalMs = 5 * 60'000;

// Tells the user, when no window of ours is in front, that the bridge needs them: a connection that was up and
// stays lost (and its return), and each new error. The state found at start-up is never news. Main thread only.
class NotificationRules {
  public:
    NotificationRules(Notifier& notifier, CommandTarget& target) : notifier_(notifier), target_(target) {}
    NotificationRules(const NotificationRules&) = delete;
    NotificationRules& operator=(const NotificationRules&) = delete;

    void observe(const NotificationInputs& in);

  private:
    enum class Link { up, down, other };
    static Link linkOf(const std::string& label);
    void connection(Link link, const NotificationInputs& in);
    void error(const std::string& text, const NotificationInputs& in);
    bool mayShow(NotificationKind kind, const NotificationInputs& in) const;
    void show(const Notification& notification, double nowMs);
    void remember(const std::string& text);

    Notifier& notifier_;
    CommandTarget& target_;
    bool started_ = false;
    Link link_ = Link::other;
    std::optional<double> downSince_;  // the connection went from up to lost then, and that is not told yet
    std::array<bool, 2> shown_{};      // by kind: ours is on screen, as far as we know
    std::array<std::optional<double>, 2> lastShown_;
    std::deque<std::string> errors_;  // the latest texts told, or found at start-up
};

}  // namespace tavix
