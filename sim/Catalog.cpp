#include "Catalog.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <chrono>
#include <cstdio>

#include "CatalogWords.h"
#include "DescriptionMaker.h"
#include "Markup.h"
#include "SeedRandom.h"
#include "text/GbkText.h"
#include "text/TextCodec.h"

namespace quillon::sim {

namespace {

constexpr std::uint64_t kIdStride = 1000000;

constexpr std::array<int, 6> kColorVids = {28320, 28326, 28341, 28338, 28332, 3232483};
constexpr std::array<const char*, 4> kSizes = {"S", "M", "L", "XL"};
constexpr std::array<int, 4> kSizeVids = {28314, 28315, 28316, 28317};
constexpr std::array<const char*, 5> kCids = {"50010850", "162104", "50012027", "1512", "50008165"};

const std::string& pick(SeedRandom& random, const std::vector<std::string>& list) {
    return list[random.below(list.size())];
}

std::string money(long long cents) {
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "%lld.%02lld", cents / 100, cents % 100);
    return buffer;
}

// A date in the years the program was made for, as the platform wrote it.
std::string dateText(int dayOffset, int secondOfDay) {
    using namespace std::chrono;
    const year_month_day day{sys_days{year{2013} / January / 1} + days{dayOffset}};
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "%04d-%02u-%02u %02d:%02d:%02d", int(day.year()),
                  unsigned(day.month()), unsigned(day.day()), secondOfDay / 3600,
                  secondOfDay / 60 % 60, secondOfDay % 60);
    return buffer;
}

// Cuts a GBK text to at most `limit` bytes without splitting a character.
std::string cutToBytes(std::string text, std::size_t limit) {
    std::size_t end = 0;
    while (end < text.size()) {
        const std::size_t next = end + text::charLengthAt(text, end);
        if (next > limit) {
            break;
        }
        end = next;
    }
    text.resize(end);
    return text;
}

std::optional<long long> parseNumber(std::string_view digits) {
    long long value = 0;
    const char* end = digits.data() + digits.size();
    const auto [ptr, ec] = std::from_chars(digits.data(), end, value);
    if (digits.empty() || ec != std::errc{} || ptr != end || value < 0) {
        return std::nullopt;
    }
    return value;
}

// Chinese bytes of a path as upper-case %XX, the way a careful client sends them.
std::string encodeHighBytes(std::string_view path) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string out;
    for (const char c : path) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte >= 0x80) {
            out += '%';
            out += kHex[byte >> 4];
            out += kHex[byte & 15];
        } else {
            out += c;
        }
    }
    return out;
}

} // namespace

PictureRef PictureRef::at(const std::string& host, const std::string& path, PictureFormat format,
                          std::uint64_t key) {
    PictureRef ref;
    ref.host = host;
    ref.target = encodeHighBytes(path);
    ref.address = "http://" + host + path;
    ref.written = text::replaceAll(ref.address, "&", "&amp;");
    ref.format = format;
    ref.key = key;
    return ref;
}

Catalog::Catalog(const MarketConfig& config)
    : m_seed(config.seed), m_storeCount(std::clamp(config.storeCount, 0, 999)),
      m_itemsPerStore(std::clamp(config.itemsPerStore, 0, 999999)),
      m_itemsPerPage(std::clamp(config.itemsPerPage, 1, 1000)),
      m_categoriesPerStore(std::clamp(config.categoriesPerStore, 1, 99)), m_domain(config.domain),
      m_idBase(10000000000ULL + (config.seed % 89) * 1000000000ULL +
               SeedRandom(config.seed, SeedTag::IdBase).below(9000000)),
      m_mainPictures(std::min(config.mainPicturesPerItem, 20)),
      m_propPictures(std::min(config.propPicturesPerItem, 20)) {}

std::string Catalog::storeHost(int store) const {
    return "shop" + std::to_string(store + 1) + "." + m_domain;
}

std::optional<int> Catalog::storeForHost(std::string_view host) const {
    const std::string suffix = "." + m_domain;
    if (!host.starts_with("shop") || !host.ends_with(suffix)) {
        return std::nullopt;
    }
    const auto number = parseNumber(host.substr(4, host.size() - 4 - suffix.size()));
    if (!number || *number < 1 || *number > m_storeCount || host[4] == '0') {
        return std::nullopt;
    }
    return static_cast<int>(*number - 1);
}

