#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "ListPatterns.h"
#include "sim/Catalog.h"
#include "sim/ItemXml.h"
#include "sim/Markup.h"
#include "sim/StorePages.h"
#include "text/GbkText.h"
#include "text/TextCodec.h"

namespace {

using quillon::sim::Catalog;
using quillon::sim::ItemInfo;
using quillon::sim::ItemXml;
using quillon::sim::MarketConfig;
using quillon::sim::Markup;
using quillon::sim::PictureFormat;
using quillon::sim::PictureRef;
using quillon::sim::StorePages;
namespace text = quillon::text;

MarketConfig withSeed(std::uint64_t seed) {
    MarketConfig config;
    config.seed = seed;
    config.storeCount = 4;
    config.itemsPerStore = 30;
    config.categoriesPerStore = 4;
    return config;
}

std::string everything(const Catalog& catalog, int store, int index) {
    const ItemInfo item = catalog.item(store, index);
    return ItemXml::answer(item, "title,desc,sku,item_img,prop_img,location,price,props", "c") +
           StorePages(catalog, 0).listPage(store, -1, 1);
}

TEST(Catalog, TheSameSeedGivesTheSameCatalogAndAnotherSeedAnother) {
    const Catalog first(withSeed(11));
    const Catalog again(withSeed(11));
    const Catalog other(withSeed(12));
    for (const auto& [store, index] : {std::pair{0, 0}, {1, 7}, {3, 29}}) {
        EXPECT_EQ(everything(first, store, index), everything(again, store, index));
        EXPECT_NE(everything(first, store, index), everything(other, store, index));
    }
    EXPECT_EQ(first.category(2, 1).scid, again.category(2, 1).scid);
}

TEST(Catalog, ItemIdsLocateTheirItemsAndNothingElse) {
    const Catalog catalog(withSeed(5));
    std::set<std::string> ids;
    for (int store = 0; store < catalog.storeCount(); ++store) {
        for (int index = 0; index < catalog.itemsPerStore(); ++index) {
            const std::string id = catalog.itemId(store, index);
            ids.insert(id);
            const auto where = catalog.locateItem(id);
            ASSERT_TRUE(where);
            EXPECT_EQ(*where, (std::pair{store, index}));
            EXPECT_EQ(catalog.itemById(id)->id, id);
        }
    }
    EXPECT_EQ(ids.size(), 4u * 30u);
    const std::string first = catalog.itemId(0, 0);
    const std::string refused[] = {
        std::to_string(std::stoull(first) - 1),
        std::to_string(std::stoull(first) + 30), // index == itemsPerStore
        catalog.itemId(4, 0),                    // store == storeCount
        "0" + first,
        first + "x",
        "",
        "-1",
    };
    for (const std::string& id : refused) {
        EXPECT_FALSE(catalog.locateItem(id)) << id;
    }
}

TEST(Catalog, CategoriesShareOutTheStoreAndAnswerToTheirNumbers) {
    const Catalog catalog(withSeed(5));
    for (int store = 0; store < catalog.storeCount(); ++store) {
        std::multiset<std::string> fromCategories;
        std::set<std::string> numbers;
        for (int c = 0; c < catalog.categoriesPerStore(); ++c) {
            const auto category = catalog.category(store, c);
            EXPECT_EQ(catalog.categoryByScid(store, category.scid), c);
            EXPECT_EQ(catalog.categoryByCatId(store, category.catId), c);
            numbers.insert(category.scid);
            numbers.insert(category.catId);
            for (const std::string& id : catalog.itemIds(store, c)) {
                fromCategories.insert(id);
                EXPECT_EQ(catalog.itemById(id)->sellerCids, "," + category.scid + ",");
            }
        }
        const auto all = catalog.itemIds(store, -1);
        EXPECT_EQ(fromCategories, std::multiset<std::string>(all.begin(), all.end()));
        EXPECT_EQ(numbers.size(), 2u * 4u); // scid and catId numbers never coincide
    }
}

TEST(Catalog, TitlesHoldWhatTheProgramsCleanUpDealsWith) {
    const Catalog catalog(withSeed(9));
    std::string all;
    for (int index = 0; index < catalog.itemsPerStore(); ++index) {
        const std::string title = catalog.itemTitle(0, index);
        EXPECT_FALSE(title.empty());
        EXPECT_LE(title.size(), 60u);
        EXPECT_EQ(title.find('\n'), std::string::npos);
        EXPECT_EQ(text::gbkToUtf8(title).find('?') == std::string::npos,
                  title.find('?') == std::string::npos); // whole characters only
        all += title + "\n";
    }
    for (const char* piece : {"&amp;", " & ", "*", "|", "<", ">", ".", "?", "'", "\""}) {
        const std::string wanted = std::string(piece) == " & " ? text::utf8ToGbk("黑&白") : piece;
        EXPECT_NE(all.find(wanted), std::string::npos) << piece;
    }
}

// The description as the program gets it: escaped in the answer, then
// cleaned (quotes doubled, commas full-width, tags restored, no line breaks).
std::string cleanedDesc(const ItemInfo& item) {
    std::string desc = Markup::xml(item.desc);
    desc = text::replaceAll(desc, "&quot;", "\"\"");
    desc = text::replaceAll(desc, ",", text::utf8ToGbk("，"));
    desc = text::replaceAll(desc, "&lt;", "<");
    desc = text::replaceAll(desc, "&gt;", ">");
    desc = text::replaceAll(desc, "&amp;nbsp;", " ");
    return text::replaceAll(desc, "\r\n", "");
}

TEST(Catalog, DescriptionPicturesAreWhatTheProgramsPatternsFind) {
    const Catalog catalog(withSeed(21));
    std::set<std::string> shapes;
    for (int index = 0; index < 8; ++index) {
        const ItemInfo item = catalog.item(1, index);
        const std::string desc = cleanedDesc(item);
        EXPECT_EQ(desc.find(','), std::string::npos);
        std::set<std::string> found;
        for (const char* pattern :
             {"<IMG .*?\"http://(.*?)\".*?>", "background=\"\"http://(.*?)\"\""}) {
            for (const auto& groups : quillon::sim::testing::allMatches(pattern, desc, 1)) {
                // The address a plain download fetches: "amp;" removed.
                found.insert("http://" + text::replaceAll(groups[0], "amp;", ""));
            }
        }
        std::set<std::string> expected;
        for (const PictureRef& picture : item.descPictures) {
            expected.insert(picture.address);
            if (picture.written != picture.address)
                shapes.insert("ampersand");
            if (picture.target.find('%') != std::string::npos)
                shapes.insert("chinese");
            if (picture.host == catalog.otherPictureHost())
                shapes.insert("other host");
            if (picture.format == PictureFormat::HtmlPage)
                shapes.insert("hot-link page");
        }
        EXPECT_EQ(found, expected) << "item " << index;
        if (item.desc.find("background=") != std::string::npos)
            shapes.insert("background");
        if (item.descPictures.empty())
            shapes.insert("no pictures");
        if (item.skus.empty())
            shapes.insert("no skus");
        if (!item.descPictures.empty()) {
            const std::string& first = item.descPictures.front().written;
            const std::size_t at = item.desc.find(first);
            if (item.desc.find(first, at + 1) != std::string::npos)
                shapes.insert("repeated picture");
        }
    }
    EXPECT_EQ(shapes,
              (std::set<std::string>{"ampersand", "chinese", "other host", "hot-link page",
                                     "background", "no pictures", "no skus", "repeated picture"}));
}

} // namespace
