#include "net/PlainDownload.h"

#include "HoldingServer.h"
#include "LoopbackServer.h"
#include "NetTestSupport.h"
#include "RawServer.h"
#include "net/HttpClient.h"

#include <atomic>
#include <gtest/gtest.h>
#include <string>
#include <thread>

namespace quillon::net {
namespace {

using support::HoldingServer;
using support::LoopbackServer;
using support::RawServer;

class PlainDownloadTest : public NetTest {};

TEST_F(PlainDownloadTest, ReturnsTheBytesAsSent) {
    const std::string picture("\x89PNG\r\n\x1a\n\0\0\0\rIHDR\xff\xd8", 18);
    LoopbackServer server([&picture](httplib::Server& s) {
        s.Get("/p.png", [&picture](const httplib::Request&, httplib::Response& res) {
            res.set_content(picture, "image/png");
        });
    });
    EXPECT_EQ(plainDownload(server.url("/p.png")), picture);
    EXPECT_EQ(server.lastRequest().header("User-Agent"), HttpClient::kUserAgent);
}

TEST_F(PlainDownloadTest, WritesBlanksInTheAddressAsEscapes) {
    RawServer server("HTTP/1.1 200 OK\r\nContent-Length: 3\r\nConnection: close\r\n\r\njpg");
    EXPECT_EQ(plainDownload(server.url("/a b/c.jpg")), "jpg");
    ASSERT_EQ(server.requests().size(), 1u);
    EXPECT_TRUE(server.requests()[0].starts_with("GET /a%20b/c.jpg HTTP/1.1\r\n"));
}

TEST_F(PlainDownloadTest, CancelEndsAHeldDownload) {
    HoldingServer server;
    std::atomic<bool> cancel{false};
    std::thread canceller([&] {
        if (server.waitForRequest()) {
            cancel = true;
        }
    });
    EXPECT_EQ(plainDownload(server.url("/big.jpg"), &cancel), "");
    canceller.join();
    EXPECT_TRUE(cancel);
}

TEST_F(PlainDownloadTest, SendsTheSharedCookies) {
    LoopbackServer server([](httplib::Server& s) {
        s.Get("/page", [](const httplib::Request&, httplib::Response& res) {
            res.set_header("Set-Cookie", "t=9; Path=/");
            res.set_content("page", "text/html");
        });
        s.Get("/pic.jpg", [](const httplib::Request& req, httplib::Response& res) {
            res.set_content("cookie " + req.get_header_value("Cookie"), "image/jpeg");
        });
    });
    ASSERT_EQ(HttpClient::fetch(server.url("/page")), "page");
    EXPECT_EQ(plainDownload(server.url("/pic.jpg")), "cookie t=9");
}

} // namespace
} // namespace quillon::net
