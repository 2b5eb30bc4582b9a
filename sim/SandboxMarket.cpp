#include "SandboxMarket.h"

#include <chrono>
#include <thread>

#include "ConnectionStream.h"
#include "CredentialFeed.h"
#include "FaultPlan.h"
#include "GatewayService.h"
#include "ItemPages.h"
#include "PictureHost.h"
#include "QueryText.h"
#include "SandboxServer.h"
#include "SeedRandom.h"
#include "StopSignal.h"
#include "StorePages.h"
#include "text/GbkText.h"

namespace quillon::sim {

namespace {

constexpr std::string_view kServerErrorPage =
    "<html>\r\n<head><title>500 Internal Server Error</title></head>\r\n<body bgcolor=\"white\">"
    "\r\n<center><h1>500 Internal Server Error</h1></center>\r\n<hr><center>Tengine</center>\r\n"
    "</body>\r\n</html>\r\n";

std::string hostOf(const httplib::Request& request) {
    std::string host = request.get_header_value("Host");
    const std::size_t colon = host.rfind(':');
    if (colon != std::string::npos && host.find(']') == std::string::npos) {
        host.resize(colon);
    }
    return text::lowerAscii(host);
}

} // namespace

struct SandboxMarket::Impl {
    MarketConfig config;
    Catalog catalog;
    StopSignal stop;
    std::unique_ptr<RequestLog> log = std::make_unique<RequestLog>();
    std::unique_ptr<FaultPlan> faults;
    std::unique_ptr<GatewayService> gateway;
    std::unique_ptr<StorePages> stores;
    std::unique_ptr<ItemPages> items;
    std::unique_ptr<PictureHost> pictures;
    std::unique_ptr<CredentialFeed> feed;
    std::unique_ptr<SandboxServer> server;
    std::thread listener;
    int port = 0;

