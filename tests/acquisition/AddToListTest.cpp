#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <ostream>
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
using acquisition::CategoryKind;
using acquisition::CollectMode;

namespace {

using namespace std::chrono_literals;

// The messages, in UTF-8 as the tests write them.
const std::string kBadItem = "  地址输入不正确，未识别到宝贝！\r\n";
const std::string kBadStore = "  店铺地址输入不正确，未识别到宝贝！\r\n";
const std::string kBadCategory = "  分类地址输入不正确，未识别到宝贝！\r\n";
const std::string kEmptyCategoryPage = "  店铺地址输入不正确，未识别到宝贝！1\r\n";
const std::string kNoItems = "  该分类未识别到宝贝！\r\n";

std::string countLine(const std::string& count) {
    return "  共搜索到：" + count + " 个商品\r\n";
}

std::string pagesLine(const std::string& pages) {
    return "  宝贝页码从第 1 页到第  " + pages + "  页下载，总页码数是 " + pages + " 页！\r\n";
}

// The list-page targets of a set of requests, sorted.
template <typename Requests, typename TargetOf>
std::vector<std::string> listPageTargets(const Requests& requests, TargetOf targetOf) {
    std::vector<std::string> out;
    for (const auto& request : requests) {
        const std::string target = targetOf(request);
        if (target.find("pageNum=") != std::string::npos)
            out.push_back(target);
    }
    std::sort(out.begin(), out.end());
    return out;
}

class AddToListTest : public support::ListAcquisitionTest {
  protected:
    // Every host goes to a loopback server instead.
    static void routeEverythingTo(const support::LoopbackServer& server) {
        net::Endpoints endpoints;
        endpoints.connectTo.push_back({"*", 80, "127.0.0.1", server.port()});
        net::setActiveEndpoints(endpoints);
    }

    // One press of the button in `mode`, the address in UTF-8 unless told.
    void press(CollectMode mode, const std::string& address, bool utf8 = true) {
        ListAcquisitionTest::press(mode, utf8 ? text::gbk(address) : address);
    }

