// The refresh path of the core beside the floor any reader of the same files pays: one read of
// status.json and three stat calls in plain POSIX.

#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "platform/system/files.h"
#include "platform/system/system_clock.h"
#include "state/state_directory.h"
#include "state/status.h"

namespace {

struct StateFixture {
    StateFixture() {
        std::string pattern = (std::filesystem::temp_directory_path() / "tavix-bench-XXXXXX").string();
        if (::mkdtemp(pattern.data()) == nullptr) std::abort();
        root = pattern;
        ::setenv("TAVIX_HOME", root.c_str(), 1);
        const double now = tavix::SystemClock().nowMilliseconds();
        std::ofstream(root / "status.json")
            << R"({"at":)" << static_cast<long long>(now + 3.6e6)
            << R"(,"connected":true,"busy":"","computer":true,"error":"",)"
            << R"("devices":[{"model":"Pixel 8","state":"device","screen":"awake"},{"model":"Galaxy S23","state":"unauthorized"}]})";
        std::ofstream(root / "token") << std::string(64, 'a');
    }
    ~StateFixture() { std::filesystem::remove_all(root); }
    std::filesystem::path root;
};

StateFixture& fixture() {
    static StateFixture instance;
    return instance;
}

void BM_RefreshCore(benchmark::State& state) {
    const tavix::StateDirectory directory(fixture().root);
    const tavix::SystemClock clock;
    for (auto _ : state) {
        auto status = tavix::readStatusFile(directory.entryPath("status.json").c_str());
        const bool paired = directory.paired();
        const bool paused = directory.paused();
        const bool loginDisabled = directory.loginDisabled();
        auto label = tavix::connectionLabel(paired, paused, status, clock.nowMilliseconds());
        auto phones = tavix::phoneLines(status);
        benchmark::DoNotOptimize(label);
        benchmark::DoNotOptimize(phones);
        benchmark::DoNotOptimize(loginDisabled);
    }
}
BENCHMARK(BM_RefreshCore);

void BM_RefreshFloor(benchmark::State& state) {
    const std::string status = (fixture().root / "status.json").string();
    const std::string markers[] = {(fixture().root / "token").string(), (fixture().root / "paused").string(),
                                   (fixture().root / "no-login").string()};
    char buffer[4096];
    for (auto _ : state) {
        int fd = ::open(status.c_str(), O_RDONLY | O_CLOEXEC);
        ssize_t got = ::read(fd, buffer, sizeof buffer);
        ::close(fd);
        struct stat info {};
        int found = 0;
        for (const auto& marker : markers) found += ::stat(marker.c_str(), &info) == 0;
        benchmark::DoNotOptimize(got);
        benchmark::DoNotOptimize(found);
    }
}
BENCHMARK(BM_RefreshFloor);

// status.json at the size limit: the plain shape beside the shapes that cost a reader most. Each reports its time
// as a multiple of the plain file's ("vs_plain"); the goal is at most 10, but for numbers of more than 19 digits,
// which take simdjson's exact and slower conversion (a file of them reads about as fast as every large file did
// with the streaming reader).
struct LargeStatus {
    std::string name;
    std::string text;
};

std::string filled(const std::string& head, const std::string& unit, const std::string& tail) {
    std::string text = head;
    const std::size_t size = tavix::kMaxStateFileBytes - 64;
    while (text.size() + unit.size() + tail.size() < size) text += unit;
    return text + tail;
}

const std::vector<LargeStatus>& largeStatuses() {
    static const std::vector<LargeStatus> all = [] {
        const std::string head = R"({"at":1750000000000,"connected":true,"devices":[)";
        const std::string device = R"({"model":"Pixel 8","state":"device","screen":"awake"},)";
        const std::string last = R"({"model":"Pixel 8","state":"device"}]})";
        std::string deep = R"("x":)" + std::string(1000, '[') + std::string(1000, ']') + ",";
        return std::vector<LargeStatus>{
            {"plain", filled(head, device, last)},
            {"wide_numbers", filled(head, R"({"model":"P","bytes":20000000000000000000},)", last)},
            {"dense_numbers", filled(R"({"at":1750000000000,"n":[)", "0,", "0]}")},
            {"small_objects", filled(R"({"at":1750000000000,"n":[)", "{},", "{}],\"n\":2e19}")},
            {"escapes", filled(R"({"error":")", R"(\u0301)", "\"}")},
            {"deep", filled("{", deep, R"("at":1})")},
            {"repeated_keys", filled("{", R"("at":1,)", R"("at":2})")},
        };
    }();
    return all;
}

std::filesystem::path largeStatusFile(const LargeStatus& one) {
    const std::filesystem::path path = fixture().root / ("large-" + one.name + ".json");
    if (!std::filesystem::exists(path)) std::ofstream(path) << one.text;
    return path;
}

double secondsToRead(const std::filesystem::path& path) {
    const auto start = std::chrono::steady_clock::now();
    benchmark::DoNotOptimize(tavix::readStatusFile(path.c_str()));
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

void BM_LargeStatus(benchmark::State& state) {
    const auto& all = largeStatuses();
    const LargeStatus& one = all[static_cast<std::size_t>(state.range(0))];
    static const double plain = [&] {
        std::vector<double> times;
        for (int i = 0; i < 5; ++i) times.push_back(secondsToRead(largeStatusFile(all[0])));
        std::sort(times.begin(), times.end());
        return times[2];
    }();
    const std::filesystem::path path = largeStatusFile(one);
    double total = 0;
    for (auto _ : state) total += secondsToRead(path);
    state.SetLabel(one.name);
    state.counters["vs_plain"] = total / static_cast<double>(state.iterations()) / plain;
}
BENCHMARK(BM_LargeStatus)->DenseRange(0, 6)->Unit(benchmark::kMillisecond);

// Reading a changed status at the size limit beside reading its bytes alone; the goal is at most 10.
void BM_LargeStatusVsItsBytes(benchmark::State& state) {
    const std::filesystem::path path = largeStatusFile(largeStatuses()[0]);
    double parsing = 0, reading = 0;
    for (auto _ : state) {
        parsing += secondsToRead(path);
        const auto start = std::chrono::steady_clock::now();
        benchmark::DoNotOptimize(tavix::readFile(path));
        reading += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    }
    state.counters["vs_bytes"] = parsing / reading;
}
BENCHMARK(BM_LargeStatusVsItsBytes)->Unit(benchmark::kMillisecond)->Iterations(8);

}  // namespace

BENCHMARK_MAIN();
