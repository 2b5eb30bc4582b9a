// Requests per second that the sandbox market serves on one processor: the
// server (a separate process) is bound to processor 0, the clients to the
// others, and they ask for a mix of list pages, item pages, pictures and
// signed gateway calls over kept-alive connections for a few seconds.
#include <httplib.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <sched.h>
#include <string>
#include <thread>
#include <vector>

#include "SimProcess.h"
#include "api/ApiRequest.h"
#include "net/Endpoints.h"
#include "sim/Catalog.h"

using namespace quillon;

int main() {
    const auto folder = std::filesystem::temp_directory_path() /
                        ("quillon-sim-bench-" + std::to_string(::getpid()));
    std::filesystem::create_directories(folder);
    const std::string endpointsFile = (folder / "endpoints.ini").string();
    SimProcess market;
    if (!market.start({}, endpointsFile, 0)) {
        std::fprintf(stderr, "sim_throughput: quillon-sim did not start\n");
        return 1;
    }
    const auto endpoints = net::Endpoints::loadFile(endpointsFile);
    std::filesystem::remove_all(folder);
    const net::ConnectRule* rule = endpoints ? endpoints->connectRuleFor("any.host", 80) : nullptr;
    if (rule == nullptr) {
        std::fprintf(stderr, "sim_throughput: no endpoints\n");
        return 1;
    }
    const int port = rule->targetPort;

    const sim::Catalog catalog;
    const sim::ItemInfo item = catalog.item(0, 0);
    const auto credential = sim::MarketConfig::defaultCredentials().front();
    struct Target {
        std::string host, path;
    };
    std::vector<Target> targets = {
        {catalog.storeHost(0), "/search.htm?&pageNum=1"},
        {catalog.itemHost(), "/item.htm?id=" + item.id},
        {item.mainPictures.front().host, item.mainPictures.front().target},
    };

    const unsigned processors = std::max(2u, std::thread::hardware_concurrency());
    const int clients = 4;
    std::atomic<bool> done{false};
    std::atomic<long> served{0};
    std::vector<std::thread> threads;
    for (int c = 0; c < clients; ++c) {
        threads.emplace_back([&, c] {
            cpu_set_t set;
            CPU_ZERO(&set);
            for (unsigned p = 1; p < processors; ++p)
                CPU_SET(p, &set);
            ::sched_setaffinity(0, sizeof set, &set);
            httplib::Client client("127.0.0.1", port);
            client.set_keep_alive(true);
            for (long n = c; !done.load(); ++n) {
                Target target;
                if (n % 4 == 3) {
                    // A fresh signature each time, as the workers make them.
                    const std::string address =
                        api::ApiRequest::forItem(item.id, credential.appKey, credential.appSecret,
                                                 text::LocalTime::now(), catalog.gatewayHost());
                    std::string path = address.substr(address.find("/router/rest"));
                    for (std::size_t at = path.find(' '); at != std::string::npos;
                         at = path.find(' '))
                        path.replace(at, 1, "%20");
                    target = {catalog.gatewayHost(), path};
                } else {
                    target = targets[static_cast<std::size_t>(n % 4)];
                }
                auto result = client.Get(target.path.c_str(), {{"Host", target.host}});
                if (result && result->status == 200)
                    served.fetch_add(1);
            }
        });
    }
    const auto start = std::chrono::steady_clock::now();
    std::this_thread::sleep_for(std::chrono::seconds(3));
    done.store(true);
    for (auto& thread : threads)
        thread.join();
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    std::printf("sandbox: %.0f requests/s on one core (%ld answers in %.2f s, %d clients)\n",
                static_cast<double>(served.load()) / seconds, served.load(), seconds, clients);
    return 0;
}
