#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>

namespace quillon::sim {

// The market's "we are stopping" flag, with waits that it cuts short, so that
// no latency, trickle or idle connection ever holds up a stop.
class StopSignal {
  public:
    // Clears the flag for a new start.
    void reset() {
        std::lock_guard lock(m_mutex);
        m_stopping = false;
    }

    void raise() {
        {
            std::lock_guard lock(m_mutex);
            m_stopping = true;
        }
        m_wake.notify_all();
    }

    bool raised() const { return m_stopping.load(); }

    // Sleeps for `duration`; false when the stop came first.
    bool waitFor(std::chrono::milliseconds duration) {
        std::unique_lock lock(m_mutex);
        return !m_wake.wait_for(lock, duration, [this] { return m_stopping.load(); });
    }

  private:
    std::mutex m_mutex;
    std::condition_variable m_wake;
    std::atomic<bool> m_stopping{false};
};

} // namespace quillon::sim
