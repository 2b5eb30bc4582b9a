#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace quillon::sim {

// The key=value pairs of a raw query text, in order. Pairs are split at "&"
// and at the first "="; empty pieces (as in "?&pageNum=2") are skipped.
class QueryText {
  public:
    // With `decode` set, "%XX" sequences become their bytes (a "+" stays a
    // "+": the clients send blanks as %20).
    explicit QueryText(std::string_view query, bool decode = false);

    const std::vector<std::pair<std::string, std::string>>& pairs() const { return m_pairs; }

    // The value of the first pair with this key (case-sensitive).
    std::optional<std::string> value(std::string_view key) const;

    // "%XX" sequences as bytes; malformed ones are kept as they are.
    static std::string percentDecode(std::string_view text);

  private:
    std::vector<std::pair<std::string, std::string>> m_pairs;
};

} // namespace quillon::sim
