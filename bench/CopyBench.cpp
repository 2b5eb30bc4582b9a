// A copy of N items, each with 3 main pictures and 1 property picture, from
// the sandbox market (a separate process) with 20 ms added to every answer.
// Each item costs 5 requests one after another, so with five workers the
// ideal wall time is N / 5 x 5 x 20 ms. Last line: ratio to the ideal, CPU
// seconds and peak memory of the copying process.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <sys/resource.h>

#include "SimProcess.h"
#include "api/CredentialList.h"
#include "engine/DownloadWorker.h"
#include "net/Endpoints.h"
#include "shell/ActivityLog.h"
#include "shell/CollectionRun.h"
#include "shell/ItemList.h"
#include "shell/Settings.h"
#include "sim/Catalog.h"

using namespace quillon;

namespace {

class CountingSink : public shell::LogSink {
  public:
    void appendLine(const std::string&) override {}
};

double cpuSeconds() {
    rusage usage{};
    ::getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

double peakMegabytes() {
    rusage usage{};
    ::getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_maxrss) / 1024.0;
}

} // namespace

int main(int argc, char** argv) {
    const int items = argc > 1 ? std::atoi(argv[1]) : 200;
    constexpr int kLatencyMs = 20;
    const auto folder = std::filesystem::temp_directory_path() /
                        ("quillon-copy-bench-" + std::to_string(::getpid()));
    std::filesystem::create_directories(folder);
    const std::string endpointsFile = (folder / "endpoints.ini").string();

    sim::MarketConfig config;
    config.storeCount = 1;
    config.itemsPerStore = items;
    config.mainPicturesPerItem = 3;
    config.propPicturesPerItem = 1;
    SimProcess market;
    if (!market.start({"--stores", "1", "--items", std::to_string(items), "--latency",
                       std::to_string(kLatencyMs), "--main-pictures", "3", "--prop-pictures", "1"},
                      endpointsFile)) {
        std::fprintf(stderr, "copy_bench: quillon-sim did not start\n");
        return 1;
    }
    std::string error;
    const auto endpoints = net::Endpoints::loadFile(endpointsFile, &error);
    if (!endpoints) {
        std::fprintf(stderr, "copy_bench: %s\n", error.c_str());
        return 1;
    }
    net::setActiveEndpoints(*endpoints);

    api::CredentialList credentials;
    if (!api::loadCredentials(credentials)) {
        std::fprintf(stderr, "copy_bench: no credential list\n");
        return 1;
    }
    const sim::Catalog catalog(config);
    shell::ItemList list;
    for (int i = 0; i < items; ++i) {
        list.append({catalog.itemTitle(0, i), catalog.itemPrice(0, i), "", catalog.itemId(0, i)});
    }
    shell::Settings settings;
    settings.setSavePath((folder / "items.csv").string());
    shell::ActivityLog log;
    CountingSink sink;
    log.addSink(&sink);
    shell::CollectionRun run;

    const engine::CopyJob job{.run = &run,
                              .list = &list,
                              .settings = &settings,
                              .log = &log,
                              .credentials = &credentials};

    const double cpuBefore = cpuSeconds();
    const auto start = std::chrono::steady_clock::now();
    if (!engine::startCopyRun(job)) {
        std::fprintf(stderr, "copy_bench: the run did not start\n");
        return 1;
    }
    run.waitUntilEnded();
    const double wall =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    const double cpu = cpuSeconds() - cpuBefore;
    const auto counters = run.counters();
    std::filesystem::remove_all(folder);

    const double ideal = items / 5.0 * 5 * kLatencyMs / 1000.0;
    std::printf("items %d, copied %d, failed %d\n", items, counters.successCount,
                counters.failureCount);
    std::printf("per item: %.2f ms wall, %.3f ms cpu\n", wall * 1000 / items, cpu * 1000 / items);
    std::printf("copy %d items: wall %.2f s = %.3f x ideal %.2f s, cpu %.2f s, peak %.1f MB\n",
                items, wall, wall / ideal, ideal, cpu, peakMegabytes());
    return counters.successCount == items ? 0 : 1;
}
