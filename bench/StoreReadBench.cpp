// Reading a 100-page store from the sandbox market (in this process) with
// 20 ms added to every answer. Five readers share the pages, so the ideal
// wall time is 100 / 5 x 20 ms. Last line: the ratio of the best of three
// runs to that ideal, from the readers' start to the last one's end.
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <string>

#include "acquisition/AddToList.h"
#include "net/Endpoints.h"
#include "shell/ActivityLog.h"
#include "shell/ItemList.h"
#include "sim/SandboxMarket.h"

using namespace quillon;

int main() {
    constexpr int kPages = 100;
    constexpr int kLatencyMs = 20;
    sim::MarketConfig config;
    config.storeCount = 1;
    config.itemsPerPage = 20;
    config.itemsPerStore = kPages * config.itemsPerPage;
    config.latencyMs = kLatencyMs;
    sim::SandboxMarket market;
    std::string error;
    if (!market.start(config, 0, &error)) {
        std::fprintf(stderr, "store_read_bench: %s\n", error.c_str());
        return 1;
    }
    net::setActiveEndpoints(market.endpoints());
    const std::string address = "http://" + market.catalog().storeHost(0) + "/";
    const double idealMs = double(kPages) / acquisition::AddToList::kReaderCount * kLatencyMs;

    double bestMs = 0;
    for (int run = 0; run < 3; ++run) {
        shell::ItemList list;
        shell::ActivityLog log;
        std::atomic<acquisition::CollectMode> mode{acquisition::CollectMode::Store};
        acquisition::AddToList adder(list, log, mode);
        adder.add(address); // the search page, then the readers start
        const auto start = std::chrono::steady_clock::now();
        adder.waitForReaders();
        const double ms =
            std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
                .count();
        if (list.rowCount() != config.itemsPerStore) {
            std::fprintf(stderr, "store_read_bench: %d rows, expected %d\n", list.rowCount(),
                         config.itemsPerStore);
            return 1;
        }
        std::printf("run %d: %d pages, %d rows in %.1f ms\n", run + 1, kPages, list.rowCount(), ms);
        bestMs = run == 0 ? ms : std::min(bestMs, ms);
    }
    std::printf(
        "store read: %.2f x the ideal %.0f ms (%.1f ms, 100 pages, 5 readers, 20 ms each)\n",
        bestMs / idealMs, idealMs, bestMs);
    return 0;
}
