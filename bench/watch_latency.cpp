// How long a change in the state directory takes to reach the tooltip: the application's own start-up, watch
// and refresh on stand-in ports, with a main thread that runs what is posted to it. status.json is replaced (as
// the bridge does, by a rename) a few hundred times, alternating between two connection states, and each time the
// moment the tooltip shows the new state is noted. Prints the median and the 99th percentile; the goal is 100 ms.
//   bench_watch_latency [CHANGES]

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <deque>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "app/tavix_menu.h"
#include "platform/system/system_clock.h"

namespace {

using Clock = std::chrono::steady_clock;

class Queue final : public tavix::MainQueue {
  public:
    void post(std::function<void()> fn) override {
        std::lock_guard lock(mutex_);
        queue_.push_back(std::move(fn));
        posted_.notify_all();
    }
    // Runs what is posted until `done` holds or `limit` passes.
    bool runUntil(const std::function<bool()>& done, Clock::duration limit) {
        const auto end = Clock::now() + limit;
        while (!done()) {
            std::unique_lock lock(mutex_);
            if (!posted_.wait_until(lock, end, [this] { return !queue_.empty(); })) return false;
            auto next = std::move(queue_.front());
            queue_.pop_front();
            lock.unlock();
            next();
        }
        return true;
    }

  private:
    std::mutex mutex_;
    std::condition_variable posted_;
    std::deque<std::function<void()>> queue_;
};

class Item final : public tavix::StatusItem {
  public:
    void create(const std::string&, tavix::StatusItemDelegate&) override {}
    void setTooltip(const std::string& text) override {
        if (text != tooltip) shownAt = Clock::now();
        tooltip = text;
    }
    void setMenu(const std::vector<tavix::MenuRow>&) override {}
    bool shown() const override { return true; }
    std::string tooltip;
    Clock::time_point shownAt;
};

struct Quiet final : tavix::Dialogs,
                     tavix::SettingsView,
                     tavix::Desktop,
                     tavix::Http,
                     tavix::Application,
                     tavix::Notifier {
    void alert(const std::string&, const std::string&, tavix::Outcome) override {}
    std::optional<std::vector<std::string>> form(const std::string&, const std::string&,
                                                 const std::vector<tavix::FormField>&, const std::string&) override {
        return std::nullopt;
    }
    bool confirm(const std::string&, const std::string&, const std::string&) override { return false; }
    void raiseOpen() override {}
    std::optional<std::string> showPairingCode(const std::string&, const std::string&, std::function<void()>) override {
        return "no display";
    }
    void pairingProgress(const std::string&) override {}
    void closePairingCode() override {}
    void build(const std::string&, tavix::CommandTarget&) override {}
    void setLabels(const tavix::SettingsLabels&) override {}
    void present(bool) override {}
    bool focused() const override { return false; }
    void openUrl(const std::string&) override {}
    void openFile(const std::filesystem::path&) override {}
    void send(tavix::HttpRequest, std::function<void(tavix::HttpResponse)>) override {}
    void activate() override {}
    void terminate() override {}
    void startRepeatingTimer(double, std::function<void()>) override {}
    void runAfter(double, std::function<void()>) override {}
    tavix::InstanceClaim claimInstance(tavix::ApplicationDelegate&, const std::optional<std::string>&) override {
        return tavix::InstanceClaim::claimed;
    }
    void show(const tavix::Notification&, tavix::CommandTarget&) override {}
    void close(tavix::NotificationKind) override {}
};

void writeStatus(const std::filesystem::path& root, bool connected) {
    const double now = tavix::SystemClock().nowMilliseconds();
    const auto temporary = root / ".status.tmp";
    std::ofstream(temporary) << R"({"at":)" << static_cast<long long>(now) << R"(,"connected":)"
                             << (connected ? "true" : "false") << "}";
    std::filesystem::rename(temporary, root / "status.json");
}

double percentile(std::vector<double> values, double at) {
    std::sort(values.begin(), values.end());
    return values[std::min(values.size() - 1, static_cast<std::size_t>(at * static_cast<double>(values.size())))];
}

}  // namespace

int main(int argc, char** argv) {
    const int changes = argc > 1 ? std::atoi(argv[1]) : 300;
    std::string pattern = (std::filesystem::temp_directory_path() / "tavix-latency-XXXXXX").string();
    if (::mkdtemp(pattern.data()) == nullptr) return 1;
    const std::filesystem::path dir = pattern;
    const std::filesystem::path root = dir / "state";
    std::filesystem::create_directories(root);
    std::ofstream(root / "token") << std::string(64, 'a');
    ::setenv("TAVIX_HOME", root.c_str(), 1);

    Queue queue;
    Item item;
    Quiet quiet;
    tavix::SystemClock clock;
    tavix::Options options;
    options.instanceLock = dir / "instance.lock";
    options.serviceManager = tavix::ServiceManagerKind::systemd;
    std::vector<double> latencies;
    {
        tavix::TavixMenu menu({queue, quiet, item, quiet, quiet, quiet, quiet, clock, quiet}, options);
        menu.applicationDidFinishLaunching();
        for (int i = 0; i < changes; ++i) {
            const bool connected = i % 2 == 0;
            const std::string expected = connected ? "Tavix Link · Connected" : "Tavix Link · Server unreachable";
            const auto written = Clock::now();
            writeStatus(root, connected);
            if (!queue.runUntil([&] { return item.tooltip == expected; }, std::chrono::seconds(5))) {
                std::fprintf(stderr, "change %d never reached the tooltip\n", i);
                return 1;
            }
            latencies.push_back(std::chrono::duration<double, std::milli>(item.shownAt - written).count());
            // Apart, so that each change is one refresh of its own.
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
            queue.runUntil([] { return false; }, std::chrono::milliseconds(1));
        }
    }
    std::filesystem::remove_all(dir);
    std::printf(
        "write to tooltip over %d changes: median %.2f ms, 99th percentile %.2f ms, worst %.2f ms (goal: 100)\n",
        changes, percentile(latencies, 0.5), percentile(latencies, 0.99), percentile(latencies, 1.0));
    return percentile(latencies, 0.99) <= 100 ? 0 : 2;
}
