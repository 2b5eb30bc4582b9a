#include "net/HttpClient.h"
#include "net/PlainDownload.h"
#include "net/ScriptedHttpRequest.h"

#include "HoldingServer.h"
#include "LoopbackServer.h"
#include "NetTestSupport.h"
#include "RawServer.h"

#include <atomic>
#include <gtest/gtest.h>
#include <string>
#include <thread>
#include <vector>

namespace quillon::net {
namespace {

using support::HoldingServer;
using support::LoopbackServer;
using support::RawServer;
using support::RecordedRequest;

const std::string kDefaultAccept =
    "image/gif, image/x-xbitmap, image/jpeg, image/pjpeg, application/x-shockwave-flash, "
    "application/vnd.ms-excel, application/vnd.ms-powerpoint, application/msword, */*";

// A server that answers every GET and POST with "ok".
LoopbackServer okServer() {
    return LoopbackServer([](httplib::Server& s) {
        const auto ok = [](const httplib::Request&, httplib::Response& res) {
            res.set_content("ok", "text/plain");
        };
        s.Get(".*", ok);
        s.Post(".*", ok);
    });
}

// The values of every header line called `name`, in order.
std::vector<std::string> values(const RecordedRequest& request, const std::string& name) {
    std::vector<std::string> out;
    const auto [first, last] = request.headers.equal_range(name);
    for (auto it = first; it != last; ++it) {
        out.push_back(it->second);
    }
    return out;
}

// The request line of a raw request.
std::string requestLine(const std::string& raw) {
    return raw.substr(0, raw.find("\r\n"));
}

const char* const kOkReply = "HTTP/1.1 200 OK\r\nContent-Length: 2\r\nConnection: close\r\n\r\nok";

class HttpClientTest : public NetTest {};

TEST(HttpClientUrlParts, SplitAddressesIntoHostPortAndTarget) {
    const struct {
        const char* address;
        const char* host;
        const char* hostWithPort;
        int port;
        const char* path;
    } cases[] = {
        {"http://host:8080/a/b?x=1", "host", "host:8080", 8080, "/a/b?x=1"},
        {"http://WWW.Example.COM", "www.example.com", "www.example.com", 80, "/"},
        {"item.taobao.com/item.htm?id=1", "item.taobao.com", "item.taobao.com", 80,
         "/item.htm?id=1"},
        // "http://" is not in a secure address: the scheme is read as the host.
        {"https://secure.test/x", "https", "https:", 0, "//secure.test/x"},
        {"http://host:/x", "host", "host:", 0, "/x"},
        {"http://host:80abc/x", "host", "host:80abc", 80, "/x"},
        {"see http://a.test/p http://b.test/q", "a.test", "a.test", 80, "/p http://b.test/q"},
        {"http://host?q=/1", "host?q=", "host?q=", 80, "/1"},
        {"http://host:99999/", "host", "host:99999", 0, "/"},
        {"", "", "", 80, "/"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(hostOf(c.address), c.host) << c.address;
        EXPECT_EQ(hostOf(c.address, true), c.hostWithPort) << c.address;
        EXPECT_EQ(portOf(c.address), c.port) << c.address;
        EXPECT_EQ(pathOf(c.address), c.path) << c.address;
    }
}

TEST_F(HttpClientTest, SendsTheBrowserHeaders) {
    LoopbackServer server = okServer();
    const std::string address = server.url("/page?id=7");
    ASSERT_EQ(HttpClient::fetch(address), "ok");
    const RecordedRequest request = server.lastRequest();
    EXPECT_EQ(request.method, "GET");
    EXPECT_EQ(request.target, "/page?id=7");
    EXPECT_EQ(values(request, "Accept"), std::vector<std::string>{kDefaultAccept});
    EXPECT_EQ(values(request, "Referer"), std::vector<std::string>{address});
    EXPECT_EQ(values(request, "Accept-Language"), std::vector<std::string>{"zh-cn"});
    EXPECT_EQ(request.header("User-Agent"), HttpClient::kUserAgent);
    EXPECT_FALSE(request.hasHeader("Cookie"));
    EXPECT_FALSE(request.hasHeader("Expect"));
    EXPECT_FALSE(request.hasHeader("Accept-Encoding"));
}

TEST_F(HttpClientTest, ExtraHeadersReplaceTheDefaultsWhateverTheirCase) {
    LoopbackServer server = okServer();
    const std::string address = server.url("/h");
    const struct {
        const char* extra;
        std::string accept;
        std::string referer;
        std::string language;
    } cases[] = {
        {"accept: text/html\r\n", "text/html", address, "zh-cn"},
        {"Referer: http://from.test/list\r\n", kDefaultAccept, "http://from.test/list", "zh-cn"},
        {"ACCEPT-LANGUAGE: en\r\nX-Extra: 1\r\n", kDefaultAccept, address, "en"},
        {"X-Extra: 1\r\n", kDefaultAccept, address, "zh-cn"},
    };
    for (const auto& c : cases) {
        ASSERT_EQ(HttpClient::fetch(address, {.extraHeaders = c.extra}), "ok") << c.extra;
        const RecordedRequest request = server.lastRequest();
        EXPECT_EQ(values(request, "Accept"), std::vector<std::string>{c.accept}) << c.extra;
        EXPECT_EQ(values(request, "Referer"), std::vector<std::string>{c.referer}) << c.extra;
        EXPECT_EQ(values(request, "Accept-Language"), std::vector<std::string>{c.language})
            << c.extra;
    }
    EXPECT_EQ(server.lastRequest().header("X-Extra"), "1");
}

TEST_F(HttpClientTest, SendsTheCookieLineOnlyWhenCookiesAreNotBlank) {
    LoopbackServer server = okServer();
    ASSERT_EQ(HttpClient::fetch(server.url("/c"), {.cookies = "a=1; b=2"}), "ok");
    EXPECT_EQ(values(server.lastRequest(), "Cookie"), std::vector<std::string>{"a=1; b=2"});
    ASSERT_EQ(HttpClient::fetch(server.url("/c"), {.cookies = "   "}), "ok");
    EXPECT_FALSE(server.lastRequest().hasHeader("Cookie"));
}

TEST_F(HttpClientTest, CarriesOutOnlyGetAndPostSentAsWritten) {
    const struct {
        const char* method;
        const char* body;
        const char* requestLine; // nullptr: nothing may reach the server
    } cases[] = {
        {"", "ok", "GET /m HTTP/1.1"},
        {"get", "ok", "get /m HTTP/1.1"},
        {"Post", "ok", "Post /m HTTP/1.1"},
        {"PUT", "", nullptr},
        {"delete", "", nullptr},
        {"HEAD", "", nullptr},
    };
    for (const auto& c : cases) {
        RawServer server(kOkReply);
        EXPECT_EQ(HttpClient::fetch(server.url("/m"), {.method = c.method, .body = "f=1"}), c.body)
            << c.method;
        if (c.requestLine == nullptr) {
            EXPECT_EQ(server.connections(), 0) << c.method;
        } else {
            ASSERT_EQ(server.requests().size(), 1u) << c.method;
            EXPECT_EQ(requestLine(server.requests()[0]), c.requestLine);
        }
    }
}

TEST_F(HttpClientTest, PostsFormsWithTypeAndLength) {
    const struct {
        const char* name;
        const char* body;
        const char* extra;
        const char* contentType; // nullptr: no such line
        const char* contentLength;
    } cases[] = {
        {"form", "a=1&b=%D6%D0", "", "Content-Type: application/x-www-form-urlencoded", "12"},
        {"caller's type kept", "x", "content-type: text/plain\r\n", "content-type: text/plain",
         "1"},
        {"empty body: neither line", "", "", nullptr, nullptr},
    };
    for (const auto& c : cases) {
        RawServer server(kOkReply);
        ASSERT_EQ(HttpClient::fetch(server.url("/post"),
                                    {.method = "POST", .body = c.body, .extraHeaders = c.extra}),
                  "ok")
            << c.name;
        ASSERT_EQ(server.requests().size(), 1u) << c.name;
        const std::string raw = server.requests()[0];
        EXPECT_EQ(requestLine(raw), "POST /post HTTP/1.1") << c.name;
        EXPECT_TRUE(raw.ends_with(std::string("\r\n\r\n") + c.body)) << raw;
        if (c.contentType == nullptr) {
            EXPECT_EQ(raw.find("Content-Type"), std::string::npos) << raw;
            EXPECT_EQ(raw.find("Content-Length"), std::string::npos) << raw;
            continue;
        }
        EXPECT_NE(raw.find(std::string("\r\n") + c.contentType + "\r\n"), std::string::npos) << raw;
        EXPECT_EQ(raw.find("Content-Type"), raw.rfind("Content-Type")) << raw;
        EXPECT_NE(raw.find(std::string("\r\nContent-Length: ") + c.contentLength + "\r\n"),
                  std::string::npos)
            << raw;
        EXPECT_EQ(raw.find("Content-Length"), raw.rfind("Content-Length")) << raw;
    }
}

TEST_F(HttpClientTest, EscapesOnlyBlanksInTheTarget) {
    RawServer server(kOkReply);
    const std::string target = "/a b/../c?q=x y&z=%41&w={}|\xD6\xD0";
    ASSERT_EQ(HttpClient::fetch(server.url(target)), "ok");
    ASSERT_EQ(server.requests().size(), 1u);
    EXPECT_EQ(requestLine(server.requests()[0]),
              "GET /a%20b/../c?q=x%20y&z=%41&w={}|\xD6\xD0 HTTP/1.1");
}

TEST_F(HttpClientTest, RefusesSecureAddresses) {
    LoopbackServer server = okServer();
    useRules({rule("*", 0, server.port())});
    EXPECT_EQ(HttpClient::fetch("https://secure.host.test/x"), "");
    EXPECT_TRUE(server.requests().empty());
    // The rule itself works: the plain address gets through.
    EXPECT_EQ(HttpClient::fetch("http://secure.host.test/x"), "ok");
}

// A raw reply whose header block (status line to the blank line) is exactly
// `blockBytes` long.
std::string replyWithBlockOf(std::size_t blockBytes) {
    const std::string head = "HTTP/1.1 200 OK\r\nContent-Length: 2\r\nConnection: close\r\n";
    const std::string padName = "X-Pad: ";
    const std::size_t fixed = head.size() + padName.size() + 2 + 2;
    return head + padName + std::string(blockBytes - fixed, 'p') + "\r\n\r\nok";
}

TEST_F(HttpClientTest, HandsOutTheHeaderBlockOnlyWhenItFitsItsBuffer) {
    const struct {
        std::size_t blockBytes;
        bool kept;
    } cases[] = {{200, true}, {2047, true}, {2048, false}, {5000, false}};
    for (const auto& c : cases) {
        RawServer server(replyWithBlockOf(c.blockBytes));
        std::string headers = "untouched";
        ASSERT_EQ(HttpClient::fetch(server.url("/h"), {.headersOut = &headers}), "ok")
            << c.blockBytes;
        if (c.kept) {
            EXPECT_EQ(headers.size(), c.blockBytes);
            EXPECT_TRUE(headers.starts_with("HTTP/1.1 200 OK\r\nContent-Length: 2\r\n"));
            EXPECT_TRUE(headers.ends_with("p\r\n\r\n"));
        } else {
            EXPECT_EQ(headers, "") << c.blockBytes;
        }
    }
}

TEST_F(HttpClientTest, HeaderBlockIsTheFinalResponsesAfterARedirect) {
    LoopbackServer server([](httplib::Server& s) {
        s.Get("/old", [](const httplib::Request&, httplib::Response& res) {
            res.set_header("X-Hop", "first");
            res.set_redirect("/new", 302);
        });
        s.Get("/new", [](const httplib::Request&, httplib::Response& res) {
            res.set_header("X-Hop", "last");
            res.set_content("new", "text/plain");
        });
    });
    std::string headers;
    ASSERT_EQ(HttpClient::fetch(server.url("/old"), {.headersOut = &headers}), "new");
    EXPECT_TRUE(headers.starts_with("HTTP/1.1 200 OK\r\n")) << headers;
    EXPECT_NE(headers.find("X-Hop: last\r\n"), std::string::npos) << headers;
    EXPECT_EQ(headers.find("first"), std::string::npos) << headers;
}

TEST_F(HttpClientTest, CollectsTheCookiesTheResponseSets) {
    const struct {
        const char* name;
        std::string setCookieLines;
        const char* expected;
    } cases[] = {
        {"a=1 with a path, b empty", "Set-Cookie: a=1; path=/\r\nSet-Cookie: b=; path=/\r\n",
         "a=1"},
        {"two cookies in order", "Set-Cookie: a=1; path=/\r\nSet-Cookie: b=2; HttpOnly\r\n",
         "a=1; b=2"},
        {"a line without ; gives nothing", "Set-Cookie: c=3\r\n", ""},
        {"the header name is matched with its case", "set-cookie: d=4; path=/\r\n", ""},
        {"no cookies at all", "", ""},
        {"too long a block gives nothing",
         "Set-Cookie: a=1; path=/\r\nX-Pad: " + std::string(2100, 'p') + "\r\n", ""},
    };
    for (const auto& c : cases) {
        RawServer server("HTTP/1.1 200 OK\r\n" + c.setCookieLines +
                         "Content-Length: 2\r\nConnection: close\r\n\r\nok");
        std::string cookies = "stale";
        ASSERT_EQ(HttpClient::fetch(server.url("/c"), {.cookiesOut = &cookies}), "ok") << c.name;
        EXPECT_EQ(cookies, c.expected) << c.name;
    }
}

TEST_F(HttpClientTest, LeavesTheOutputsAloneWhenTheExchangeFails) {
    RefusingPort port;
    std::string cookies = "keep";
    std::string headers = "keep";
    EXPECT_EQ(HttpClient::fetch(port.url("/x"), {.cookiesOut = &cookies, .headersOut = &headers}),
              "");
    EXPECT_EQ(cookies, "keep");
    EXPECT_EQ(headers, "keep");
}

TEST_F(HttpClientTest, SharesOneCookieStoreBetweenRequestsWithoutOwnCookies) {
    LoopbackServer server([](httplib::Server& s) {
        s.Get("/set", [](const httplib::Request&, httplib::Response& res) {
            res.set_header("Set-Cookie", "sid=42; Path=/");
            res.set_content("set", "text/plain");
        });
        s.Get("/echo", [](const httplib::Request&, httplib::Response& res) {
            res.set_content("echo", "text/plain");
        });
    });
    const auto cookiesSent = [&server] { return values(server.lastRequest(), "Cookie"); };
    using Lines = std::vector<std::string>;

    ASSERT_EQ(HttpClient::fetch(server.url("/set")), "set");
    ASSERT_EQ(HttpClient::fetch(server.url("/echo")), "echo");
    EXPECT_EQ(cookiesSent(), Lines{"sid=42"});
    // Own cookies keep the store out of the request...
    ASSERT_EQ(HttpClient::fetch(server.url("/echo"), {.cookies = "own=1"}), "echo");
    EXPECT_EQ(cookiesSent(), Lines{"own=1"});
    // ...unless the caller asks for the store as well.
    ASSERT_EQ(HttpClient::fetch(server.url("/echo"), {.cookies = "own=1", .rememberCookies = true}),
              "echo");
    EXPECT_EQ(cookiesSent(), (Lines{"sid=42", "own=1"}));
}

TEST_F(HttpClientTest, StoresCookiesFromRequestsWithOwnCookiesOnlyWhenAskedTo) {
    LoopbackServer server([](httplib::Server& s) {
        s.Get("/set", [](const httplib::Request&, httplib::Response& res) {
            res.set_header("Set-Cookie", "sid=7; Path=/");
            res.set_content("set", "text/plain");
        });
        s.Get("/echo", [](const httplib::Request&, httplib::Response& res) {
            res.set_content("echo", "text/plain");
        });
    });
    ASSERT_EQ(HttpClient::fetch(server.url("/set"), {.cookies = "own=1"}), "set");
    ASSERT_EQ(HttpClient::fetch(server.url("/echo")), "echo");
    EXPECT_FALSE(server.lastRequest().hasHeader("Cookie"));

    ASSERT_EQ(HttpClient::fetch(server.url("/set"), {.cookies = "own=1", .rememberCookies = true}),
              "set");
    ASSERT_EQ(HttpClient::fetch(server.url("/echo")), "echo");
    EXPECT_EQ(values(server.lastRequest(), "Cookie"), std::vector<std::string>{"sid=7"});
}

TEST_F(HttpClientTest, GoesThroughTheProxyWithTheServerCredentials) {
    RawServer proxy(kOkReply);
    ASSERT_EQ(HttpClient::fetch("http://far.host.test/p?q=1",
                                {.proxy = " 127.0.0.1:" + std::to_string(proxy.port()) + " ",
                                 .userName = "user",
                                 .password = "pw"}),
              "ok");
    ASSERT_EQ(proxy.requests().size(), 1u);
    const std::string raw = proxy.requests()[0];
    EXPECT_EQ(requestLine(raw), "GET http://far.host.test/p?q=1 HTTP/1.1");
    EXPECT_NE(raw.find("\r\nAuthorization: Basic dXNlcjpwdw==\r\n"), std::string::npos) << raw;
}

TEST_F(HttpClientTest, CancelEndsAHeldExchange) {
    HoldingServer server;
    std::atomic<bool> cancel{false};
    std::thread canceller([&] {
        if (server.waitForRequest()) {
            cancel = true;
        }
    });
    // Without the cancel the held answer would arrive once the server gives up.
    EXPECT_EQ(HttpClient::fetch(server.url("/held"), {.cancel = &cancel}), "");
    canceller.join();
    EXPECT_TRUE(cancel);

    // An exchange cancelled before it starts sends nothing.
    EXPECT_EQ(HttpClient::fetch(server.url("/never"), {.cancel = &cancel}), "");
    EXPECT_EQ(server.server().requests().size(), 1u);
}

TEST_F(HttpClientTest, KeepsTheCallerResponsiveWhileItWaits) {
    HoldingServer server;
    const auto caller = std::this_thread::get_id();
    int calls = 0;
    bool onCaller = true;
    const auto hook = [&] {
        ++calls;
        onCaller = onCaller && std::this_thread::get_id() == caller;
    };
    EXPECT_EQ(HttpClient::fetch(server.url("/held"), {.timeoutSeconds = 1, .keepResponsive = hook}),
              "");
    EXPECT_GT(calls, 0);
    EXPECT_TRUE(onCaller);
}

TEST_F(HttpClientTest, ServesManyThreadsAtOnce) {
    LoopbackServer server([](httplib::Server& s) {
        s.Get(R"(/n/(\d+))", [](const httplib::Request& req, httplib::Response& res) {
            res.set_content("body-" + std::string(req.matches[1]), "text/plain");
        });
    });
    constexpr int kThreads = 10;
    std::vector<std::string> bodies(kThreads);
    std::vector<std::thread> threads;
    for (int i = 0; i < kThreads; ++i) {
        threads.emplace_back([&, i] {
            bodies[static_cast<std::size_t>(i)] =
                HttpClient::fetch(server.url("/n/" + std::to_string(i)), {.timeoutSeconds = 30});
        });
    }
    for (std::thread& thread : threads) {
        thread.join();
    }
    for (int i = 0; i < kThreads; ++i) {
        EXPECT_EQ(bodies[static_cast<std::size_t>(i)], "body-" + std::to_string(i));
    }
}

} // namespace
} // namespace quillon::net

namespace quillon::net {
namespace {

TEST_F(HttpClientTest, AnAddressHoldingANulByteIsNotSentCutShort) {
    LoopbackServer server = okServer();
    const std::string address = server.url("/a") + std::string(1, '\0') + "b";
    EXPECT_EQ(HttpClient::fetch(address), "");
    EXPECT_EQ(plainDownload(address), "");
    EXPECT_EQ(ScriptedHttpRequest::fetch(address), "");
    EXPECT_TRUE(server.requests().empty());
}

} // namespace
} // namespace quillon::net