    void dispatch(const httplib::Request& request, httplib::Response& response);
    SimReply route(const SimRequest& request);
};

SimReply SandboxMarket::Impl::route(const SimRequest& request) {
    if (request.host == catalog.gatewayHost()) {
        return gateway->handle(request);
    }
    if (request.host == catalog.itemHost()) {
        return items->handle(request, false);
    }
    if (request.host == catalog.detailHost()) {
        return items->handle(request, true);
    }
    if (request.host == catalog.taobaoPictureHost() || request.host == catalog.otherPictureHost()) {
        return pictures->handle(request);
    }
    if (request.host == catalog.configHost()) {
        return feed->handle(request);
    }
    if (const auto store = catalog.storeForHost(request.host)) {
        return stores->handle(*store, request);
    }
    return SimReply{404, "text/html",
                    "<html><body><h1>404 Not Found</h1><p>unknown host</p></body></html>\n"};
}

void SandboxMarket::Impl::dispatch(const httplib::Request& request, httplib::Response& response) {
    LoggedRequest entry;
    entry.time = std::chrono::system_clock::now();

    SimRequest sim;
    sim.method = request.method;
    sim.host = hostOf(request);
    sim.target = request.target;
    const std::size_t question = sim.target.find('?');
    sim.path = sim.target.substr(0, question);
    sim.query = question == std::string::npos ? "" : sim.target.substr(question + 1);
    sim.body = request.body;

    // Gateway requests carry a fresh time stamp and signature each time;
    // they are told apart by item and key.
    std::string faultKey = sim.query;
    if (sim.host == catalog.gatewayHost()) {
        const QueryText query(sim.query, true);
        faultKey = query.value("num_iid").value_or("") + "|" + query.value("app_key").value_or("");
    }
    const FaultDecision decision = faults->decide(sim.host, sim.path, faultKey);
    ConnectionStream* connection = SandboxServer::currentConnection();
    std::optional<FaultKind> fault = decision.fault;
    if (decision.delayMs > 0 && !stop.waitFor(std::chrono::milliseconds(decision.delayMs))) {
        fault = FaultKind::Close; // stopping: nobody waits for the answer any more
    }

    SimReply reply = route(sim);
    if (fault == FaultKind::ServerError) {
        reply = SimReply{500, "text/html", std::string(kServerErrorPage)};
    } else if (fault == FaultKind::Garbage) {
        SeedRandom random(config.seed, SeedTag::Garbage,
                          {SeedRandom::textKey(sim.host), SeedRandom::textKey(sim.target)});
        std::string bytes(64 + random.below(2000), '\0');
        for (char& c : bytes) {
            c = static_cast<char>(random.next() & 0xFF);
        }
        reply.status = 200;
        reply.body = std::move(bytes);
    }
    int statusSent = reply.status;
    if (connection != nullptr && fault) {
        switch (*fault) {
        case FaultKind::Close:
            connection->setMode(ConnectionMode::Close);
            statusSent = 0;
            break;
        case FaultKind::Hang:
            connection->setMode(ConnectionMode::Hang);
            statusSent = 0;
            break;
        case FaultKind::Truncate:
            connection->setMode(ConnectionMode::Truncate, reply.body.size() / 2);
            break;
        case FaultKind::Trickle:
            connection->setMode(ConnectionMode::Trickle);
            break;
        default:
            break;
        }
    }

    response.status = reply.status;
    response.set_header("Server", "Tengine");
    response.set_header("Content-Type", reply.contentType);
    response.body = std::move(reply.body);

    entry.host = std::move(sim.host);
    entry.method = std::move(sim.method);
    entry.path = std::move(sim.path);
    entry.query = std::move(sim.query);
    entry.target = std::move(sim.target);
    entry.headers.assign(request.headers.begin(), request.headers.end());
    entry.status = statusSent;
    if (fault) {
        entry.fault = FaultPlan::kindName(*fault);
    }
    log->add(std::move(entry));
}

SandboxMarket::SandboxMarket() : m_impl(std::make_unique<Impl>()) {}

SandboxMarket::~SandboxMarket() {
    stop();
}

bool SandboxMarket::start(const MarketConfig& config, int port, std::string* error) {
    const auto fail = [error](std::string reason) {
        if (error != nullptr) {
            *error = std::move(reason);
        }
        return false;
    };
    Impl& m = *m_impl;
    if (m.server) {
        return fail("the sandbox market is already running");
    }
    m.config = config;
    m.catalog = Catalog(config);
    m.log = std::make_unique<RequestLog>(config.logCapacity);
    m.faults = std::make_unique<FaultPlan>(config.seed, config.faults, config.latencyMs);
    m.gateway = std::make_unique<GatewayService>(m.catalog, config.credentials);
    m.stores = std::make_unique<StorePages>(m.catalog, config.listPagePaddingBytes);
    m.items = std::make_unique<ItemPages>(m.catalog);
    m.pictures = std::make_unique<PictureHost>(m.catalog);
    m.feed = std::make_unique<CredentialFeed>(config.credentials, config.credentialListBody);
    m.stop.reset();

    StreamTimings timings;
    timings.trickleChunkBytes = config.faults.trickleChunkBytes;
    timings.trickleDelayMs = config.faults.trickleDelayMs;
    auto server = std::make_unique<SandboxServer>(
        m.stop, timings, std::chrono::milliseconds(config.faults.hangCapMs), config.threads);
    // Regular handlers rather than a pre-routing one: the library reads a
    // request's body only on the way to them.
    const auto handler = [impl = m_impl.get()](const httplib::Request& request,
                                               httplib::Response& response) {
        impl->dispatch(request, response);
    };
    const std::string any = R"([\s\S]*)";
    server->Get(any, handler);
    server->Post(any, handler);
    server->Put(any, handler);
    server->Delete(any, handler);
    server->Options(any, handler);

    int bound = port;
    if (port == 0) {
        bound = server->bind_to_any_port("127.0.0.1");
    } else if (!server->bind_to_port("127.0.0.1", port)) {
        bound = -1;
    }
    if (bound <= 0) {
        return fail("cannot listen on 127.0.0.1:" + std::to_string(port));
    }
    server->widenBacklog(512);

    SandboxServer* raw = server.get();
    m.listener = std::thread([raw] { raw->listen_after_bind(); });
    // stop() must not come before the listening loop is up: it would miss it.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (!raw->is_running() && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    m.server = std::move(server);
    m.port = bound;
    if (!raw->is_running()) {
        stop();
        return fail("the server loop did not start");
    }
    return true;
}

void SandboxMarket::stop() {
    Impl& m = *m_impl;
    if (!m.server) {
        return;
    }
    m.stop.raise();
    m.server->releaseHeld();
    m.server->stop();
    if (m.listener.joinable()) {
        m.listener.join();
    }
    m.server.reset();
    m.port = 0;
}

bool SandboxMarket::running() const {
    return m_impl->server != nullptr;
}

int SandboxMarket::port() const {
    return m_impl->port;
}

std::string SandboxMarket::endpointsIni() const {
    const Catalog& c = m_impl->catalog;
    return "[ENDPOINTS]\ngateway=" + c.gatewayHost() + "\nitem_host=" + c.itemHost() +
           "\ndetail_host=" + c.detailHost() + "\nconfig=http://" + c.configHost() +
           "\n\n[CONNECT_TO]\n; every sandbox host is served on this one loopback "
           "port\n*=127.0.0.1:" +
           std::to_string(m_impl->port) + "\n";
}

net::Endpoints SandboxMarket::endpoints() const {
    const Catalog& c = m_impl->catalog;
    net::Endpoints endpoints;
    endpoints.gateway = c.gatewayHost();
    endpoints.itemHost = c.itemHost();
    endpoints.detailHost = c.detailHost();
    endpoints.configBase = "http://" + c.configHost();
    endpoints.connectTo.push_back(net::ConnectRule{"*", 80, "127.0.0.1", m_impl->port});
    return endpoints;
}

std::vector<LoggedRequest> SandboxMarket::requestLog() const {
    return m_impl->log->entries();
}

std::uint64_t SandboxMarket::requestCount() const {
    return m_impl->log->total();
}

void SandboxMarket::clearRequestLog() {
    m_impl->log->clear();
}

const Catalog& SandboxMarket::catalog() const {
    return m_impl->catalog;
}

const MarketConfig& SandboxMarket::config() const {
    return m_impl->config;
}

int SandboxMarket::callCount(std::string_view appKey) const {
    return m_impl->gateway ? m_impl->gateway->callCount(appKey) : 0;
}

} // namespace quillon::sim
