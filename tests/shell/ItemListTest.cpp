#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "TestFiles.h"
#include "shell/ItemList.h"

using namespace quillon::shell;
using namespace std::string_literals;

namespace {

const std::string kZhong = "\xD6\xD0";     // 中
const std::string kWen = "\xCE\xC4";       // 文
const std::string kBarTrail = "\xB1\x7C";  // 眧: its trail byte is "|"
const std::string kWideSpace = "\xA1\xA1"; // the full-width space

using quillon::support::TempFolder;
const auto& readAll = quillon::support::readFile;
const auto& writeAll = quillon::support::writeFile;

// Counts the notifications and reads the list back from inside them, which
// would deadlock if the list called it with its lock held.
class RecordingObserver : public ItemListObserver {
  public:
    explicit RecordingObserver(const ItemList& list) : m_list(list) {}

    void rowAppended(int position, const ItemEntry& entry) override {
        const bool seen = m_list.rowCount() > position && m_list.row(position) == entry;
        std::lock_guard lock(m_mutex);
        m_positions.push_back(position);
        m_allSeen = m_allSeen && seen;
    }
    void rowsReset() override { ++m_resets; }

    std::vector<int> positions() const {
        std::lock_guard lock(m_mutex);
        return m_positions;
    }
    bool allSeen() const {
        std::lock_guard lock(m_mutex);
        return m_allSeen;
    }
    int resets() const { return m_resets; }

  private:
    const ItemList& m_list;
    mutable std::mutex m_mutex;
    std::vector<int> m_positions;
    bool m_allSeen = true;
    std::atomic<int> m_resets{0};
};

ItemEntry entry(std::string name, std::string price, std::string address, std::string itemId) {
    return ItemEntry{std::move(name), std::move(price), std::move(address), std::move(itemId)};
}

// ---------------------------------------------------------------------------
// List files

TEST(ItemListFile, ExportAndImportRestoreEveryColumn) {
    TempFolder folder;
    const std::string path = folder.file(kZhong + ".txt");
    ItemList list;
    const std::vector<ItemEntry> rows = {
        entry(kZhong + kWen + " A", "12.50", "http://item.taobao.com/item.htm?id=1", "1"),
        entry("name ending in " + kBarTrail, "", "http://b", "22"),
        entry(kBarTrail, "3", kBarTrail, "333"),
    };
    for (const ItemEntry& row : rows)
        list.append(row);

    std::string error;
    ASSERT_TRUE(list.exportToFile(path, &error)) << error;
    EXPECT_EQ(readAll(path), kZhong + kWen +
                                 " A||1||12.50||http://item.taobao.com/item.htm?id=1\r\n"
                                 "name ending in " +
                                 kBarTrail + "||22||||http://b\r\n" + kBarTrail + "||333||3||" +
                                 kBarTrail + "\r\n");

    ItemList imported;
    imported.append(entry("old", "", "", "9"));
    EXPECT_TRUE(imported.importFromFile(path));
    EXPECT_EQ(imported.rows(), rows);
}

TEST(ItemListFile, ExportTrimsOnlyTheWholeText) {
    const std::vector<ItemEntry> rows = {
        entry(kWideSpace + "  first", "1", "a ", "10"),
        entry("  second", "2", "b  ", "20"),
    };
    EXPECT_EQ(ItemList::exportText(rows), "first||10||1||a \r\n"
                                          "  second||20||2||b  \r\n");
    EXPECT_EQ(ItemList::exportText({}), "");
}

TEST(ItemListFile, ImportKeepsLinesOfExactlyFourPieces) {
    struct Case {
        const char* name;
        std::string text;
        std::vector<ItemEntry> expected;
    };
    const ItemEntry a = entry("a", "2", "x", "1");
    const ItemEntry b = entry("b", "4", "y", "3");
    const Case cases[] = {
        {"four pieces", "a||1||2||x\r\n", {a}},
        {"a trailing || still gives four", "a||1||2||x||\r\n", {a}},
        {"five pieces", "a||1||2||x||e\r\nb||3||4||y\r\n", {b}},
        {"two trailing || give five", "a||1||2||x||||\r\n", {}},
        {"three pieces", "a||1||2\r\n", {}},
        {"empty pieces count", "||||||\r\n||1||||x\r\n", {entry("", "", "x", "1")}},
        // So a row exported with an empty address does not come back.
        {"an empty address reads as a trailing ||", "a||1||2||\r\n", {}},
        {"line feeds only, no final break", "a||1||2||x\nb||3||4||y", {a, b}},
        {"only the carriage return before a line feed goes",
         "a||1||2||x\r\r\n",
         {entry("a", "2", "x\r", "1")}},
        {"empty lines", "\r\n\n\r\na||1||2||x\r\n\r\n", {a}},
        {"NUL where a line starts ends the reading", "a||1||2||x\r\n\0b||3||4||y\r\n"s, {a}},
        {"0x1A where a line starts ends the reading",
         "a||1||2||x\r\n\x1A"
         "b||3||4||y\r\n",
         {a}},
        {"NUL inside a line does not",
         "a\0z||1||2||x\r\nb||3||4||y"s,
         {entry("a\0z"s, "2", "x", "1"), b}},
        {"a trail byte | is no separator",
         kBarTrail + "||" + kBarTrail + "||2||x",
         {entry(kBarTrail, "2", "x", kBarTrail)}},
        {"a single | is no separator", "a|b||1||2||x", {entry("a|b", "2", "x", "1")}},
        {"nothing", "", {}},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(ItemList::parseListText(c.text), c.expected) << c.name;
    }
}

TEST(ItemListFile, ImportSurvivesHugeLines) {
    const std::string huge(1 << 20, 'n');
    const std::string text = huge + "||1||2||x\r\n" + huge + huge + "\r\n" +
                             std::string(1 << 20, '|') + "\r\nb||3||4||y\r\n";
    const std::vector<ItemEntry> rows = ItemList::parseListText(text);
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[0].name, huge);
    EXPECT_EQ(rows[1], entry("b", "4", "y", "3"));
}