    std::vector<std::string> sandboxListTargets() const {
        return listPageTargets(m_market.requestLog(), [](const sim::LoggedRequest& request) {
            return request.host + request.target;
        });
    }
};

TEST_F(AddToListTest, SingleItemPageAppendsItsRowEachTime) {
    startMarket();
    const sim::Catalog& catalog = m_market.catalog();
    struct Case {
        int store;
        int index;
        bool tmall;
        const char* titleSuffix;
    } const cases[] = {
        {0, 3, false, "-淘宝网"},
        {1, 0, true, "-tmall.com天猫"},
    };
    std::vector<shell::ItemEntry> expected;
    for (const Case& c : cases) {
        const std::string id = catalog.itemId(c.store, c.index);
        const std::string address = "http://" +
                                    (c.tmall ? catalog.detailHost() : catalog.itemHost()) +
                                    "/item.htm?id=" + id;
        press(CollectMode::Single, address);
        expected.push_back(
            {sim::Markup::html(catalog.itemTitle(c.store, c.index)) + text::gbk(c.titleSuffix), "",
             address, id});
    }
    // The same item twice gives two rows; the typed address is kept untrimmed.
    const std::string padded =
        " http://" + catalog.itemHost() + "/item.htm?id=" + catalog.itemId(2, 5);
    press(CollectMode::Single, padded);
    press(CollectMode::Single, padded);
    const shell::ItemEntry again{sim::Markup::html(catalog.itemTitle(2, 5)) + text::gbk("-淘宝网"),
                                 "", padded, catalog.itemId(2, 5)};
    expected.push_back(again);
    expected.push_back(again);

    EXPECT_EQ(m_list.rows(), expected);
    EXPECT_TRUE(messages().empty()) << "a single item is added silently";
}

TEST_F(AddToListTest, SingleItemWithoutIdOrTitleIsReported) {
    sim::MarketConfig config;
    config.faults.rules.push_back({sim::FaultKind::Close, 1.0, "detail.sandbox.test", "", 0});
    startMarket(config);
    const sim::Catalog& catalog = m_market.catalog();
    const std::string addresses[] = {
        "http://" + catalog.itemHost() + "/item.htm?id=1",                         // no such item
        "http://" + catalog.itemHost(),                                            // a 404 page
        "http://" + catalog.detailHost() + "/item.htm?id=" + catalog.itemId(0, 0), // unreachable
        "http://" + catalog.storeHost(0) + "/",                                    // no itemId
    };
    for (const std::string& address : addresses) {
        press(CollectMode::Single, address);
    }
    EXPECT_EQ(m_list.rowCount(), 0);
    EXPECT_EQ(messages(), std::vector<std::string>(std::size(addresses), kBadItem));
}

TEST_F(AddToListTest, StoreAddressNeedsAStoreHostFollowedBySlash) {
    startMarket();
    const sim::Catalog& catalog = m_market.catalog();
    const std::string store = catalog.storeHost(0);
    struct Case {
        std::string address;
        bool read; // the search page of `store` is fetched and the readers start
    } const cases[] = {
        {"http://" + store + "/", true},
        {"  http://" + store + "/index.htm  ", true},
        {"http:// " + store + " /", true}, // the host is trimmed
        {"http://" + store, false},
        {store + "/", false},
        {"http:///search.htm", false},
        {"http://" + catalog.itemHost() + "/item.htm?id=" + catalog.itemId(0, 0), false},
        {"http://" + catalog.detailHost() + "/item.htm?id=" + catalog.itemId(0, 0), false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.address);
        m_market.clearRequestLog();
        forgetLines();
        const int before = m_list.rowCount();
        press(CollectMode::Store, c.address);
        const auto requests = m_market.requestLog();
        if (c.read) {
            ASSERT_FALSE(requests.empty());
            EXPECT_EQ(requests.front().host, store);
            EXPECT_EQ(requests.front().target, "/search.htm?search=y");
            const auto lines = messages();
            ASSERT_GE(lines.size(), 2u);
            EXPECT_EQ(lines[0], countLine("45"));
            EXPECT_EQ(lines[1], pagesLine("3"));
            EXPECT_EQ(m_list.rowCount() - before, 45);
            EXPECT_EQ(m_adder.scope().storeHost, store);
        } else {
            EXPECT_TRUE(requests.empty());
            EXPECT_EQ(messages(), std::vector<std::string>{kBadStore});
            EXPECT_EQ(m_list.rowCount(), before);
        }
    }
}

TEST_F(AddToListTest, CategoryNumberIsFoundUnderItsKeys) {
    sim::MarketConfig config;
    config.itemsPerStore = 150; // 50 items, 3 pages per category
    startMarket(config);
    const sim::Catalog& catalog = m_market.catalog();
    const std::string host = catalog.storeHost(0);
    const std::string scid = catalog.category(0, 1).scid;
    const std::string catId = catalog.category(0, 1).catId;
    const std::string street = catalog.storeHost(2);
    const std::string streetScid = catalog.category(2, 2).scid;

    struct Case {
        std::string address;
        CategoryKind kind;
        std::string id; // empty: refused
        std::string listPrefix;
    } const cases[] = {
        {"http://" + host + "/search.htm?spm=a1z10.1-c&scid=" + scid + "&search=y",
         CategoryKind::Scid, scid,
         host + "/search.htm?&search=y&scid=" + scid +
             "&viewType=grid&orderType=_hotsell&pageNum="},
        {"http://" + host + "/search.htm?search=y&catId=" + catId + "&orderType=hotsell_desc",
         CategoryKind::CatId, catId,
         host + "/search.htm?&search=y&catId=" + catId +
             "&viewType=grid&orderType=_hotsell&pageNum="},
        {"http://" + host + "/category-" + catId + ".htm", CategoryKind::CatId, catId,
         host + "/search.htm?&search=y&catId=" + catId +
             "&viewType=grid&orderType=_hotsell&pageNum="},
        // "category-" is looked at last and wins over scid=.
        {"http://" + host + "/category-" + catId + ".htm?search=y&scid=" + scid + "&x=1",
         CategoryKind::CatId, catId,
         host + "/search.htm?&search=y&catId=" + catId +
             "&viewType=grid&orderType=_hotsell&pageNum="},
        // Blanks inside the count span are trimmed in the count line.
        {"http://" + street + "/search.htm?search=y&scid=" + streetScid + "&x=1",
         CategoryKind::Scid, streetScid,
         street + "/search.htm?&search=y&scid=" + streetScid +
             "&viewType=grid&orderType=_hotsell&pageNum="},
        // Refused: the key first in the query, no "&" after the number, a
        // "category-" without "." after it (even with a good scid), the key
        // in other letter case.
        {"http://" + host + "/search.htm?scid=" + scid + "&search=y", CategoryKind::Scid, "", ""},
        {"http://" + host + "/search.htm?search=y&scid=" + scid, CategoryKind::Scid, "", ""},
        {"http://" + host + "/search.htm?search=y&catId=" + catId, CategoryKind::CatId, "", ""},
        {"http://" + host + "/category-" + catId + "?search=y&scid=" + scid + "&x=1",
         CategoryKind::CatId, "", ""},
        {"http://" + host + "/search.htm?search=y&SCID=" + scid + "&x=1", CategoryKind::NoCategory,
         "", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.address);
        m_market.clearRequestLog();
        forgetLines();
        const int before = m_list.rowCount();
        press(CollectMode::Category, c.address);
        EXPECT_EQ(m_adder.scope().categoryKind, c.kind);
        EXPECT_EQ(m_adder.scope().categoryId, c.id);
        if (c.id.empty()) {
            EXPECT_EQ(messages(), std::vector<std::string>{kBadCategory});
            EXPECT_TRUE(m_market.requestLog().empty());
            EXPECT_EQ(m_list.rowCount(), before);
            continue;
        }
        const auto requests = m_market.requestLog();
        ASSERT_FALSE(requests.empty());
        EXPECT_EQ(requests.front().host + requests.front().target,
                  c.address.substr(std::string("http://").size()));
        std::vector<std::string> expected;
        for (int page = 1; page <= 3; ++page)
            expected.push_back(c.listPrefix + std::to_string(page));
        EXPECT_EQ(sandboxListTargets(), expected) << "each list page once, by the category kind";
        const auto lines = messages();
        ASSERT_GE(lines.size(), 2u);
        EXPECT_EQ(lines[0], countLine("50"));
        EXPECT_EQ(lines[1], pagesLine("3"));
        EXPECT_EQ(m_list.rowCount() - before, 50);
    }
}

TEST_F(AddToListTest, EmptySearchPageIsReportedThenCountedAsNothing) {
    sim::MarketConfig config;
    config.faults.rules.push_back({sim::FaultKind::Close, 1.0, "shop1.sandbox.test", "", 0});
    startMarket(config);
    const sim::Catalog& catalog = m_market.catalog();
    const std::string scid = catalog.category(0, 0).scid;
    struct Case {
        CollectMode mode;
        std::string address;
        std::vector<std::string> messages;
    } const cases[] = {
        {CollectMode::Store, "http://shop1.sandbox.test/", {kBadStore, countLine(""), kNoItems}},
        {CollectMode::Category,
         "http://shop1.sandbox.test/search.htm?search=y&scid=" + scid + "&x=1",
         {kEmptyCategoryPage, countLine(""), kNoItems}},
        // Nobody listens on this port at all.
        {CollectMode::Store, "http://127.0.0.1:1/", {kBadStore, countLine(""), kNoItems}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.address);
        forgetLines();
        if (c.address.find("127.0.0.1") != std::string::npos) {
            net::setActiveEndpoints(net::Endpoints{});
        }
        press(c.mode, c.address);
        EXPECT_EQ(messages(), c.messages);
        EXPECT_FALSE(m_adder.readersRunning());
    }
    EXPECT_EQ(m_list.rowCount(), 0);
}

TEST_F(AddToListTest, PageCountDecidesWhetherAndHowFarReadersGo) {
    struct Case {
        const char* pageInfo; // the search page's pagination, UTF-8
        std::vector<std::string> messages;
        int pagesRead;
    } const cases[] = {
        {"<span class=\"page-info\">1/2</span>", {countLine("12"), pagesLine("2")}, 2},
        {"<span class=\"page-info\">1/007</span>", {countLine("12"), pagesLine("007")}, 7},
        {"<span class=\"page-info\">1/ 2 </span>", {countLine("12"), pagesLine(" 2 ")}, 2},
        {"<span class=\"page-info\">1/２</span>", {countLine("12"), pagesLine("２")}, 2},
        {"<span class=\"page-info\">2/3/4</span>", {countLine("12"), pagesLine("4")}, 4},
        {"", {countLine("12"), kNoItems}, 0},
        {"<span class=\"page-info\">25</span>", {countLine("12"), kNoItems}, 0},
        {"<span class=\"page-info\">1/0</span>", {countLine("12"), kNoItems}, 0},
        {"<span class=\"page-info\">1/</span>", {countLine("12"), kNoItems}, 0},
        {"<span class=\"page-info\">1/abc</span>", {countLine("12"), kNoItems}, 0},
        {"<span class=\"page-info\">1/-3</span>", {countLine("12"), kNoItems}, 0},
        {"<span class=\"page-info\">1/0.5</span>", {countLine("12"), kNoItems}, 0},
        {"<span class=\"page-info\">1/3", {countLine("12"), kNoItems}, 0}, // span never closed
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.pageInfo);
        const std::string searchPage = text::gbk(
            std::string("<html><body><div>共搜索到<span> 12 </span>个符合条件的商品。</div>") +
            c.pageInfo + "</body></html>");
        support::LoopbackServer server([&](httplib::Server& s) {
            s.Get("/search.htm", [&](const httplib::Request& request, httplib::Response& response) {
                const bool listPage = request.target.find("pageNum=") != std::string::npos;
                response.set_content(listPage ? std::string("<html></html>") : searchPage,
                                     "text/html");
            });
        });
        routeEverythingTo(server);
        forgetLines();
        press(CollectMode::Store, "http://shop.example/");
        auto lines = messages();
        lines.resize(std::min(lines.size(), c.messages.size()));
        EXPECT_EQ(lines, c.messages);
        const auto requests = server.requests();
        const auto listed = listPageTargets(
            requests, [](const support::RecordedRequest& request) { return request.target; });
        EXPECT_EQ(static_cast<int>(listed.size()), c.pagesRead);
        for (int page = 1; page <= c.pagesRead; ++page) {
            EXPECT_EQ(std::count(listed.begin(), listed.end(),
                                 "/search.htm?&pageNum=" + std::to_string(page)),
                      1);
        }
    }
}

