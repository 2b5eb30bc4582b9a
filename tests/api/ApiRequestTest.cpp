#include <gtest/gtest.h>

#include <string>

#include "api/ApiRequest.h"
#include "net/Endpoints.h"

using quillon::api::ApiCall;
using quillon::api::ApiRequest;
using quillon::api::kItemFields;
using quillon::text::LocalTime;

namespace {

const LocalTime kFixedClock{2013, 6, 10, 8, 5, 9, 0};

std::string expectedItemAddress(const std::string& idPair, const std::string& sign) {
    return "http://gw.sandbox.test/router/rest?app_key=K&fields=" + std::string(kItemFields) +
           "&format=xml&method=taobao.item.get" + idPair +
           "&sign_method=md5&timestamp=2013-06-10 08:05:09&v=2.0&sign=" + sign;
}

TEST(ApiRequest, SignsTheItemCallWithAFixedClock) {
    // Signatures computed independently over secret + sorted key/value pairs + secret.
    EXPECT_EQ(ApiRequest::forItem("123", "K", "S", kFixedClock, "gw.sandbox.test"),
              expectedItemAddress("&num_iid=123", "CBD2052B13BB4962FABAE5D1CB1E26F7"));
    // An empty item id drops num_iid from the query and from the signature.
    EXPECT_EQ(ApiRequest::forItem("", "K", "S", kFixedClock, "gw.sandbox.test"),
              expectedItemAddress("", "881ABDD30A37114895C02D9474C77FA6"));
}

TEST(ApiRequest, EmptyKeyOrSecretGivesNoAddress) {
    EXPECT_EQ(ApiRequest::forItem("1", "", "S", kFixedClock, "gw"), "");
    EXPECT_EQ(ApiRequest::forItem("1", "K", "", kFixedClock, "gw"), "");
}

TEST(ApiRequest, SortsKeysByUnsignedBytesAndDropsEmptyPairs) {
    ApiCall call;
    call.appKey = "K";
    call.appSecret = "S";
    call.method = "m";
    call.session = "sess";
    // "\xB0" sorts after every ASCII key; "a" before "ab"; empty values go.
    call.parameters = {{"\xB0key", "1"}, {"ab", "2"}, {"a", "3"}, {"empty", ""}, {"", "x"}};
    const std::string address = ApiRequest::build(call, kFixedClock, "h:8080");
    EXPECT_EQ(address.substr(0, address.find("&sign=")),
              "http://h:8080/router/rest?a=3&ab=2&app_key=K&format=xml&method=m&session=sess"
              "&sign_method=md5&timestamp=2013-06-10 08:05:09&v=2.0&\xB0key=1");
}

TEST(ApiRequest, TimestampPadsAllButTheYear) {
    EXPECT_EQ(ApiRequest::timestampText(kFixedClock), "2013-06-10 08:05:09");
    EXPECT_EQ(ApiRequest::timestampText({2026, 12, 31, 23, 59, 58, 0}), "2026-12-31 23:59:58");
}

TEST(ApiRequest, UsesTheConfiguredGateway) {
    quillon::net::Endpoints endpoints;
    endpoints.gateway = "gw.example.test:81";
    quillon::net::setActiveEndpoints(endpoints);
    const std::string address = ApiRequest::forItem("9", "K", "S");
    quillon::net::setActiveEndpoints(quillon::net::Endpoints{});
    EXPECT_EQ(address.rfind("http://gw.example.test:81/router/rest?app_key=K&fields=", 0), 0u);
    EXPECT_NE(address.find("&num_iid=9&"), std::string::npos);
    const std::string sign = address.substr(address.find("&sign=") + 6);
    EXPECT_EQ(sign.size(), 32u);
    EXPECT_EQ(sign.find_first_not_of("0123456789ABCDEF"), std::string::npos);
}

} // namespace
