#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ListPatterns.h"
#include "sim/Catalog.h"
#include "sim/ItemPages.h"
#include "sim/Markup.h"
#include "sim/StorePages.h"
#include "text/GbkText.h"
#include "text/Markers.h"
#include "text/TextCodec.h"
#include "text/Trim.h"

namespace {

using quillon::sim::Catalog;
using quillon::sim::ItemPages;
using quillon::sim::MarketConfig;
using quillon::sim::Markup;
using quillon::sim::SimRequest;
using quillon::sim::StorePages;
namespace text = quillon::text;
namespace testing_ = quillon::sim::testing;

std::string gbk(const char* utf8) {
    return text::utf8ToGbk(utf8);
}

struct ListedItem {
    std::string id;
    std::string name;  // as matched, untrimmed
    std::string price; // as matched, untrimmed
};

struct ReadPage {
    std::string templateName; // UTF-8; empty when no layout matched
    std::vector<ListedItem> items;
};

// Reads a list page the way the program's store reader does: big pages cut
// to their item region, layouts tried in order, the i-th price paired with
// the i-th item, links of the first layout cut between "id=" and "&".
ReadPage readListPage(std::string page) {
    if (page.size() > 512000) {
        const std::size_t next = text::findText(page, gbk("下一页"));
        const std::size_t start = next == std::string::npos ? 0 : next;
        const std::size_t end = text::findText(page, gbk("到第"), start);
        page = end == std::string::npos ? std::string() : page.substr(start, end - start);
    }
    for (const auto& layout : testing_::kListPatterns) {
        const auto items = testing_::allMatches(layout.items, page);
        if (items.empty()) {
            continue;
        }
        const auto prices = testing_::allMatches(layout.prices, page);
        ReadPage out{std::string(layout.name), {}};
        for (std::size_t i = 0; i < items.size(); ++i) {
            ListedItem item;
            if (layout.name == "普通") {
                item.id = text::cutBetween(items[i][0], "id=", "&");
                item.name = items[i][1];
            } else if (layout.name == "旺铺") {
                item.id = items[i][0];
                item.name = items[i][1];
            } else {
                item.id = items[i][1];
                item.name = items[i][0];
            }
            item.price = i < prices.size() ? prices[i][0] : "";
            out.items.push_back(item);
        }
        return out;
    }
    return {};
}

std::string countOf(const std::string& page) {
    return text::trim(
        text::cutBetween(page, gbk("共搜索到<span>"), gbk("</span>个符合条件的商品。")));
}

std::string pagesOf(const std::string& page) {
    return text::afterLast(text::cutBetween(page, "<span class=\"page-info\">", "</span>"), "/");
}

SimRequest get(const std::string& target) {
    SimRequest request;
    request.method = "GET";
    request.target = target;
    const std::size_t question = target.find('?');
    request.path = target.substr(0, question);
    request.query = question == std::string::npos ? "" : target.substr(question + 1);
    return request;
}

class StorePagesTest : public ::testing::Test {
  protected:
    MarketConfig config = [] {
        MarketConfig c;
        c.seed = 7;
        c.storeCount = 3;
        c.itemsPerStore = 47;
        c.itemsPerPage = 20;
        return c;
    }();
    Catalog catalog{config};
    StorePages pages{catalog, 0};

