#include "SandboxServer.h"

#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <unistd.h>

namespace quillon::sim {

namespace {

thread_local ConnectionStream* t_connection = nullptr;

} // namespace

SandboxServer::SandboxServer(StopSignal& stop, StreamTimings timings,
                             std::chrono::milliseconds hangCap, int threads)
    : m_stop(stop), m_timings(timings), m_hangCap(hangCap) {
    const auto count = static_cast<std::size_t>(threads < 1 ? 1 : threads);
    new_task_queue = [count] { return new httplib::ThreadPool(count); };
    set_keep_alive_max_count(100);
    // The library's default also sets SO_REUSEPORT, which would let a second
    // market share a busy port and split its requests.
    set_socket_options([](socket_t sock) {
        int yes = 1;
        ::setsockopt(sock, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
    });
}

ConnectionStream* SandboxServer::currentConnection() {
    return t_connection;
}

void SandboxServer::widenBacklog(int backlog) {
    const socket_t sock = svr_sock_;
    if (sock != INVALID_SOCKET) {
        ::listen(sock, backlog); // a listening socket takes the new length
    }
}

bool SandboxServer::process_and_close_socket(socket_t sock) {
    // Headers and body go out in separate writes; without this a kept-alive
    // connection waits for the peer's delayed acknowledgement on every answer.
    int noDelay = 1;
    ::setsockopt(sock, IPPROTO_TCP, TCP_NODELAY, &noDelay, sizeof noDelay);
    ConnectionStream stream(sock, m_stop, m_timings);
    t_connection = &stream;
    bool ok = false;
    bool held = false;
    std::size_t left = keep_alive_max_count_;
    const int idleMs = static_cast<int>(keep_alive_timeout_sec_ * 1000);
    while (!m_stop.raised() && svr_sock_ != INVALID_SOCKET && left > 0 &&
           stream.waitForRequest(idleMs)) {
        stream.beginRequest();
        bool connectionClosed = false;
        ok = process_request(stream, left == 1, connectionClosed, nullptr);
        const ConnectionMode mode = stream.mode();
        if (mode == ConnectionMode::Hang) {
            held = m_holder.hold(sock, m_hangCap);
            break;
        }
        if (!ok || connectionClosed || mode == ConnectionMode::Close ||
            mode == ConnectionMode::Truncate) {
            break;
        }
        --left;
    }
    t_connection = nullptr;
    if (!held) {
        ::shutdown(sock, SHUT_RDWR);
        ::close(sock);
    }
    return ok;
}

} // namespace quillon::sim
