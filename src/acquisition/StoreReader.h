#pragma once

#include <atomic>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "acquisition/StoreScope.h"
#include "doc/RegexMatcher.h"
#include "shell/ItemList.h"

namespace quillon::shell {
class ActivityLog;
} // namespace quillon::shell

namespace quillon::acquisition {

// Pages above this many bytes are cut to their item region before matching.
inline constexpr std::size_t kLargePageBytes = 512000;

// The part of `page` that holds the items: the whole page up to
// kLargePageBytes; beyond, from the first "下一页" (or the start) up to the
// first "到第" after it, and nothing when there is no "到第".
std::string_view itemRegion(std::string_view page);

// The list-page address of page `page` for the mode and scope at the time of
// the claim; empty where the mode gives none (Single, None, or Category
// without a category number kind).
std::string listPageAddress(CollectMode mode, const ScopeSnapshot& scope, int page);

// Recognises the layout of list pages ("普通", "旺铺", "店铺街", tried in
// this order) and pulls their items out. Holds its own matchers, so it
// belongs to one thread.
class ListPageReader {
  public:
    ListPageReader();

    // The rows of one page text (cut when large): the first layout whose item
    // pattern matches, the i-th price paired with the i-th item (empty when
    // there are fewer prices), matches without an id skipped, nothing
    // trimmed. Item addresses point at `itemHost`.
    std::vector<shell::ItemEntry> read(std::string_view page, std::string_view itemHost);

  private:
    static constexpr int kTemplateCount = 3;
    doc::RegexMatcher m_items[kTemplateCount];
    doc::RegexMatcher m_prices[kTemplateCount];
};

// What the readers of one add share. Everything referenced outlives them.
struct ReaderContext {
    StoreScope* scope = nullptr;
    shell::ItemList* list = nullptr;
    shell::ActivityLog* log = nullptr;
    const std::atomic<CollectMode>* mode = nullptr;
    // Told the list's row count after each page; may be empty.
    std::function<void(int rowCount)> countLabel{};
    // Set to end the readers early (their fetches end with it).
    const std::atomic<bool>* stop = nullptr;
};

// One of the threads that share a store's or category's list pages: claims
// page numbers from the scope until none is left, fetches each page, appends
// its items to the list and logs its progress.
class StoreReader {
  public:
    StoreReader(ReaderContext context, int readerNumber);

    // The body of the reader's thread.
    void run();

  private:
    void log(const std::string& message);

    ReaderContext m_context;
    int m_readerNumber;
    ListPageReader m_pageReader;
};

} // namespace quillon::acquisition
