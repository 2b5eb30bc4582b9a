#pragma once

#include <atomic>
#include <functional>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "acquisition/StoreScope.h"

namespace quillon::shell {
class ActivityLog;
class ItemList;
} // namespace quillon::shell

namespace quillon::acquisition {

// "添加到列表": recognises a typed address by the current CollectMode and fills
// the item list, at once for one item, or through five StoreReader threads
// for a store or a category. Owns the scope the readers share and the reader
// threads it starts. The list, the log and the mode must outlive it.
class AddToList {
  public:
    static constexpr int kReaderCount = 5;

    // Told the list's row count after each list page a reader finished (the
    // "宝贝数：" label). Called on reader threads, possibly several at once.
    using CountLabel = std::function<void(int rowCount)>;

    AddToList(shell::ItemList& list, shell::ActivityLog& log, const std::atomic<CollectMode>& mode,
              CountLabel countLabel = {});
    AddToList(const AddToList&) = delete;
    AddToList& operator=(const AddToList&) = delete;

    // Stops the readers (their fetches end within about 50 ms, no page is
    // claimed after that) and waits for them.
    ~AddToList();

    // One press of the button with `address` (GBK) in the address box. Runs
    // on the caller's thread and blocks during its fetches (two at most, 90
    // seconds each at worst). For a store or category it starts five more
    // readers and returns at once; readers of an earlier add keep running
    // and go on with the new scope. Problems are reported as log lines.
    void add(std::string_view address);

    // Waits until every reader started so far has ended. Front end's thread.
    void waitForReaders();

    // Ends the readers early: no page is claimed after this and fetches in
    // progress end within about 50 ms. Any thread; waitForReaders then
    // returns promptly. Final: later adds fetch nothing and start no readers.
    void stop();

    // True while a reader started so far is still running. Any thread.
    bool readersRunning() const;

    // The shared scope as it is now. Any thread.
    ScopeSnapshot scope() const;

  private:
    void addSingle(std::string_view address);
    void addStore(std::string_view address);
    void addCategory(std::string_view address);
    void countAndStart(const std::string& page, const std::string& host);
    void startReaders();
    std::string fetchText(std::string_view address);
    void log(const std::string& message);

    shell::ItemList& m_list;
    shell::ActivityLog& m_log;
    const std::atomic<CollectMode>& m_mode;
    CountLabel m_countLabel;
    StoreScope m_scope;
    std::atomic<bool> m_stop{false};
    std::atomic<int> m_runningReaders{0};
    mutable std::mutex m_threadsMutex;
    std::vector<std::thread> m_readers;
};

} // namespace quillon::acquisition
