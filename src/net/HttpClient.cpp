#include "net/HttpClient.h"

#include "net/CurlSession.h"
#include "text/GbkText.h"
#include "text/Trim.h"

#include <chrono>
#include <utility>
#include <vector>

namespace quillon::net {

namespace {

constexpr int kDefaultTimeoutSeconds = 90;
constexpr std::size_t kHeaderBufferBytes = 2048;
constexpr std::string_view kHttpPrefix = "http://";
constexpr std::string_view kDefaultAccept =
    "Accept: image/gif, image/x-xbitmap, image/jpeg, image/pjpeg, "
    "application/x-shockwave-flash, application/vnd.ms-excel, application/vnd.ms-powerpoint, "
    "application/msword, */*\r\n";

// Where the host begins: after the first "http://", else at the start.
std::size_t hostStart(std::string_view address) {
    const auto prefix = address.find(kHttpPrefix);
    return prefix == std::string_view::npos ? 0 : prefix + kHttpPrefix.size();
}

// Only plain DNS names and IPv4 numbers: anything else ("user@host", blanks,
// GBK bytes) would be read by libcurl as more than a host.
bool plainHost(std::string_view host) {
    if (host.empty()) {
        return false;
    }
    for (const char c : host) {
        const bool ok =
            (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' || c == '.' || c == '_';
        if (!ok) {
            return false;
        }
    }
    return true;
}

// The header block split into lines for libcurl; a bare LF also ends a line
// so that no line carries a break into the request.
std::vector<std::string> headerLines(std::string_view block) {
    std::vector<std::string> lines;
    std::size_t start = 0;
    while (start < block.size()) {
        auto end = block.find('\n', start);
        if (end == std::string_view::npos) {
            end = block.size();
        }
        std::string_view line = block.substr(start, end - start);
        start = end + 1;
        if (line.ends_with('\r')) {
            line.remove_suffix(1);
        }
        if (!line.empty()) {
            lines.emplace_back(line);
        }
    }
    return lines;
}

} // namespace

std::string hostOf(std::string_view address, bool keepPort) {
    std::string_view host = address.substr(hostStart(address));
    host = host.substr(0, host.find('/'));
    if (!keepPort) {
        host = host.substr(0, host.find(':'));
    }
    return text::lowerAscii(host);
}

int portOf(std::string_view address) {
    const std::string host = hostOf(address, true);
    const auto colon = host.find(':');
    if (colon == std::string::npos) {
        return 80;
    }
    int port = 0;
    for (std::size_t i = colon + 1; i < host.size() && host[i] >= '0' && host[i] <= '9'; ++i) {
        port = port * 10 + (host[i] - '0');
        if (port > 65535) {
            return 0; // no such port: the exchange refuses it
        }
    }
    return port;
}

std::string pathOf(std::string_view address) {
    const auto slash = address.find('/', hostStart(address));
    return slash == std::string_view::npos ? std::string("/") : std::string(address.substr(slash));
}

std::string HttpClient::fetch(std::string_view address, const HttpOptions& options) {
    const std::string verb = text::upperAscii(options.method);
    const bool post = verb == "POST";
    if (!verb.empty() && verb != "GET" && !post) {
        return {};
    }
    const std::string host = hostOf(address);
    const int port = portOf(address);
    if (!plainHost(host) || port == 0) {
        return {};
    }

    detail::TransferRequest request;
    // Only blanks are escaped; every other byte of the target goes out as is.
    request.url = "http://" + host + ":" + std::to_string(port) +
                  text::replaceAll(pathOf(address), " ", "%20");
    request.method = options.method;
    request.userAgent = std::string(kUserAgent);
    request.protocols = "http";
    if (!text::removeBlanks(options.proxy).empty()) {
        request.proxy = text::trim(options.proxy);
    }
    if (!text::removeBlanks(options.userName).empty()) {
        request.userName = options.userName;
    }
    if (!text::removeBlanks(options.password).empty()) {
        request.password = options.password;
    }

    std::string block = options.extraHeaders;
    if (!text::containsTextNoCase(block, "Accept: ")) {
        block += kDefaultAccept;
    }
    if (!text::containsTextNoCase(block, "Referer: ")) {
        block += "Referer: ";
        block += address;
        block += "\r\n";
    }
    if (!text::containsTextNoCase(block, "Accept-Language: ")) {
        block += "Accept-Language: zh-cn\r\n";
    }
    if (post) {
        request.sendBody = true;
        request.body = options.body;
        if (!options.body.empty()) {
            if (!text::containsTextNoCase(block, "Content-Type: ")) {
                block += "Content-Type: application/x-www-form-urlencoded\r\n";
            }
            block += "Content-Length: " + std::to_string(options.body.size()) + "\r\n";
        } else {
            // An empty form goes out with neither line; keep libcurl's own away too.
            if (!text::containsTextNoCase(block, "Content-Type:")) {
                block += "Content-Type:\r\n";
            }
            if (!text::containsTextNoCase(block, "Content-Length:")) {
                block += "Content-Length:\r\n";
            }
        }
    }
    request.headers = headerLines(block);
    // libcurl would otherwise hold a large body back for a "100 Continue".
    request.headers.emplace_back("Expect:");

    const bool ownCookies = !text::trim(options.cookies).empty();
    if (ownCookies) {
        request.headers.push_back("Cookie: " + options.cookies);
    }
    request.cookies = ownCookies && !options.rememberCookies ? detail::CookieStore::None
                                                             : detail::CookieStore::Shared;

    const int seconds =
        options.timeoutSeconds > 0 ? options.timeoutSeconds : kDefaultTimeoutSeconds;
    request.totalTimeout = std::chrono::seconds(seconds);
    request.maxBodyBytes = options.maxBodyBytes;
    request.maxHeaderBytes = kHeaderBufferBytes;
    request.cancel = options.cancel;
    request.keepResponsive = options.keepResponsive;

    detail::TransferResult result = detail::perform(request);
    if (!result.ok) {
        return {};
    }
    if (options.cookiesOut != nullptr) {
        std::string collected;
        detail::collectCookies(result.headerBlock, "Set-Cookie:", collected);
        *options.cookiesOut = std::move(collected);
    }
    if (options.headersOut != nullptr) {
        *options.headersOut = std::move(result.headerBlock);
    }
    return std::move(result.body);
}

void HttpClient::clearSharedCookies() {
    detail::clearSharedCookieStore();
}

} // namespace quillon::net
