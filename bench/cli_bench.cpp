// `tavix status` as a user runs it (a new process each time) beside /bin/true, the floor of starting any program,
// and `tavix status --json` on a status file of 16 MiB.

#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "platform/system/system_clock.h"

extern char** environ;

namespace {

namespace fs = std::filesystem;

// A state directory with a token and a fresh status of `phones` phones, padded to `bytes` when that is larger.
struct StateFixture {
    StateFixture(int phones, std::size_t bytes) {
        std::string pattern = (fs::temp_directory_path() / "tavix-bench-XXXXXX").string();
        if (::mkdtemp(pattern.data()) == nullptr) std::abort();
        root = pattern;
        const double now = tavix::SystemClock().nowMilliseconds();
        std::string status = R"({"at":)" + std::to_string(static_cast<long long>(now + 3.6e6)) +
                             R"(,"connected":true,"computer":true,"error":"","devices":[)";
        for (int i = 0; i < phones; ++i) {
            status += std::string(i == 0 ? "" : ",") + R"({"model":"Pixel )" + std::to_string(i) +
                      R"(","state":"device","screen":"awake"})";
        }
        status += "]";
        if (status.size() + 2 < bytes) status += R"(,"log":")" + std::string(bytes - status.size() - 10, 'x') + "\"";
        status += "}";
        std::ofstream(root / "status.json") << status;
        std::ofstream(root / "token") << std::string(64, 'a');
    }
    ~StateFixture() { fs::remove_all(root); }
    fs::path root;
};

// Starts the program with its output thrown away and waits for it; the time it took.
double runMs(std::vector<std::string> argv, const fs::path& home) {
    ::setenv("TAVIX_HOME", home.c_str(), 1);
    std::vector<char*> pointers;
    for (auto& argument : argv) pointers.push_back(argument.data());
    pointers.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    ::posix_spawn_file_actions_init(&actions);
    ::posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    const auto start = std::chrono::steady_clock::now();
    pid_t pid = -1;
    if (::posix_spawn(&pid, pointers[0], &actions, nullptr, pointers.data(), environ) != 0) std::abort();
    int status = 0;
    ::waitpid(pid, &status, 0);
    const auto end = std::chrono::steady_clock::now();
    ::posix_spawn_file_actions_destroy(&actions);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) std::abort();
    return std::chrono::duration<double, std::milli>(end - start).count();
}

// Both in the same loop, so the machine's load weighs on them alike.
void BM_StatusBesideTrue(benchmark::State& state) {
    const StateFixture fixture(2, 0);
    double tavix = 0, floor = 0;
    for (auto _ : state) {
        floor += runMs({"/bin/true"}, fixture.root);
        tavix += runMs({TAVIX_CLI_BINARY, "status"}, fixture.root);
    }
    const auto runs = static_cast<double>(state.iterations());
    state.counters["true_ms"] = floor / runs;
    state.counters["status_ms"] = tavix / runs;
    state.counters["ratio"] = tavix / floor;
}
BENCHMARK(BM_StatusBesideTrue)->Unit(benchmark::kMillisecond)->Iterations(300);

void BM_StatusJsonOn16MiB(benchmark::State& state) {
    const StateFixture fixture(20, 16u * 1024 * 1024 - 1024);
    double total = 0;
    for (auto _ : state) total += runMs({TAVIX_CLI_BINARY, "status", "--json"}, fixture.root);
    state.counters["status_json_ms"] = total / static_cast<double>(state.iterations());
}
BENCHMARK(BM_StatusJsonOn16MiB)->Unit(benchmark::kMillisecond)->Iterations(30);

}  // namespace

BENCHMARK_MAIN();
