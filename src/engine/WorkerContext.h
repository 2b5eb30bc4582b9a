#pragma once

#include <atomic>
#include <functional>
#include <string>

namespace quillon::shell {
class ActivityLog;
class Settings;
} // namespace quillon::shell

namespace quillon::engine {

// What the steps of one item need from the worker that runs them: where to
// log, which settings to read at the moment of use, the numbers that the log
// lines carry, and the flag that ends downloads at once when a run stops.
struct WorkerContext {
    shell::ActivityLog* log = nullptr;
    const shell::Settings* settings = nullptr;
    int workerNumber = 0; // W, 1..5
    int row = 0;          // R, 1-based position of the item in hand
    int total = 0;        // N, items of the run
    const std::atomic<bool>* cancel = nullptr;

    // The run's checkpoint: blocks while paused, false when the run is being
    // stopped (the step then ends without further work). Empty: always true.
    std::function<bool()> checkpoint;
};

} // namespace quillon::engine
