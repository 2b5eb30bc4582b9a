#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "Catalog.h"
#include "MarketConfig.h"
#include "RequestLog.h"
#include "net/Endpoints.h"

namespace quillon::sim {

// The sandbox market: one loopback HTTP server that plays every remote party
// of the program (store and item pages, the open-platform gateway, the picture
// hosts and the configuration endpoint), told apart by the Host header. Hosts
// live under a reserved test domain; clients reach them through a CONNECT_TO
// rule that sends every host to 127.0.0.1:port().
//
// Start and stop from one thread (a test, a front end); the other calls are
// safe from any thread while it runs.
class SandboxMarket {
  public:
    SandboxMarket();
    ~SandboxMarket(); // stops
    SandboxMarket(const SandboxMarket&) = delete;
    SandboxMarket& operator=(const SandboxMarket&) = delete;

    // Listens on 127.0.0.1:port (0 picks a free port) and serves `config`.
    // False, with the reason in `error`, when it cannot listen or already runs.
    bool start(const MarketConfig& config, int port = 0, std::string* error = nullptr);

    // Stops serving: pending waits end at once, held connections are closed,
    // server threads are joined. The request log and catalog stay readable.
    void stop();

    bool running() const;
    int port() const; // 0 when not running

    // The endpoints file text: [ENDPOINTS] with the sandbox host names and
    // [CONNECT_TO] "*" pointing at 127.0.0.1:port().
    std::string endpointsIni() const;

    // The same as a value, for in-process use with net::setActiveEndpoints.
    net::Endpoints endpoints() const;

    std::vector<LoggedRequest> requestLog() const;
    std::uint64_t requestCount() const; // every request since the start
    void clearRequestLog();

    // What the market serves; the one of the last start (a default one before).
    const Catalog& catalog() const;
    const MarketConfig& config() const;

    // Correctly signed gateway calls made with this app key since the start.
    int callCount(std::string_view appKey) const;

  private:
    struct Impl;
    std::unique_ptr<Impl> m_impl;
};

} // namespace quillon::sim
