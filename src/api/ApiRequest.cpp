#include "api/ApiRequest.h"

#include <cstdio>
#include <utility>

#include "net/Endpoints.h"
#include "text/Md5.h"

namespace quillon::api {
namespace {

bool keyLess(const std::string& a, const std::string& b) {
    // Unsigned byte order; a key sorts before a longer key that begins with it.
    const std::size_t common = std::min(a.size(), b.size());
    for (std::size_t i = 0; i < common; ++i) {
        const auto x = static_cast<unsigned char>(a[i]);
        const auto y = static_cast<unsigned char>(b[i]);
        if (x != y)
            return x < y;
    }
    return a.size() < b.size();
}

} // namespace

std::string ApiRequest::forItem(std::string_view itemId, std::string_view appKey,
                                std::string_view appSecret) {
    return forItem(itemId, appKey, appSecret, text::LocalTime::now(),
                   net::activeEndpoints()->gateway);
}

std::string ApiRequest::forItem(std::string_view itemId, std::string_view appKey,
                                std::string_view appSecret, const text::LocalTime& when,
                                std::string_view gateway) {
    ApiCall call;
    call.appKey = appKey;
    call.appSecret = appSecret;
    call.format = "xml";
    call.signMethod = "md5";
    call.method = "taobao.item.get";
    call.parameters = {{"fields", std::string(kItemFields)}, {"num_iid", std::string(itemId)}};
    return build(call, when, gateway);
}

std::string ApiRequest::build(const ApiCall& call, const text::LocalTime& when,
                              std::string_view gateway) {
    if (call.appKey.empty() || call.appSecret.empty())
        return {};

    std::vector<ApiParameter> pairs = call.parameters;
    pairs.push_back({"app_key", call.appKey});
    pairs.push_back({"format", call.format.empty() ? "xml" : call.format});
    pairs.push_back({"sign_method", call.signMethod.empty() ? "md5" : call.signMethod});
    pairs.push_back({"v", "2.0"});
    pairs.push_back({"method", call.method});
    pairs.push_back({"session", call.session});
    pairs.push_back({"timestamp", timestampText(when)});

    // Exchange sort: each position takes the smallest key of the rest.
    for (std::size_t i = 0; i < pairs.size(); ++i) {
        for (std::size_t j = i + 1; j < pairs.size(); ++j) {
            if (keyLess(pairs[j].key, pairs[i].key))
                std::swap(pairs[i], pairs[j]);
        }
    }
    for (std::size_t i = pairs.size(); i-- > 0;) {
        if (pairs[i].key.empty() || pairs[i].value.empty())
            pairs.erase(pairs.begin() + i);
    }

    std::string signBase = call.appSecret;
    std::string query;
    for (const ApiParameter& pair : pairs) {
        signBase += pair.key;
        signBase += pair.value;
        if (!query.empty())
            query += '&';
        query += pair.key;
        query += '=';
        query += pair.value;
    }
    signBase += call.appSecret;

    std::string address = "http://";
    address += gateway;
    address += "/router/rest?";
    address += query;
    address += "&sign=";
    address += text::md5UpperHex(signBase);
    return address;
}

std::string ApiRequest::timestampText(const text::LocalTime& when) {
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%d-%02d-%02d %02d:%02d:%02d", when.year, when.month,
                  when.day, when.hour, when.minute, when.second);
    return buffer;
}

} // namespace quillon::api