TEST_F(AddToListTest, HugePageCountReadsOnUntilStopped) {
    support::LoopbackServer server([](httplib::Server& s) {
        s.Get("/search.htm", [](const httplib::Request& request, httplib::Response& response) {
            const bool listPage = request.target.find("pageNum=") != std::string::npos;
            response.set_content(listPage ? "<html></html>"
                                          : "<span class=\"page-info\">1/99999999999</span>",
                                 "text/html");
        });
    });
    routeEverythingTo(server);
    m_mode = CollectMode::Store;
    m_adder.add("http://shop.example/");
    EXPECT_TRUE(m_adder.readersRunning());
    while (server.requests().size() < 20)
        std::this_thread::sleep_for(5ms);
    m_adder.stop();
    m_adder.waitForReaders();
    EXPECT_FALSE(m_adder.readersRunning());
    ASSERT_GE(messages().size(), 2u);
    EXPECT_EQ(messages()[1], pagesLine("99999999999"));
    EXPECT_EQ(m_adder.scope().pageTotal, 2147483647) << "held at the top of the int range";

    // Once stopped, an add starts nothing more.
    const auto before = server.requests().size();
    m_adder.add("http://shop.example/");
    EXPECT_FALSE(m_adder.readersRunning());
    EXPECT_EQ(server.requests().size(), before);
}

