#include "engine/ItemRecordReader.h"

#include <gtest/gtest.h>

#include <array>
#include <string>
#include <string_view>
#include <vector>

#include "doc/XmlDocument.h"
#include "shell/Settings.h"
#include "text/TextCodec.h"

namespace quillon::engine {
namespace {

using shell::SettingsValues;

// "亅": its second byte is "|".
constexpr std::string_view kTrailPipe = "\x81\x7C";
// The full-width comma and blank.
constexpr std::string_view kWideComma = "\xA3\xAC";
constexpr std::string_view kWideBlank = "\xA1\xA1";

// One element of the item, its GBK text sent as UTF-8 as the platform does.
std::string element(std::string_view name, std::string_view gbkText) {
    std::string out = "<" + std::string(name) + ">";
    out += text::gbkToUtf8(gbkText);
    out += "</" + std::string(name) + ">";
    return out;
}

struct Sku {
    std::string price;
    std::string quantity;
    std::string outerId; // left out of the answer when empty
    std::string properties;
};

std::string skusElement(const std::vector<Sku>& skus) {
    std::string out = "<skus>";
    for (const Sku& sku : skus) {
        out += "<sku>" + element("price", sku.price) + element("quantity", sku.quantity);
        if (!sku.outerId.empty())
            out += element("outer_id", sku.outerId);
        out += element("properties", sku.properties) + "<sku_id>1</sku_id></sku>";
    }
    out += "</skus>";
    return out;
}

// A taobao.item.get answer as the open platform sends it.
doc::XmlDocument answer(std::string_view itemElements) {
    std::string bytes = "<?xml version=\"1.0\" encoding=\"utf-8\" ?><item_get_response><item>";
    bytes += itemElements;
    bytes += "</item></item_get_response><!--top173158.cm3-->";
    doc::XmlDocument document;
    EXPECT_TRUE(document.load(bytes));
    return document;
}

ItemRecord read(std::string_view itemElements, const SettingsValues& settings = {}) {
    return ItemRecordReader::readBasicFields(answer(itemElements), "42", settings);
}

SettingsValues priceAdjusted(std::string percent, std::string decimals) {
    SettingsValues settings;
    settings.priceAdjust = true;
    settings.pricePercent = std::move(percent);
    settings.priceDecimals = std::move(decimals);
    return settings;
}

// ---------------------------------------------------------------- fields

TEST(ItemRecordReaderFields, EveryFieldComesFromItsElement) {
    const std::string elements =
        element("title", "T") + element("cid", "50010850") + element("seller_cids", ",1,2,") +
        "<location>" + element("state", "\xD5\xE3\xBD\xAD") + element("city", "\xBA\xBC\xD6\xDD") +
        "</location>" + element("price", "12.50") + element("num", "7") +
        element("valid_thru", "14") + element("freight_payer", "buyer") +
        element("ems_fee", "20.00") + element("express_fee", "10.00") +
        element("post_fee", "5.00") + element("list_time", "2011-05-01 10:00:00") +
        element("props", "20000:3275069") + element("modified", "2011-05-02 11:00:00") +
        element("approve_status", "onsale") + element("has_warranty", "true") +
        element("input_pids", "20000") + element("input_str", "Nike") + element("outer_id", "X-1") +
        element("property_alias", "1627207:28341:red") + element("desc", "not read here");
    const ItemRecord record = read(elements);

    EXPECT_EQ(record.itemId, "42");
    EXPECT_EQ(record.title, "T");
    EXPECT_EQ(record.cid, "50010850");
    EXPECT_EQ(record.seller_cids, ",1,2,");
    EXPECT_EQ(record.state, "\xD5\xE3\xBD\xAD"); // 浙江, back in GBK
    EXPECT_EQ(record.city, "\xBA\xBC\xD6\xDD");
    EXPECT_EQ(record.price, "12.50"); // untouched without the adjustment
    EXPECT_EQ(record.num, "7");
    EXPECT_EQ(record.valid_thru, "14");
    EXPECT_EQ(record.freight_payer, "2");
    EXPECT_EQ(record.ems_fee, "20.00");
    EXPECT_EQ(record.express_fee, "10.00");
    EXPECT_EQ(record.post_fee, "5.00");
    EXPECT_EQ(record.list_time, "2011-05-01 10:00:00");
    EXPECT_EQ(record.props, "20000:3275069;");
    EXPECT_EQ(record.modified, "2011-05-02 11:00:00");
    EXPECT_EQ(record.approve_status, "200");
    EXPECT_EQ(record.has_warranty, "1");
    EXPECT_EQ(record.skuText, ";");
    EXPECT_EQ(record.input_pids, "20000");
    EXPECT_EQ(record.input_str, "Nike");
    EXPECT_EQ(record.outer_id, "X-1");
    EXPECT_EQ(record.property_alias, "1627207:28341:red;");
    EXPECT_EQ(record.desc, "");
    EXPECT_EQ(record.pictureText, "");
}

// What a record holds when the answer held nothing usable.
void expectDefaults(const ItemRecord& record, const std::string& price) {
    EXPECT_EQ(record.title, "");
    EXPECT_EQ(record.cid, "");
    EXPECT_EQ(record.price, price);
    EXPECT_EQ(record.freight_payer, "0");
    EXPECT_EQ(record.approve_status, "100");
    EXPECT_EQ(record.has_warranty, "0");
    EXPECT_EQ(record.props, ";");
    EXPECT_EQ(record.property_alias, ";");
    EXPECT_EQ(record.skuText, ";");
}

TEST(ItemRecordReaderFields, UnusableAnswersGiveDefaults) {
    const std::string answers[] = {
        "",
        "this is not XML at all <<< >>> &&&",
        std::string("\x00\x01\xFF<item_get_response", 20),
        "<error_response><code>7</code><msg>App Call Limited</msg></error_response>",
        "<?xml version=\"1.0\" encoding=\"utf-8\" ?><item_get_response><item><title>cut off",
    };
    for (const std::string& bytes : answers) {
        SCOPED_TRACE(bytes);
        doc::XmlDocument document;
        document.load(bytes);
        expectDefaults(ItemRecordReader::readBasicFields(document, "42", SettingsValues{}), "");
        // A price that is not there reads 0 once it is adjusted.
        expectDefaults(ItemRecordReader::readBasicFields(document, "42", priceAdjusted("120", "2")),
                       "0");
        EXPECT_EQ(ItemRecordReader::readDescription(document, SettingsValues{}), "");
    }
}

TEST(ItemRecordReaderFields, FiftyMegabyteAnswerIsReadWhole) {
    // A description of 10 000 escaped picture tags and filler, and 20 000 SKUs.
    std::string desc;
    for (int i = 0; i < 10000; ++i) {
        desc += "&lt;p&gt;a, b&lt;img src=&quot;http://img01.taobaocdn.com/" + std::to_string(i) +
                ".jpg&quot;&gt;&lt;/p&gt;\r\n";
    }
    while (desc.size() < 49'000'000)
        desc += std::string(4096, 'x') + ",";
    std::vector<Sku> skus(20000, Sku{"9.9", "3", "", "1627207:28341"});
    SettingsValues settings = priceAdjusted("85", "2");
    settings.stockUniform = true;
    settings.stockValue = "100";

    const doc::XmlDocument document = answer(element("title", "Big") + element("price", "9.9") +
                                             skusElement(skus) + "<desc>" + desc + "</desc>");
    const ItemRecord record = ItemRecordReader::readBasicFields(document, "42", settings);
    const std::string cleaned = ItemRecordReader::readDescription(document, settings);

    EXPECT_EQ(record.title, "Big");
    EXPECT_EQ(record.price, "8.42");
    std::string expectedSkus;
    for (int i = 0; i < 20000; ++i)
        expectedSkus += "8.42:100::1627207:28341;";
    EXPECT_EQ(record.skuText, expectedSkus + ";");
    EXPECT_EQ(cleaned.find(','), std::string::npos);
    EXPECT_EQ(cleaned.find('\n'), std::string::npos);
    EXPECT_TRUE(
        cleaned.starts_with("<p>a\xA3\xAC b<img src=\"\"http://img01.taobaocdn.com/0.jpg\"\">"));
}

// ---------------------------------------------------------------- title

TEST(ItemRecordReaderTitle, CleanUpTable) {
    const struct {
        std::string title;
        std::string expected;
    } cases[] = {
        {"a&amp;b", "a b"},
        {"a&amp;amp;b", "a b"}, // doubly escaped: step one leaves "amp;" for step two
        {"amp;b", "b"},
        {"it&apos;s", "it's"},
        {"a*b|c<d>e.f?g", "a b c d e f g"},
        {"v1.0...", "v1 0   "},
        {"&quot;x&quot;", "&quot;x&quot;"}, // not touched in the title
        {"&lt;x&gt;", "&lt;x&gt;"},
        {std::string(kTrailPipe) + "|",
         std::string(kTrailPipe) + " "}, // the "|" inside a character stays
        {"\xC4\xCD\xBF\xCB*", "\xC4\xCD\xBF\xCB "},
        {"", ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.title);
        EXPECT_EQ(ItemRecordReader::cleanTitle(c.title), c.expected);
    }
}

TEST(ItemRecordReaderTitle, TitleFromTheAnswerIsCleaned) {
    EXPECT_EQ(read(element("title", "Nike&amp;amp;Adidas*2.0 &apos;hot&apos;?")).title,
              "Nike Adidas 2 0 'hot' ");
}

TEST(ItemRecordReaderTitle, TitleOfRemovedCharactersOnly) {
    // Signs become blanks and the title is kept; escaped ampersands vanish
    // and leave an empty title, so the item gets no row.
    EXPECT_EQ(read(element("title", "*|.?")).title, "    ");
    EXPECT_EQ(read(element("title", "amp;amp;amp;")).title, "");
    EXPECT_EQ(read(element("title", "&amp;amp;")).title, " ");
}

// ---------------------------------------------------------------- code mappings

TEST(ItemRecordReaderMappings, CodesForBothVersions) {
    const struct {
        std::string_view element;
        std::string value; // empty: left out of the answer
        int version;
        std::string expected;
    } cases[] = {
        {"freight_payer", "seller", 4, "2"},
        {"freight_payer", "seller", 5, "1"},
        {"freight_payer", "buyer", 4, "1"},
        {"freight_payer", "buyer", 5, "2"},
        {"freight_payer", "", 4, "0"},
        {"freight_payer", "", 5, "0"},
        {"freight_payer", "Seller", 4, "Seller"},
        {"freight_payer", "other", 5, "other"},
        {"approve_status", "", 4, "100"},
        {"approve_status", "", 5, "100"},
        {"approve_status", "onsale", 4, "200"},
        {"approve_status", "onsale", 5, "200"},
        {"approve_status", "instock", 4, "instock"},
        {"approve_status", "instock", 5, "instock"},
        {"has_warranty", "true", 4, "1"},
        {"has_warranty", "true", 5, "1"},
        {"has_warranty", "false", 4, "0"},
        {"has_warranty", "", 5, "0"},
        {"has_warranty", "TRUE", 4, "0"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.element) + "=" + c.value + " v" + std::to_string(c.version));
        SettingsValues settings;
        settings.assistantVersion = c.version;
        const ItemRecord record = read(
            element("title", "T") + (c.value.empty() ? "" : element(c.element, c.value)), settings);
        const std::string& mapped = c.element == "freight_payer"    ? record.freight_payer
                                    : c.element == "approve_status" ? record.approve_status
                                                                    : record.has_warranty;
        EXPECT_EQ(mapped, c.expected);
    }
}

// ---------------------------------------------------------------- props and alias

TEST(ItemRecordReaderProps, SemicolonRules) {
    const struct {
        std::string value; // empty: left out of the answer
        std::string props;
        std::string alias;
    } cases[] = {
        {"", ";", ";"},
        {"20000:3275069;1627207:28341", "20000:3275069;1627207:28341;",
         "20000:3275069;1627207:28341;"},
        {"20000:3275069;", "20000:3275069;;", "20000:3275069;;"}, // already closed: a second one
        {";", ";", ";;"}, // the last ";" is the first character
        {";20000:3275069", ";20000:3275069", ";20000:3275069;"},
        {"20000:3275069", "20000:3275069;", "20000:3275069;"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.value);
        const std::string elements =
            c.value.empty() ? std::string()
                            : element("props", c.value) + element("property_alias", c.value);
        const ItemRecord record = read(element("title", "T") + elements);
        EXPECT_EQ(record.props, c.props);
        EXPECT_EQ(record.property_alias, c.alias);
    }
}

// ---------------------------------------------------------------- SKUs and prices

TEST(ItemRecordReaderSkus, SkuTextTable) {
    const std::vector<Sku> three = {
        {"100", "5", "a", "1627207:28341"},
        {"110", "6", "", "1627207:28340;20509:28315"},
        {"12.50", "0", "c", "1627207:3232483"},
    };
    SettingsValues uniform;
    uniform.stockUniform = true;
    uniform.stockValue = "100";
    SettingsValues emptyStock;
    emptyStock.stockUniform = true;
    emptyStock.stockValue = "";
    SettingsValues both = priceAdjusted("120", "");
    both.stockUniform = true;
    both.stockValue = " 9 ";

    const struct {
        const char* name;
        std::vector<Sku> skus;
        SettingsValues settings;
        std::string skuText;
        std::string price; // of the item, 100 in the answer
    } cases[] = {
        {"none", {}, {}, ";", "100"},
        {"none, adjusted", {}, priceAdjusted("120", ""), ";", "120"},
        {"one", {{"10", "5", "a", "1:2"}}, {}, "10:5:a:1:2;;", "100"},
        {"two in document order",
         {{"10", "5", "a", "1:2"}, {"11", "6", "", "1:3"}},
         {},
         "10:5:a:1:2;11:6::1:3;;",
         "100"},
        {"three",
         three,
         {},
         "100:5:a:1627207:28341;110:6::1627207:28340;20509:28315;12.50:0:c:1627207:3232483;;",
         "100"},
        {"three, uniform stock", three, uniform,
         "100:100:a:1627207:28341;110:100::1627207:28340;20509:28315;12.50:100:c:1627207:3232483;;",
         "100"},
        {"three, empty uniform stock", three, emptyStock,
         "100::a:1627207:28341;110:::1627207:28340;20509:28315;12.50::c:1627207:3232483;;", "100"},
        {"three, adjusted once each", three, priceAdjusted("120", ""),
         "120:5:a:1627207:28341;132:6::1627207:28340;20509:28315;15:0:c:1627207:3232483;;", "120"},
        {"three, adjusted, stock as typed", three, both,
         "120: 9 :a:1627207:28341;132: 9 ::1627207:28340;20509:28315;15: 9 :c:1627207:3232483;;",
         "120"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const ItemRecord record =
            read(element("title", "T") + element("price", "100") + element("num", "31") +
                     (c.skus.empty() ? std::string() : skusElement(c.skus)),
                 c.settings);
        EXPECT_EQ(record.skuText, c.skuText);
        EXPECT_EQ(record.price, c.price);
        EXPECT_EQ(record.num, "31"); // the uniform stock leaves the item's own number alone
    }
}

TEST(ItemRecordReaderSkus, EntriesLoseTheirLeadingBlanks) {
    // Each entry is trimmed as it is put in front, so blanks before a price
    // go wherever the SKU stands; blanks inside an entry stay.
    const std::vector<Sku> skus = {
        {" 10", "5", "a", "1:2"},
        {std::string(kWideBlank) + " 11", "6", "b ", "1:3 "},
    };
    EXPECT_EQ(read(element("title", "T") + skusElement(skus)).skuText, "10:5:a:1:2;11:6:b :1:3 ;;");
}

TEST(ItemRecordReaderSkus, EmptySkusElementGivesSemicolon) {
    EXPECT_EQ(read(element("title", "T") + "<skus></skus>").skuText, ";");
}

TEST(ItemRecordReaderPrices, AdjustmentAndRounding) {
    const struct {
        std::string price;
        std::string percent;
        std::string decimals;
        std::string expected;
    } cases[] = {
        // The plain adjustment keeps what "%.13g" gives.
        {"12.50", "120", "", "15"},
        {"9.9", "85", "", "8.415"},
        {"9.9", "85", "7", "8.415"},
        {"9.9", "85", "-1", "8.415"},
        {"9.9", "85", "2.0", "8.415"},
        {"9.9", "85", "two", "8.415"},
        {"abc", "120", "", "0"},
        {"", "120", "", "0"},
        {"10", "abc", "", "0"},
        {"\xA3\xB1\xA3\xB0", "150", "", "15"}, // full-width digits
        // Rounded half up on the decimal value, not the double below it.
        {"9.9", "85", "2", "8.42"},
        {"9.9", "85", "0", "8"},
        {"9.9", "85", " 2 ", "8.42"},
        {"9.9", "85", "02", "8.42"},
        {"9.9", "85", "6", "8.415"},
        {"12.50", "120", "2", "15"},
        {"12.5", "100", "2", "12.5"}, // no trailing zeros
        {"2.675", "100", "2", "2.68"},
        {"1.005", "100", "2", "1.01"},
        {"9.995", "100", "2", "10"},
        {"99.5", "100", "0", "100"},
        {"0.5", "100", "0", "1"},
        {"0.4", "100", "0", "0"},
        {"0.0001", "100", "2", "0"},
        {"0.00001", "100", "6", "0.00001"}, // "%.13g" writes 1e-05
        {"0.0000051", "100", "5", "0.00001"},
        {"0.0000049", "100", "5", "0"},
        {"1.5e20", "100", "0", "150000000000000000000"},
        {"-8.415", "100", "2", "-8.42"},
        {"-0.001", "100", "2", "0"},
        {"1234567.891", "100", "1", "1234567.9"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.price + " at " + c.percent + " with [" + c.decimals + "]");
        const SettingsValues settings = priceAdjusted(c.percent, c.decimals);
        EXPECT_EQ(ItemRecordReader::adjustPrice(c.price, settings), c.expected);
        // The item price and every SKU price go the same way.
        const ItemRecord record = read(element("title", "T") + element("price", c.price) +
                                           skusElement({{c.price, "1", "", "1:2"}}),
                                       settings);
        EXPECT_EQ(record.price, c.expected);
        EXPECT_EQ(record.skuText, c.expected + ":1::1:2;;");
    }
}

TEST(ItemRecordReaderPrices, NoAdjustmentKeepsTheText) {
    SettingsValues settings;
    settings.priceAdjust = false;
    settings.pricePercent = "120";
    settings.priceDecimals = "0";
    EXPECT_EQ(ItemRecordReader::adjustPrice("12.50", settings), "12.50");
    EXPECT_EQ(
        read(element("price", "12.50") + skusElement({{"9.90", "1", "", "1:2"}}), settings).skuText,
        "9.90:1::1:2;;");
}

// ---------------------------------------------------------------- description

TEST(ItemRecordReaderDescription, CleanUpTable) {
    const struct {
        std::string desc;
        std::string expected;
    } cases[] = {
        {"&lt;p&gt;a,b&lt;/p&gt;", "<p>a" + std::string(kWideComma) + "b</p>"},
        {"a\r\nb\r\n", "ab"},
        {"a\nb", "a\nb"}, // only the pair is a line break here
        {"&lt;img src=&quot;http://img.taobaocdn.com/a.jpg&quot;&gt;",
         "<img src=\"\"http://img.taobaocdn.com/a.jpg\"\">"},
        {"&quot;&quot;", "\"\"\"\""},
        {"a&amp;nbsp;b", "a b"},
        {"&amp;copy; &apos; &amp;", "&amp;copy; &apos; &amp;"}, // other references stay
        {"&amp;lt;", "&amp;lt;"},
        {"x|*|y", "x|*|y"},
        {"", ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.desc);
        EXPECT_EQ(ItemRecordReader::cleanDescription(c.desc), c.expected);
    }
}

TEST(ItemRecordReaderDescription, EscapedParagraphBecomesOneLine) {
    const std::string desc = "&lt;P&gt;\xD0\xC2\xBF\xEE,\xCF\xD6\xBB\xF5\r\n&lt;IMG "
                             "src=&quot;http://img03.taobaocdn.com/bao/a.jpg&quot;&gt;&lt;/P&gt;";
    const std::string cleaned =
        ItemRecordReader::readDescription(answer(element("desc", desc)), SettingsValues{});
    EXPECT_EQ(cleaned,
              "<P>\xD0\xC2\xBF\xEE" + std::string(kWideComma) +
                  "\xCF\xD6\xBB\xF5<IMG src=\"\"http://img03.taobaocdn.com/bao/a.jpg\"\"></P>");
}

// ---------------------------------------------------------------- replacements

TEST(ItemRecordReaderReplacements, AfterTheCleanUpsInOrder) {
    const struct {
        const char* name;
        std::array<std::string, 3> from;
        std::array<std::string, 3> to;
        std::string title;
        std::string desc;
    } cases[] = {
        {"none", {}, {}, "Nike Air Max", "<p>Nike" + std::string(kWideComma) + "Air</p>"},
        {"one pair",
         {"Nike", "", ""},
         {"NK", "", ""},
         "NK Air Max",
         "<p>NK" + std::string(kWideComma) + "Air</p>"},
        {"case-sensitive",
         {"nike", "", ""},
         {"NK", "", ""},
         "Nike Air Max",
         "<p>Nike" + std::string(kWideComma) + "Air</p>"},
        {"pairs in order, each seeing the last",
         {"Nike", "NK", "K A"},
         {"NK", "K", "-"},
         "-ir Max",
         "<p>K" + std::string(kWideComma) + "Air</p>"},
        {"empty source skipped",
         {"", "Air", ""},
         {"x", "", ""},
         "Nike  Max",
         "<p>Nike" + std::string(kWideComma) + "</p>"},
        {"blank made by the clean-up",
         {" ", "", ""},
         {"_", "", ""},
         "Nike_Air_Max",
         "<p>Nike" + std::string(kWideComma) + "Air</p>"},
        {"full-width comma made by the clean-up",
         {std::string(kWideComma), "", ""},
         {"/", "", ""},
         "Nike Air Max",
         "<p>Nike/Air</p>"},
        {"replacement not scanned again",
         {"i", "", ""},
         {"ii", "", ""},
         "Niike Aiir Max",
         "<p>Niike" + std::string(kWideComma) + "Aiir</p>"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        SettingsValues settings;
        settings.replaceFrom = c.from;
        settings.replaceTo = c.to;
        const doc::XmlDocument document =
            answer(element("title", "Nike Air*Max") + element("props", "Nike") +
                   element("desc", "&lt;p&gt;Nike,Air&lt;/p&gt;"));
        const ItemRecord record = ItemRecordReader::readBasicFields(document, "42", settings);
        EXPECT_EQ(record.title, c.title);
        EXPECT_EQ(record.props, "Nike;"); // other fields are not searched
        EXPECT_EQ(ItemRecordReader::readDescription(document, settings), c.desc);
    }
}

TEST(ItemRecordReaderSettings, LiveSettingsAreReadAtTheCall) {
    const doc::XmlDocument document =
        answer(element("title", "Nike") + element("price", "10") + element("desc", "Nike"));
    shell::Settings settings;
    SettingsValues values;
    values.priceAdjust = true;
    values.pricePercent = "150";
    values.replaceFrom[0] = "Nike";
    values.replaceTo[0] = "NK";
    settings.setValues(values);
    EXPECT_EQ(ItemRecordReader::readBasicFields(document, "42", settings).price, "15");
    EXPECT_EQ(ItemRecordReader::readDescription(document, settings), "NK");

    values.pricePercent = "50";
    values.replaceTo[0] = "N";
    settings.setValues(values);
    EXPECT_EQ(ItemRecordReader::readBasicFields(document, "42", settings).price, "5");
    EXPECT_EQ(ItemRecordReader::readDescription(document, settings), "N");
}

} // namespace
} // namespace quillon::engine
