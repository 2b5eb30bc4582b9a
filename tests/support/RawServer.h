#pragma once

// A bare TCP server on 127.0.0.1 and an ephemeral port for tests that need
// what an HTTP library does not give: the request bytes exactly as sent, any
// method name, a reply written byte for byte. Connections are served one
// after another on one thread; the destructor stops it and joins.

#include <arpa/inet.h>
#include <atomic>
#include <cctype>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <netinet/in.h>
#include <poll.h>
#include <stdexcept>
#include <string>
#include <string_view>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace quillon::support {

class RawServer {
  public:
    // Answers every request with `reply` and closes the connection.
    explicit RawServer(std::string reply) : m_reply(std::move(reply)) {
        m_listener = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        address.sin_port = 0;
        socklen_t length = sizeof(address);
        if (m_listener < 0 ||
            ::bind(m_listener, reinterpret_cast<sockaddr*>(&address), sizeof(address)) != 0 ||
            ::listen(m_listener, 16) != 0 ||
            ::getsockname(m_listener, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
            throw std::runtime_error("raw server: cannot listen");
        }
        m_port = ntohs(address.sin_port);
        m_thread = std::thread([this] { run(); });
    }

    RawServer(const RawServer&) = delete;
    RawServer& operator=(const RawServer&) = delete;

    ~RawServer() {
        m_stop = true;
        m_thread.join();
        ::close(m_listener);
    }

    int port() const { return m_port; }

    // "http://127.0.0.1:PORT" followed by `path`.
    std::string url(std::string_view path = "/") const {
        return "http://127.0.0.1:" + std::to_string(m_port) + std::string(path);
    }

    // Each request's bytes: request line, headers, blank line, body.
    std::vector<std::string> requests() const {
        std::lock_guard lock(m_mutex);
        return m_requests;
    }

    // The number of connections accepted so far.
    int connections() const { return m_connections; }

  private:
    // Waits up to 20 ms for `fd` to become readable; false on stop.
    bool readable(int fd) const {
        pollfd entry{fd, POLLIN, 0};
        return !m_stop && ::poll(&entry, 1, 20) > 0;
    }

    void run() {
        while (!m_stop) {
            if (!readable(m_listener)) {
                continue;
            }
            const int fd = ::accept(m_listener, nullptr, nullptr);
            if (fd < 0) {
                continue;
            }
            ++m_connections;
            serve(fd);
        }
    }

    void serve(int fd) {
        std::string request;
        std::size_t wanted = std::string::npos;
        while (!m_stop && request.size() < wanted) {
            if (!readable(fd)) {
                continue;
            }
            char buffer[4096];
            const ssize_t got = ::recv(fd, buffer, sizeof(buffer), 0);
            if (got <= 0) {
                break;
            }
            request.append(buffer, static_cast<std::size_t>(got));
            const auto headEnd = request.find("\r\n\r\n");
            if (wanted == std::string::npos && headEnd != std::string::npos) {
                wanted = headEnd + 4 + contentLength(request.substr(0, headEnd));
            }
        }
        {
            std::lock_guard lock(m_mutex);
            m_requests.push_back(request);
        }
        std::size_t sent = 0;
        while (sent < m_reply.size()) {
            const ssize_t wrote =
                ::send(fd, m_reply.data() + sent, m_reply.size() - sent, MSG_NOSIGNAL);
            if (wrote <= 0) {
                break;
            }
            sent += static_cast<std::size_t>(wrote);
        }
        ::close(fd);
    }

    static std::size_t contentLength(std::string head) {
        for (char& c : head) {
            c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        }
        const auto at = head.find("\r\ncontent-length:");
        return at == std::string::npos ? 0 : std::strtoul(head.c_str() + at + 17, nullptr, 10);
    }

    std::string m_reply;
    int m_listener = -1;
    int m_port = 0;
    std::atomic<bool> m_stop{false};
    std::atomic<int> m_connections{0};
    mutable std::mutex m_mutex;
    std::vector<std::string> m_requests;
    std::thread m_thread;
};

} // namespace quillon::support
