#pragma once

#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "platform/application.h"
#include "platform/clock.h"
#include "platform/desktop.h"
#include "platform/dialogs.h"
#include "platform/main_queue.h"
#include "platform/notifier.h"
#include "platform/settings_view.h"
#include "platform/status_item.h"

namespace tavix::test {

// A main queue the test drains itself; posts may come from any thread.
class FakeMainQueue final : public MainQueue {
  public:
    void post(std::function<void()> fn) override;
    // Runs what is queued now (and what that queues in turn); returns how many ran.
    int drain();
    // Drains until `done` holds or `timeout` passes; returns `done()`.
    bool runUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout = std::chrono::seconds(20));

  private:
    std::mutex mutex_;
    std::condition_variable posted_;
    std::deque<std::function<void()>> queue_;
};

struct Message {
    std::string title;
    std::string text;
    bool operator==(const Message&) const = default;
};

struct FormRequest {
    std::string title;
    std::string text;
    std::vector<FormField> fields;
    std::string button;
};

class FakeDialogs final : public Dialogs {
  public:
    void alert(const std::string& title, const std::string& text, Outcome outcome) override {
        alerts.push_back({title, text});
        outcomes.push_back(outcome);
    }
    std::optional<std::vector<std::string>> form(const std::string& title, const std::string& text,
                                                 const std::vector<FormField>& fields,
                                                 const std::string& button) override;
    bool confirm(const std::string& title, const std::string& text, const std::string& button) override;
    void raiseOpen() override { ++raises; }
    // The QR code's window is the tray's and the terminal's business, tested there.
    std::optional<std::string> showPairingCode(const std::string&, const std::string&, std::function<void()>) override {
        return std::nullopt;
    }
    void pairingProgress(const std::string&) override {}
    void closePairingCode() override {}

    std::vector<Message> alerts;
    std::vector<Outcome> outcomes;  // one per alert
    std::vector<FormRequest> forms;
    std::vector<Message> confirmations;
    // Scripted answers, taken in order; a form with no answer left is cancelled, a confirmation refused.
    std::deque<std::optional<std::vector<std::string>>> formAnswers;
    std::deque<bool> confirmAnswers;
    // Runs while a form or a question is open, as a command arriving meanwhile would.
    std::function<void()> whileAsking;
    int raises = 0;
};

class FakeStatusItem final : public StatusItem {
  public:
    void create(const std::string& name, StatusItemDelegate& itemDelegate) override {
        ++creations;
        accessibleName = name;
        delegate = &itemDelegate;
    }
    void setTooltip(const std::string& text) override {
        tooltip = text;
        ++refreshes;  // every refresh sets the tooltip, and nothing else does
    }
    void setMenu(const std::vector<MenuRow>& newRows) override {
        rows = newRows;
        ++menuSets;
    }
    bool shown() const override { return inTray; }

    int creations = 0;
    std::string accessibleName;
    StatusItemDelegate* delegate = nullptr;
    std::string tooltip;
    std::vector<MenuRow> rows;
    int menuSets = 0;
    int refreshes = 0;
    bool inTray = true;
};

class FakeSettingsView final : public SettingsView {
  public:
    void build(const std::string& line, CommandTarget& commandTarget) override {
        ++builds;
        serverLine = line;
        target = &commandTarget;
    }
    void setLabels(const SettingsLabels& newLabels) override {
        labels = newLabels;
        ++labelSets;
    }
    void present(bool centre) override { presents.push_back(centre); }
    bool focused() const override { return hasFocus; }

    int builds = 0;
    std::string serverLine;
    CommandTarget* target = nullptr;
    std::optional<SettingsLabels> labels;
    int labelSets = 0;
    std::vector<bool> presents;
    bool hasFocus = false;
};

class FakeDesktop final : public Desktop {
  public:
    void openUrl(const std::string& url) override { urls.push_back(url); }
    void openFile(const std::filesystem::path& path) override { files.push_back(path); }
    std::vector<std::string> urls;
    std::vector<std::filesystem::path> files;
};

class FakeApplication final : public Application {
  public:
    void activate() override { ++activations; }
    void terminate() override { ++terminations; }
    void startRepeatingTimer(double seconds, std::function<void()> fn) override {
        timerSeconds = seconds;
        tick = std::move(fn);
    }
    InstanceClaim claimInstance(ApplicationDelegate& delegate, const std::optional<std::string>&) override {
        claimedFor = &delegate;
        return claim;
    }
    void runAfter(double seconds, std::function<void()> fn) override { later.push_back({seconds, std::move(fn)}); }
    int activations = 0;
    int terminations = 0;
    InstanceClaim claim = InstanceClaim::unavailable;  // as without a session bus: the lock file decides
    ApplicationDelegate* claimedFor = nullptr;
    std::optional<double> timerSeconds;
    std::function<void()> tick;
    std::vector<std::pair<double, std::function<void()>>> later;
};

// Each notification shown ("summary · body") or closed ("close connection", "close error"), in order.
struct FakeNotifier final : Notifier {
    void show(const Notification& n, CommandTarget&) override { calls.push_back(n.summary + " · " + n.body); }
    void close(NotificationKind kind) override {
        calls.push_back(kind == NotificationKind::connection ? "close connection" : "close error");
    }
    std::vector<std::string> calls;
};

class FakeClock final : public Clock {
  public:
    double nowMilliseconds() const override { return now; }
    double now = 1'750'000'000'000.0;
};

}  // namespace tavix::test
