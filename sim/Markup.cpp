#include "Markup.h"

namespace quillon::sim {

namespace {

std::string escape(std::string_view text, bool apostrophe) {
    std::string out;
    out.reserve(text.size() + text.size() / 8);
    for (const char c : text) {
        switch (c) {
        case '&':
            out += "&amp;";
            break;
        case '<':
            out += "&lt;";
            break;
        case '>':
            out += "&gt;";
            break;
        case '"':
            out += "&quot;";
            break;
        case '\'':
            if (apostrophe) {
                out += "&apos;";
            } else {
                out += c;
            }
            break;
        default:
            out += c;
        }
    }
    return out;
}

} // namespace

std::string Markup::html(std::string_view text) {
    return escape(text, false);
}

std::string Markup::xml(std::string_view text) {
    return escape(text, true);
}

} // namespace quillon::sim
