#pragma once

#include <atomic>
#include <cstddef>
#include <functional>
#include <string>
#include <string_view>

namespace quillon::net {

// Inputs of one HttpClient exchange; every text is GBK bytes and may be empty.
struct HttpOptions {
    // The verb, sent as written; empty means GET. Only GET and POST (any case)
    // are carried out, any other gives the empty result.
    std::string method{};
    // Form data sent with POST.
    std::string body{};
    // Sent as one Cookie line when not blank.
    std::string cookies{};
    // Receives the cookies the final response sets ("a=1; b=2"); written only
    // on success. nullptr: not wanted.
    std::string* cookiesOut = nullptr;
    // host:port of an HTTP proxy; empty goes direct.
    std::string proxy{};
    // Seconds for the whole exchange; 0 means 90.
    int timeoutSeconds = 0;
    // Request header lines, each ending in "\r\n".
    std::string extraHeaders{};
    // Server credentials, used when not blank.
    std::string userName{};
    std::string password{};
    // Receives the final response's raw header block (status line and
    // headers, CRLF lines); blank when it exceeds 2047 bytes. Written only on
    // success. nullptr: not wanted.
    std::string* headersOut = nullptr;
    // The request uses the shared cookie store even when it brings cookies of
    // its own, so the cookies the response sets are kept for later requests.
    bool rememberCookies = false;
    // When it becomes true (from any thread) the exchange ends within about
    // 50 ms with the empty result.
    const std::atomic<bool>* cancel = nullptr;
    // A body larger than this is a failure, so memory stays bounded.
    std::size_t maxBodyBytes = std::size_t{32} << 20;
    // Called on the calling thread about every 50 ms while the exchange runs,
    // e.g. to process window events; may be empty.
    std::function<void()> keepResponsive{};
};

// One plain-HTTP exchange as a browser of the Windows 2000 era made it. Every
// call is independent and may run on any thread, many at once; the only thing
// calls share is the process-wide cookie store, which requests without
// cookies of their own (or with rememberCookies) read and update.
class HttpClient {
  public:
    // The agent every exchange announces.
    static constexpr std::string_view kUserAgent =
        "Mozilla/4.0 (compatible; MSIE 6.0; Windows NT 5.0)";

    // Performs the exchange on the calling thread and returns the body bytes
    // (an error page's body too), or "" on any failure: no connection,
    // time-out, a method other than GET/POST, an over-size body, cancel.
    static std::string fetch(std::string_view address, const HttpOptions& options = {});

    // Forgets every cookie of the shared store (tests, a fresh session).
    static void clearSharedCookies();
};

// The host of an address: after the first "http://" (else from the start) up
// to the next "/", lower-cased; the ":port" part kept only with keepPort.
std::string hostOf(std::string_view address, bool keepPort = false);

// The port after the host's ":"; 80 without one, 0 when no digits follow it
// (or when they make no port number, above 65535).
int portOf(std::string_view address);

// From the first "/" after the host to the end, query included; "/" when
// there is none.
std::string pathOf(std::string_view address);

} // namespace quillon::net
