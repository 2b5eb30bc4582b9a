#pragma once

// An HTTP server on 127.0.0.1 and an ephemeral port for tests. It runs on a
// thread of its own from construction, records every request before its
// handler runs (its body once the handler has read it), and stops and joins
// on destruction.

#include <chrono>
#include <functional>
#include <httplib.h>
#include <map>
#include <mutex>
#include <stdexcept>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

namespace quillon::support {

// One request as the server saw it.
struct RecordedRequest {
    std::string method;
    std::string target; // as on the request line, query included
    httplib::Headers headers;
    std::string body;

    // The first value of a header (name without regard to case), "" when absent.
    std::string header(const std::string& name) const {
        const auto found = headers.find(name);
        return found == headers.end() ? std::string() : found->second;
    }
    bool hasHeader(const std::string& name) const { return headers.count(name) > 0; }
    std::size_t headerCount(const std::string& name) const { return headers.count(name); }
};

class LoopbackServer {
  public:
    using Routes = std::function<void(httplib::Server&)>;

    // `routes` registers the handlers; it runs before the server starts.
    explicit LoopbackServer(const Routes& routes) {
        m_server.set_pre_routing_handler(
            [this](const httplib::Request& request, httplib::Response&) {
                std::lock_guard lock(m_mutex);
                m_inFlight[&request] = m_requests.size();
                m_requests.push_back({request.method, request.target, request.headers, {}});
                return httplib::Server::HandlerResponse::Unhandled;
            });
        // The body is read only after routing began.
        m_server.set_post_routing_handler(
            [this](const httplib::Request& request, httplib::Response&) {
                std::lock_guard lock(m_mutex);
                const auto found = m_inFlight.find(&request);
                if (found != m_inFlight.end()) {
                    m_requests[found->second].body = request.body;
                    m_inFlight.erase(found);
                }
            });
        // One request per connection: a client's idle kept-alive connection
        // would otherwise hold up stopping for the keep-alive time-out.
        m_server.set_keep_alive_max_count(1);
        m_server.set_keep_alive_timeout(1);
        // Headers and body go out in two writes; without this a kept-alive
        // connection waits for the client's delayed acknowledgement each time.
        m_server.set_tcp_nodelay(true);
        routes(m_server);
        m_port = m_server.bind_to_any_port("127.0.0.1");
        if (m_port <= 0) {
            throw std::runtime_error("loopback server: cannot bind");
        }
        m_thread = std::thread([this] { m_server.listen_after_bind(); });
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        while (!m_server.is_running() && std::chrono::steady_clock::now() < deadline) {
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
    }

    ~LoopbackServer() {
        m_server.stop();
        m_thread.join();
    }

    LoopbackServer(const LoopbackServer&) = delete;
    LoopbackServer& operator=(const LoopbackServer&) = delete;

    int port() const { return m_port; }

    // "http://127.0.0.1:PORT" followed by `path`.
    std::string url(std::string_view path = "/") const {
        return "http://127.0.0.1:" + std::to_string(m_port) + std::string(path);
    }

    std::vector<RecordedRequest> requests() const {
        std::lock_guard lock(m_mutex);
        return m_requests;
    }

    // The latest request; an empty record when none came.
    RecordedRequest lastRequest() const {
        std::lock_guard lock(m_mutex);
        return m_requests.empty() ? RecordedRequest{} : m_requests.back();
    }

  private:
    httplib::Server m_server;
    int m_port = 0;
    std::thread m_thread;
    mutable std::mutex m_mutex;
    std::vector<RecordedRequest> m_requests;
    std::map<const httplib::Request*, std::size_t> m_inFlight;
};

} // namespace quillon::support
