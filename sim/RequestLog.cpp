#include "RequestLog.h"

namespace quillon::sim {

void RequestLog::add(LoggedRequest entry) {
    std::lock_guard lock(m_mutex);
    entry.number = ++m_total;
    if (m_capacity == 0) {
        return;
    }
    if (m_entries.size() >= m_capacity) {
        m_entries.pop_front();
    }
    m_entries.push_back(std::move(entry));
}

std::vector<LoggedRequest> RequestLog::entries() const {
    std::lock_guard lock(m_mutex);
    return {m_entries.begin(), m_entries.end()};
}

std::uint64_t RequestLog::total() const {
    std::lock_guard lock(m_mutex);
    return m_total;
}

void RequestLog::clear() {
    std::lock_guard lock(m_mutex);
    m_entries.clear();
}

} // namespace quillon::sim