TEST(ItemListFile, AnUnreadableFileEmptiesTheList) {
    TempFolder folder;
    ItemList list;
    RecordingObserver observer(list);
    list.setObserver(&observer);
    list.append(entry("a", "", "", "1"));
    EXPECT_FALSE(list.importFromFile(folder.file("missing.txt")));
    EXPECT_EQ(list.rowCount(), 0);
    EXPECT_EQ(observer.resets(), 1);

    writeAll(folder.file("none.txt"), "no row here\r\nnor||here\r\n");
    list.append(entry("a", "", "", "1"));
    EXPECT_TRUE(list.importFromFile(folder.file("none.txt")));
    EXPECT_EQ(list.rowCount(), 0);
}

TEST(ItemListFile, ExportReplacesTheFileWholeOrReportsTheFailure) {
    TempFolder folder;
    const std::string path = folder.file("list.txt");
    writeAll(path, std::string(10000, 'o'));
    ItemList list;
    list.append(entry("a", "2", "x", "1"));
    ASSERT_TRUE(list.exportToFile(path));
    EXPECT_EQ(readAll(path), "a||1||2||x\r\n");

    const std::string inMissingFolder = folder.file("nowhere/list.txt");
    std::string error;
    EXPECT_FALSE(list.exportToFile(inMissingFolder, &error));
    EXPECT_NE(error.find(inMissingFolder), std::string::npos) << error;
    EXPECT_FALSE(std::filesystem::exists(folder.file("nowhere")));

    // Nothing but the list file itself is left in the folder.
    std::vector<std::string> names;
    for (const auto& item : std::filesystem::directory_iterator(folder.path()))
        names.push_back(item.path().filename().string());
    EXPECT_EQ(names, std::vector<std::string>{"list.txt"});
}

