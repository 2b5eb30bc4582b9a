#pragma once

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <mutex>
#include <thread>
#include <utility>
#include <vector>

namespace quillon::sim {

// Keeps accepted connections open without answering them and without tying
// up a server thread: the sockets wait here until their cap runs out or the
// market stops. One small thread closes them when they expire.
class ConnectionHolder {
  public:
    ConnectionHolder() = default;
    ~ConnectionHolder();
    ConnectionHolder(const ConnectionHolder&) = delete;
    ConnectionHolder& operator=(const ConnectionHolder&) = delete;

    // Takes the socket over. False (the caller closes it) when stopping or full.
    bool hold(int socket, std::chrono::milliseconds cap);

    // Closes every held socket and refuses new ones.
    void releaseAll();

    std::size_t heldCount() const;

  private:
    using Clock = std::chrono::steady_clock;
    static constexpr std::size_t kMaxHeld = 1024;

    void expireLoop();

    mutable std::mutex m_mutex;
    std::condition_variable m_wake;
    std::vector<std::pair<int, Clock::time_point>> m_held;
    bool m_closing = false;
    std::thread m_expirer;
};

} // namespace quillon::sim
