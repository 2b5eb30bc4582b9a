#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <ostream>
#include <random>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "ListAcquisitionTest.h"
#include "LoopbackServer.h"
#include "Watchdog.h"
#include "acquisition/AddToList.h"
#include "net/Endpoints.h"
#include "shell/ActivityLog.h"
#include "shell/ItemList.h"
#include "sim/Markup.h"
#include "sim/SandboxMarket.h"
#include "text/TextCodec.h"

using namespace quillon;
using acquisition::AddToList;
using acquisition::CollectMode;

namespace {

using namespace std::chrono_literals;

std::vector<shell::ItemEntry> sortedById(std::vector<shell::ItemEntry> rows) {
    std::stable_sort(rows.begin(), rows.end(),
                     [](const auto& a, const auto& b) { return a.itemId < b.itemId; });
    return rows;
}

// A list page served by a loopback server: the search page announces
// `pages.size()` pages, list page n is pages[n - 1].
class ListPageServer {
  public:
    explicit ListPageServer(std::vector<std::string> pages)
        : m_pages(std::move(pages)), m_server([this](httplib::Server& s) {
              s.Get("/search.htm",
                    [this](const httplib::Request& request, httplib::Response& response) {
                        serve(request, response);
                    });
          }) {
        net::Endpoints endpoints;
        endpoints.itemHost = "item.example";
        endpoints.connectTo.push_back({"*", 80, "127.0.0.1", m_server.port()});
        net::setActiveEndpoints(endpoints);
    }

    ~ListPageServer() { release(); }

    // List pages are answered only after release() (pages already released
    // at construction unless hold() is called first).
    void hold() {
        std::lock_guard lock(m_mutex);
        m_held = true;
    }
    void release() {
        {
            std::lock_guard lock(m_mutex);
            m_held = false;
        }
        m_released.notify_all();
    }

    std::vector<std::string> listTargets() const {
        std::vector<std::string> out;
        for (const auto& request : m_server.requests()) {
            if (request.target.find("pageNum=") != std::string::npos)
                out.push_back(request.target);
        }
        return out;
    }

  private:
    void serve(const httplib::Request& request, httplib::Response& response) {
        const auto at = request.target.find("pageNum=");
        if (at == std::string::npos) {
            response.set_content("<span class=\"page-info\">1/" + std::to_string(m_pages.size()) +
                                     "</span>",
                                 "text/html");
            return;
        }
        {
            std::unique_lock lock(m_mutex);
            m_released.wait(lock, [this] { return !m_held; });
        }
        const std::size_t page = std::stoul(request.target.substr(at + 8));
        response.set_content(page >= 1 && page <= m_pages.size() ? m_pages[page - 1] : "",
                             "text/html");
    }

    std::vector<std::string> m_pages;
    std::mutex m_mutex;
    std::condition_variable m_released;
    bool m_held = false;
    support::LoopbackServer m_server;
};

class StoreReaderTest : public support::ListAcquisitionTest {
  protected:
    std::vector<std::string> messagesStartingWith(const std::string& prefix) const {
        std::vector<std::string> out;
        for (const std::string& message : messages()) {
            if (message.starts_with(prefix))
                out.push_back(message);
        }
        return out;
    }

    // The counts of the completion lines, in log order.
    std::vector<int> completionCounts() const {
        std::vector<int> out;
        const std::string prefix = "  宝贝下载完成 【共提取了：  ";
        for (const std::string& message : messagesStartingWith(prefix)) {
            out.push_back(std::stoi(message.substr(prefix.size())));
        }
        return out;
    }

