#pragma once

#include <chrono>

#include "cli/event_loop.h"
#include "platform/application.h"
#include "platform/notifier.h"
#include "platform/settings_view.h"
#include "platform/status_item.h"

namespace tavix::cli {

// A terminal has no tray icon: the menu's rows are read straight from the application when needed.
class NoStatusItem final : public StatusItem {
  public:
    void create(const std::string&, StatusItemDelegate&) override {}
    void setTooltip(const std::string&) override {}
    void setMenu(const std::vector<MenuRow>&) override {}
    bool shown() const override { return false; }
};

// Nor a settings window.
class NoSettingsView final : public SettingsView {
  public:
    void build(const std::string&, CommandTarget&) override {}
    void setLabels(const SettingsLabels&) override {}
    void present(bool) override {}
    bool focused() const override { return false; }
};

// Nor notifications: what a command has to say it prints, and a terminal keeps nothing on screen for later.
class NoNotifier final : public Notifier {
  public:
    void show(const Notification&, CommandTarget&) override {}
    void close(NotificationKind) override {}
};

// The running command: there is nothing to bring forward and no other copy to find.
class LoopApplication final : public Application {
  public:
    explicit LoopApplication(EventLoop& loop) : loop_(loop) {}
    void activate() override {}
    void terminate() override { loop_.stop(); }
    void startRepeatingTimer(double seconds, std::function<void()> tick) override { repeat(seconds, std::move(tick)); }
    InstanceClaim claimInstance(ApplicationDelegate&, const std::optional<std::string>&) override {
        return InstanceClaim::unavailable;
    }
    void runAfter(double seconds, std::function<void()> fn) override { loop_.after(duration(seconds), std::move(fn)); }

  private:
    static EventLoop::Clock::duration duration(double seconds) {
        return std::chrono::duration_cast<EventLoop::Clock::duration>(std::chrono::duration<double>(seconds));
    }
    void repeat(double seconds, std::function<void()> tick) {
        loop_.after(duration(seconds), [this, seconds, tick] {
            tick();
            repeat(seconds, tick);
        });
    }

    EventLoop& loop_;
};

}  // namespace tavix::cli
