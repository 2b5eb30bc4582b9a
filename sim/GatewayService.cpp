#include "GatewayService.h"

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <set>

#include "ItemXml.h"
#include "Markup.h"
#include "QueryText.h"
#include "SeedRandom.h"
#include "text/LocalTime.h"
#include "text/Md5.h"
#include "text/TextCodec.h"

namespace quillon::sim {

namespace {

constexpr int kAllowedSkewSeconds = 600;

const std::set<std::string, std::less<>> kKnownKeys = {
    "app_key", "fields", "format", "method", "num_iid", "sign", "sign_method", "timestamp", "v"};

// Seconds of a wall-clock reading counted as if it were UTC; only
// differences are used, so the zone does not matter.
long long wallSeconds(int year, int month, int day, int hour, int minute, int second) {
    using namespace std::chrono;
    const sys_days date{std::chrono::year{year} / std::chrono::month(static_cast<unsigned>(month)) /
                        std::chrono::day(static_cast<unsigned>(day))};
    return static_cast<long long>(date.time_since_epoch().count()) * 86400 + hour * 3600LL +
           minute * 60LL + second;
}

// "yyyy-MM-dd HH:mm:ss" exactly, as the program writes it.
std::optional<long long> parseTimestamp(std::string_view text) {
    if (text.size() != 19 || text[4] != '-' || text[7] != '-' || text[10] != ' ' ||
        text[13] != ':' || text[16] != ':') {
        return std::nullopt;
    }
    const auto number = [&](std::size_t at, std::size_t length) -> int {
        int value = 0;
        for (std::size_t i = at; i < at + length; ++i) {
            if (text[i] < '0' || text[i] > '9') {
                return -1;
            }
            value = value * 10 + (text[i] - '0');
        }
        return value;
    };
    const int year = number(0, 4);
    const int month = number(5, 2);
    const int day = number(8, 2);
    const int hour = number(11, 2);
    const int minute = number(14, 2);
    const int second = number(17, 2);
    if (year < 0 || month < 1 || month > 12 || day < 1 || day > 31 || hour < 0 || hour > 23 ||
        minute < 0 || minute > 59 || second < 0 || second > 59) {
        return std::nullopt;
    }
    return wallSeconds(year, month, day, hour, minute, second);
}

long long nowWallSeconds() {
    // The program writes its local clock and the platform reads it as GMT+8;
    // reading ours the same way compares like with like.
    const text::LocalTime now = text::LocalTime::now();
    return wallSeconds(now.year, now.month, now.day, now.hour, now.minute, now.second);
}

int secondsToMidnight() {
    const text::LocalTime now = text::LocalTime::now();
    return 86400 - (now.hour * 3600 + now.minute * 60 + now.second);
}

std::string hostComment(std::string_view key) {
    SeedRandom random(SeedRandom::textKey(key), SeedTag::HostComment);
    return "top" + std::to_string(100000 + random.below(900000)) + ".cm" +
           std::to_string(random.between(1, 6));
}

SimReply xmlReply(std::string body) {
    return SimReply{200, "text/xml;charset=UTF-8", std::move(body)};
}

} // namespace

GatewayService::GatewayService(const Catalog& catalog,
                               const std::vector<SandboxCredential>& credentials)
    : m_catalog(catalog) {
    for (const SandboxCredential& credential : credentials) {
        auto state = std::make_unique<KeyState>();
        state->credential = credential;
        m_keys.push_back(std::move(state));
    }
}

GatewayService::KeyState* GatewayService::findKey(std::string_view appKey) const {
    for (const auto& state : m_keys) {
        if (state->credential.appKey == appKey) {
            return state.get();
        }
    }
    return nullptr;
}

int GatewayService::callCount(std::string_view appKey) const {
    const KeyState* state = findKey(appKey);
    return state == nullptr ? 0 : state->calls.load();
}

std::string GatewayService::errorAnswer(int code, std::string_view msg, std::string_view subCode,
                                        std::string_view subMsg, std::string_view comment) {
    std::string out(ItemXml::kDeclaration);
    out += "<error_response><code>" + std::to_string(code) + "</code><msg>" + Markup::xml(msg) +
           "</msg>";
    if (!subCode.empty()) {
        out += "<sub_code>" + Markup::xml(subCode) + "</sub_code>";
    }
    if (!subMsg.empty()) {
        out += "<sub_msg>" + Markup::xml(subMsg) + "</sub_msg>";
    }
    out += "</error_response><!--";
    out += comment;
    out += "-->";
    return out;
}

SimReply GatewayService::handle(const SimRequest& request) {
    if (request.path != "/router/rest") {
        return SimReply{404, "text/html", "<html><body><h1>404 Not Found</h1></body></html>\n"};
    }
    // Blanks arrive as %20 and nothing else is escaped; the signature is
    // over the plain values.
    std::vector<std::pair<std::string, std::string>> pairs = QueryText(request.query, true).pairs();
    if (request.method == "POST") {
        const QueryText form(request.body, true);
        pairs.insert(pairs.end(), form.pairs().begin(), form.pairs().end());
    }
    std::string comment = hostComment(request.target);
    const auto fail = [&](int code, std::string_view msg, std::string_view subCode = {},
                          std::string_view subMsg = {}) {
        return xmlReply(errorAnswer(code, msg, subCode, subMsg, comment));
    };
    const auto find = [&](std::string_view key) -> const std::string* {
        for (const auto& [k, v] : pairs) {
            if (k == key) {
                return &v;
            }
        }
        return nullptr;
    };

    const std::string* method = find("method");
    if (method == nullptr || method->empty()) {
        return fail(21, "Missing method");
    }
    if (*method != "taobao.item.get") {
        return fail(22, "Invalid method");
    }
    const std::string* appKey = find("app_key");
    if (appKey == nullptr || appKey->empty()) {
        return fail(28, "Missing app key");
    }
    KeyState* key = findKey(*appKey);
    if (key == nullptr) {
        return fail(29, "Invalid app key");
    }
    const std::string* timestamp = find("timestamp");
    if (timestamp == nullptr || timestamp->empty()) {
        return fail(30, "Missing timestamp");
    }
    const auto stamp = parseTimestamp(*timestamp);
    if (!stamp || std::abs(*stamp - nowWallSeconds()) > kAllowedSkewSeconds) {
        return fail(31, "Invalid timestamp");
    }
    const std::string* version = find("v");
    if (version == nullptr || version->empty()) {
        return fail(32, "Missing version");
    }
    if (*version != "2.0") {
        return fail(34, "Unsupported version");
    }
    const std::string* format = find("format");
    if (format == nullptr || format->empty()) {
        return fail(40, "Missing required arguments:format");
    }
    if (*format != "xml") {
        return fail(23, "Invalid format");
    }
    const std::string* signMethod = find("sign_method");
    if (signMethod == nullptr || signMethod->empty()) {
        return fail(40, "Missing required arguments:sign_method");
    }
    if (*signMethod != "md5") {
        return fail(41, "Invalid arguments:sign_method");
    }
    const std::string* sign = find("sign");
    if (sign == nullptr || sign->empty()) {
        return fail(24, "Missing signature");
    }

    std::vector<std::pair<std::string, std::string>> signedPairs;
    for (const auto& pair : pairs) {
        if (pair.first != "sign") {
            signedPairs.push_back(pair);
        }
    }
    std::sort(signedPairs.begin(), signedPairs.end(),
              [](const auto& a, const auto& b) { return a.first < b.first; });
    std::string base = key->credential.appSecret;
    for (const auto& [k, v] : signedPairs) {
        base += k;
        base += v;
    }
    base += key->credential.appSecret;
    if (text::md5UpperHex(base) != *sign) {
        return fail(25, "Invalid signature");
    }
    for (std::size_t i = 0; i < pairs.size(); ++i) {
        const std::string& name = pairs[i].first;
        const bool repeated = std::any_of(pairs.begin(), pairs.begin() + static_cast<long>(i),
                                          [&](const auto& p) { return p.first == name; });
        if (!kKnownKeys.contains(name) || repeated) {
            return fail(41, "Invalid arguments:" + name);
        }
    }

    const int calls = key->calls.fetch_add(1) + 1;
    if (key->credential.callLimit > 0 && calls > key->credential.callLimit) {
        return fail(7, "App Call Limited", "accesscontrol.limited-by-app-access-count",
                    "This ban will last for " + std::to_string(secondsToMidnight()) +
                        " more seconds");
    }

    const std::string* fields = find("fields");
    if (fields == nullptr || fields->empty()) {
        return fail(40, "Missing required arguments:fields");
    }
    if (*fields != kFields) {
        return fail(41, "Invalid arguments:fields");
    }
    const std::string* numIid = find("num_iid");
    if (numIid == nullptr || numIid->empty()) {
        return fail(40, "Missing required arguments:num_iid");
    }
    if (!std::all_of(numIid->begin(), numIid->end(), [](char c) { return c >= '0' && c <= '9'; })) {
        return fail(41, "Invalid arguments:num_iid");
    }
    const auto item = m_catalog.itemById(*numIid);
    if (!item) {
        return fail(15, "Remote service error", "isv.item-get-service-error:ITEM_NOT_FOUND",
                    "该宝贝不存在"); // the answer is UTF-8, like this source
    }
    comment = hostComment(*numIid);
    return xmlReply(text::gbkToUtf8(ItemXml::answer(*item, *fields, comment)));
}

} // namespace quillon::sim
