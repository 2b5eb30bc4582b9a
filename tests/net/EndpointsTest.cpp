#include "net/Endpoints.h"

#include <atomic>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <string>
#include <thread>
#include <vector>

namespace quillon::net {
namespace {

// Writes `content` to a file of its own and removes it afterwards.
class EndpointsFile {
  public:
    explicit EndpointsFile(const std::string& content) {
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        m_path = (std::filesystem::temp_directory_path() /
                  (std::string("quillon-endpoints-") + info->name() + "-" +
                   std::to_string(counter()++) + ".ini"))
                     .string();
        std::ofstream(m_path, std::ios::binary) << content;
    }
    ~EndpointsFile() { std::remove(m_path.c_str()); }
    EndpointsFile(const EndpointsFile&) = delete;
    EndpointsFile& operator=(const EndpointsFile&) = delete;

    const std::string& path() const { return m_path; }

  private:
    static int& counter() {
        static int value = 0;
        return value;
    }
    std::string m_path;
};

bool sameRule(const ConnectRule& a, const ConnectRule& b) {
    return a.host == b.host && a.port == b.port && a.address == b.address &&
           a.targetPort == b.targetPort;
}

TEST(EndpointsFileTest, ReadsSectionsAndKeysWithoutRegardToCase) {
    EndpointsFile file("; test endpoints\r\n"
                       "[Endpoints]\r\n"
                       "  Gateway =  127.0.0.1:8080  \r\n"
                       "ITEM_HOST=item.sandbox.test\r\n"
                       "\r\n"
                       "  ; detail_host=commented.out\r\n"
                       "Config=http://config.sandbox.test:81\r\n"
                       "[other]\r\n"
                       "detail_host=not.this.one\r\n"
                       "[ connect_to ]\n"
                       "Some.Host.Test = 127.0.0.1:9000\n"
                       "* = 127.0.0.2:81\n"
                       "host.test:8080=10.0.0.1:80");
    std::string error;
    const auto endpoints = Endpoints::loadFile(file.path(), &error);
    ASSERT_TRUE(endpoints.has_value()) << error;
    const Endpoints defaults;
    EXPECT_EQ(endpoints->gateway, "127.0.0.1:8080");
    EXPECT_EQ(endpoints->itemHost, "item.sandbox.test");
    EXPECT_EQ(endpoints->detailHost, defaults.detailHost);
    EXPECT_EQ(endpoints->configBase, "http://config.sandbox.test:81");
    const std::vector<ConnectRule> expected = {
        {.host = "some.host.test", .port = 80, .address = "127.0.0.1", .targetPort = 9000},
        {.host = "*", .port = 80, .address = "127.0.0.2", .targetPort = 81},
        {.host = "host.test", .port = 8080, .address = "10.0.0.1", .targetPort = 80},
    };
    ASSERT_EQ(endpoints->connectTo.size(), expected.size());
    for (std::size_t i = 0; i < expected.size(); ++i) {
        EXPECT_TRUE(sameRule(endpoints->connectTo[i], expected[i])) << i;
    }
}

TEST(EndpointsFileTest, KeepsTheDefaultsForWhatTheFileLacks) {
    const Endpoints defaults;
    for (const char* content : {"", "[endpoints]\ngateway=\nunknown=1\n", "; nothing\n"}) {
        EndpointsFile file(content);
        const auto endpoints = Endpoints::loadFile(file.path());
        ASSERT_TRUE(endpoints.has_value()) << content;
        EXPECT_EQ(endpoints->gateway, defaults.gateway) << content;
        EXPECT_EQ(endpoints->itemHost, defaults.itemHost) << content;
        EXPECT_EQ(endpoints->detailHost, defaults.detailHost) << content;
        EXPECT_EQ(endpoints->configBase, defaults.configBase) << content;
        EXPECT_TRUE(endpoints->connectTo.empty()) << content;
    }
}

TEST(EndpointsFileTest, RejectsMalformedConnectToLinesWithAReason) {
    const char* const lines[] = {
        "host.test",               // no "="
        "host.test=127.0.0.1",     // no target port
        "host.test=127.0.0.1:abc", // port not a number
        "host.test=127.0.0.1:0",
        "host.test=127.0.0.1:70000",
        "host.test=:80", // no address
        "host.test:x=127.0.0.1:80",
        "=127.0.0.1:80", // no host
    };
    for (const char* line : lines) {
        EndpointsFile file(std::string("[CONNECT_TO]\r\nok.test=127.0.0.1:1\r\n") + line + "\r\n");
        std::string error;
        EXPECT_FALSE(Endpoints::loadFile(file.path(), &error).has_value()) << line;
        EXPECT_NE(error.find("line 3"), std::string::npos) << line << ": " << error;
    }
    std::string error;
    EXPECT_FALSE(Endpoints::loadFile("/nonexistent/quillon/endpoints.ini", &error).has_value());
    EXPECT_FALSE(error.empty());
}

TEST(EndpointsRulesTest, AnExactHostAndPortWinsOverTheCatchAll) {
    Endpoints endpoints;
    endpoints.connectTo = {
        {.host = "*", .port = 80, .address = "10.0.0.9", .targetPort = 9},
        {.host = "a.test", .port = 80, .address = "10.0.0.1", .targetPort = 1},
        {.host = "a.test", .port = 8080, .address = "10.0.0.2", .targetPort = 2},
    };
    const struct {
        const char* host;
        int port;
        int targetPort; // 0: no rule
    } cases[] = {
        {"a.test", 80, 1}, {"A.Test", 80, 1}, {"a.test", 8080, 2},
        {"a.test", 81, 9}, {"b.test", 80, 9}, {"b.test", 443, 9},
    };
    for (const auto& c : cases) {
        const ConnectRule* rule = endpoints.connectRuleFor(c.host, c.port);
        ASSERT_NE(rule, nullptr) << c.host << ":" << c.port;
        EXPECT_EQ(rule->targetPort, c.targetPort) << c.host << ":" << c.port;
    }
    endpoints.connectTo.erase(endpoints.connectTo.begin());
    EXPECT_EQ(endpoints.connectRuleFor("b.test", 80), nullptr);
    EXPECT_EQ(endpoints.connectRuleFor("a.test", 81), nullptr);
}

TEST(ActiveEndpointsTest, ReadersSeeWholeSetsWhileTheyAreReplaced) {
    std::atomic<bool> done{false};
    std::atomic<int> torn{0};
    std::vector<std::thread> readers;
    for (int i = 0; i < 4; ++i) {
        readers.emplace_back([&] {
            while (!done) {
                const auto endpoints = activeEndpoints();
                // Every set written below has matching gateway and item host.
                if (endpoints->gateway != endpoints->itemHost &&
                    endpoints->gateway != Endpoints{}.gateway) {
                    ++torn;
                }
            }
        });
    }
    for (int i = 0; i < 200; ++i) {
        Endpoints endpoints;
        endpoints.gateway = endpoints.itemHost = "host" + std::to_string(i) + ".test";
        setActiveEndpoints(std::move(endpoints));
    }
    done = true;
    for (std::thread& reader : readers) {
        reader.join();
    }
    EXPECT_EQ(torn, 0);
    EXPECT_EQ(activeEndpoints()->gateway, "host199.test");
    setActiveEndpoints({});
    EXPECT_EQ(activeEndpoints()->gateway, Endpoints{}.gateway);
}

} // namespace
} // namespace quillon::net
