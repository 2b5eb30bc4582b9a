#pragma once

#include <httplib.h>

#include <chrono>
#include <string>

namespace quillon::sim::testing {

// One GET of a raw target from the sandbox at 127.0.0.1:port, asked for under
// `host`, the way a client that keeps the Host header reaches it. The target
// goes out exactly as given (no escaping by the client).
inline httplib::Result fetch(int port, const std::string& host, const std::string& target,
                             std::chrono::milliseconds readTimeout = std::chrono::seconds(10)) {
    httplib::Client client("127.0.0.1", port);
    client.set_url_encode(false);
    client.set_connection_timeout(std::chrono::seconds(5));
    client.set_read_timeout(readTimeout);
    return client.Get(target, httplib::Headers{{"Host", host}});
}

} // namespace quillon::sim::testing
