// Building the status menu's rows from a typical status: done at every refresh while the menu is closed and at
// every opening.

#include <benchmark/benchmark.h>

#include "state/status.h"
#include "ui/status_menu.h"

namespace {

void BM_MenuModel(benchmark::State& state) {
    const tavix::Status status = tavix::parseStatus(
        R"({"at":1750000000000,"connected":true,"busy":"","computer":true,"error":"Phone Galaxy S23 went offline",)"
        R"("devices":[{"model":"Pixel 8","state":"device","screen":"awake"},{"model":"Galaxy S23","state":"offline"}]})");
    tavix::MenuInputs in;
    in.connectionLabel = "Connected";
    in.server = "https://tavix.app";
    in.fresh = true;
    in.now.paired = true;
    in.status = &status;
    for (auto _ : state) {
        auto rows = tavix::statusMenu(in);
        benchmark::DoNotOptimize(rows);
    }
}
BENCHMARK(BM_MenuModel);

}  // namespace

BENCHMARK_MAIN();
