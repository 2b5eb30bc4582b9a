#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace quillon::sim {

// One application credential: known to the gateway, listed by /app2.xml.
struct SandboxCredential {
    std::string appKey;
    std::string appSecret;
    int callLimit = 0; // correctly signed calls answered before "App Call Limited"; 0 = no limit
};

// What a fault does to a request it hits.
enum class FaultKind {
    Latency,     // the answer comes FaultRule::delayMs later
    Close,       // the connection is closed without a response
    Hang,        // the request is read and never answered; held until stop or the cap
    Truncate,    // the headers and half of the body, then the connection is closed
    ServerError, // an HTTP 500 page
    Garbage,     // status 200 with random bytes for a body
    Trickle,     // the whole answer, a few bytes at a time
};

// One fault switch. It fires on a share `rate` of the requests it applies to;
// which requests is decided from the seed, so a run can be replayed.
struct FaultRule {
    FaultKind kind = FaultKind::Close;
    double rate = 0.0;      // 0 .. 1
    std::string host;       // exact host name; empty means every host
    std::string pathPrefix; // empty means every path
    int delayMs = 0;        // Latency only
};

struct FaultConfig {
    // Latency rules add up; of the others the first that fires wins.
    std::vector<FaultRule> rules;
    int hangCapMs = 60000; // a held connection is closed after this long
    int trickleChunkBytes = 64;
    int trickleDelayMs = 20; // pause between two trickled chunks
};

// Everything the sandbox market is made from.
struct MarketConfig {
    std::uint64_t seed = 1;
    int storeCount = 3; // store i uses list template i % 3: 普通, 旺铺, 店铺街
    int itemsPerStore = 45;
    int itemsPerPage = 20;
    int categoriesPerStore = 3;   // item k of a store is in its category k % categoriesPerStore
    int latencyMs = 0;            // added to every answer
    int listPagePaddingBytes = 0; // filler around the item region of list pages (big pages)
    // Fixed picture counts for every item (benchmarks); -1 leaves them varied.
    int mainPicturesPerItem = -1;
    int propPicturesPerItem = -1;
    FaultConfig faults;
    std::vector<SandboxCredential> credentials = defaultCredentials();
    std::string credentialListBody; // served as /app2.xml when not empty (odd shapes)
    std::string domain = "sandbox.test";
    int threads = 32;                // server threads; an idle kept-alive connection holds one
    std::size_t logCapacity = 10000; // newest requests kept in the request log

    // The three credentials a default market knows, none limited.
    static std::vector<SandboxCredential> defaultCredentials();
};

} // namespace quillon::sim
