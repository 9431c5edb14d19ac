// The process runner beside the floor any runner pays: spawning /bin/true with plain posix_spawn, and copying a
// child's output through a bare pipe. The 1 GiB runs also report the resident memory the run added.

#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "control/child_environment.h"
#include "control/process_text.h"
#include "platform/system/child_process.h"

extern char** environ;

namespace {

constexpr long long kGiB = 1LL << 30;
const char* const kHead = "/usr/bin/head";

tavix::ChildRequest request(std::string executable, std::vector<std::string> arguments) {
    return tavix::ChildRequest{std::move(executable), std::move(arguments), tavix::currentEnvironment(), "", 60, {}};
}

long statusKiB(const char* field) {
    std::ifstream in("/proc/self/status");
    std::string line;
    const std::string prefix = std::string(field) + ":";
    while (std::getline(in, line)) {
        if (line.rfind(prefix, 0) == 0) return std::strtol(line.c_str() + prefix.size(), nullptr, 10);
    }
    return -1;
}

// Starts measuring the peak resident size afresh; returns the resident size now.
long resetPeak() {
    std::ofstream("/proc/self/clear_refs") << "5";
    return statusKiB("VmRSS");
}

void BM_RunnerTrue(benchmark::State& state) {
    const auto run = request("/bin/true", {});
    for (auto _ : state) {
        auto result = tavix::runChild(run);
        if (!result.started || result.status != 0) state.SkipWithError("run failed");
    }
}
BENCHMARK(BM_RunnerTrue)->Unit(benchmark::kMicrosecond);

// As the application runs it: on a thread of its own.
void BM_RunnerTrueOnWorker(benchmark::State& state) {
    const auto run = request("/bin/true", {});
    for (auto _ : state) {
        tavix::ChildResult result;
        std::thread([&] { result = tavix::runChild(run); }).join();
        if (!result.started || result.status != 0) state.SkipWithError("run failed");
    }
}
BENCHMARK(BM_RunnerTrueOnWorker)->Unit(benchmark::kMicrosecond);

void BM_SpawnTrueFloor(benchmark::State& state) {
    char* argv[] = {const_cast<char*>("/bin/true"), nullptr};
    for (auto _ : state) {
        pid_t pid = -1;
        if (::posix_spawn(&pid, "/bin/true", nullptr, nullptr, argv, environ) != 0) state.SkipWithError("spawn");
        int status = 0;
        ::waitpid(pid, &status, 0);
    }
}
BENCHMARK(BM_SpawnTrueFloor)->Unit(benchmark::kMicrosecond);

void BM_RunnerGiB(benchmark::State& state) {
    auto run = request(kHead, {"-c", std::to_string(kGiB), "/dev/zero"});
    long added = 0;
    for (auto _ : state) {
        const long before = resetPeak();
        tavix::OutputCollector collector;
        run.output = [&collector](std::string_view bytes) { collector.feed(bytes); };
        auto result = tavix::runChild(run);
        added = std::max(added, statusKiB("VmHWM") - before);
        if (result.status != 0 || collector.text().size() != 1800) state.SkipWithError("unexpected result");
    }
    state.SetBytesProcessed(state.iterations() * kGiB);
    state.counters["peak_added_KiB"] = static_cast<double>(added);
}
BENCHMARK(BM_RunnerGiB)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();

void BM_RawPipeGiB(benchmark::State& state) {
    const std::string count = std::to_string(kGiB);
    char* argv[] = {const_cast<char*>(kHead), const_cast<char*>("-c"), const_cast<char*>(count.c_str()),
                    const_cast<char*>("/dev/zero"), nullptr};
    std::vector<char> buffer(64 * 1024);
    for (auto _ : state) {
        int fds[2];
        if (::pipe2(fds, O_CLOEXEC) != 0) state.SkipWithError("pipe");
        posix_spawn_file_actions_t actions;
        ::posix_spawn_file_actions_init(&actions);
        ::posix_spawn_file_actions_adddup2(&actions, fds[1], STDOUT_FILENO);
        pid_t pid = -1;
        ::posix_spawn(&pid, kHead, &actions, nullptr, argv, environ);
        ::posix_spawn_file_actions_destroy(&actions);
        ::close(fds[1]);
        long long total = 0;
        for (ssize_t got; (got = ::read(fds[0], buffer.data(), buffer.size())) > 0;) total += got;
        ::close(fds[0]);
        int status = 0;
        ::waitpid(pid, &status, 0);
        if (total != kGiB) state.SkipWithError("short copy");
    }
    state.SetBytesProcessed(state.iterations() * kGiB);
}
BENCHMARK(BM_RawPipeGiB)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
