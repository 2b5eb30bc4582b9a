#pragma once

#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace quillon::net {

// Where the remote parties live. Build defaults, replaced at run time by an
// endpoints file:
//   [ENDPOINTS]  gateway=HOST[:PORT]  item_host=HOST[:PORT]
//                detail_host=HOST[:PORT]  config=URL
//   [CONNECT_TO] HOST[:PORT]=ADDR:PORT   ("*" matches every host)
// A CONNECT_TO rule sends a request for HOST (port 80 when absent) to
// ADDR:PORT instead, keeping its Host header. An exact host rule wins over "*".
struct ConnectRule {
    std::string host{}; // lower-case, or "*"
    int port = 80;      // ignored for "*"
    std::string address{};
    int targetPort = 0;
};

struct Endpoints {
    std::string gateway = "gw.api.taobao.com";
    std::string itemHost = "item.taobao.com";
    std::string detailHost = "detail.tmall.com";
    std::string configBase = "http://config.quillon.example";
    std::vector<ConnectRule> connectTo{};

    // Reads an endpoints file (GBK). Keys and sections ignore ASCII case;
    // keys the file lacks keep their defaults. nullopt with a reason in
    // `error` when the file cannot be read or a CONNECT_TO line is malformed.
    static std::optional<Endpoints> loadFile(const std::string& path, std::string* error = nullptr);

    // The rule for a request to host:port, or nullptr when none applies.
    const ConnectRule* connectRuleFor(std::string_view host, int port) const;
};

// The process-wide endpoints, read by every HTTP routine. Set once by a front
// end (or a test) before requests start; reading is safe from any thread.
std::shared_ptr<const Endpoints> activeEndpoints();
void setActiveEndpoints(Endpoints endpoints);

} // namespace quillon::net
