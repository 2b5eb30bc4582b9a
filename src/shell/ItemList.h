#pragma once

#include <mutex>
#include <string>
#include <string_view>
#include <vector>

namespace quillon::shell {

// One row of the item list, columns in display order. GBK texts.
struct ItemEntry {
    std::string name;
    std::string price;
    std::string address;
    std::string itemId;

    bool operator==(const ItemEntry&) const = default;
};

// Told about every change of an ItemList, after it happened. Called on the
// thread that made the change (a worker or a reader for appends), with no lock
// of the list held, so it may read the list; a GUI hands the call to its own
// thread and waits, so the change is shown on return. Calls of different
// threads may cross: when `position` is not the observer's next row, it
// re-reads rows().
class ItemListObserver {
  public:
    virtual ~ItemListObserver() = default;
    virtual void rowAppended(int position, const ItemEntry& entry) = 0;
    virtual void rowsReset() = 0; // clear, delete, import
};

// The rows a run copies. Every operation is safe from any thread; readers
// see the list as it is at that moment.
class ItemList {
  public:
    // One observer (or none); it must outlive the list's last change.
    void setObserver(ItemListObserver* observer);

    int rowCount() const;

    // The row at 0-based `position`; four empty texts past the end.
    ItemEntry row(int position) const;
    std::vector<ItemEntry> rows() const;

    void append(const ItemEntry& entry);
    void clear();

    // For each name, in order, deletes the first row (from the top) whose name
    // equals it, ASCII letters without regard to case: with two equal names,
    // the upper row goes even when the lower one was selected.
    void deleteByNames(const std::vector<std::string>& names);

    // The list file text: name||itemId||price||address\r\n per row, with the
    // blanks at both ends of the whole text removed.
    static std::string exportText(const std::vector<ItemEntry>& rows);

    // The rows of a list file text: lines end at LF (a CR before it is
    // dropped); each line is split at every "||" (a trail byte never counts)
    // and kept when it gives exactly four pieces, name||itemId||price||address
    // (an empty piece after a final "||" does not count); a NUL or 0x1A where
    // a line would start ends the reading.
    static std::vector<ItemEntry> parseListText(std::string_view text);

    // Writes exportText to `path`, replacing the file whole (temporary file and
    // rename); false with a reason naming the path when it cannot.
    bool exportToFile(const std::string& path, std::string* error = nullptr) const;

    // Empties the list, then appends the rows of the file at `path` (none
    // when it cannot be read). False when the file could not be read.
    bool importFromFile(const std::string& path);

  private:
    mutable std::mutex m_mutex;
    std::vector<ItemEntry> m_rows;
    ItemListObserver* m_observer = nullptr;
};

} // namespace quillon::shell
