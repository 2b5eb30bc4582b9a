#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "Watchdog.h"
#include "shell/ActivityLog.h"

using namespace quillon::shell;
using quillon::text::LocalTime;

namespace {

using quillon::support::Watchdog;

TEST(ActivityLog, StampDropsTheTimePartsThatEndInZero) {
    struct Case {
        LocalTime when;
        const char* label;
        std::string expected;
    };
    // 年 C4EA 月 D4C2 日 C8D5 时 CAB1 分 B7D6 秒 C3EB
    const std::string date = "2013\xC4\xEA"
                             "6\xD4\xC2"
                             "10\xC8\xD5";
    const Case cases[] = {
        {{2013, 6, 10, 14, 5, 3},
         "14:05:03",
         date + "14\xCA\xB1"
                "5\xB7\xD6"
                "3\xC3\xEB"},
        {{2013, 6, 10, 14, 5, 0},
         "14:05:00",
         date + "14\xCA\xB1"
                "5\xB7\xD6"},
        {{2013, 6, 10, 14, 0, 0}, "14:00:00", date + "14\xCA\xB1"},
        {{2013, 6, 10, 9, 0, 0}, "09:00:00", date + "9\xCA\xB1"},
        {{2013, 6, 10, 0, 0, 0}, "00:00:00", date},
        {{2013, 6, 10, 9, 0, 5},
         "09:00:05",
         date + "9\xCA\xB1"
                "0\xB7\xD6"
                "5\xC3\xEB"},
        {{2013, 6, 10, 0, 0, 7},
         "00:00:07",
         date + "0\xCA\xB1"
                "0\xB7\xD6"
                "7\xC3\xEB"},
        {{2013, 6, 10, 0, 30, 0},
         "00:30:00",
         date + "0\xCA\xB1"
                "30\xB7\xD6"},
        {{2013, 6, 10, 23, 59, 59},
         "23:59:59",
         date + "23\xCA\xB1"
                "59\xB7\xD6"
                "59\xC3\xEB"},
        {{2024, 12, 1, 0, 0, 0},
         "2024-12-01",
         "2024\xC4\xEA"
         "12\xD4\xC2"
         "1\xC8\xD5"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(ActivityLog::stamp(c.when), c.expected) << c.label;
}

TEST(ActivityLog, LogWritesStampMessageAndLineBreak) {
    ActivityLog log;
    MemoryLogSink first;
    MemoryLogSink second;
    log.addSink(&first);
    log.addSink(&second);
    log.log("  message");
    const std::vector<std::string> lines = first.lines();
    ASSERT_EQ(lines.size(), 1u);
    const std::string& line = lines[0];
    ASSERT_GT(line.size(), 11u);
    EXPECT_EQ(line.substr(line.size() - 11), "  message\r\n");
    // The stamp starts with the year and carries the date.
    EXPECT_NE(line.find("\xC4\xEA"), std::string::npos);
    EXPECT_NE(line.find("\xC8\xD5"), std::string::npos);
    EXPECT_EQ(second.text(), line);
}

TEST(ActivityLog, LinesOfThreadsAppendingAtOnceStayWhole) {
    ActivityLog log;
    MemoryLogSink sink;
    log.addSink(&sink);
    constexpr int kLines = 500;
    const auto writer = [&log](char tag) {
        for (int i = 0; i < kLines; ++i)
            log.append(std::string(1, tag) + std::to_string(i) + std::string(200, tag) + "\r\n");
    };
    std::thread a(writer, 'a');
    std::thread b(writer, 'b');
    a.join();
    b.join();

    int next[2] = {0, 0};
    for (const std::string& line : sink.lines()) {
        ASSERT_TRUE(line[0] == 'a' || line[0] == 'b') << line;
        const char tag = line[0];
        int& expected = next[tag - 'a'];
        EXPECT_EQ(line,
                  std::string(1, tag) + std::to_string(expected) + std::string(200, tag) + "\r\n");
        ++expected;
    }
    EXPECT_EQ(next[0], kLines);
    EXPECT_EQ(next[1], kLines);
}

// A sink that returns only once two lines are inside it at the same time, as
// a GUI sink waiting for its own thread: the log must not hold a lock across
// the call, or the second line could never arrive.
class MeetingSink : public LogSink {
  public:
    void appendLine(const std::string&) override {
        std::unique_lock lock(m_mutex);
        ++m_inside;
        m_met.notify_all();
        m_met.wait(lock, [this] { return m_inside >= 2; });
    }

  private:
    std::mutex m_mutex;
    std::condition_variable m_met;
    int m_inside = 0;
};

TEST(ActivityLog, NoLockIsHeldWhileASinkRuns) {
    Watchdog watchdog(std::chrono::seconds(30));
    ActivityLog log;
    MeetingSink meeting;
    MemoryLogSink memory;
    log.addSink(&meeting);
    log.addSink(&memory);
    std::thread a([&log] { log.append("a\r\n"); });
    std::thread b([&log] { log.append("b\r\n"); });
    a.join();
    b.join();
    EXPECT_EQ(memory.lines().size(), 2u);
}

} // namespace
