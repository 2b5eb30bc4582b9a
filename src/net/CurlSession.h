#pragma once

// Internal to src/net: the libcurl glue shared by HttpClient,
// ScriptedHttpRequest and plainDownload. Nothing outside this folder
// includes it.

#include <atomic>
#include <chrono>
#include <cstddef>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace quillon::net::detail {

// Which cookie store a transfer reads and writes.
enum class CookieStore {
    None,    // no cookie engine: only a Cookie line the caller adds is sent
    Private, // cookies live for this transfer only (kept across its redirects)
    Shared,  // the process-wide store, read and updated
};

// One HTTP transfer, spelled out for libcurl. The CONNECT_TO rules of
// activeEndpoints() are added by perform().
struct TransferRequest {
    std::string url{};
    // Sent as written when not empty and not plain "GET"/"POST".
    std::string method{};
    // True: `body` goes out as a request body (possibly empty).
    bool sendBody = false;
    std::string body{};
    // Request header lines without line ends, in the order they go out. A
    // line "Name:" with nothing after it keeps libcurl from adding its own.
    std::vector<std::string> headers{};
    std::string userAgent{};
    // Schemes allowed for the address and for redirects, e.g. "http,https".
    std::string protocols = "http";
    std::string proxy{};
    std::string proxyUser{};
    std::string proxyPassword{};
    std::string userName{};
    std::string password{};
    CookieStore cookies = CookieStore::None;
    // Zero leaves the limit off.
    std::chrono::milliseconds connectTimeout{0};
    std::chrono::milliseconds totalTimeout{0};
    // The transfer fails when less than one byte a second moves for this long.
    long stallSeconds = 0;
    std::size_t maxBodyBytes = 32u << 20;
    // The final response's header block is kept only while it stays below
    // this many bytes; a longer one comes back blank.
    std::size_t maxHeaderBytes = 2048;
    // Polled about every 50 ms; true ends the transfer as a failure.
    const std::atomic<bool>* cancel = nullptr;
    // Called about every 50 ms while the transfer runs; may be empty.
    std::function<void()> keepResponsive{};
};

struct TransferResult {
    bool ok = false;
    std::string body{};
    // Status line and headers of the final response, each line ending in
    // "\r\n", closed by an empty line. Blank when it was too long.
    std::string headerBlock{};
};

// Runs the transfer on the calling thread. Any failure (no connection,
// time-out, over-size body, cancel, bad address) gives ok == false and an
// empty body. Safe to call from many threads at once.
TransferResult perform(const TransferRequest& request);

// Forgets every cookie of the shared store.
void clearSharedCookieStore();

// When the header block holds `presence`, splits it at "\r\n" and collects
// its cookies: for each line holding "Set-Cookie" whose text between "=" and
// ";" is not empty, the text between "Set-Cookie:" and ";", trimmed, joined
// to `collected` by "; ".
void collectCookies(std::string_view headerBlock, std::string_view presence,
                    std::string& collected);

} // namespace quillon::net::detail
