#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace quillon::net {

// Inputs of the start-up fetch; every text is GBK bytes and may be empty.
struct ScriptedRequestOptions {
    // The verb, sent as written; empty means GET.
    std::string method{};
    // Sent as the request body when not empty.
    std::string data{};
    // Sent as the Cookie header when not empty.
    std::string cookies{};
    // The cookies the final response sets are appended here, after "; " when
    // it already holds text. nullptr: not wanted.
    std::string* cookiesOut = nullptr;
    // host:port of an HTTP proxy; empty goes direct.
    std::string proxy{};
    // Seconds allowed for connecting and for each wait on the server while
    // sending and receiving; 0 means 15.
    int timeoutSeconds = 0;
    // Proxy credentials, used when proxy and proxyUser are not empty.
    std::string proxyUser{};
    std::string proxyPassword{};
    // The "Referrer" header; empty means the address itself.
    std::string referrer{};
    // A body larger than this is a failure, so memory stays bounded.
    std::size_t maxBodyBytes = std::size_t{32} << 20;
};

// The request the program makes once at start-up to load its configuration,
// with the header set of a scripted request object. Runs synchronously on the
// calling thread and takes http and https addresses.
class ScriptedHttpRequest {
  public:
    // The agent the request announces.
    static constexpr std::string_view kUserAgent =
        "Mozilla/4.0 (compatible; Win32; WinHttp.WinHttpRequest.5)";

    // Returns the response body (an error page's body too), or "" when the
    // exchange fails (no connection, time-out, over-size body).
    static std::string fetch(std::string_view address, const ScriptedRequestOptions& options = {});
};

} // namespace quillon::net
