// A stand-in for the Tavix bridge, for trying the tray application without a server or a phone.
//
// It publishes what a real bridge would in the state directory: status.json rewritten every few seconds with
// the time, the connection, two phones and now and then a task; no new task while "paused" exists; a log.
//
//   tavix-simulated-bridge [--state DIR] [--interval SECONDS] [--count N]

#include <fcntl.h>
#include <unistd.h>

#include <nlohmann/json.hpp>

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <string>
#include <thread>

namespace {

volatile std::sig_atomic_t stopping = 0;

double nowMilliseconds() {
    using namespace std::chrono;
    return duration<double, std::milli>(system_clock::now().time_since_epoch()).count();
}

std::filesystem::path defaultState() {
    if (const char* home = std::getenv("TAVIX_HOME")) return home;
    const char* user = std::getenv("HOME");
    return std::filesystem::path(user != nullptr ? user : "/") / ".tavix";
}

// Written beside the target and renamed over it, as the real bridge does, so readers never see half a file.
bool publish(const std::filesystem::path& state, const std::string& text) {
    const auto temporary = state / (".status-" + std::to_string(::getpid()));
    {
        std::ofstream out(temporary, std::ios::trunc);
        out << text;
        if (!out) return false;
    }
    std::error_code error;
    std::filesystem::rename(temporary, state / "status.json", error);
    return !error;
}

void log(const std::filesystem::path& state, const std::string& line) {
    std::ofstream(state / "log", std::ios::app) << line << '\n';
}

}  // namespace

int main(int argc, char** argv) {
    std::filesystem::path state = defaultState();
    double interval = 2.0;
    long count = -1;
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string option = argv[i];
        if (option == "--state") {
            state = argv[i + 1];
        } else if (option == "--interval") {
            interval = std::atof(argv[i + 1]);
        } else if (option == "--count") {
            count = std::atol(argv[i + 1]);
        } else {
            std::cerr << "usage: " << argv[0] << " [--state DIR] [--interval SECONDS] [--count N]\n";
            return 2;
        }
    }
    if (interval <= 0) interval = 2.0;
    std::signal(SIGTERM, [](int) { stopping = 1; });
    std::signal(SIGINT, [](int) { stopping = 1; });

    std::error_code error;
    std::filesystem::create_directories(state, error);
    log(state, "simulated bridge started for " + state.string());

    long tick = 0;
    std::string task;
    int taskLeft = 0;
    while (!stopping && count != 0) {
        const bool paused = std::filesystem::exists(state / "paused");
        if (taskLeft > 0 && --taskLeft == 0) {
            log(state, "finished task: " + task);
            task.clear();
        }
        // A new task roughly every sixth tick, lasting a few ticks, never while paused.
        if (task.empty() && !paused && tick % 6 == 3) {
            task = "Summarise inbox #" + std::to_string(tick / 6 + 1);
            taskLeft = 3;
            log(state, "started task: " + task);
        }
        nlohmann::json status{
            {"at", static_cast<long long>(nowMilliseconds())},
            {"connected", true},
            {"computer", true},
            {"busy", task},
            {"error", ""},
            {"devices",
             {{{"model", "Pixel 8"}, {"state", "device"}, {"screen", tick % 10 < 7 ? "awake" : "locked"}},
              {{"model", "Galaxy Tab S9"}, {"state", "device"}}}},
        };
        if (!publish(state, status.dump())) {
            std::cerr << "cannot write " << (state / "status.json").string() << "\n";
            return 1;
        }
        ++tick;
        if (count > 0) --count;
        if (count == 0) break;
        std::this_thread::sleep_for(std::chrono::duration<double>(interval));
    }
    log(state, "simulated bridge stopped");
    return 0;
}
