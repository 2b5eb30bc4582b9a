#include "acquisition/StoreScope.h"

namespace quillon::acquisition {

void StoreScope::resetCategory() {
    setCategory(CategoryKind::NoCategory, {});
}

void StoreScope::setCategory(CategoryKind kind, const std::string& id) {
    std::lock_guard lock(m_mutex);
    m_scope.categoryKind = kind;
    m_scope.categoryId = id;
}

void StoreScope::startPages(const std::string& storeHost, int pageTotal) {
    std::lock_guard lock(m_mutex);
    m_scope.storeHost = storeHost;
    m_scope.pageTotal = pageTotal;
    m_scope.pagesTaken = 0;
}

std::optional<PageClaim> StoreScope::claimPage() {
    std::lock_guard lock(m_mutex);
    if (m_scope.pagesTaken >= m_scope.pageTotal) {
        return std::nullopt;
    }
    ++m_scope.pagesTaken;
    return PageClaim{m_scope.pagesTaken, m_scope};
}

ScopeSnapshot StoreScope::snapshot() const {
    std::lock_guard lock(m_mutex);
    return m_scope;
}

} // namespace quillon::acquisition
