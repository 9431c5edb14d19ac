#include "ui/notifications.h"

#include <algorithm>
#include <cstddef>
#include <utility>

namespace tavix {
namespace {

// Enough to keep a bridge that cycles through a few errors from repeating them.
constexpr std::size_t kRememberedErrors = 32;

std::size_t slot(NotificationKind kind) {
    return kind == NotificationKind::connection ? 0 : 1;
}

// A clock set back counts as time gone by, rather than holding notifications back for as long.
bool elapsed(double since, double now, double milliseconds) {
    return now - since >= milliseconds || now < since;
}

std::string offlineBody(const std::string& label) {
    if (label == "Server unreachable") {
        return label + ". Check this computer's network connection, or choose Restart Local Bridge from the menu.";
    }
    return label + ". Choose Restart Local Bridge from the menu.";
}

}  // namespace

NotificationRules::Link NotificationRules::linkOf(const std::string& label) {
    for (const char* up : {"Connected", "Task in progress", "Paused", "Pausing · current task finishing"}) {
        if (label == up) return Link::up;
    }
    return label == "Server unreachable" || label == "Bridge not running" ? Link::down : Link::other;
}

void NotificationRules::observe(const NotificationInputs& in) {
    const Link link = linkOf(in.label);
    if (!started_ || !in.enabled) {
        // What is there at start-up, or while the user wants none, is no news later on.
        started_ = true;
        for (const NotificationKind kind : {NotificationKind::connection, NotificationKind::error}) {
            if (std::exchange(shown_[slot(kind)], false)) notifier_.close(kind);
        }
        downSince_.reset();
        link_ = link;
        if (in.error) remember(*in.error);
        return;
    }
    connection(link, in);
    link_ = link;
    if (in.error) error(*in.error, in);
}

void NotificationRules::connection(Link link, const NotificationInputs& in) {
    constexpr auto kind = NotificationKind::connection;
    if (link == Link::down) {
        if (link_ == Link::up) downSince_ = in.nowMs;
        if (downSince_ && elapsed(*downSince_, in.nowMs, kOfflineHoldMs) && mayShow(kind, in)) {
            downSince_.reset();
            show({kind, "Tavix Link is offline", offlineBody(in.label), "network.disconnected"}, in.nowMs);
        }
        return;
    }
    downSince_.reset();
    if (!std::exchange(shown_[slot(kind)], false)) return;
    // The return takes the place of the loss, and is not news enough to count against the interval.
    if (link == Link::up && !in.windowFocused) {
        notifier_.show({kind, "Tavix Link is connected again", in.label, "network.connected", true}, target_);
    } else {
        notifier_.close(kind);
    }
}

void NotificationRules::error(const std::string& text, const NotificationInputs& in) {
    constexpr auto kind = NotificationKind::error;
    // Held back, an error is told once it may be, when it is still the bridge's error then.
    if (std::find(errors_.begin(), errors_.end(), text) != errors_.end() || !mayShow(kind, in)) return;
    remember(text);
    show({kind, "The bridge reports an error", text, "network.error"}, in.nowMs);
}

bool NotificationRules::mayShow(NotificationKind kind, const NotificationInputs& in) const {
    const auto& last = lastShown_[slot(kind)];
    return !in.windowFocused && (!last || elapsed(*last, in.nowMs, kNotificationIntervalMs));
}

void NotificationRules::show(const Notification& notification, double nowMs) {
    notifier_.show(notification, target_);
    shown_[slot(notification.kind)] = true;
    lastShown_[slot(notification.kind)] = nowMs;
}

void NotificationRules::remember(const std::string& text) {
    if (std::find(errors_.begin(), errors_.end(), text) != errors_.end()) return;
    errors_.push_back(text);
    if (errors_.size() > kRememberedErrors) errors_.pop_front();
}

}  // namespace tavix
