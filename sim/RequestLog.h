#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

namespace quillon::sim {

// One request as the sandbox received it, and what became of it.
struct LoggedRequest {
    std::uint64_t number = 0; // 1 for the first request since the start
    std::string host;         // lower-case, without a port
    std::string method;
    std::string path;   // raw
    std::string query;  // raw, after the "?"
    std::string target; // raw request target
    std::vector<std::pair<std::string, std::string>> headers;
    std::chrono::system_clock::time_point time; // when it arrived
    int status = 0;                             // status sent; 0 when no answer was sent
    std::string fault; // the fault applied ("close", "hang", ...); empty for none
};

// The newest requests, up to a capacity, for tests and the command line.
// Thread-safe.
class RequestLog {
  public:
    explicit RequestLog(std::size_t capacity = 10000) : m_capacity(capacity) {}

    // Keeps the entry, dropping the oldest beyond the capacity; sets its number.
    void add(LoggedRequest entry);

    std::vector<LoggedRequest> entries() const;
    std::uint64_t total() const;
    void clear();

  private:
    mutable std::mutex m_mutex;
    std::size_t m_capacity;
    std::uint64_t m_total = 0;
    std::deque<LoggedRequest> m_entries;
};

} // namespace quillon::sim
