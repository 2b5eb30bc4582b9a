#pragma once

#include <chrono>
#include <string>

namespace quillon::api {
class CredentialList;
}
namespace quillon::shell {
class ActivityLog;
class CollectionRun;
class ItemList;
class Settings;
struct RunCounters;
} // namespace quillon::shell

namespace quillon::engine {

// What a front end shows of the end of a run. Called on the thread of the
// worker that closes the run; a GUI hands each call to its own thread and
// waits, so the worker goes on only when the call has been carried out.
class RunListener {
  public:
    virtual ~RunListener() = default;

    // The completion summary: the run's final numbers. The front end shows
    // them and restores its run buttons.
    virtual void runFinished(const shell::RunCounters& counters) = 0;

    // The data file was written to `path`, or could not be (`reason`).
    virtual void dataFileWritten(const std::string& path, bool ok, const std::string& reason) = 0;
};

// Everything the workers of a run share. The front end owns all of it and
// keeps it alive until the run has ended.
struct CopyJob {
    shell::CollectionRun* run = nullptr;
    shell::ItemList* list = nullptr;
    shell::Settings* settings = nullptr;
    shell::ActivityLog* log = nullptr;
    api::CredentialList* credentials = nullptr;
    RunListener* listener = nullptr; // may be null

    // The pause after every use of the last credential while answers are
    // refused; cut short by stop.
    std::chrono::milliseconds wrapPause{5000};
};

} // namespace quillon::engine
