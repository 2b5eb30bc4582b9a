#include "QueryText.h"

namespace quillon::sim {

namespace {

int hexValue(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    return -1;
}

} // namespace

QueryText::QueryText(std::string_view query, bool decode) {
    std::size_t start = 0;
    while (start <= query.size()) {
        std::size_t end = query.find('&', start);
        if (end == std::string_view::npos) {
            end = query.size();
        }
        const std::string_view piece = query.substr(start, end - start);
        start = end + 1;
        if (piece.empty()) {
            continue;
        }
        const std::size_t equals = piece.find('=');
        std::string key(piece.substr(0, equals));
        std::string value(equals == std::string_view::npos ? std::string_view{}
                                                           : piece.substr(equals + 1));
        if (decode) {
            key = percentDecode(key);
            value = percentDecode(value);
        }
        m_pairs.emplace_back(std::move(key), std::move(value));
    }
}

std::optional<std::string> QueryText::value(std::string_view key) const {
    for (const auto& [k, v] : m_pairs) {
        if (k == key) {
            return v;
        }
    }
    return std::nullopt;
}

std::string QueryText::percentDecode(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '%' && i + 2 < text.size()) {
            const int high = hexValue(text[i + 1]);
            const int low = hexValue(text[i + 2]);
            if (high >= 0 && low >= 0) {
                out += static_cast<char>(high * 16 + low);
                i += 2;
                continue;
            }
        }
        out += text[i];
    }
    return out;
}

} // namespace quillon::sim
