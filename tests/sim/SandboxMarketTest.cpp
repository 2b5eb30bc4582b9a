#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <future>
#include <iostream>
#include <string>
#include <vector>

#include "SandboxClient.h"
#include "api/ApiRequest.h"
#include "doc/XmlDocument.h"
#include "net/Endpoints.h"
#include "sim/PictureMaker.h"
#include "sim/SandboxMarket.h"
#include "sim/StorePages.h"
#include "text/GbkText.h"
#include "text/Markers.h"
#include "text/TextCodec.h"

namespace {

using namespace std::chrono_literals;
using quillon::api::ApiRequest;
using quillon::doc::XmlDocument;
using quillon::sim::FaultKind;
using quillon::sim::FaultRule;
using quillon::sim::MarketConfig;
using quillon::sim::PictureMaker;
using quillon::sim::SandboxMarket;
using quillon::sim::StorePages;
using quillon::sim::testing::fetch;
namespace text = quillon::text;

// The gateway target of the program's signed request, blanks as %20.
std::string gatewayTarget(const SandboxMarket& market, const std::string& itemId) {
    const auto& credential = market.config().credentials.front();
    const std::string address =
        ApiRequest::forItem(itemId, credential.appKey, credential.appSecret, text::LocalTime::now(),
                            market.catalog().gatewayHost());
    return text::replaceAll(address.substr(address.find("/router/rest")), " ", "%20");
}

// Fails the test, instead of hanging it, when `work` outlives its budget.
template <typename Work>
void withinBudget(Work work, std::chrono::seconds budget, const char* what) {
    auto done = std::async(std::launch::async, work);
    if (done.wait_for(budget) != std::future_status::ready) {
        std::cerr << "hang: " << what << " did not finish within its budget\n";
        std::abort();
    }
    done.get();
}

class SandboxMarketTest : public ::testing::Test {
  protected:
    void SetUp() override {
        config.seed = 17;
        config.itemsPerStore = 25;
    }

    void startMarket() {
        std::string error;
        ASSERT_TRUE(market.start(config, 0, &error)) << error;
        ASSERT_GT(market.port(), 0);
    }

