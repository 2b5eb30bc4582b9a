#include "shell/CollectionRun.h"

#include <system_error>

namespace quillon::shell {
namespace {

// The run whose worker the current thread is, so that stop and wait called
// from a worker do not wait for that worker itself.
thread_local const CollectionRun* t_workerOf = nullptr;

constexpr auto kStopPollInterval = std::chrono::milliseconds(10);

} // namespace

CollectionRun::~CollectionRun() {
    stop();
}

bool CollectionRun::start(int total, std::function<void(int workerNumber)> body) {
    {
        std::lock_guard lock(m_mutex);
        if (m_aliveWorkers > 0)
            return false;
    }
    // The threads of the last run have left their bodies; joining them only
    // collects them.
    joinWorkers();
    {
        std::lock_guard lock(m_mutex);
        m_counters = RunCounters{};
        m_counters.total = total;
        m_csvRows.clear();
        m_paused = false;
        m_stopRequested = false;
    }
    for (int number = 1; number <= kWorkerCount; ++number) {
        std::lock_guard lock(m_mutex);
        try {
            m_workers.emplace_back(&CollectionRun::runWorker, this, body, number);
            ++m_aliveWorkers;
        } catch (const std::system_error&) {
            // A worker that cannot start is not reported: the run then never
            // finishes by itself and has to be stopped.
        }
    }
    return true;
}

void CollectionRun::runWorker(const std::function<void(int)>& body, int workerNumber) {
    t_workerOf = this;
    body(workerNumber);
    t_workerOf = nullptr;
    {
        std::lock_guard lock(m_mutex);
        --m_aliveWorkers;
    }
    m_ended.notify_all();
}

void CollectionRun::joinWorkers() {
    std::vector<std::thread> workers;
    {
        std::lock_guard lock(m_mutex);
        workers.swap(m_workers);
    }
    for (std::thread& worker : workers)
        worker.join();
}

void CollectionRun::pause() {
    std::lock_guard lock(m_mutex);
    m_paused = true;
}

void CollectionRun::resume() {
    {
        std::lock_guard lock(m_mutex);
        m_paused = false;
    }
    m_wake.notify_all();
}

bool CollectionRun::isPaused() const {
    std::lock_guard lock(m_mutex);
    return m_paused;
}

void CollectionRun::stop(const std::function<void()>& whileWaiting) {
    {
        // Set under the lock so that a worker about to wait cannot miss it.
        std::lock_guard lock(m_mutex);
        m_paused = false;
        m_stopRequested = true;
    }
    m_wake.notify_all();
    if (t_workerOf == this)
        return;

    std::unique_lock lock(m_mutex);
    while (m_aliveWorkers > 0) {
        if (whileWaiting) {
            // A worker may be waiting for this very thread inside a hand-over.
            lock.unlock();
            whileWaiting();
            lock.lock();
        }
        m_ended.wait_for(lock, kStopPollInterval, [this] { return m_aliveWorkers == 0; });
    }
    lock.unlock();
    joinWorkers();
}

bool CollectionRun::isStopRequested() const {
    return m_stopRequested;
}

bool CollectionRun::isRunning() const {
    std::lock_guard lock(m_mutex);
    return m_aliveWorkers > 0;
}

void CollectionRun::waitUntilEnded() {
    if (t_workerOf == this)
        return;
    joinWorkers();
}

std::optional<int> CollectionRun::takeNextItem() {
    std::lock_guard lock(m_mutex);
    if (m_counters.cursor >= m_counters.total)
        return std::nullopt;
    return ++m_counters.cursor;
}

void CollectionRun::itemDone() {
    std::lock_guard lock(m_mutex);
    ++m_counters.itemsDone;
}

void CollectionRun::addRow(const std::string& row) {
    std::lock_guard lock(m_mutex);
    m_csvRows += row;
    ++m_counters.successCount;
}

bool CollectionRun::checkpoint() {
    std::unique_lock lock(m_mutex);
    m_wake.wait(lock, [this] { return !m_paused || m_stopRequested; });
    return !m_stopRequested;
}

bool CollectionRun::workerFinished() {
    std::lock_guard lock(m_mutex);
    ++m_counters.finishedWorkers;
    return m_counters.finishedWorkers == kWorkerCount;
}

bool CollectionRun::sleepFor(std::chrono::milliseconds duration) {
    std::unique_lock lock(m_mutex);
    m_wake.wait_for(lock, duration, [this] { return m_stopRequested.load(); });
    return !m_stopRequested;
}

RunCounters CollectionRun::closeRun() {
    std::lock_guard lock(m_mutex);
    m_counters.failureCount = m_counters.total - m_counters.successCount;
    return m_counters;
}

RunCounters CollectionRun::counters() const {
    std::lock_guard lock(m_mutex);
    return m_counters;
}

std::string CollectionRun::csvRows() const {
    std::lock_guard lock(m_mutex);
    return m_csvRows;
}

} // namespace quillon::shell
