#pragma once

#include <cstdio>
#include <mutex>
#include <string>

#include "shell/ActivityLog.h"

namespace quillon::cli {

// Log lines for a terminal user: UTF-8 on stderr, and byte for byte (GBK,
// stamp + message + "\r\n") into a log file when one is named. When stderr is
// a terminal a progress line stays under the log lines.
class ConsoleLog : public shell::LogSink {
  public:
    ConsoleLog();
    ~ConsoleLog() override;

    // Opens (truncates) the log file; false with a reason when it cannot.
    bool openFile(const std::string& path, std::string* error);

    void appendLine(const std::string& line) override;

    // Shows "done / total" under the log lines (terminal only).
    void showProgress(int done, int total);
    void clearProgress();

  private:
    void eraseProgressLocked();

    std::mutex m_mutex;
    std::FILE* m_file = nullptr;
    bool m_terminal = false;
    std::string m_progress;
};

} // namespace quillon::cli
