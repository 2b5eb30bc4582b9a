#include "ConnectionHolder.h"

#include <algorithm>
#include <sys/socket.h>
#include <unistd.h>

namespace quillon::sim {

namespace {

void closeSocket(int socket) {
    ::shutdown(socket, SHUT_RDWR);
    ::close(socket);
}

} // namespace

ConnectionHolder::~ConnectionHolder() {
    releaseAll();
}

bool ConnectionHolder::hold(int socket, std::chrono::milliseconds cap) {
    std::lock_guard lock(m_mutex);
    if (m_closing || m_held.size() >= kMaxHeld) {
        return false;
    }
    m_held.emplace_back(socket, Clock::now() + cap);
    if (!m_expirer.joinable()) {
        m_expirer = std::thread([this] { expireLoop(); });
    }
    m_wake.notify_all();
    return true;
}

void ConnectionHolder::releaseAll() {
    std::vector<std::pair<int, Clock::time_point>> held;
    {
        std::lock_guard lock(m_mutex);
        m_closing = true;
        held.swap(m_held);
    }
    m_wake.notify_all();
    for (const auto& [socket, deadline] : held) {
        closeSocket(socket);
    }
    if (m_expirer.joinable()) {
        m_expirer.join();
    }
}

std::size_t ConnectionHolder::heldCount() const {
    std::lock_guard lock(m_mutex);
    return m_held.size();
}

void ConnectionHolder::expireLoop() {
    std::unique_lock lock(m_mutex);
    while (!m_closing) {
        const auto now = Clock::now();
        auto next = now + std::chrono::hours(1);
        for (auto it = m_held.begin(); it != m_held.end();) {
            if (it->second <= now) {
                closeSocket(it->first);
                it = m_held.erase(it);
            } else {
                next = std::min(next, it->second);
                ++it;
            }
        }
        m_wake.wait_until(lock, next);
    }
}

} // namespace quillon::sim