// ---------------------------------------------------------------------------
// Rows

TEST(ItemList, DeletesTheFirstRowOfEachName) {
    struct Case {
        const char* name;
        std::vector<std::string> names;
        std::vector<std::string> remainingIds;
        bool reset;
    };
    // Rows by item id: 1 "Apple", 2 "apple", 3 "B", 4 "Apple", 5 "\x81" "A", 6 "App".
    const Case cases[] = {
        {"the upper of two equal names goes", {"APPLE"}, {"2", "3", "4", "5", "6"}, true},
        {"each name takes the next match", {"apple", "apple"}, {"3", "4", "5", "6"}, true},
        {"whole text only", {"Ap", "Apple pie"}, {"1", "2", "3", "4", "5", "6"}, false},
        {"no case folding inside a double-byte character",
         {"\x81"
          "a"},
         {"1", "2", "3", "4", "5", "6"},
         false},
        {"a double-byte name",
         {"\x81"
          "A",
          "b"},
         {"1", "2", "4", "6"},
         true},
        {"nothing", {}, {"1", "2", "3", "4", "5", "6"}, false},
    };
    for (const Case& c : cases) {
        ItemList list;
        RecordingObserver observer(list);
        list.setObserver(&observer);
        for (const char* name : {"Apple", "apple", "B", "Apple",
                                 "\x81"
                                 "A",
                                 "App"})
            list.append(entry(name, "", "", std::to_string(list.rowCount() + 1)));
        list.deleteByNames(c.names);
        std::vector<std::string> ids;
        for (const ItemEntry& row : list.rows())
            ids.push_back(row.itemId);
        EXPECT_EQ(ids, c.remainingIds) << c.name;
        EXPECT_EQ(observer.resets(), c.reset ? 1 : 0) << c.name;
    }
}

TEST(ItemList, APositionPastTheEndReadsEmpty) {
    ItemList list;
    list.append(entry("a", "1", "x", "9"));
    EXPECT_EQ(list.row(0), entry("a", "1", "x", "9"));
    EXPECT_EQ(list.row(1), ItemEntry{});
    EXPECT_EQ(list.row(-1), ItemEntry{});
    list.clear();
    EXPECT_EQ(list.row(0), ItemEntry{});
}

TEST(ItemList, ConcurrentAppendsKeepEveryRowAndTellTheObserver) {
    ItemList list;
    RecordingObserver observer(list);
    list.setObserver(&observer);
    constexpr int kThreads = 4;
    constexpr int kRowsEach = 200;
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&list, t] {
            for (int i = 0; i < kRowsEach; ++i)
                list.append(entry("t" + std::to_string(t), std::to_string(i), "", ""));
        });
    }
    // A reader at the same time, as the workers read rows during a run.
    std::thread reader([&list] {
        for (int i = 0; i < 2000; ++i)
            (void)list.row(i % 50);
    });
    for (std::thread& thread : threads)
        thread.join();
    reader.join();

    const std::vector<ItemEntry> rows = list.rows();
    ASSERT_EQ(rows.size(), static_cast<std::size_t>(kThreads * kRowsEach));
    // Each thread's rows stay in its own order.
    for (int t = 0; t < kThreads; ++t) {
        int next = 0;
        for (const ItemEntry& row : rows) {
            if (row.name == "t" + std::to_string(t)) {
                EXPECT_EQ(row.price, std::to_string(next++));
            }
        }
        EXPECT_EQ(next, kRowsEach);
    }
    std::vector<int> positions = observer.positions();
    std::sort(positions.begin(), positions.end());
    std::vector<int> expected(kThreads * kRowsEach);
    for (std::size_t i = 0; i < expected.size(); ++i)
        expected[i] = static_cast<int>(i);
    EXPECT_EQ(positions, expected);
    EXPECT_TRUE(observer.allSeen());
}

} // namespace
