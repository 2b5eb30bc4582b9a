#pragma once

#include <mutex>
#include <string>
#include <vector>

#include "text/LocalTime.h"

namespace quillon::shell {

// Where log lines are shown. Each front end (and each test) implements it.
class LogSink {
  public:
    virtual ~LogSink() = default;

    // One whole line: stamp + message + "\r\n", GBK. Called from any thread,
    // possibly from several at once; the implementation keeps lines whole and
    // returns only once the line is shown (a GUI hands it to its own thread
    // and waits). Never called with the log's own lock held.
    virtual void appendLine(const std::string& line) = 0;
};

// The operation log: every step of the network work is one line here.
class ActivityLog {
  public:
    // "2013年6月10日14时5分3秒": the date, then the time parts down to the last
    // one that is not zero (midnight gives the date alone).
    static std::string stamp();
    static std::string stamp(const text::LocalTime& when);

    // Adds a sink. Safe from any thread; a sink must outlive the log's last
    // append (there is no removal). The log does not own it.
    void addSink(LogSink* sink);

    // Hands one whole line to every sink, in the order they were added. Safe
    // from any thread; no lock of the log is held while a sink runs, so a sink
    // that waits for another thread cannot block that thread's appends.
    void append(const std::string& line);

    // stamp() + message + "\r\n", appended.
    void log(const std::string& message);

  private:
    mutable std::mutex m_mutex;
    std::vector<LogSink*> m_sinks;
};

// A sink that keeps every line, for tests and for front ends that show the
// backlog later. Thread-safe.
class MemoryLogSink : public LogSink {
  public:
    void appendLine(const std::string& line) override;
    std::vector<std::string> lines() const;
    std::string text() const;

  private:
    mutable std::mutex m_mutex;
    std::vector<std::string> m_lines;
};

} // namespace quillon::shell
