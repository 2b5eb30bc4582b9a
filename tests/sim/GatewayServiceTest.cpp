#include <gtest/gtest.h>

#include <algorithm>
#include <ctime>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "api/ApiRequest.h"
#include "doc/XmlDocument.h"
#include "sim/Catalog.h"
#include "sim/GatewayService.h"
#include "sim/Markup.h"
#include "text/GbkText.h"
#include "text/LocalTime.h"
#include "text/Md5.h"

namespace {

using quillon::api::ApiRequest;
using quillon::doc::XmlDocument;
using quillon::sim::Catalog;
using quillon::sim::GatewayService;
using quillon::sim::MarketConfig;
using quillon::sim::Markup;
using quillon::sim::SandboxCredential;
using quillon::sim::SimRequest;
using quillon::text::LocalTime;
namespace text = quillon::text;

const SandboxCredential kFirst{"12129701", "secret-one", 0};
const SandboxCredential kSecond{"12129702", "secret-two", 0};
const SandboxCredential kLimited{"30000001", "secret-limited", 2};

// The local clock shifted by `seconds`, as the program would read it then.
LocalTime clockShiftedBy(long seconds) {
    const std::time_t when = std::time(nullptr) + seconds;
    std::tm local{};
    localtime_r(&when, &local);
    return LocalTime{local.tm_year + 1900,
                     local.tm_mon + 1,
                     local.tm_mday,
                     local.tm_hour,
                     local.tm_min,
                     local.tm_sec,
                     0};
}

using Pairs = std::vector<std::pair<std::string, std::string>>;

// The query of an address the program built, split into its pairs.
Pairs pairsOf(const std::string& address) {
    Pairs pairs;
    const std::string query = address.substr(address.find('?') + 1);
    std::size_t start = 0;
    while (start < query.size()) {
        std::size_t end = query.find('&', start);
        if (end == std::string::npos)
            end = query.size();
        const std::string piece = query.substr(start, end - start);
        const std::size_t equals = piece.find('=');
        pairs.emplace_back(piece.substr(0, equals), piece.substr(equals + 1));
        start = end + 1;
    }
    return pairs;
}

// The signature recomputed over the pairs (all but "sign"), sorted by key.
std::string signatureOf(Pairs pairs, const std::string& secret) {
    std::erase_if(pairs, [](const auto& p) { return p.first == "sign"; });
    std::sort(pairs.begin(), pairs.end());
    std::string base = secret;
    for (const auto& [k, v] : pairs)
        base += k + v;
    return text::md5UpperHex(base + secret);
}

void setPair(Pairs& pairs, const std::string& key, std::optional<std::string> value) {
    const auto it =
        std::find_if(pairs.begin(), pairs.end(), [&](const auto& p) { return p.first == key; });
    if (!value) {
        if (it != pairs.end())
            pairs.erase(it);
    } else if (it == pairs.end()) {
        pairs.emplace_back(key, *value);
    } else {
        it->second = *value;
    }
}

// The request as it arrives: blanks written as %20, nothing else escaped.
SimRequest onTheWire(const Pairs& pairs) {
    std::string query;
    for (const auto& [k, v] : pairs) {
        if (!query.empty())
            query += '&';
        query += k + "=" + text::replaceAll(v, " ", "%20");
    }
    SimRequest request;
    request.method = "GET";
    request.host = "gw.sandbox.test";
    request.path = "/router/rest";
    request.query = query;
    request.target = request.path + "?" + query;
    return request;
}

SimRequest onTheWire(const std::string& address) {
    return onTheWire(pairsOf(address));
}

class GatewayServiceTest : public ::testing::Test {
  protected:
    MarketConfig config = [] {
        MarketConfig c;
        c.seed = 3;
        c.itemsPerStore = 12;
        return c;
    }();
    Catalog catalog{config};
    GatewayService gateway{catalog, {kFirst, kSecond, kLimited}};

    std::string itemId(int store = 0, int index = 0) const { return catalog.itemId(store, index); }

    std::string signedAddress(const std::string& id, const SandboxCredential& credential,
                              const LocalTime& when = LocalTime::now()) const {
        return ApiRequest::forItem(id, credential.appKey, credential.appSecret, when,
                                   "gw.sandbox.test");
    }

