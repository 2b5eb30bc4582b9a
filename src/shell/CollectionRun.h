#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace quillon::shell {

// The numbers of a run, as one consistent reading.
struct RunCounters {
    int total = 0;
    int cursor = 0;
    int finishedWorkers = 0;
    int successCount = 0;
    int failureCount = 0;
    int itemsDone = 0; // items a worker has finished, with or without a row (progress only)
};

// The state that the five workers of a run share, and the threads that run
// them. Every worker operation is indivisible under one lock, which is never
// held across a request, a file write or a call into a front end. The numbers
// and rows keep their values after the run ends or stops, until the next
// start. The end-of-run steps belong to the worker for which workerFinished
// returns true; closeRun, counters and csvRows give it what it needs.
class CollectionRun {
  public:
    static constexpr int kWorkerCount = 5;

    CollectionRun() = default;
    CollectionRun(const CollectionRun&) = delete;
    CollectionRun& operator=(const CollectionRun&) = delete;

    // Stops the run and waits for its workers.
    ~CollectionRun();

    // Resets the counters and rows for `total` items, releases a pause and a
    // stop, and starts the workers, numbered 1 to 5, each running `body`.
    // Refuses (false, nothing changed) while workers of an earlier run are
    // still alive. Called by the front end's thread.
    bool start(int total, std::function<void(int workerNumber)> body);

    // Holds and releases every worker at its next checkpoint. Any thread.
    void pause();
    void resume();
    bool isPaused() const;

    // Ends the run: releases a pause, sets the cancel flag, wakes sleeping
    // workers and waits until every worker has ended; `whileWaiting` runs
    // about every 10 ms on the caller's thread meanwhile (a GUI processes
    // events, so a worker blocked in a hand-over to it can finish). Called by
    // the front end's thread; from a worker it only requests the stop.
    void stop(const std::function<void()>& whileWaiting = {});
    bool isStopRequested() const;

    // True while workers of the run are alive.
    bool isRunning() const;

    // Waits until every worker thread has ended (the run finished or stopped).
    // Front end's thread; returns at once when called from a worker.
    void waitUntilEnded();

    // --- worker operations (worker threads) ---

    // The next 1-based position, or none when every item has been taken.
    std::optional<int> takeNextItem();

    // Appends one data row and counts it as a success, together.
    void addRow(const std::string& row);

    // Counts one item as done, whatever came of it; for progress displays.
    void itemDone();

    // Returns at once while running; blocks while paused; false when the run
    // is being stopped (the worker then ends at once).
    bool checkpoint();

    // A worker left its loop; true for exactly one caller, the last one, which
    // then performs the end of the run.
    bool workerFinished();

    // Sleeps up to `duration`, cut short by stop; false when stopped.
    bool sleepFor(std::chrono::milliseconds duration);

    // Set while a stop is requested; hand it to requests and downloads so
    // that they end at once.
    const std::atomic<bool>* cancelFlag() const { return &m_stopRequested; }

    // failureCount := total - successCount; returns the final numbers.
    RunCounters closeRun();

    RunCounters counters() const;
    std::string csvRows() const;

  private:
    void runWorker(const std::function<void(int)>& body, int workerNumber);
    void joinWorkers();

    mutable std::mutex m_mutex;
    std::condition_variable m_wake;  // pause released, stop requested
    std::condition_variable m_ended; // a worker thread ended
    RunCounters m_counters;
    std::string m_csvRows;
    bool m_paused = false;
    std::atomic<bool> m_stopRequested{false};
    int m_aliveWorkers = 0;
    std::vector<std::thread> m_workers;
};

} // namespace quillon::shell