    // Every list page of a scope read in turn; the layout must not change.
    std::vector<ListedItem> readAll(int store, int category, std::string* layout = nullptr) {
        std::vector<ListedItem> all;
        for (int page = 1; page <= catalog.pageCount(store, category); ++page) {
            const ReadPage read = readListPage(pages.listPage(store, category, page));
            if (layout != nullptr) {
                EXPECT_TRUE(layout->empty() || *layout == read.templateName) << "page " << page;
                *layout = read.templateName;
            }
            all.insert(all.end(), read.items.begin(), read.items.end());
        }
        return all;
    }
};

TEST_F(StorePagesTest, EveryLayoutYieldsTheStoresItemsToTheProgramsPatterns) {
    const char* expectedLayout[] = {"普通", "旺铺", "店铺街"};
    for (int store = 0; store < 3; ++store) {
        SCOPED_TRACE("store " + std::to_string(store));
        std::string layout;
        const std::vector<ListedItem> listed = readAll(store, -1, &layout);
        EXPECT_EQ(layout, expectedLayout[store]);
        EXPECT_EQ(Catalog::templateName(catalog.store(store).pageTemplate),
                  gbk(expectedLayout[store]));
        const std::vector<std::string> ids = catalog.itemIds(store, -1);
        ASSERT_EQ(listed.size(), ids.size());
        bool sawBlankAfterPrice = false;
        for (std::size_t i = 0; i < listed.size(); ++i) {
            const int index = static_cast<int>(i);
            EXPECT_EQ(listed[i].id, ids[i]);
            EXPECT_EQ(text::trim(listed[i].name), Markup::html(catalog.itemTitle(store, index)));
            EXPECT_EQ(text::trim(listed[i].price), catalog.itemPrice(store, index));
            sawBlankAfterPrice = sawBlankAfterPrice || listed[i].price.ends_with(' ');
        }
        // The program takes names and prices untrimmed; real pages had blanks.
        if (store != 2) {
            EXPECT_TRUE(sawBlankAfterPrice);
        }
        if (store == 0) {
            EXPECT_TRUE(listed[0].name.starts_with(" "));
        }
    }
}

TEST_F(StorePagesTest, SearchPageGivesCountAndPageTotalAsTheProgramReadsThem) {
    for (int store = 0; store < 3; ++store) {
        const auto reply = pages.handle(store, get("/search.htm?search=y"));
        EXPECT_EQ(reply.status, 200);
        EXPECT_EQ(countOf(reply.body), "47");
        EXPECT_EQ(pagesOf(reply.body), "3");
        EXPECT_EQ(reply.body.find("\r\n"), std::string::npos) << "the first layout needs bare LFs";
    }
    // One layout writes blanks inside the count span.
    EXPECT_NE(pages.listPage(2, -1, 1).find(gbk("共搜索到<span> 47 </span>")), std::string::npos);
}

TEST_F(StorePagesTest, EveryFormOfCategoryAddressReachesTheCategory) {
    const int store = 1;
    const int category = 1;
    const auto info = catalog.category(store, category);
    const std::string list = "&viewType=grid&orderType=_hotsell&pageNum=";
    const std::string forms[] = {
        "/category-" + info.catId + ".htm",
        "/search.htm?x=1&scid=" + info.scid + "&y=2",
        "/search.htm?&search=y&scid=" + info.scid + list + "1",
        "/search.htm?&search=y&catId=" + info.catId + list + "1",
    };
    for (const std::string& target : forms) {
        SCOPED_TRACE(target);
        const auto reply = pages.handle(store, get(target));
        EXPECT_EQ(countOf(reply.body), std::to_string(info.itemCount));
        EXPECT_EQ(pagesOf(reply.body), "1");
        std::vector<std::string> ids;
        for (const ListedItem& item : readListPage(reply.body).items) {
            ids.push_back(item.id);
        }
        EXPECT_EQ(ids, catalog.itemIds(store, category));
    }
    // A category of 16 items over pages of 5: every page once, in order.
    MarketConfig small = config;
    small.itemsPerPage = 5;
    const Catalog smallCatalog(small);
    const StorePages smallPages(smallCatalog, 0);
    std::vector<std::string> ids;
    for (int page = 1; page <= smallCatalog.pageCount(store, category); ++page) {
        const auto reply = smallPages.handle(
            store, get("/search.htm?&search=y&scid=" + info.scid + list + std::to_string(page)));
        EXPECT_EQ(pagesOf(reply.body), "4");
        for (const ListedItem& item : readListPage(reply.body).items) {
            ids.push_back(item.id);
        }
    }
    EXPECT_EQ(ids, smallCatalog.itemIds(store, category));
    EXPECT_EQ(smallCatalog.itemIds(store, category).size(), 16u);
}

TEST_F(StorePagesTest, UnknownCategoriesAndPagesBeyondTheLastShowTheEmptyResult) {
    const auto info = catalog.category(0, 0);
    const std::string targets[] = {
        "/search.htm?&search=y&catId=" + info.scid + "&pageNum=1", // a scid is no catId
        "/search.htm?&search=y&scid=999&pageNum=1",
        "/category-1.htm",
        "/search.htm?&pageNum=9",
    };
    for (const std::string& target : targets) {
        SCOPED_TRACE(target);
        const auto reply = pages.handle(0, get(target));
        EXPECT_EQ(reply.status, 200);
        EXPECT_NE(reply.body.find("<p class=\"item-not-found\"></p>"), std::string::npos);
        EXPECT_TRUE(readListPage(reply.body).items.empty());
    }
    const auto unknown = pages.handle(0, get("/search.htm?&search=y&scid=999"));
    EXPECT_EQ(countOf(unknown.body), "0");
    EXPECT_EQ(pagesOf(unknown.body), ""); // the program reads 0 pages
}

TEST_F(StorePagesTest, BigPagesKeepTheirItemsBetweenTheNextPageLinkAndThePageBox) {
    const StorePages big(catalog, 600000);
    for (int store = 0; store < 3; ++store) {
        const std::string page = big.listPage(store, -1, 2);
        EXPECT_GT(page.size(), 512000u);
        const ReadPage read = readListPage(page);
        ASSERT_EQ(read.items.size(), 20u);
        EXPECT_EQ(read.items.front().id, catalog.itemId(store, 20));
        EXPECT_EQ(text::trim(read.items.back().price), catalog.itemPrice(store, 39));
    }
}

TEST_F(StorePagesTest, ItemPagesCarryTheMarkersOfASingleItemAddress) {
    const ItemPages items(catalog);
    for (const bool tmall : {false, true}) {
        const auto item = catalog.item(2, 5);
        const auto reply = items.handle(get("/item.htm?id=" + item.id), tmall);
        EXPECT_EQ(reply.status, 200);
        EXPECT_EQ(text::cutBetween(reply.body, "itemId:\"", "\","), item.id);
        EXPECT_TRUE(text::cutBetween(reply.body, "<title>", "</title>")
                        .starts_with(Markup::html(item.title)));
    }
    const auto gone = items.handle(get("/item.htm?id=12345"), false);
    EXPECT_EQ(gone.status, 200);
    EXPECT_EQ(text::cutBetween(gone.body, "itemId:\"", "\","), "");
}

} // namespace
