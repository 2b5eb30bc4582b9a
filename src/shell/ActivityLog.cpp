#include "shell/ActivityLog.h"

namespace quillon::shell {
namespace {

// 年 月 日 时 分 秒
constexpr std::string_view kYear = "\xC4\xEA";
constexpr std::string_view kMonth = "\xD4\xC2";
constexpr std::string_view kDay = "\xC8\xD5";
constexpr std::string_view kHour = "\xCA\xB1";
constexpr std::string_view kMinute = "\xB7\xD6";
constexpr std::string_view kSecond = "\xC3\xEB";

void appendPart(std::string& out, int number, std::string_view unit) {
    out += std::to_string(number);
    out += unit;
}

} // namespace

std::string ActivityLog::stamp() {
    return stamp(text::LocalTime::now());
}

std::string ActivityLog::stamp(const text::LocalTime& when) {
    std::string out;
    appendPart(out, when.year, kYear);
    appendPart(out, when.month, kMonth);
    appendPart(out, when.day, kDay);
    // The time is written down to its last part that is not zero.
    const int parts = when.second != 0 ? 3 : when.minute != 0 ? 2 : when.hour != 0 ? 1 : 0;
    if (parts >= 1)
        appendPart(out, when.hour, kHour);
    if (parts >= 2)
        appendPart(out, when.minute, kMinute);
    if (parts >= 3)
        appendPart(out, when.second, kSecond);
    return out;
}

void ActivityLog::addSink(LogSink* sink) {
    std::lock_guard lock(m_mutex);
    m_sinks.push_back(sink);
}

void ActivityLog::append(const std::string& line) {
    std::vector<LogSink*> sinks;
    {
        std::lock_guard lock(m_mutex);
        sinks = m_sinks;
    }
    for (LogSink* sink : sinks)
        sink->appendLine(line);
}

void ActivityLog::log(const std::string& message) {
    append(stamp() + message + "\r\n");
}

void MemoryLogSink::appendLine(const std::string& line) {
    std::lock_guard lock(m_mutex);
    m_lines.push_back(line);
}

std::vector<std::string> MemoryLogSink::lines() const {
    std::lock_guard lock(m_mutex);
    return m_lines;
}

std::string MemoryLogSink::text() const {
    std::lock_guard lock(m_mutex);
    std::string out;
    for (const std::string& line : m_lines)
        out += line;
    return out;
}

} // namespace quillon::shell
