#include "net/ScriptedHttpRequest.h"

#include "LoopbackServer.h"
#include "NetTestSupport.h"
#include "RawServer.h"

#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace quillon::net {
namespace {

using support::LoopbackServer;
using support::RawServer;

const char* const kOkReply = "HTTP/1.1 200 OK\r\nContent-Length: 2\r\nConnection: close\r\n\r\nok";
const std::string kAccept =
    "image/gif, image/x-xbitmap, image/jpeg, image/pjpeg, application/x-shockwave-flash, "
    "application/vnd.ms-excel, application/vnd.ms-powerpoint, application/msword, */*";

class ScriptedHttpRequestTest : public NetTest {};

TEST_F(ScriptedHttpRequestTest, SendsItsHeaderSetInOrder) {
    const struct {
        const char* name;
        ScriptedRequestOptions options;
        bool ownReferrer;       // the request's address stands in as referrer
        const char* cookieLine; // nullptr: no Cookie line
    } cases[] = {
        {"address alone", {}, true, nullptr},
        {"referrer and cookies",
         {.cookies = "k=v; m=2", .referrer = "http://from.test/list"},
         false,
         "Cookie: k=v; m=2\r\n"},
    };
    for (const auto& c : cases) {
        RawServer server(kOkReply);
        const std::string address = server.url("/app2.xml");
        ASSERT_EQ(ScriptedHttpRequest::fetch(address, c.options), "ok") << c.name;
        ASSERT_EQ(server.requests().size(), 1u) << c.name;
        const std::string raw = server.requests()[0];
        EXPECT_TRUE(raw.starts_with("GET /app2.xml HTTP/1.1\r\n")) << raw;
        const std::string referrer = c.ownReferrer ? address : "http://from.test/list";
        const std::vector<std::string> inOrder = {
            "\r\nReferrer: " + referrer + "\r\n",
            "\r\nAccept: " + kAccept + "\r\n",
            "\r\nAccept-Language: zh-cn\r\n",
            "\r\nContent-Type: application/x-www-form-urlencoded\r\n",
        };
        std::size_t previous = 0;
        for (const std::string& line : inOrder) {
            const auto at = raw.find(line);
            ASSERT_NE(at, std::string::npos) << c.name << ": " << line << " in " << raw;
            EXPECT_GT(at, previous) << c.name << ": " << line;
            previous = at;
        }
        EXPECT_EQ(raw.find("Referer:"), std::string::npos) << raw;
        EXPECT_NE(raw.find("\r\nUser-Agent: " + std::string(ScriptedHttpRequest::kUserAgent)),
                  std::string::npos)
            << raw;
        if (c.cookieLine == nullptr) {
            EXPECT_EQ(raw.find("Cookie:"), std::string::npos) << raw;
        } else {
            EXPECT_GT(raw.find(c.cookieLine), previous) << raw;
        }
    }
}

TEST_F(ScriptedHttpRequestTest, SendsDataAsTheBody) {
    LoopbackServer server([](httplib::Server& s) {
        s.Post("/form", [](const httplib::Request& req, httplib::Response& res) {
            res.set_content("got " + req.body, "text/plain");
        });
    });
    EXPECT_EQ(
        ScriptedHttpRequest::fetch(server.url("/form"), {.method = "POST", .data = "a=1&b=2"}),
        "got a=1&b=2");
    EXPECT_EQ(server.lastRequest().header("Content-Length"), "7");
}

TEST_F(ScriptedHttpRequestTest, AppendsTheCookiesTheResponseSets) {
    const std::string reply = "HTTP/1.1 200 OK\r\n"
                              "Set-Cookie: a=1; path=/\r\n"
                              "Set-Cookie: b=; path=/\r\n"
                              "Set-Cookie: c=3; path=/; HttpOnly\r\n"
                              "Set-Cookie: d=4\r\n"
                              "Content-Length: 2\r\nConnection: close\r\n\r\nok";
    const struct {
        const char* before;
        const char* after;
    } cases[] = {
        {"", "a=1; c=3"},
        {"old=1", "old=1; a=1; c=3"},
    };
    for (const auto& c : cases) {
        RawServer server(reply);
        std::string cookies = c.before;
        ASSERT_EQ(ScriptedHttpRequest::fetch(server.url("/c"), {.cookiesOut = &cookies}), "ok");
        EXPECT_EQ(cookies, c.after) << c.before;
    }
}

TEST_F(ScriptedHttpRequestTest, GoesThroughTheProxyWithItsCredentials) {
    const struct {
        const char* name;
        const char* user;
        bool authorised;
    } cases[] = {
        {"with a proxy user", "puser", true},
        {"without one", "", false},
    };
    for (const auto& c : cases) {
        RawServer proxy(kOkReply);
        ASSERT_EQ(ScriptedHttpRequest::fetch("http://config.host.test/app2.xml",
                                             {.proxy = "127.0.0.1:" + std::to_string(proxy.port()),
                                              .proxyUser = c.user,
                                              .proxyPassword = "ppw"}),
                  "ok")
            << c.name;
        ASSERT_EQ(proxy.requests().size(), 1u) << c.name;
        const std::string raw = proxy.requests()[0];
        EXPECT_TRUE(raw.starts_with("GET http://config.host.test/app2.xml HTTP/1.1\r\n")) << raw;
        // "puser:ppw" in base64.
        EXPECT_EQ(raw.find("\r\nProxy-Authorization: Basic cHVzZXI6cHB3\r\n") != std::string::npos,
                  c.authorised)
            << c.name;
    }
}

} // namespace
} // namespace quillon::net
