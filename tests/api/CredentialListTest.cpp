#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "LoopbackServer.h"
#include "api/CredentialList.h"
#include "net/Endpoints.h"

using quillon::api::Credential;
using quillon::api::CredentialList;

namespace {

struct ListCase {
    const char* name;
    std::string body;
    std::vector<Credential> expected;
};

TEST(CredentialList, ReadsDirectChildrenOfTheRoot) {
    const ListCase cases[] = {
        {"three children in document order",
         "<?xml version=\"1.0\" encoding=\"utf-8\" ?><apps>"
         "<app appkey=\"k1\" appsecret=\"s1\"/><app appkey=\"k2\" appsecret=\"s2\"></app>"
         "<x other=\"1\" appsecret=\"s3\" appkey=\"k3\">text<deep appkey=\"no\"/></x></apps>",
         {{"k1", "s1"}, {"k2", "s2"}, {"k3", "s3"}}},
        {"a wrapper under the root gives one empty entry",
         "<root><list><app appkey=\"k1\" appsecret=\"s1\"/></list></root>",
         {{"", ""}}},
        {"a wrapper carrying the attributes",
         "<root><list appkey=\"w\" appsecret=\"v\"><app appkey=\"k1\"/></list></root>",
         {{"w", "v"}}},
        {"attribute names are case-sensitive",
         "<r><a AppKey=\"k\" appsecret=\"s\"/></r>",
         {{"", "s"}}},
        {"predefined entities decoded once",
         "<r><a appkey=\"a&amp;b&lt;&gt;\" appsecret=\"&quot;x&apos;&amp;lt;\"/></r>",
         {{"a&b<>", "\"x'&lt;"}}},
        {"utf-8 answer gives GBK texts",
         "<?xml version=\"1.0\" encoding=\"utf-8\"?><r><a appkey=\"\xE4\xB8\xAD\" "
         "appsecret=\"s\"/></r>",
         {{"\xD6\xD0", "s"}}},
    };
    for (const ListCase& c : cases) {
        CredentialList list;
        EXPECT_TRUE(list.loadFromDocument(c.body)) << c.name;
        ASSERT_EQ(list.size(), static_cast<int>(c.expected.size())) << c.name;
        for (int i = 1; i <= list.size(); ++i) {
            EXPECT_EQ(list.at(i).appKey, c.expected[i - 1].appKey) << c.name << " #" << i;
            EXPECT_EQ(list.at(i).appSecret, c.expected[i - 1].appSecret) << c.name << " #" << i;
        }
        EXPECT_EQ(list.currentCredential(), 1) << c.name;
    }
}

TEST(CredentialList, NothingUsableGivesFalse) {
    const char* bodies[] = {
        "",
        "   ",
        "<root></root>",
        "<root/>",
        "not xml at all",
        "<r><a appkey=\"k\"></b></r>", // nesting error clears the document
        "\x89PNG\r\n\x1a\n\x00\x00garbage<<>>",
    };
    for (const char* body : bodies) {
        CredentialList list;
        EXPECT_FALSE(list.loadFromDocument(body)) << body;
        EXPECT_EQ(list.size(), 0);
    }
}

TEST(CredentialList, ReloadReplacesEntriesAndResetsThePosition) {
    CredentialList list;
    ASSERT_TRUE(list.loadFromDocument(
        "<r><a appkey=\"1\" appsecret=\"1\"/><a appkey=\"2\" appsecret=\"2\"/></r>"));
    list.setCurrentCredential(2);
    ASSERT_TRUE(list.loadFromDocument("<r><a appkey=\"9\" appsecret=\"9\"/></r>"));
    EXPECT_EQ(list.size(), 1);
    EXPECT_EQ(list.currentCredential(), 1);
    EXPECT_EQ(list.at(0).appKey, "");
    EXPECT_EQ(list.at(2).appKey, "");
}

class CredentialFetch : public ::testing::Test {
  protected:
    void TearDown() override { quillon::net::setActiveEndpoints(quillon::net::Endpoints{}); }
};

TEST_F(CredentialFetch, LoadsFromTheConfigurationEndpoint) {
    quillon::support::LoopbackServer server([](httplib::Server& routes) {
        routes.Get("/base/app2.xml", [](const httplib::Request&, httplib::Response& response) {
            response.set_content("<apps><app appkey=\"k\" appsecret=\"s\"/></apps>", "text/xml");
        });
    });

    quillon::net::Endpoints endpoints;
    endpoints.configBase = "http://cfg.sandbox.test/base";
    endpoints.connectTo.push_back({"*", 80, "127.0.0.1", server.port()});
    quillon::net::setActiveEndpoints(endpoints);

    CredentialList list;
    ASSERT_TRUE(quillon::api::loadCredentials(list));
    EXPECT_EQ(list.at(1).appKey, "k");
    const auto requests = server.requests();
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0].header("Host"), "cfg.sandbox.test");
}

TEST_F(CredentialFetch, UnreachableEndpointGivesFalse) {
    quillon::net::Endpoints endpoints;
    endpoints.configBase = "http://cfg.sandbox.test";
    endpoints.connectTo.push_back({"*", 80, "127.0.0.1", 1}); // nothing listens on port 1
    quillon::net::setActiveEndpoints(endpoints);
    CredentialList list;
    EXPECT_FALSE(quillon::api::loadCredentials(list));
}

} // namespace
