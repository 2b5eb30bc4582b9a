#pragma once

// A loopback HTTP server that accepts every request, records it and holds its
// answer until release() (or 10 s): to a client it is a server that never
// answers. A client that returns with a body before release() did not wait.
// The destructor releases first, so stopping never waits on a held handler.

#include "LoopbackServer.h"

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>

namespace quillon::support {

class HoldingServer {
  public:
    // `body` is what a held request finally gets.
    explicit HoldingServer(std::string body = "late")
        : m_body(std::move(body)), m_server([this](httplib::Server& server) {
              const auto hold = [this](const httplib::Request&, httplib::Response& response) {
                  std::unique_lock lock(m_mutex);
                  m_released.wait_for(lock, std::chrono::seconds(10), [this] { return m_open; });
                  response.set_content(m_body, "text/plain");
              };
              server.Get(".*", hold);
              server.Post(".*", hold);
          }) {}

    ~HoldingServer() { release(); }

    HoldingServer(const HoldingServer&) = delete;
    HoldingServer& operator=(const HoldingServer&) = delete;

    // Lets every held and later request have its answer.
    void release() {
        std::lock_guard lock(m_mutex);
        m_open = true;
        m_released.notify_all();
    }

    // True once a request has reached the server, false after `limit`.
    bool waitForRequest(std::chrono::milliseconds limit = std::chrono::seconds(10)) const {
        const auto deadline = std::chrono::steady_clock::now() + limit;
        while (m_server.requests().empty()) {
            if (std::chrono::steady_clock::now() >= deadline) {
                return false;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        return true;
    }

    int port() const { return m_server.port(); }
    std::string url(std::string_view path = "/") const { return m_server.url(path); }
    const LoopbackServer& server() const { return m_server; }

  private:
    std::mutex m_mutex;
    std::condition_variable m_released;
    bool m_open = false;
    std::string m_body;
    LoopbackServer m_server; // last: its handlers use the members above
};

} // namespace quillon::support