    // The answer loaded the way the program loads it (UTF-8 to GBK).
    XmlDocument ask(const SimRequest& request) {
        const auto reply = gateway.handle(request);
        EXPECT_EQ(reply.status, 200);
        XmlDocument document;
        EXPECT_TRUE(document.load(reply.body));
        return document;
    }
};

TEST_F(GatewayServiceTest, AnswersTheProgramsSignedRequestWithTheItem) {
    // An item with SKUs and property pictures.
    int index = 0;
    while (index < catalog.itemsPerStore() && catalog.item(0, index).propPictures.empty()) {
        ++index;
    }
    ASSERT_LT(index, catalog.itemsPerStore());
    const auto item = catalog.item(0, index);
    ASSERT_FALSE(item.skus.empty());
    const auto reply = gateway.handle(onTheWire(signedAddress(item.id, kFirst)));
    EXPECT_TRUE(reply.body.starts_with(
        "<?xml version=\"1.0\" encoding=\"utf-8\" ?><item_get_response><item>"));
    EXPECT_TRUE(reply.body.find("</item_get_response><!--top") != std::string::npos);
    EXPECT_TRUE(reply.body.ends_with("-->"));

    XmlDocument answer;
    ASSERT_TRUE(answer.load(reply.body));
    EXPECT_EQ(answer.getText("@1/msg"), "");
    const std::string at = "item_get_response/item/";
    EXPECT_EQ(answer.getText(at + "title"), Markup::xml(item.title));
    EXPECT_EQ(answer.getText(at + "price"), item.price);
    EXPECT_EQ(answer.getText(at + "location/city"), item.city);
    EXPECT_EQ(answer.getText(at + "location/state"), item.state);
    EXPECT_EQ(answer.getText(at + "seller_cids"), item.sellerCids);
    EXPECT_EQ(answer.getText(at + "props"), item.props);
    EXPECT_EQ(answer.childCount(at + "skus"), static_cast<int>(item.skus.size()));
    EXPECT_EQ(answer.getText(at + "skus/@1/properties"), item.skus[0].properties);
    EXPECT_EQ(answer.getText(at + "skus/@1/price"), item.skus[0].price);
    EXPECT_EQ(answer.childCount(at + "item_imgs"), static_cast<int>(item.mainPictures.size()));
    EXPECT_EQ(answer.getText(at + "item_imgs/@1/url"), item.mainPictures[0].address);
    EXPECT_EQ(answer.getText(at + "prop_imgs/@1/properties"), item.propPictures[0].properties);
    std::string listFlag;
    EXPECT_TRUE(answer.getAttribute(at + "skus", "list", listFlag));
    EXPECT_EQ(listFlag, "true");

    // The description as escaped HTML: the program's clean-up gives back the
    // HTML, whose picture addresses it then finds.
    std::string desc = answer.getText(at + "desc");
    const std::pair<const char*, const char*> entities[] = {
        {"&quot;", "\""}, {"&apos;", "'"}, {"&lt;", "<"}, {"&gt;", ">"}, {"&amp;", "&"}};
    for (const auto& [from, to] : entities) {
        desc = text::replaceAll(desc, from, to);
    }
    EXPECT_EQ(desc, item.desc);

    // Only requested fields, in alphabetical order.
    const auto itemNode = answer.findNode("item_get_response/item");
    ASSERT_TRUE(itemNode);
    std::vector<std::string> names;
    for (const int child : answer.node(*itemNode)->children) {
        names.push_back(answer.node(child)->name);
    }
    EXPECT_TRUE(std::is_sorted(names.begin(), names.end()));
    EXPECT_EQ(std::count(names.begin(), names.end(), "num_iid"), 0);
    EXPECT_EQ(std::count(names.begin(), names.end(), "has_warranty"), 1);
}

TEST_F(GatewayServiceTest, RefusesEverySingleFieldChange) {
    const Pairs good = pairsOf(signedAddress(itemId(), kFirst));
    ASSERT_EQ(good.size(), 9u);
    ASSERT_EQ(ask(onTheWire(good)).getText("@1/msg"), "");

    struct Case {
        const char* what;
        const char* key;
        std::optional<std::string> value; // nullopt drops the pair
        bool resign;                      // sign again with the first secret
        const char* code;
    };
    const std::string fields(GatewayService::kFields);
    const Case cases[] = {
        {"another app key", "app_key", kSecond.appKey, true, "25"},
        {"an unknown app key", "app_key", "99999999", true, "29"},
        {"no app key", "app_key", std::nullopt, true, "28"},
        {"fields without the final blank", "fields", fields.substr(0, fields.size() - 1), true,
         "41"},
        {"fields changed, not signed again", "fields", "title", false, "25"},
        {"no fields", "fields", std::nullopt, true, "40"},
        {"format json", "format", "json", true, "23"},
        {"no format", "format", std::nullopt, true, "40"},
        {"another method", "method", "taobao.item.list", true, "22"},
        {"no method", "method", std::nullopt, true, "21"},
        {"an unknown item", "num_iid", "123", true, "15"},
        {"a non-numeric item", "num_iid", "12a", true, "41"},
        {"no item", "num_iid", std::nullopt, true, "40"},
        {"another item, not signed again", "num_iid", catalog.itemId(1, 1), false, "25"},
        {"sign method hmac", "sign_method", "hmac", true, "41"},
        {"no sign method", "sign_method", std::nullopt, true, "40"},
        {"eleven minutes early", "timestamp", ApiRequest::timestampText(clockShiftedBy(-660)), true,
         "31"},
        {"eleven minutes late", "timestamp", ApiRequest::timestampText(clockShiftedBy(660)), true,
         "31"},
        {"a time stamp in another form", "timestamp", "2013-6-10 8:05:09", true, "31"},
        {"no time stamp", "timestamp", std::nullopt, true, "30"},
        {"version 1.0", "v", "1.0", true, "34"},
        {"no version", "v", std::nullopt, true, "32"},
        {"a lower-case signature", "sign", text::lowerAscii(good.back().second), false, "25"},
        {"no signature", "sign", std::nullopt, false, "24"},
        {"an extra session", "session", "abc", true, "41"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Pairs pairs = good;
        setPair(pairs, c.key, c.value);
        if (c.resign) {
            setPair(pairs, "sign", signatureOf(pairs, kFirst.appSecret));
        }
        const XmlDocument answer = ask(onTheWire(pairs));
        EXPECT_EQ(answer.getText("error_response/code"), c.code);
        EXPECT_NE(answer.getText("@1/msg"), "");
    }
}

TEST_F(GatewayServiceTest, AcceptsAClockWithinTenMinutesAndUnescapesOnlyPercentPairs) {
    for (const long shift : {-540L, 540L}) {
        const auto answer = ask(onTheWire(signedAddress(itemId(), kFirst, clockShiftedBy(shift))));
        EXPECT_EQ(answer.getText("@1/msg"), "") << shift;
    }
    // A "+" is not a blank: the fields list then differs from what was signed.
    Pairs pairs = pairsOf(signedAddress(itemId(), kFirst));
    SimRequest request = onTheWire(pairs);
    request.query = text::replaceAll(request.query, "%20", "+");
    EXPECT_NE(ask(request).getText("@1/msg"), "");
}

TEST_F(GatewayServiceTest, NamesRefusalsLikeThePlatform) {
    const auto unknown = ask(onTheWire(signedAddress("10", kFirst)));
    EXPECT_EQ(unknown.getText("error_response/code"), "15");
    EXPECT_EQ(unknown.getText("error_response/msg"), "Remote service error");
    EXPECT_EQ(unknown.getText("error_response/sub_code"),
              "isv.item-get-service-error:ITEM_NOT_FOUND");

    SimRequest badSign = onTheWire(signedAddress(itemId(), kFirst));
    badSign.query = text::replaceAll(badSign.query, "v=2.0", "v=2.0&x=1");
    const auto bad = gateway.handle(badSign);
    EXPECT_TRUE(bad.body.starts_with(
        "<?xml version=\"1.0\" encoding=\"utf-8\" ?><error_response><code>25</code><msg>Invalid "
        "signature</msg></error_response><!--top"));
}

TEST_F(GatewayServiceTest, ACallLimitRefusesTheKeyButNotTheOthers) {
    for (int call = 1; call <= 4; ++call) {
        const auto answer = ask(onTheWire(signedAddress(itemId(), kLimited)));
        if (call <= 2) {
            EXPECT_EQ(answer.getText("@1/msg"), "") << call;
        } else {
            EXPECT_EQ(answer.getText("error_response/code"), "7") << call;
            EXPECT_EQ(answer.getText("error_response/msg"), "App Call Limited");
            EXPECT_EQ(answer.getText("error_response/sub_code"),
                      "accesscontrol.limited-by-app-access-count");
            EXPECT_TRUE(
                answer.getText("error_response/sub_msg").starts_with("This ban will last for "));
        }
    }
    EXPECT_EQ(gateway.callCount(kLimited.appKey), 4);
    EXPECT_EQ(ask(onTheWire(signedAddress(itemId(), kSecond))).getText("@1/msg"), "");
    // A refused signature is no call of the key.
    SimRequest forged = onTheWire(signedAddress(itemId(), kSecond));
    forged.query = text::replaceAll(forged.query, "format=xml", "format=xml&x=1");
    ask(forged);
    EXPECT_EQ(gateway.callCount(kSecond.appKey), 1);
}

TEST_F(GatewayServiceTest, KeepsASellersUndefinedEntityInAPropertyName) {
    // Some items carry "&le;" in a SKU property name; the answer keeps it as
    // it came, and the program's reader must still read the item.
    for (int index = 0; index < catalog.itemsPerStore(); ++index) {
        const auto item = catalog.item(0, index);
        const auto reply = gateway.handle(onTheWire(signedAddress(item.id, kFirst)));
        if (reply.body.find("&le;") == std::string::npos) {
            continue;
        }
        XmlDocument answer;
        ASSERT_TRUE(answer.load(reply.body));
        EXPECT_EQ(answer.getText("item_get_response/item/title"), Markup::xml(item.title));
        return;
    }
    FAIL() << "no item of the first store has the entity";
}

} // namespace