StoreInfo Catalog::store(int store) const {
    SeedRandom random(m_seed, SeedTag::Store, {static_cast<std::uint64_t>(store)});
    const CatalogWords& w = catalogWords();
    StoreInfo info;
    info.index = store;
    info.host = storeHost(store);
    info.name = pick(random, w.adjectives) + pick(random, w.nouns) + pick(random, w.storeSuffixes);
    info.pageTemplate = static_cast<PageTemplate>(store % 3);
    info.itemCount = m_itemsPerStore;
    info.pageCount = pageCount(store, -1);
    return info;
}

CategoryInfo Catalog::category(int store, int category) const {
    SeedRandom random(m_seed, SeedTag::Store, {static_cast<std::uint64_t>(store)});
    random.next(); // the store name's draws
    random.next();
    random.next();
    const std::uint64_t scidBase = 100000000 + random.below(800000) * 100;
    const std::uint64_t catIdBase = 50000000 + random.below(900000) * 100;
    SeedRandom naming(m_seed, SeedTag::Store,
                      {static_cast<std::uint64_t>(store), static_cast<std::uint64_t>(category)});
    CategoryInfo info;
    info.index = category;
    info.scid = std::to_string(scidBase + static_cast<std::uint64_t>(category));
    info.catId = std::to_string(catIdBase + static_cast<std::uint64_t>(category));
    info.name = pick(naming, catalogWords().nouns) + catalogWords().categorySuffix;
    info.itemCount = itemCount(store, category);
    return info;
}

std::optional<int> Catalog::categoryByScid(int store, std::string_view scid) const {
    for (int c = 0; c < m_categoriesPerStore; ++c) {
        if (category(store, c).scid == scid) {
            return c;
        }
    }
    return std::nullopt;
}

std::optional<int> Catalog::categoryByCatId(int store, std::string_view catId) const {
    for (int c = 0; c < m_categoriesPerStore; ++c) {
        if (category(store, c).catId == catId) {
            return c;
        }
    }
    return std::nullopt;
}

int Catalog::itemCount(int store, int category) const {
    if (store < 0 || store >= m_storeCount) {
        return 0;
    }
    if (category < 0) {
        return m_itemsPerStore;
    }
    if (category >= m_categoriesPerStore || m_itemsPerStore <= category) {
        return 0;
    }
    return (m_itemsPerStore - category - 1) / m_categoriesPerStore + 1;
}

int Catalog::pageCount(int store, int category) const {
    return (itemCount(store, category) + m_itemsPerPage - 1) / m_itemsPerPage;
}

std::vector<int> Catalog::pageItems(int store, int category, int page) const {
    std::vector<int> out;
    const int count = itemCount(store, category);
    if (page < 1) {
        return out;
    }
    const long long first = static_cast<long long>(page - 1) * m_itemsPerPage;
    for (long long j = first; j < count && j < first + m_itemsPerPage; ++j) {
        out.push_back(category < 0 ? static_cast<int>(j)
                                   : category + static_cast<int>(j) * m_categoriesPerStore);
    }
    return out;
}

std::vector<std::string> Catalog::itemIds(int store, int category) const {
    std::vector<std::string> out;
    for (int page = 1; page <= pageCount(store, category); ++page) {
        for (const int index : pageItems(store, category, page)) {
            out.push_back(itemId(store, index));
        }
    }
    return out;
}

std::string Catalog::itemId(int store, int index) const {
    return std::to_string(m_idBase + static_cast<std::uint64_t>(store) * kIdStride +
                          static_cast<std::uint64_t>(index));
}

std::optional<std::pair<int, int>> Catalog::locateItem(std::string_view id) const {
    const auto number = parseNumber(id);
    if (!number || id.front() == '0' || static_cast<std::uint64_t>(*number) < m_idBase) {
        return std::nullopt;
    }
    const std::uint64_t offset = static_cast<std::uint64_t>(*number) - m_idBase;
    const std::uint64_t store = offset / kIdStride;
    const std::uint64_t index = offset % kIdStride;
    if (store >= static_cast<std::uint64_t>(m_storeCount) ||
        index >= static_cast<std::uint64_t>(m_itemsPerStore)) {
        return std::nullopt;
    }
    return std::pair<int, int>{static_cast<int>(store), static_cast<int>(index)};
}

std::string Catalog::itemTitle(int store, int index) const {
    SeedRandom random(m_seed, SeedTag::Listing,
                      {static_cast<std::uint64_t>(store), static_cast<std::uint64_t>(index)});
    const CatalogWords& w = catalogWords();
    std::string title = pick(random, w.adjectives);
    title += pick(random, w.adjectives);
    title += pick(random, w.nouns);
    // Every special piece turns up among the first items of every store.
    const std::size_t special =
        (static_cast<std::size_t>(index) + static_cast<std::size_t>(store)) %
        (w.specials.size() + 2);
    if (special < w.specials.size()) {
        title += w.specials[special];
    }
    title += " K" + std::to_string(1000 + index);
    return cutToBytes(std::move(title), 60);
}

