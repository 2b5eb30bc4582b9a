#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "MarketConfig.h"

namespace quillon::sim {

// The three list-page layouts of the stores.
enum class PageTemplate {
    Plain,  // "普通"
    Wangpu, // "旺铺"
    Street, // "店铺街"
};

enum class PictureFormat { Jpeg, Png, Gif, HtmlPage };

// One picture an item names. The picture hosts serve exactly `target` on
// `host`; any other spelling of the address is answered 404.
struct PictureRef {
    std::string host;
    std::string target;  // raw request target; Chinese bytes as upper-case %XX
    std::string address; // "http://" + host + path as a client should read it (GBK)
    std::string written; // the address as the answer writes it ("&" as "&amp;" in descriptions)
    PictureFormat format = PictureFormat::Jpeg;
    std::string properties; // property pictures: "pid:vid"
    std::uint64_t key = 0;  // what the picture's bytes are made from

    // The picture at http://host + path (GBK), its bytes made from `key`.
    static PictureRef at(const std::string& host, const std::string& path, PictureFormat format,
                         std::uint64_t key);
};

struct SkuInfo {
    std::string skuId;
    std::string properties;     // "1627207:28326;20509:28314"
    std::string propertiesName; // may hold an undefined entity such as "&le;", kept raw
    std::string quantity;
    std::string price;
    std::string outerId; // may be empty: the element is then left out
    std::string created;
    std::string modified;
    std::string status;
};

struct CategoryInfo {
    int index = 0;
    std::string scid;  // the number in scid= addresses
    std::string catId; // the number in catId= and category-N.htm addresses
    std::string name;  // GBK
    int itemCount = 0;
};

struct StoreInfo {
    int index = 0;
    std::string host;
    std::string name; // GBK
    PageTemplate pageTemplate = PageTemplate::Plain;
    int itemCount = 0;
    int pageCount = 0;
};

// One item with every field the gateway can answer. Texts are GBK and
// unescaped; empty texts are left out of answers.
struct ItemInfo {
    int store = 0;
    int index = 0;    // position in its store
    int category = 0; // index of its category in its store
    std::string id;
    std::string title; // at most 60 bytes; may hold & * | < > . ? ' " and a literal "&amp;"
    std::string price; // "123.45"
    std::string num;
    std::string cid;
    std::string sellerCids;
    std::string state;
    std::string city;
    std::string freightPayer; // "buyer" or "seller"
    std::string postFee;
    std::string expressFee;
    std::string emsFee;
    std::string validThru;
    std::string listTime;
    std::string delistTime;
    std::string modified;
    std::string approveStatus; // "onsale" or "instock"
    std::string hasDiscount;
    std::string hasInvoice;
    std::string hasShowcase;
    std::string hasWarranty;
    std::string postageId;
    std::string props;
    std::string propertyAlias;
    std::string inputPids;
    std::string inputStr;
    std::string outerId;
    std::vector<SkuInfo> skus;
    std::vector<PictureRef> mainPictures;
    std::vector<PictureRef> propPictures;
    std::vector<PictureRef> descPictures; // each distinct picture once, in description order
    std::string desc;                     // raw HTML with "\r\n" line breaks
};

// The sandbox's stores and items, computed from the seed whenever asked and
// never stored: the same configuration always gives the same catalog, and its
// size costs no memory. Immutable; safe to share between threads.
class Catalog {
  public:
    explicit Catalog(const MarketConfig& config = MarketConfig{});

    std::uint64_t seed() const { return m_seed; }
    int storeCount() const { return m_storeCount; }
    int itemsPerStore() const { return m_itemsPerStore; }
    int itemsPerPage() const { return m_itemsPerPage; }
    int categoriesPerStore() const { return m_categoriesPerStore; }

    // Host names, all under the configured domain.
    std::string gatewayHost() const { return "gw." + m_domain; }
    std::string itemHost() const { return "item." + m_domain; }
    std::string detailHost() const { return "detail." + m_domain; }
    std::string configHost() const { return "cfg." + m_domain; }
    std::string taobaoPictureHost() const { return "img.taobaocdn." + m_domain; }
    std::string otherPictureHost() const { return "pic.othercdn." + m_domain; }
    std::string storeHost(int store) const;

    // The store served on `host`, when it is one.
    std::optional<int> storeForHost(std::string_view host) const;

    StoreInfo store(int store) const;
    CategoryInfo category(int store, int category) const;
    std::optional<int> categoryByScid(int store, std::string_view scid) const;
    std::optional<int> categoryByCatId(int store, std::string_view catId) const;

    // Item lists. `category` -1 stands for the whole store; pages count from 1.
    int itemCount(int store, int category) const;
    int pageCount(int store, int category) const;
    std::vector<int> pageItems(int store, int category, int page) const;
    std::vector<std::string> itemIds(int store, int category) const;

    std::string itemId(int store, int index) const;
    // The store and index of an item id, when the catalog has that item.
    std::optional<std::pair<int, int>> locateItem(std::string_view id) const;

    // The list-page fields alone, cheaper than item().
    std::string itemTitle(int store, int index) const;
    std::string itemPrice(int store, int index) const;

    ItemInfo item(int store, int index) const;
    std::optional<ItemInfo> itemById(std::string_view id) const;

    // "普通", "旺铺" or "店铺街" in GBK.
    static std::string templateName(PageTemplate pageTemplate);

  private:
    std::uint64_t m_seed;
    int m_storeCount;
    int m_itemsPerStore;
    int m_itemsPerPage;
    int m_categoriesPerStore;
    std::string m_domain;
    std::uint64_t m_idBase;
    int m_mainPictures;
    int m_propPictures;
};

} // namespace quillon::sim
