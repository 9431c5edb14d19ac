// The refresh path of the core beside the floor any reader of the same files pays: one read of
// status.json and three stat calls in plain POSIX.

#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "platform/clock.h"
#include "platform/files.h"
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

}  // namespace

BENCHMARK_MAIN();