std::string Catalog::itemPrice(int store, int index) const {
    SeedRandom random(m_seed, SeedTag::Listing,
                      {static_cast<std::uint64_t>(store), static_cast<std::uint64_t>(index)});
    for (int i = 0; i < 3; ++i) {
        random.next(); // the title's draws
    }
    return money(500 + static_cast<long long>(random.below(60000)));
}

std::optional<ItemInfo> Catalog::itemById(std::string_view id) const {
    const auto where = locateItem(id);
    if (!where) {
        return std::nullopt;
    }
    return item(where->first, where->second);
}

ItemInfo Catalog::item(int store, int index) const {
    const CatalogWords& w = catalogWords();
    SeedRandom random(m_seed, SeedTag::Item,
                      {static_cast<std::uint64_t>(store), static_cast<std::uint64_t>(index)});
    ItemInfo item;
    item.store = store;
    item.index = index;
    item.category = index % m_categoriesPerStore;
    item.id = itemId(store, index);
    item.title = itemTitle(store, index);
    item.price = itemPrice(store, index);
    item.num = std::to_string(random.between(1, 999));
    item.cid = kCids[random.below(kCids.size())];
    item.sellerCids = "," + category(store, item.category).scid + ",";
    const std::size_t place = random.below(w.states.size());
    item.state = w.states[place];
    item.city = w.cities[place];
    const bool sellerPays = random.chance(0.3);
    item.freightPayer = sellerPays ? "seller" : "buyer";
    item.postFee = sellerPays ? "0.00" : money(random.between(5, 15) * 100);
    item.expressFee = sellerPays ? "0.00" : money(random.between(8, 20) * 100);
    item.emsFee = sellerPays ? "0.00" : money(random.between(15, 30) * 100);
    const int validDays = random.chance(0.5) ? 7 : 14;
    item.validThru = std::to_string(validDays);
    const int listDay = random.between(0, 700);
    const int listSecond = random.between(0, 86399);
    item.listTime = dateText(listDay, listSecond);
    item.delistTime = dateText(listDay + validDays, listSecond);
    item.modified = dateText(listDay + random.between(0, 6), random.between(0, 86399));
    item.approveStatus = random.chance(0.85) ? "onsale" : "instock";
    item.hasDiscount = random.chance(0.5) ? "true" : "false";
    item.hasInvoice = random.chance(0.3) ? "true" : "false";
    item.hasShowcase = random.chance(0.2) ? "true" : "false";
    item.hasWarranty = random.chance(0.6) ? "true" : "false";
    item.postageId = random.chance(0.5) ? "0" : std::to_string(random.between(1000000, 9999999));
    item.outerId = random.chance(0.6) ? "QL" + std::to_string(random.between(10000, 99999)) : "";
    if (random.chance(0.3)) {
        item.inputPids = "20000";
        item.inputStr = pick(random, w.adjectives) + w.brandSuffix;
    }

    // SKU shapes by position, so the first items of every store show each:
    // colours by sizes, no SKU at all, colours alone.
    const int shape = index % 3;
    std::vector<std::size_t> colors;
    std::vector<std::size_t> sizes;
    if (shape != 1) {
        const int colorCount = random.between(1, 3);
        const std::size_t firstColor = random.below(kColorVids.size());
        for (int c = 0; c < colorCount; ++c) {
            colors.push_back((firstColor + static_cast<std::size_t>(c)) % kColorVids.size());
        }
    }
    if (shape == 0) {
        const int sizeCount = random.between(1, 3);
        for (int s = 0; s < sizeCount; ++s) {
            sizes.push_back(static_cast<std::size_t>(s));
        }
    }
    const bool noteWaist = random.chance(0.25);
    item.props = "20000:" + std::to_string(random.between(29000, 30000));
    for (const std::size_t c : colors) {
        item.props += ";1627207:" + std::to_string(kColorVids[c]);
    }
    for (const std::size_t s : sizes) {
        item.props += ";20509:" + std::to_string(kSizeVids[s]);
    }
    if (!colors.empty() && random.chance(0.5)) {
        for (const std::size_t c : colors) {
            if (!item.propertyAlias.empty()) {
                item.propertyAlias += ";";
            }
            item.propertyAlias +=
                "1627207:" + std::to_string(kColorVids[c]) + ":" + w.colorAliases[c];
        }
    }
    const long long basePrice = static_cast<long long>(random.between(500, 60000));
    const std::vector<std::size_t> sizeAxis = sizes.empty() ? std::vector<std::size_t>{99} : sizes;
    int skuNumber = 0;
    for (const std::size_t c : colors) {
        for (const std::size_t s : sizeAxis) {
            SkuInfo sku;
            sku.skuId = std::to_string(20000000000ULL + random.below(9000000000ULL));
            const std::string colorVid = std::to_string(kColorVids[c]);
            sku.properties = "1627207:" + colorVid;
            sku.propertiesName = "1627207:" + colorVid + ":" + w.colorLabel + ":" + w.colors[c];
            if (s != 99) {
                const std::string sizeVid = std::to_string(kSizeVids[s]);
                sku.properties += ";20509:" + sizeVid;
                sku.propertiesName += ";20509:" + sizeVid + ":" + w.sizeLabel + ":" + kSizes[s];
                if (noteWaist) {
                    sku.propertiesName += w.waistNote;
                }
            }
            sku.quantity = std::to_string(random.between(0, 200));
            sku.price = money(basePrice + random.between(0, 30) * 100);
            sku.outerId = random.chance(0.5) ? "Q" + item.id.substr(item.id.size() - 4) + "-" +
                                                   std::to_string(skuNumber)
                                             : "";
            sku.created = item.listTime;
            sku.modified = item.modified;
            sku.status = "normal";
            item.skus.push_back(std::move(sku));
            ++skuNumber;
        }
    }

    const std::uint64_t idNumber = m_idBase + static_cast<std::uint64_t>(store) * kIdStride +
                                   static_cast<std::uint64_t>(index);
    const auto pictureKey = [&](std::uint64_t slot) {
        return SeedRandom(m_seed, SeedTag::Picture, {idNumber, slot}).next();
    };
    const std::string taobao = taobaoPictureHost();
    const std::string other = otherPictureHost();

    const int variedMainCount = random.between(1, 5);
    const int mainCount = m_mainPictures >= 0 ? m_mainPictures : variedMainCount;
    for (int n = 0; n < mainCount; ++n) {
        const std::uint64_t kind = random.below(10);
        const PictureFormat format = kind < 7   ? PictureFormat::Jpeg
                                     : kind < 9 ? PictureFormat::Png
                                                : PictureFormat::Gif;
        const char* extension = kind < 7 ? "jpg" : kind < 9 ? "png" : "gif";
        const std::string path = "/bao/uploaded/i" + std::to_string(random.between(1, 4)) + "/" +
                                 item.id + "/T1" + random.hex(12) + "_m" + std::to_string(n) + "." +
                                 extension;
        item.mainPictures.push_back(
            PictureRef::at(taobao, path, format, pictureKey(100 + static_cast<std::uint64_t>(n))));
    }
    for (std::size_t j = 0; j < colors.size(); ++j) {
        const bool chosen = random.chance(0.7);
        if (m_propPictures >= 0
                ? item.propPictures.size() >= static_cast<std::size_t>(m_propPictures)
                : !chosen) {
            continue;
        }
        const std::string path = "/bao/uploaded/i2/" + item.id + "/T2" + random.hex(12) + "_p" +
                                 std::to_string(j) + ".jpg";
        PictureRef ref = PictureRef::at(taobao, path, PictureFormat::Jpeg, pictureKey(200 + j));
        ref.properties = "1627207:" + std::to_string(kColorVids[colors[j]]);
        item.propPictures.push_back(std::move(ref));
    }
    // A fixed count is met also by items without colour SKUs.
    while (m_propPictures >= 0 &&
           item.propPictures.size() < static_cast<std::size_t>(m_propPictures)) {
        const std::size_t j = item.propPictures.size();
        const std::string path = "/bao/uploaded/i2/" + item.id + "/T3" + random.hex(12) + "_p" +
                                 std::to_string(j) + ".jpg";
        PictureRef ref = PictureRef::at(taobao, path, PictureFormat::Jpeg, pictureKey(300 + j));
        ref.properties = "1627207:" + std::to_string(kColorVids[j % kColorVids.size()]);
        item.propPictures.push_back(std::move(ref));
    }

    DescriptionMaker::describe(item, m_seed, idNumber, taobao, other);
    return item;
}

std::string Catalog::templateName(PageTemplate pageTemplate) {
    static const std::array<std::string, 3> kNames = {
        text::utf8ToGbk("普通"), text::utf8ToGbk("旺铺"), text::utf8ToGbk("店铺街")};
    return kNames[static_cast<std::size_t>(pageTemplate)];
}

} // namespace quillon::sim
