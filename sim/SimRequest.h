#pragma once

#include <string>

namespace quillon::sim {

// One request as the sandbox's services see it. Path and query are the raw
// bytes of the request target: nothing is percent-decoded, because the
// picture hosts and the gateway care about the exact escaping a client used.
struct SimRequest {
    std::string method;
    std::string host;   // lower-case, without a port
    std::string target; // raw request target, path and query
    std::string path;   // raw, up to the "?"
    std::string query;  // raw, after the "?"; empty when there is none
    std::string body;
};

} // namespace quillon::sim
