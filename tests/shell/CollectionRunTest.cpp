#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "Watchdog.h"
#include "shell/CollectionRun.h"

using namespace quillon::shell;
using namespace std::chrono_literals;

namespace {

using quillon::support::Watchdog;

void waitFor(const std::atomic<int>& counter, int value) {
    while (counter.load() < value)
        std::this_thread::yield();
}

// One result per worker number, written by the workers and read after they end.
using PerWorker = std::array<std::atomic<int>, CollectionRun::kWorkerCount + 1>;

TEST(CollectionRun, EveryItemIsTakenOnceAndOneWorkerClosesTheRun) {
    Watchdog watchdog;
    for (const int total : {12, 2, 0}) {
        CollectionRun run;
        std::mutex mutex;
        std::vector<std::vector<int>> taken(CollectionRun::kWorkerCount + 1);
        std::vector<int> workerNumbers;
        std::atomic<int> closers{0};
        RunCounters closed;
        ASSERT_TRUE(run.start(total, [&](int worker) {
            std::vector<int> mine;
            while (run.checkpoint()) {
                const std::optional<int> position = run.takeNextItem();
                if (!position)
                    break;
                mine.push_back(*position);
                if (*position % 2 == 1)
                    run.addRow("row" + std::to_string(*position) + "\n");
            }
            {
                std::lock_guard lock(mutex);
                taken[static_cast<std::size_t>(worker)] = mine;
                workerNumbers.push_back(worker);
            }
            if (run.workerFinished()) {
                ++closers;
                closed = run.closeRun();
            }
        }));
        run.waitUntilEnded();
        EXPECT_FALSE(run.isRunning());

        std::sort(workerNumbers.begin(), workerNumbers.end());
        EXPECT_EQ(workerNumbers, (std::vector<int>{1, 2, 3, 4, 5})) << total;
        std::vector<int> all;
        for (const std::vector<int>& mine : taken) {
            EXPECT_TRUE(std::is_sorted(mine.begin(), mine.end())) << total;
            all.insert(all.end(), mine.begin(), mine.end());
        }
        std::sort(all.begin(), all.end());
        std::vector<int> expected(static_cast<std::size_t>(total));
        for (int i = 0; i < total; ++i)
            expected[static_cast<std::size_t>(i)] = i + 1;
        EXPECT_EQ(all, expected) << total;

        const int successes = (total + 1) / 2;
        EXPECT_EQ(closers, 1) << total;
        EXPECT_EQ(closed.total, total);
        EXPECT_EQ(closed.cursor, total);
        EXPECT_EQ(closed.finishedWorkers, CollectionRun::kWorkerCount);
        EXPECT_EQ(closed.successCount, successes);
        EXPECT_EQ(closed.failureCount, total - successes);

        std::vector<std::string> rows;
        std::istringstream csv(run.csvRows());
        for (std::string line; std::getline(csv, line);)
            rows.push_back(line);
        std::sort(rows.begin(), rows.end());
        std::vector<std::string> expectedRows;
        for (int i = 1; i <= total; i += 2)
            expectedRows.push_back("row" + std::to_string(i));
        std::sort(expectedRows.begin(), expectedRows.end());
        EXPECT_EQ(rows, expectedRows) << total;
    }
}

TEST(CollectionRun, PauseHoldsEveryWorkerAtItsCheckpointUntilResume) {
    Watchdog watchdog;
    CollectionRun run;
    std::atomic<bool> go{false};
    std::atomic<int> arrived{0};
    std::atomic<int> passed{0};
    ASSERT_TRUE(run.start(0, [&](int) {
        while (!go)
            std::this_thread::yield();
        ++arrived;
        if (run.checkpoint())
            ++passed;
        run.workerFinished();
    }));
    run.pause();
    EXPECT_TRUE(run.isPaused());
    go = true;
    waitFor(arrived, CollectionRun::kWorkerCount);
    std::this_thread::sleep_for(20ms);
    EXPECT_EQ(passed, 0);
    EXPECT_TRUE(run.isRunning());

    run.resume();
    EXPECT_FALSE(run.isPaused());
    run.waitUntilEnded();
    EXPECT_EQ(passed, CollectionRun::kWorkerCount);
}

TEST(CollectionRun, StopWhilePausedEndsTheWorkers) {
    Watchdog watchdog;
    CollectionRun run;
    std::atomic<bool> go{false};
    std::atomic<int> arrived{0};
    PerWorker results{};
    ASSERT_TRUE(run.start(3, [&](int worker) {
        while (!go)
            std::this_thread::yield();
        ++arrived;
        results[static_cast<std::size_t>(worker)] = run.checkpoint() ? 1 : 2;
        if (results[static_cast<std::size_t>(worker)] == 1)
            run.takeNextItem();
    }));
    run.pause();
    go = true;
    waitFor(arrived, CollectionRun::kWorkerCount);
    EXPECT_FALSE(run.isStopRequested());
    EXPECT_FALSE(*run.cancelFlag());

    run.stop();
    EXPECT_FALSE(run.isRunning());
    EXPECT_TRUE(run.isStopRequested());
    EXPECT_TRUE(*run.cancelFlag());
    for (int worker = 1; worker <= CollectionRun::kWorkerCount; ++worker)
        EXPECT_EQ(results[static_cast<std::size_t>(worker)], 2) << worker;
    EXPECT_EQ(run.counters().cursor, 0);
}

TEST(CollectionRun, StopKeepsTheCallerServingWhileItWaits) {
    Watchdog watchdog;
    CollectionRun run;
    // Each worker waits for the stopping thread itself, as a worker blocked in
    // a hand-over to the GUI thread does.
    std::atomic<int> blocked{0};
    std::atomic<bool> served{false};
    ASSERT_TRUE(run.start(1, [&](int) {
        ++blocked;
        while (!served)
            std::this_thread::yield();
        run.checkpoint();
    }));
    waitFor(blocked, CollectionRun::kWorkerCount);
    run.stop([&served] { served = true; });
    EXPECT_FALSE(run.isRunning());
}

TEST(CollectionRun, SleepIsCutShortByStop) {
    Watchdog watchdog;
    CollectionRun run;
    PerWorker results{};
    ASSERT_TRUE(run.start(0, [&](int worker) {
        results[static_cast<std::size_t>(worker)] = run.sleepFor(1ms) ? 1 : 2;
    }));
    run.waitUntilEnded();
    for (int worker = 1; worker <= CollectionRun::kWorkerCount; ++worker)
        EXPECT_EQ(results[static_cast<std::size_t>(worker)], 1) << "undisturbed sleep";

    std::atomic<int> sleeping{0};
    ASSERT_TRUE(run.start(0, [&](int worker) {
        ++sleeping;
        results[static_cast<std::size_t>(worker)] = run.sleepFor(24h) ? 1 : 2;
    }));
    waitFor(sleeping, CollectionRun::kWorkerCount);
    run.stop();
    for (int worker = 1; worker <= CollectionRun::kWorkerCount; ++worker)
        EXPECT_EQ(results[static_cast<std::size_t>(worker)], 2) << "stopped sleep";
}

TEST(CollectionRun, AWorkerMayStopItsOwnRun) {
    Watchdog watchdog;
    CollectionRun run;
    std::atomic<int> after{0};
    ASSERT_TRUE(run.start(1000, [&](int worker) {
        if (worker == 1)
            run.stop();
        while (run.checkpoint() && run.takeNextItem()) {
        }
        ++after;
    }));
    run.waitUntilEnded();
    EXPECT_TRUE(run.isStopRequested());
    EXPECT_EQ(after, CollectionRun::kWorkerCount);
}

TEST(CollectionRun, StartIsRefusedWhileWorkersOfTheLastRunLive) {
    Watchdog watchdog;
    CollectionRun run;
    std::atomic<bool> release{false};
    ASSERT_TRUE(run.start(4, [&](int) {
        while (run.takeNextItem())
            run.addRow("r");
        while (!release)
            std::this_thread::yield();
        run.workerFinished();
    }));
    EXPECT_FALSE(run.start(1, [](int) {}));
    EXPECT_EQ(run.counters().total, 4);
    release = true;
    run.waitUntilEnded();
    EXPECT_EQ(run.counters().successCount, 4);
    EXPECT_EQ(run.csvRows(), "rrrr");

    ASSERT_TRUE(run.start(2, [&](int) { run.workerFinished(); }));
    run.waitUntilEnded();
    const RunCounters fresh = run.counters();
    EXPECT_EQ(fresh.total, 2);
    EXPECT_EQ(fresh.cursor, 0);
    EXPECT_EQ(fresh.successCount, 0);
    EXPECT_EQ(fresh.finishedWorkers, CollectionRun::kWorkerCount);
    EXPECT_EQ(run.csvRows(), "");
}

TEST(CollectionRun, AStoppedRunKeepsItsNumbersUntilTheNextStart) {
    Watchdog watchdog;
    CollectionRun run;
    std::atomic<int> done{0};
    ASSERT_TRUE(run.start(3, [&](int) {
        while (run.checkpoint() && run.takeNextItem())
            run.addRow("r");
        ++done;
        run.sleepFor(24h); // held until the stop
    }));
    waitFor(done, CollectionRun::kWorkerCount);
    run.pause(); // a paused run starts again unpaused
    run.stop();
    EXPECT_EQ(run.counters().successCount, 3);
    EXPECT_EQ(run.counters().finishedWorkers, 0);
    EXPECT_EQ(run.csvRows(), "rrr");

    std::atomic<int> passed{0};
    ASSERT_TRUE(run.start(0, [&](int) {
        if (run.checkpoint())
            ++passed;
    }));
    run.waitUntilEnded();
    EXPECT_EQ(passed, CollectionRun::kWorkerCount);
    EXPECT_FALSE(run.isStopRequested());
    EXPECT_EQ(run.counters().successCount, 0);
    EXPECT_EQ(run.csvRows(), "");
}

TEST(CollectionRun, DestroyingARunningRunStopsIt) {
    Watchdog watchdog;
    std::atomic<int> sleeping{0};
    {
        CollectionRun run;
        ASSERT_TRUE(run.start(0, [&](int) {
            ++sleeping;
            run.sleepFor(24h);
        }));
        waitFor(sleeping, CollectionRun::kWorkerCount);
    } // a hang here is caught by the watchdog
}

} // namespace
