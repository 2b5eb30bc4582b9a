#include "net/Endpoints.h"

#include <charconv>
#include <fstream>
#include <iterator>
#include <mutex>
#include <utility>

namespace quillon::net {

namespace {

std::string_view trimmed(std::string_view text) {
    const auto first = text.find_first_not_of(" \t");
    if (first == std::string_view::npos) {
        return {};
    }
    const auto last = text.find_last_not_of(" \t");
    return text.substr(first, last - first + 1);
}

// Section and key names are ASCII; GBK trail bytes never reach here.
std::string lowered(std::string_view text) {
    std::string out(text);
    for (char& c : out) {
        if (c >= 'A' && c <= 'Z') {
            c = static_cast<char>(c - 'A' + 'a');
        }
    }
    return out;
}

// A decimal port in 1..65535; 0 when the text is anything else.
int parsePort(std::string_view text) {
    int port = 0;
    const char* end = text.data() + text.size();
    const auto [ptr, ec] = std::from_chars(text.data(), end, port);
    if (text.empty() || ec != std::errc{} || ptr != end || port < 1 || port > 65535) {
        return 0;
    }
    return port;
}

// "HOST[:PORT]=ADDR:PORT"; the reason is left in `why` when it is not.
std::optional<ConnectRule> parseRule(std::string_view key, std::string_view value,
                                     std::string& why) {
    ConnectRule rule;
    const auto keyColon = key.rfind(':');
    if (key == "*") {
        rule.host = "*";
    } else if (keyColon == std::string_view::npos) {
        rule.host = lowered(key);
    } else {
        rule.host = lowered(trimmed(key.substr(0, keyColon)));
        rule.port = parsePort(trimmed(key.substr(keyColon + 1)));
        if (rule.port == 0) {
            why = "bad port in host \"" + std::string(key) + "\"";
            return std::nullopt;
        }
    }
    if (rule.host.empty()) {
        why = "empty host";
        return std::nullopt;
    }
    const auto valueColon = value.rfind(':');
    if (valueColon == std::string_view::npos) {
        why = "target \"" + std::string(value) + "\" needs ADDR:PORT";
        return std::nullopt;
    }
    rule.address = std::string(trimmed(value.substr(0, valueColon)));
    rule.targetPort = parsePort(trimmed(value.substr(valueColon + 1)));
    if (rule.address.empty() || rule.targetPort == 0) {
        why = "target \"" + std::string(value) + "\" needs ADDR:PORT";
        return std::nullopt;
    }
    return rule;
}

std::mutex g_activeMutex;

std::shared_ptr<const Endpoints>& activeSlot() {
    static std::shared_ptr<const Endpoints> slot = std::make_shared<const Endpoints>();
    return slot;
}

} // namespace

std::optional<Endpoints> Endpoints::loadFile(const std::string& path, std::string* error) {
    const auto fail = [error](std::string reason) -> std::optional<Endpoints> {
        if (error != nullptr) {
            *error = std::move(reason);
        }
        return std::nullopt;
    };

    std::ifstream in(path, std::ios::binary);
    if (!in) {
        return fail("cannot read " + path);
    }
    const std::string content((std::istreambuf_iterator<char>(in)),
                              std::istreambuf_iterator<char>());

    Endpoints result;
    std::string section;
    std::size_t lineNumber = 0;
    std::size_t start = 0;
    if (content.starts_with("\xEF\xBB\xBF")) {
        start = 3; // an editor's byte-order mark
    }
    while (start <= content.size()) {
        auto end = content.find('\n', start);
        if (end == std::string::npos) {
            end = content.size();
        }
        std::string_view line(content.data() + start, end - start);
        start = end + 1;
        ++lineNumber;
        if (line.ends_with('\r')) {
            line.remove_suffix(1);
        }
        line = trimmed(line);
        if (line.empty() || line.front() == ';') {
            continue;
        }
        if (line.front() == '[' && line.back() == ']') {
            section = lowered(trimmed(line.substr(1, line.size() - 2)));
            continue;
        }
        const auto equals = line.find('=');
        const std::string where = "line " + std::to_string(lineNumber) + ": ";
        if (section == "connect_to") {
            if (equals == std::string_view::npos) {
                return fail(where + "expected HOST[:PORT]=ADDR:PORT");
            }
            std::string why;
            auto rule =
                parseRule(trimmed(line.substr(0, equals)), trimmed(line.substr(equals + 1)), why);
            if (!rule) {
                return fail(where + why);
            }
            result.connectTo.push_back(std::move(*rule));
            continue;
        }
        if (section != "endpoints" || equals == std::string_view::npos) {
            continue; // other sections and stray text are not ours
        }
        const std::string key = lowered(trimmed(line.substr(0, equals)));
        const std::string value(trimmed(line.substr(equals + 1)));
        if (value.empty()) {
            continue;
        }
        if (key == "gateway") {
            result.gateway = value;
        } else if (key == "item_host") {
            result.itemHost = value;
        } else if (key == "detail_host") {
            result.detailHost = value;
        } else if (key == "config") {
            result.configBase = value;
        }
    }
    return result;
}

const ConnectRule* Endpoints::connectRuleFor(std::string_view host, int port) const {
    const std::string wanted = lowered(host);
    const ConnectRule* wildcard = nullptr;
    for (const ConnectRule& rule : connectTo) {
        if (rule.host == "*") {
            if (wildcard == nullptr) {
                wildcard = &rule;
            }
        } else if (rule.host == wanted && rule.port == port) {
            return &rule;
        }
    }
    return wildcard;
}

std::shared_ptr<const Endpoints> activeEndpoints() {
    std::lock_guard lock(g_activeMutex);
    return activeSlot();
}

void setActiveEndpoints(Endpoints endpoints) {
    auto fresh = std::make_shared<const Endpoints>(std::move(endpoints));
    std::lock_guard lock(g_activeMutex);
    activeSlot() = std::move(fresh);
}

} // namespace quillon::net
