#include "ConnectionStream.h"

#include <arpa/inet.h>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>

#include <algorithm>

namespace quillon::sim {

namespace {

// Waits are sliced so that a stop is noticed within this long.
constexpr int kSliceMs = 50;

void addressOf(const sockaddr_storage& address, std::string& ip, int& port) {
    char text[INET6_ADDRSTRLEN] = {};
    if (address.ss_family == AF_INET) {
        const auto* v4 = reinterpret_cast<const sockaddr_in*>(&address);
        inet_ntop(AF_INET, &v4->sin_addr, text, sizeof text);
        port = ntohs(v4->sin_port);
    } else if (address.ss_family == AF_INET6) {
        const auto* v6 = reinterpret_cast<const sockaddr_in6*>(&address);
        inet_ntop(AF_INET6, &v6->sin6_addr, text, sizeof text);
        port = ntohs(v6->sin6_port);
    }
    ip = text;
}

} // namespace

ConnectionStream::ConnectionStream(int socket, StopSignal& stop, StreamTimings timings)
    : m_socket(socket), m_stop(stop), m_timings(timings) {}

void ConnectionStream::beginRequest() {
    setMode(ConnectionMode::Normal);
}

void ConnectionStream::setMode(ConnectionMode mode, std::size_t bodyLimit) {
    m_mode = mode;
    m_bodyLimit = bodyLimit;
    m_bodySent = 0;
    m_headerMatch = 0;
    m_headerDone = false;
}

bool ConnectionStream::waitFor(short events, int timeoutMs) const {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (!m_stop.raised()) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                              deadline - std::chrono::steady_clock::now())
                              .count();
        if (left <= 0) {
            return false;
        }
        pollfd entry{m_socket, events, 0};
        const int ready = ::poll(&entry, 1, static_cast<int>(std::min<long long>(left, kSliceMs)));
        if (ready > 0) {
            return true;
        }
        if (ready < 0 && errno != EINTR) {
            return false;
        }
    }
    return false;
}

bool ConnectionStream::waitForRequest(int timeoutMs) {
    return m_begin < m_end || waitFor(POLLIN, timeoutMs);
}

bool ConnectionStream::is_readable() const {
    return m_begin < m_end || waitFor(POLLIN, m_timings.readTimeoutMs);
}

bool ConnectionStream::is_writable() const {
    return waitFor(POLLOUT, m_timings.writeTimeoutMs);
}

ssize_t ConnectionStream::read(char* ptr, size_t size) {
    if (m_begin == m_end) {
        if (!waitFor(POLLIN, m_timings.readTimeoutMs)) {
            return -1;
        }
        ssize_t got = 0;
        do {
            got = ::recv(m_socket, m_buffer.data(), m_buffer.size(), 0);
        } while (got < 0 && errno == EINTR);
        if (got <= 0) {
            return got;
        }
        m_begin = 0;
        m_end = static_cast<std::size_t>(got);
    }
    const std::size_t count = std::min(size, m_end - m_begin);
    std::memcpy(ptr, m_buffer.data() + m_begin, count);
    m_begin += count;
    return static_cast<ssize_t>(count);
}

bool ConnectionStream::sendAll(const char* ptr, std::size_t size) {
    while (size > 0) {
        if (!waitFor(POLLOUT, m_timings.writeTimeoutMs)) {
            return false;
        }
        const ssize_t sent = ::send(m_socket, ptr, size, MSG_NOSIGNAL);
        if (sent < 0) {
            if (errno == EINTR || errno == EAGAIN) {
                continue;
            }
            return false;
        }
        ptr += sent;
        size -= static_cast<std::size_t>(sent);
    }
    return true;
}

ssize_t ConnectionStream::write(const char* ptr, size_t size) {
    const auto whole = static_cast<ssize_t>(size);
    switch (m_mode) {
    case ConnectionMode::Close:
    case ConnectionMode::Hang:
        return whole; // swallowed: the peer gets nothing
    case ConnectionMode::Truncate: {
        // Headers go out whole; the body only up to its limit.
        std::size_t pass = 0;
        while (!m_headerDone && pass < size) {
            const char c = ptr[pass++];
            const char expected = "\r\n\r\n"[m_headerMatch];
            m_headerMatch = c == expected ? m_headerMatch + 1 : (c == '\r' ? 1 : 0);
            m_headerDone = m_headerMatch == 4;
        }
        if (m_headerDone) {
            const std::size_t room = m_bodyLimit - std::min(m_bodyLimit, m_bodySent);
            const std::size_t body = std::min(room, size - pass);
            m_bodySent += body;
            pass += body;
        }
        return sendAll(ptr, pass) ? whole : -1;
    }
    case ConnectionMode::Trickle: {
        const auto chunk = static_cast<std::size_t>(std::max(1, m_timings.trickleChunkBytes));
        for (std::size_t at = 0; at < size; at += chunk) {
            if (at > 0 && !m_stop.waitFor(std::chrono::milliseconds(m_timings.trickleDelayMs))) {
                return -1;
            }
            if (!sendAll(ptr + at, std::min(chunk, size - at))) {
                return -1;
            }
        }
        return whole;
    }
    case ConnectionMode::Normal:
        break;
    }
    return sendAll(ptr, size) ? whole : -1;
}

void ConnectionStream::get_remote_ip_and_port(std::string& ip, int& port) const {
    sockaddr_storage address{};
    socklen_t length = sizeof address;
    if (::getpeername(m_socket, reinterpret_cast<sockaddr*>(&address), &length) == 0) {
        addressOf(address, ip, port);
    }
}

void ConnectionStream::get_local_ip_and_port(std::string& ip, int& port) const {
    sockaddr_storage address{};
    socklen_t length = sizeof address;
    if (::getsockname(m_socket, reinterpret_cast<sockaddr*>(&address), &length) == 0) {
        addressOf(address, ip, port);
    }
}

} // namespace quillon::sim
