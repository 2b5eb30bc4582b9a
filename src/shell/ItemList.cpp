#include "shell/ItemList.h"

#include <algorithm>

#include "shell/PrivateProfile.h"
#include "text/GbkText.h"
#include "text/Trim.h"

namespace quillon::shell {
namespace {

constexpr std::string_view kFieldSeparator = "||";

// Fills `entry` from one list file line; false unless it gives exactly four pieces.
bool splitListLine(std::string_view line, ItemEntry& entry) {
    std::string_view pieces[4];
    std::size_t count = 0;
    std::size_t start = 0;
    for (;;) {
        // "|" can be the trail byte of a double-byte character.
        const std::size_t hit = text::findText(line, kFieldSeparator, start);
        const std::string_view piece = line.substr(
            start, hit == std::string_view::npos ? std::string_view::npos : hit - start);
        if (hit == std::string_view::npos) {
            if (!(piece.empty() && start > 0)) {
                if (count == 4)
                    return false;
                pieces[count++] = piece;
            }
            break;
        }
        if (count == 4)
            return false;
        pieces[count++] = piece;
        start = hit + kFieldSeparator.size();
    }
    if (count != 4)
        return false;
    entry.name = pieces[0];
    entry.itemId = pieces[1];
    entry.price = pieces[2];
    entry.address = pieces[3];
    return true;
}

} // namespace

void ItemList::setObserver(ItemListObserver* observer) {
    std::lock_guard lock(m_mutex);
    m_observer = observer;
}

int ItemList::rowCount() const {
    std::lock_guard lock(m_mutex);
    return static_cast<int>(m_rows.size());
}

ItemEntry ItemList::row(int position) const {
    std::lock_guard lock(m_mutex);
    if (position < 0 || static_cast<std::size_t>(position) >= m_rows.size())
        return {};
    return m_rows[static_cast<std::size_t>(position)];
}

std::vector<ItemEntry> ItemList::rows() const {
    std::lock_guard lock(m_mutex);
    return m_rows;
}

void ItemList::append(const ItemEntry& entry) {
    ItemListObserver* observer = nullptr;
    int position = 0;
    {
        std::lock_guard lock(m_mutex);
        position = static_cast<int>(m_rows.size());
        m_rows.push_back(entry);
        observer = m_observer;
    }
    if (observer)
        observer->rowAppended(position, entry);
}

void ItemList::clear() {
    ItemListObserver* observer = nullptr;
    {
        std::lock_guard lock(m_mutex);
        m_rows.clear();
        observer = m_observer;
    }
    if (observer)
        observer->rowsReset();
}

void ItemList::deleteByNames(const std::vector<std::string>& names) {
    ItemListObserver* observer = nullptr;
    bool deleted = false;
    {
        std::lock_guard lock(m_mutex);
        for (const std::string& name : names) {
            const std::string wanted = text::lowerAscii(name);
            const auto found =
                std::find_if(m_rows.begin(), m_rows.end(), [&](const ItemEntry& row) {
                    return row.name.size() == wanted.size() && text::lowerAscii(row.name) == wanted;
                });
            if (found == m_rows.end())
                continue;
            m_rows.erase(found);
            deleted = true;
        }
        observer = m_observer;
    }
    if (deleted && observer)
        observer->rowsReset();
}

std::string ItemList::exportText(const std::vector<ItemEntry>& rows) {
    std::string out;
    for (const ItemEntry& row : rows) {
        out += row.name;
        out += kFieldSeparator;
        out += row.itemId;
        out += kFieldSeparator;
        out += row.price;
        out += kFieldSeparator;
        out += row.address;
        out += "\r\n";
    }
    // Blanks only: the final line break stays, so in effect just the first
    // name can lose its leading blanks.
    return text::trim(out);
}

std::vector<ItemEntry> ItemList::parseListText(std::string_view text) {
    std::vector<ItemEntry> rows;
    std::size_t pos = 0;
    while (pos < text.size()) {
        if (text[pos] == '\0' || text[pos] == '\x1A')
            break;
        const std::size_t feed = text.find('\n', pos);
        const std::size_t end = feed == std::string_view::npos ? text.size() : feed;
        std::string_view line = text.substr(pos, end - pos);
        if (!line.empty() && line.back() == '\r')
            line.remove_suffix(1);
        ItemEntry entry;
        if (splitListLine(line, entry))
            rows.push_back(std::move(entry));
        pos = feed == std::string_view::npos ? text.size() : feed + 1;
    }
    return rows;
}

bool ItemList::exportToFile(const std::string& path, std::string* error) const {
    return writeFileAtomically(path, exportText(rows()), error);
}

bool ItemList::importFromFile(const std::string& path) {
    std::string bytes;
    const bool read = readFileBytes(path, bytes);
    std::vector<ItemEntry> imported = parseListText(bytes);
    ItemListObserver* observer = nullptr;
    {
        std::lock_guard lock(m_mutex);
        m_rows = std::move(imported);
        observer = m_observer;
    }
    if (observer)
        observer->rowsReset();
    return read;
}

} // namespace quillon::shell
