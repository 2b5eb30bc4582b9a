#pragma once

#include <mutex>
#include <optional>
#include <string>

namespace quillon::acquisition {

// Which kind of address the address box takes; held by the front end and read
// anew by every add and by the readers for every page.
enum class CollectMode { None, Single, Category, Store };

// How a category is named in a store's list-page addresses.
enum class CategoryKind { NoCategory = 0, Scid = 1, CatId = 2 };

// One consistent reading of a StoreScope.
struct ScopeSnapshot {
    std::string storeHost{}; // no "http://", no "/"
    CategoryKind categoryKind = CategoryKind::NoCategory;
    std::string categoryId{}; // empty for a whole store
    int pageTotal = 0;
    int pagesTaken = 0;
};

// A page number handed to one reader, with the scope as it was at that moment.
struct PageClaim {
    int page = 0; // from 1
    ScopeSnapshot scope{};
};

// The store or category whose list pages the readers share. Every access
// holds one lock, so a page claim is one indivisible step. Safe from any
// thread.
class StoreScope {
  public:
    // Forgets the category (kind NoCategory, empty number); host and pages stay.
    void resetCategory();
    void setCategory(CategoryKind kind, const std::string& id);

    // A recognised store or category: host, pages to read, none taken yet.
    void startPages(const std::string& storeHost, int pageTotal);

    // The next page number (from 1), or none when every page is taken. The
    // test and the increment are one step: no two callers get the same page.
    std::optional<PageClaim> claimPage();

    ScopeSnapshot snapshot() const;

  private:
    mutable std::mutex m_mutex;
    ScopeSnapshot m_scope;
};

} // namespace quillon::acquisition
