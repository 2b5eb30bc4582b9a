#include "CopyCommand.h"

#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <filesystem>
#include <thread>

#include "CliSession.h"
#include "engine/DownloadWorker.h"
#include "shell/CollectionRun.h"
#include "shell/ItemList.h"
#include "text/LocalTime.h"
#include "text/TextCodec.h"

namespace quillon::cli {
namespace {

std::atomic<bool> g_interrupted{false};

extern "C" void onInterrupt(int) {
    g_interrupted.store(true);
}

// Remembers how the data file came out, for the exit status.
class CopyListener : public engine::RunListener {
  public:
    void runFinished(const shell::RunCounters&) override {}
    void dataFileWritten(const std::string& path, bool ok, const std::string& reason) override {
        m_written = ok;
        if (!ok)
            printError("quillon-cli: the data file " + path + " was not written: " + reason);
    }
    bool written() const { return m_written; }

  private:
    std::atomic<bool> m_written{false};
};

std::string defaultSavePath() {
    return std::filesystem::current_path().string() + "/csv" + text::unixStampText(false) + ".csv";
}

} // namespace

int runCopy(CliSession& session, const std::string& listFile, const std::string& outCsv) {
    shell::ItemList list;
    if (!list.importFromFile(listFile)) {
        printError("quillon-cli: cannot read the list file " + listFile);
        return kExitUsage;
    }
    if (list.rowCount() == 0) {
        printError("quillon-cli: the list file " + listFile + " holds no item");
        return kExitUsage;
    }
    return copyList(session, list, outCsv.empty() ? defaultSavePath() : outCsv);
}

int copyList(CliSession& session, shell::ItemList& list, const std::string& savePath) {
    // A command-line user names a new folder as readily as an existing one.
    std::error_code ignored;
    const auto parent = std::filesystem::path(savePath).parent_path();
    if (!parent.empty())
        std::filesystem::create_directories(parent, ignored);
    session.settings().setSavePath(savePath);
    if (session.settings().values().outputName.empty()) {
        printError("quillon-cli: " + savePath + ": 请检查文件名是否正确！");
        return kExitUsage;
    }

    if (const int status = session.loadCredentials(); status != kExitOk)
        return status;

    shell::CollectionRun run;
    CopyListener listener;
    const engine::CopyJob job{.run = &run,
                              .list = &list,
                              .settings = &session.settings(),
                              .log = &session.log(),
                              .credentials = &session.credentials(),
                              .listener = &listener};
    if (!engine::startCopyRun(job)) {
        printError("quillon-cli: the run did not start");
        return kExitUsage;
    }

    std::signal(SIGINT, onInterrupt);
    std::signal(SIGTERM, onInterrupt);
    while (run.isRunning()) {
        if (g_interrupted.load()) {
            session.console().clearProgress();
            printError("quillon-cli: stopping; nothing is written");
            run.stop();
            return kExitInterrupted;
        }
        const shell::RunCounters counters = run.counters();
        session.console().showProgress(counters.itemsDone, counters.total);
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    run.waitUntilEnded();
    session.console().clearProgress();

    const shell::RunCounters counters = run.counters();
    std::printf("%s%d\n", "下载总数： ", counters.total);
    std::printf("%s%d\n", "成功下载： ", counters.successCount);
    std::printf("%s%d\n", "下载失败： ", counters.failureCount);
    std::fflush(stdout);
    return listener.written() ? kExitOk : kExitDataFileFailed;
}

} // namespace quillon::cli