TEST_F(AddToListTest, NoneModeDoesNothing) {
    startMarket();
    press(CollectMode::None, "http://shop1.sandbox.test/");
    press(CollectMode::None, "http://item.sandbox.test/item.htm?id=1");
    EXPECT_EQ(m_market.requestCount(), 0u);
    EXPECT_TRUE(m_lines.lines().empty());
    EXPECT_EQ(m_list.rowCount(), 0);
}

TEST_F(AddToListTest, BadAddressesEndInTheirMessages) {
    startMarket();
    const std::string longDigits(100 * 1024, '7');
    struct Case {
        const char* what;
        CollectMode mode;
        std::string address; // GBK
        std::vector<std::string> messages;
    } const cases[] = {
        {"empty", CollectMode::Store, "", {}},
        {"blanks", CollectMode::Single, "    ", {}},
        {"full-width blanks", CollectMode::Category, "\xA1\xA1 \xA1\xA1", {}},
        {"only a host", CollectMode::Single, "http://item.sandbox.test", {kBadItem}},
        {"only a host", CollectMode::Store, "http://shop1.sandbox.test", {kBadStore}},
        {"only a host", CollectMode::Category, "http://shop1.sandbox.test", {kBadCategory}},
        {"NUL in the host",
         CollectMode::Store,
         std::string("http://shop1.sandbox.test\0/", 27),
         {kBadStore, countLine(""), kNoItems}},
        {"NUL alone", CollectMode::Single, std::string("\0", 1), {kBadItem}},
        {"GBK host",
         CollectMode::Store,
         "http://\xB5\xEA\xC6\xCC/",
         {kBadStore, countLine(""), kNoItems}},
        {"GBK number",
         CollectMode::Category,
         "http://shop1.sandbox.test/search.htm?search=y&scid=\xB7\xD6\xC0\xE0&x=1",
         {countLine("0"), kNoItems}},
        {"lone lead byte",
         CollectMode::Category,
         "http://shop1.sandbox.test/category-\xB5",
         {kBadCategory}},
        {"lone lead byte", CollectMode::Single, "\xB5", {kBadItem}},
        // Last: after these refused requests a kept-alive connection of the
        // calling thread can be left stale.
        {"100 KB",
         CollectMode::Single,
         "http://item.sandbox.test/item.htm?id=" + longDigits,
         {kBadItem}},
        {"100 KB host",
         CollectMode::Store,
         "http://" + longDigits + "x/",
         {kBadStore, countLine(""), kNoItems}},
        {"100 KB number",
         CollectMode::Category,
         "http://shop1.sandbox.test/search.htm?search=y&scid=" + longDigits + "&x=1",
         {kEmptyCategoryPage, countLine(""), kNoItems}}, // the market refuses the target
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.what) + " in mode " + std::to_string(static_cast<int>(c.mode)));
        forgetLines();
        press(c.mode, c.address, false);
        EXPECT_EQ(messages(), c.messages);
        EXPECT_FALSE(m_adder.readersRunning());
    }
    EXPECT_EQ(m_list.rowCount(), 0);
}

} // namespace
