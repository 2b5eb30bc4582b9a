#pragma once

// Aborts the test program when a test outlives its time budget, so that a
// hang fails the run instead of stalling it.

#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <thread>

namespace quillon::support {

class Watchdog {
  public:
    explicit Watchdog(std::chrono::seconds budget = std::chrono::seconds(60))
        : m_thread([this, budget] {
              std::unique_lock lock(m_mutex);
              if (!m_done.wait_for(lock, budget, [this] { return m_disarmed; })) {
                  std::fprintf(stderr, "test exceeded its time budget: hang\n");
                  std::abort();
              }
          }) {}
    ~Watchdog() {
        {
            std::lock_guard lock(m_mutex);
            m_disarmed = true;
        }
        m_done.notify_all();
        m_thread.join();
    }

  private:
    std::mutex m_mutex;
    std::condition_variable m_done;
    bool m_disarmed = false;
    std::thread m_thread;
};

} // namespace quillon::support
