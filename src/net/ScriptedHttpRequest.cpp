#include "net/ScriptedHttpRequest.h"

#include "net/CurlSession.h"
#include "text/GbkText.h"

#include <chrono>

namespace quillon::net {

namespace {

constexpr int kDefaultTimeoutSeconds = 15;
// No buffer limits this header block; the bound only keeps memory in check.
constexpr std::size_t kHeaderLimitBytes = std::size_t{1} << 20;

} // namespace

std::string ScriptedHttpRequest::fetch(std::string_view address,
                                       const ScriptedRequestOptions& options) {
    detail::TransferRequest request;
    request.url = text::replaceAll(address, " ", "%20");
    request.method = options.method.empty() ? std::string("GET") : options.method;
    request.sendBody = !options.data.empty() || text::upperAscii(request.method) == "POST";
    request.body = options.data;
    request.userAgent = std::string(kUserAgent);
    request.protocols = "http,https";
    request.proxy = options.proxy;
    if (!options.proxy.empty() && !options.proxyUser.empty()) {
        request.proxyUser = options.proxyUser;
        request.proxyPassword = options.proxyPassword;
    }

    const std::string referrer = options.referrer.empty() ? std::string(address) : options.referrer;
    request.headers = {
        "Referrer: " + referrer,
        "Accept: image/gif, image/x-xbitmap, image/jpeg, image/pjpeg, "
        "application/x-shockwave-flash, application/vnd.ms-excel, "
        "application/vnd.ms-powerpoint, application/msword, */*",
        "Accept-Language: zh-cn",
        "Content-Type: application/x-www-form-urlencoded",
    };
    if (!options.cookies.empty()) {
        request.headers.push_back("Cookie: " + options.cookies);
    }
    request.headers.emplace_back("Expect:");
    // Cookies the server sets on the way through redirects are sent back
    // within this call only.
    request.cookies = detail::CookieStore::Private;

    // One value for every phase: connecting (name lookup included) and each
    // wait for the server, which the stall limit measures.
    const int seconds =
        options.timeoutSeconds > 0 ? options.timeoutSeconds : kDefaultTimeoutSeconds;
    request.connectTimeout = std::chrono::seconds(seconds);
    request.stallSeconds = seconds;
    request.maxBodyBytes = options.maxBodyBytes;
    request.maxHeaderBytes = kHeaderLimitBytes;

    detail::TransferResult result = detail::perform(request);
    if (!result.ok) {
        return {};
    }
    if (options.cookiesOut != nullptr) {
        detail::collectCookies(result.headerBlock, "Set-Cookie", *options.cookiesOut);
    }
    return std::move(result.body);
}

} // namespace quillon::net