    MarketConfig config;
    SandboxMarket market;
};

TEST_F(SandboxMarketTest, ServesEveryPartyOnOnePortByHostName) {
    startMarket();
    const auto& catalog = market.catalog();
    const auto item = catalog.item(1, 0);
    const int port = market.port();

    auto answer = fetch(port, catalog.gatewayHost(), gatewayTarget(market, item.id));
    ASSERT_TRUE(answer);
    XmlDocument document;
    ASSERT_TRUE(document.load(answer->body));
    EXPECT_EQ(document.getText("@1/msg"), "");
    EXPECT_EQ(document.getText("item_get_response/item/price"), item.price);

    // The same pairs as a form body: the gateway reads POSTed arguments too.
    httplib::Client poster("127.0.0.1", port);
    const std::string target = gatewayTarget(market, item.id);
    const auto posted =
        poster.Post("/router/rest", {{"Host", catalog.gatewayHost()}},
                    target.substr(target.find('?') + 1), "application/x-www-form-urlencoded");
    ASSERT_TRUE(posted);
    ASSERT_TRUE(document.load(posted->body));
    EXPECT_EQ(document.getText("item_get_response/item/price"), item.price);

    for (const auto& host : {catalog.itemHost(), catalog.detailHost()}) {
        const auto page = fetch(port, host, "/item.htm?id=" + item.id);
        ASSERT_TRUE(page);
        EXPECT_EQ(text::cutBetween(page->body, "itemId:\"", "\","), item.id);
    }

    const auto list = fetch(port, catalog.configHost(), "/app2.xml");
    ASSERT_TRUE(list);
    XmlDocument credentials;
    ASSERT_TRUE(credentials.load(list->body));
    ASSERT_EQ(credentials.childCount("@1"), 3);
    std::string key;
    std::string secret;
    EXPECT_TRUE(credentials.getAttribute("@1/@3", "appkey", key));
    EXPECT_TRUE(credentials.getAttribute("@1/@3", "appsecret", secret));
    EXPECT_EQ(key, config.credentials[2].appKey);
    EXPECT_EQ(secret, config.credentials[2].appSecret);

    const auto search =
        fetch(port, "SHOP2." + std::string("sandbox.test") + ":80", "/search.htm?search=y");
    ASSERT_TRUE(search);
    EXPECT_EQ(search->body, StorePages(catalog, 0).listPage(1, -1, 1));

    const auto& picture = item.mainPictures.front();
    const auto bytes = fetch(port, picture.host, picture.target);
    ASSERT_TRUE(bytes);
    EXPECT_EQ(bytes->body, PictureMaker::make(picture.format, picture.key));
    EXPECT_EQ(bytes->get_header_value("Content-Type"), PictureMaker::contentType(picture.format));

    for (const std::string host :
         {"shop4.sandbox.test", "shop01.sandbox.test", "item.taobao.com"}) {
        const auto unknown = fetch(port, host, "/search.htm?search=y");
        ASSERT_TRUE(unknown);
        EXPECT_EQ(unknown->status, 404) << host;
    }
}

TEST_F(SandboxMarketTest, EndpointsFileSendsEveryHostToTheSandbox) {
    startMarket();
    const auto path = std::filesystem::temp_directory_path() /
                      ("quillon-sim-endpoints-" + std::to_string(market.port()) + ".ini");
    std::ofstream(path, std::ios::binary) << market.endpointsIni();
    std::string error;
    const auto loaded = quillon::net::Endpoints::loadFile(path.string(), &error);
    std::filesystem::remove(path);
    ASSERT_TRUE(loaded) << error;
    const auto inProcess = market.endpoints();
    for (const auto* endpoints : {&*loaded, &inProcess}) {
        EXPECT_EQ(endpoints->gateway, "gw.sandbox.test");
        EXPECT_EQ(endpoints->itemHost, "item.sandbox.test");
        EXPECT_EQ(endpoints->detailHost, "detail.sandbox.test");
        EXPECT_EQ(endpoints->configBase, "http://cfg.sandbox.test");
        for (const char* host :
             {"gw.sandbox.test", "shop3.sandbox.test", "pic.othercdn.sandbox.test"}) {
            const auto* rule = endpoints->connectRuleFor(host, 80);
            ASSERT_NE(rule, nullptr);
            EXPECT_EQ(rule->address, "127.0.0.1");
            EXPECT_EQ(rule->targetPort, market.port());
        }
    }
}

TEST_F(SandboxMarketTest, TheRequestLogKeepsWhatArrived) {
    startMarket();
    const auto before = std::chrono::system_clock::now();
    httplib::Client client("127.0.0.1", market.port());
    client.set_url_encode(false);
    ASSERT_TRUE(
        client.Get("/search.htm?&pageNum=2", {{"Host", "shop1.sandbox.test"}, {"X-Probe", "yes"}}));
    const auto target = gatewayTarget(market, market.catalog().itemId(0, 3));
    ASSERT_TRUE(fetch(market.port(), "gw.sandbox.test", target));
    const auto after = std::chrono::system_clock::now();

    const auto log = market.requestLog();
    ASSERT_EQ(log.size(), 2u);
    EXPECT_EQ(log[0].host, "shop1.sandbox.test");
    EXPECT_EQ(log[0].path, "/search.htm");
    EXPECT_EQ(log[0].query, "&pageNum=2");
    EXPECT_EQ(log[0].status, 200);
    EXPECT_TRUE(std::any_of(log[0].headers.begin(), log[0].headers.end(), [](const auto& h) {
        return h.first == "X-Probe" && h.second == "yes";
    }));
    EXPECT_GE(log[0].time, before);
    EXPECT_LE(log[1].time, after);
    EXPECT_EQ(log[1].target, target); // raw, %20 and all
    EXPECT_NE(log[1].query.find("timestamp=20"), std::string::npos);
    EXPECT_EQ(market.requestCount(), 2u);
}

TEST_F(SandboxMarketTest, TheSameSeedServesTheSameBytes) {
    startMarket();
    SandboxMarket twin;
    SandboxMarket other;
    MarketConfig otherConfig = config;
    otherConfig.seed = config.seed + 1;
    ASSERT_TRUE(twin.start(config));
    ASSERT_TRUE(other.start(otherConfig));
    const auto item = market.catalog().item(2, 4);
    const std::pair<std::string, std::string> asked[] = {
        {"shop3.sandbox.test", "/search.htm?&pageNum=1"},
        {"item.sandbox.test", "/item.htm?id=" + item.id},
        {item.descPictures.front().host, item.descPictures.front().target},
    };
    for (const auto& [host, target] : asked) {
        const auto mine = fetch(market.port(), host, target);
        const auto twins = fetch(twin.port(), host, target);
        const auto others = fetch(other.port(), host, target);
        ASSERT_TRUE(mine && twins && others);
        EXPECT_EQ(mine->body, twins->body) << target;
        EXPECT_NE(mine->body, others->body) << target;
    }
}

TEST_F(SandboxMarketTest, EachFaultActsOnTheWire) {
    config.faults.trickleChunkBytes = 16;
    config.faults.trickleDelayMs = 1;
    struct Case {
        FaultKind kind;
        const char* path;
    };
    const Case cases[] = {
        {FaultKind::Close, "/close"},       {FaultKind::Hang, "/hang"},
        {FaultKind::Truncate, "/truncate"}, {FaultKind::ServerError, "/error"},
        {FaultKind::Garbage, "/garbage"},   {FaultKind::Trickle, "/trickle"},
        {FaultKind::Latency, "/latency"},
    };
    for (const Case& c : cases) {
        // Store pages answer any path: unknown ones with a 404 page of their own.
        config.faults.rules.push_back(FaultRule{c.kind, 1.0, "shop1.sandbox.test", c.path, 20});
    }
    config.faults.hangCapMs = 60000;
    startMarket();
    const int port = market.port();
    // Each path picks its rule; the page itself is the store's 404 page.
    const auto ask = [&](const char* path) { return fetch(port, "shop1.sandbox.test", path, 1s); };
    const auto plain = fetch(port, "shop1.sandbox.test", "/missing.htm");
    ASSERT_TRUE(plain);
    const std::string notFound = plain->body;

    EXPECT_FALSE(ask("/close"));
    EXPECT_FALSE(ask("/hang"));
    EXPECT_FALSE(ask("/truncate"));
    const auto error = ask("/error");
    ASSERT_TRUE(error);
    EXPECT_EQ(error->status, 500);
    EXPECT_NE(error->body.find("500 Internal Server Error"), std::string::npos);
    const auto garbage = ask("/garbage");
    ASSERT_TRUE(garbage);
    EXPECT_EQ(garbage->status, 200);
    EXPECT_NE(garbage->body, notFound);
    EXPECT_GE(garbage->body.size(), 64u);
    for (const char* path : {"/trickle", "/latency"}) {
        const auto slow = ask(path);
        ASSERT_TRUE(slow) << path;
        EXPECT_EQ(slow->body, notFound) << path;
    }
    // The rules name one host: the others are untouched.
    const auto other = fetch(port, "shop2.sandbox.test", "/close");
    ASSERT_TRUE(other);
    EXPECT_EQ(other->status, 404);

    const auto log = market.requestLog();
    std::vector<std::string> faults;
    for (const auto& entry : log) {
        faults.push_back(entry.fault);
    }
    EXPECT_EQ(faults, (std::vector<std::string>{"", "close", "hang", "truncate", "error500",
                                                "garbage", "trickle", "", ""}));
    EXPECT_EQ(log[1].status, 0); // nothing was answered
    EXPECT_EQ(log[2].status, 0);
}

TEST_F(SandboxMarketTest, FaultsFireAtTheirRateAndReplayWithTheSeed) {
    config.faults.rules.push_back(
        FaultRule{FaultKind::ServerError, 0.3, "cfg.sandbox.test", "", 0});
    const auto pattern = [](const MarketConfig& c) {
        SandboxMarket sandbox;
        EXPECT_TRUE(sandbox.start(c));
        std::string fired;
        for (int i = 0; i < 300; ++i) {
            const auto reply = fetch(sandbox.port(), "cfg.sandbox.test", "/app2.xml");
            fired += reply && reply->status == 500 ? '1' : '0';
        }
        // Another host is never hit.
        for (int i = 0; i < 20; ++i) {
            const auto reply = fetch(sandbox.port(), "shop1.sandbox.test", "/search.htm?search=y");
            EXPECT_TRUE(reply && reply->status == 200);
        }
        return fired;
    };
    const std::string first = pattern(config);
    const auto count = std::count(first.begin(), first.end(), '1');
    EXPECT_GT(count, 60); // 90 expected; the bounds are over 3.5 standard deviations away
    EXPECT_LT(count, 120);
    EXPECT_EQ(pattern(config), first);
    MarketConfig reseeded = config;
    reseeded.seed += 1;
    EXPECT_NE(pattern(reseeded), first);
}

TEST_F(SandboxMarketTest, StopEndsHangsDelaysAndTricklesAtOnce) {
    config.latencyMs = 0;
    config.faults.hangCapMs = 600000;
    config.faults.trickleChunkBytes = 1;
    config.faults.trickleDelayMs = 1000;
    config.faults.rules = {
        FaultRule{FaultKind::Hang, 1.0, "", "/hang", 0},
        FaultRule{FaultKind::Latency, 1.0, "", "/slow", 600000},
        FaultRule{FaultKind::Trickle, 1.0, "", "/trickle", 0},
    };
    startMarket();
    const int port = market.port();
    std::vector<std::future<bool>> clients;
    for (const char* path : {"/hang", "/slow", "/trickle"}) {
        clients.push_back(std::async(std::launch::async, [port, path] {
            return static_cast<bool>(fetch(port, "shop1.sandbox.test", path, 600s));
        }));
    }
    // Two of the three are logged once their handler has run.
    const auto deadline = std::chrono::steady_clock::now() + 10s;
    while (market.requestLog().size() < 2 && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(5ms);
    }
    std::this_thread::sleep_for(50ms); // let the delayed request reach its wait
    withinBudget([this] { market.stop(); }, 20s, "stop");
    EXPECT_FALSE(market.running());
    for (auto& client : clients) {
        ASSERT_EQ(client.wait_for(20s), std::future_status::ready);
        EXPECT_FALSE(client.get());
    }
}

TEST_F(SandboxMarketTest, RefusesABusyPortAndStartsAgainAfterStop) {
    startMarket();
    SandboxMarket second;
    std::string error;
    EXPECT_FALSE(second.start(config, market.port(), &error));
    EXPECT_NE(error.find(std::to_string(market.port())), std::string::npos);
    EXPECT_FALSE(market.start(config, 0, &error));

    market.stop();
    EXPECT_EQ(market.port(), 0);
    startMarket();
    const auto reply = fetch(market.port(), "cfg.sandbox.test", "/app2.xml");
    ASSERT_TRUE(reply);
    EXPECT_EQ(reply->status, 200);
}

} // namespace
