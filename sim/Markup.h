#pragma once

#include <string>
#include <string_view>

namespace quillon::sim {

// Escaping for the two kinds of markup the sandbox writes. Both work on GBK
// bytes: every byte they touch is ASCII, and GBK trail bytes are never one of
// the five characters escaped.
class Markup {
  public:
    // "&", "<", ">" and the double quote as HTML entities (page text and
    // attribute values).
    static std::string html(std::string_view text);

    // The five predefined XML entities, "&apos;" included, as the platform
    // wrote element texts.
    static std::string xml(std::string_view text);
};

} // namespace quillon::sim