    // The rows the market's store `store` should give, in id order.
    std::vector<shell::ItemEntry> expectedRows(int store) const {
        const sim::Catalog& catalog = m_market.catalog();
        const sim::StoreInfo info = catalog.store(store);
        std::vector<shell::ItemEntry> rows;
        for (int index = 0; index < info.itemCount; ++index) {
            const std::string id = catalog.itemId(store, index);
            const std::string title = sim::Markup::html(catalog.itemTitle(store, index));
            std::string price = catalog.itemPrice(store, index);
            std::string name = title;
            // Nothing is trimmed: the blanks around names and after prices
            // that each layout writes stay in the rows.
            switch (info.pageTemplate) {
            case sim::PageTemplate::Plain:
                name = std::string(20, ' ') + title;
                if (index % 2 == 1)
                    price += " ";
                break;
            case sim::PageTemplate::Wangpu:
                if (index % 3 == 0)
                    price += " ";
                break;
            case sim::PageTemplate::Street:
                break;
            }
            rows.push_back(
                {name, price, "http://" + catalog.itemHost() + "/item.htm?id=" + id, id});
        }
        return sortedById(rows);
    }
};

TEST_F(StoreReaderTest, EachLayoutGivesEveryItemOfItsStore) {
    sim::MarketConfig config;
    config.itemsPerStore = 65; // 4 pages, the last one with 5 items
    startMarket(config);
    const sim::Catalog& catalog = m_market.catalog();
    for (int store = 0; store < 3; ++store) {
        SCOPED_TRACE(
            text::gbkToUtf8(sim::Catalog::templateName(catalog.store(store).pageTemplate)));
        const int before = m_list.rowCount();
        press(CollectMode::Store, "http://" + catalog.storeHost(store) + "/");
        const auto rows = m_list.rows();
        EXPECT_EQ(sortedById({rows.begin() + before, rows.end()}), expectedRows(store));
    }

    // Every page of every store was read once, each announced in its line
    // with the page total, each followed by a count of the whole list.
    std::multiset<std::string> reads;
    for (const std::string& message : messagesStartingWith("  线程：")) {
        const auto at = message.find("  正在读取宝贝列表 第：  ");
        if (at != std::string::npos)
            reads.insert(message.substr(at));
        const int reader = std::stoi(message.substr(std::string("  线程：").size()));
        EXPECT_TRUE(reader >= 1 && reader <= 5) << message;
    }
    std::multiset<std::string> expected;
    for (int store = 0; store < 3; ++store) {
        for (int page = 1; page <= 4; ++page) {
            expected.insert("  正在读取宝贝列表 第：  " + std::to_string(page) + " /4 页\r\n");
        }
    }
    EXPECT_EQ(reads, expected);
    EXPECT_EQ(messagesStartingWith("  线程：").size(), 2 * 12u);

    // The count covers the whole list, earlier stores included.
    const auto counts = completionCounts();
    ASSERT_FALSE(counts.empty());
    EXPECT_EQ(*std::max_element(counts.begin(), counts.end()), 3 * 65);
    const std::vector<int> labels = countLabels();
    EXPECT_EQ(labels.size(), 12u);
    EXPECT_EQ(*std::max_element(labels.begin(), labels.end()), 3 * 65);
}

TEST_F(StoreReaderTest, RowsPairTheIthPriceWithTheIthItem) {
    const std::string host = "http://item.example/item.htm?id=";
    const auto plain = [](const std::string& link, const std::string& name,
                          const std::string& price) {
        return "<a target=\"_blank\" href=\"" + link + "\" class=\"permalink\" style=\"\">\n" +
               name + "\n    </a>\n<s>&yen;</s><strong>" + price + "</strong>\n";
    };
    const auto wangpu = [](const std::string& id, const std::string& name) {
        return "<a class=\"item-name\" href=\"//item.example/item.htm?spm=1&id=" + id +
               "\" target=\"_blank\">" + name + "</a>\n";
    };
    const auto cPrice = [](const std::string& price) {
        return "<span class=\"c-price\">" + price + "</span>\n";
    };

    // Ten items, eight prices: the last two rows have none.
    std::string tenItems;
    std::vector<shell::ItemEntry> tenRows;
    for (int i = 1; i <= 10; ++i) {
        const std::string id = std::to_string(100 + i);
        tenItems += wangpu(id, "W" + std::to_string(i));
        if (i <= 8)
            tenItems += cPrice(std::to_string(i) + ".00");
        tenRows.push_back(
            {"W" + std::to_string(i), i <= 8 ? std::to_string(i) + ".00" : "", host + id, id});
    }

    struct Case {
        const char* what;
        std::string page;
        std::vector<shell::ItemEntry> rows;
    } const cases[] = {
        {"ten items, eight prices", tenItems, tenRows},
        {"plain links",
         plain("//item.example/item.htm?x=1&id=5&ns=1", "  P5", "5.00 ") +
             plain("http://item.example/item.htm?id=6", "P6", "6.00") + // no "&": skipped
             plain("http://item.example/item.htm?id=7&", "P7", "7.00"),
         {{"  P5", "5.00 ", host + "5", "5"}, {"P7", "7.00", host + "7", "7"}}},
        {"an empty id is skipped, prices still pair by match",
         wangpu("", "W0") + cPrice("0.50") + wangpu("8", "W8") + cPrice("8.50"),
         {{"W8", "8.50", host + "8", "8"}}},
        {"the first layout that matches wins",
         wangpu("9", "W9") + cPrice("9.00") + plain("//x/item.htm?id=10&", "P10", "10.00"),
         {{"P10", "10.00", host + "10", "10"}}},
        {"shop street",
         text::gbk("<a title=\"S11\"  href=\"//item.example/item.htm?id=11\" target=\"_blank\">"
                   "<strong>36.00 元</strong>\n<a title=\"S12\"  href=\"//i/item.htm?id=12\" "
                   "target=\"_blank\"><strong>40.00 元</strong>"),
         {{"S11", "36.00", host + "11", "11"}, {"S12", "40.00", host + "12", "12"}}},
        {"prices without items", "<s>&yen;</s><strong>1.00</strong>\n" + cPrice("2.00"), {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const int before = m_list.rowCount();
        ListPageServer server({c.page});
        press(CollectMode::Store, "http://shop.example/");
        const auto rows = m_list.rows();
        EXPECT_EQ(std::vector<shell::ItemEntry>(rows.begin() + before, rows.end()), c.rows);
    }
}

TEST_F(StoreReaderTest, LargePagesAreCutToTheirItemRegion) {
    const std::string items =
        "<a class=\"item-name\" href=\"//i/item.htm?id=1\" target=\"_blank\">A</a>\n"
        "<span class=\"c-price\">1.00</span>\n"
        "<a class=\"item-name\" href=\"//i/item.htm?id=2\" target=\"_blank\">B</a>\n"
        "<span class=\"c-price\">2.00</span>\n";
    const std::string next = text::gbk("<a>下一页</a>");
    const std::string goTo = text::gbk("到第 <input name=\"pageNum\" />");
    // Filler up to `size` bytes around the parts.
    const auto pageOf = [](std::vector<std::string> parts, std::size_t size) {
        std::size_t used = 0;
        for (const auto& part : parts)
            used += part.size();
        const std::string fill(size - used, ' ');
        std::string page = fill.substr(0, fill.size() / 2);
        for (const auto& part : parts)
            page += part;
        return page + fill.substr(fill.size() / 2);
    };
    struct Case {
        const char* what;
        std::string page;
        int rows;
    } const cases[] = {
        {"region between the markers", pageOf({next, items, goTo}, 600000), 2},
        {"no next-page marker: from the start", pageOf({items, goTo}, 600000), 2},
        {"no go-to marker", pageOf({next, items}, 600000), 0},
        {"go-to marker only before next-page", pageOf({goTo, next, items}, 600000), 0},
        {"items after the region", pageOf({next, goTo, items}, 600000), 0},
        {"items before the region", pageOf({items, next, goTo}, 600000), 0},
        {"exactly the limit is not cut", pageOf({next, items}, 512000), 2},
        {"one byte over is cut", pageOf({next, items}, 512001), 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const int before = m_list.rowCount();
        ListPageServer server({c.page});
        press(CollectMode::Store, "http://shop.example/");
        EXPECT_EQ(m_list.rowCount() - before, c.rows);
    }
}

TEST_F(StoreReaderTest, PaddedMarketPagesGiveTheSameRows) {
    sim::MarketConfig config;
    config.itemsPerStore = 40;
    config.listPagePaddingBytes = 600000;
    startMarket(config);
    for (int store = 0; store < 3; ++store) {
        const int before = m_list.rowCount();
        press(CollectMode::Store, "http://" + m_market.catalog().storeHost(store) + "/");
        const auto rows = m_list.rows();
        EXPECT_EQ(sortedById({rows.begin() + before, rows.end()}), expectedRows(store));
    }
}

TEST_F(StoreReaderTest, FiveReadersShareThreePagesOnceEach) {
    sim::MarketConfig config;
    config.itemsPerStore = 60; // 3 pages
    config.latencyMs = 50;     // all five readers are up before a page comes back
    startMarket(config);
    const std::string host = m_market.catalog().storeHost(1);
    press(CollectMode::Store, "http://" + host + "/");

    std::vector<std::string> targets;
    for (const auto& request : m_market.requestLog()) {
        if (request.target.find("pageNum=") != std::string::npos)
            targets.push_back(request.target);
    }
    std::sort(targets.begin(), targets.end());
    EXPECT_EQ(targets, (std::vector<std::string>{"/search.htm?&pageNum=1", "/search.htm?&pageNum=2",
                                                 "/search.htm?&pageNum=3"}));
    EXPECT_EQ(m_list.rowCount(), 60);
    EXPECT_EQ(messagesStartingWith("  线程：").size(), 6u);
    // Written by each reader that finished a page once all were claimed.
    const auto counts = completionCounts();
    ASSERT_GE(counts.size(), 1u);
    EXPECT_LE(counts.size(), 3u);
    EXPECT_EQ(*std::max_element(counts.begin(), counts.end()), 60);
    EXPECT_EQ(m_adder.scope().pagesTaken, 3);
}

TEST_F(StoreReaderTest, ModeSwitchedWhileReadingRereadsThePreviousPage) {
    std::vector<std::string> pages;
    for (int page = 1; page <= 10; ++page) {
        const std::string id = std::to_string(page);
        pages.push_back("<a class=\"item-name\" href=\"//i/item.htm?id=" + id +
                        "\" target=\"_blank\">N" + id + "</a><span class=\"c-price\">" + id +
                        "</span>");
    }
    ListPageServer server(pages);
    server.hold();
    m_mode = CollectMode::Store;
    m_adder.add("http://shop.example/");
    // Pages 1 to 5 are claimed and held; the rest are claimed in the new mode.
    while (server.listTargets().size() < 5)
        std::this_thread::sleep_for(2ms);
    m_mode = CollectMode::Single;
    server.release();
    m_adder.waitForReaders();

    auto targets = server.listTargets();
    std::sort(targets.begin(), targets.end());
    EXPECT_EQ(targets.size(), 5u) << "no address in the new mode, nothing fetched";
    // Ten pages claimed, five fetched: the five later claims each searched
    // their reader's previous page again.
    std::set<std::string> ids;
    for (const auto& row : m_list.rows())
        ids.insert(row.itemId);
    EXPECT_EQ(m_list.rowCount(), 10);
    EXPECT_EQ(ids, (std::set<std::string>{"1", "2", "3", "4", "5"}));
    EXPECT_EQ(messagesStartingWith("  线程：").size(), 20u);
}

TEST_F(StoreReaderTest, PagesOfRandomBytesGiveNoRows) {
    std::mt19937 random(7);
    const auto randomBytes = [&](std::size_t size) {
        std::string bytes(size, '\0');
        for (char& c : bytes)
            c = static_cast<char>(random() & 0xFF);
        return bytes;
    };
    std::string withMarkers = randomBytes(300000) + text::gbk("下一页") + randomBytes(300000) +
                              text::gbk("到第") + randomBytes(1000);
    ListPageServer server({randomBytes(1), randomBytes(100000), randomBytes(600000), withMarkers,
                           std::string(600000, '\0')});
    press(CollectMode::Store, "http://shop.example/");
    EXPECT_EQ(m_list.rowCount(), 0);
    EXPECT_EQ(messagesStartingWith("  线程：").size(), 10u);
    EXPECT_FALSE(completionCounts().empty());
}

TEST_F(StoreReaderTest, BacktrackingPageEndsWithoutRows) {
    // Item-name links that never close: the lazy groups try every "id=" to
    // the end of this one long line from every start.
    std::string page;
    while (page.size() < 500000) {
        page += "<a class=\"item-name\" href=\"";
        for (int i = 0; i < 800; ++i)
            page += "id=";
    }
    ListPageServer server({page});
    press(CollectMode::Store, "http://shop.example/");
    EXPECT_EQ(m_list.rowCount(), 0);
    EXPECT_EQ(messagesStartingWith("  线程：").size(), 2u);
    EXPECT_EQ(completionCounts(), std::vector<int>{0});
}

} // namespace
