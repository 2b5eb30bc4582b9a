#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace quillon::text {

// The text after the first `left` up to the first `right` after it; empty
// when either marker is missing. In both markers every "#引号" first becomes a
// double quote. The search starts at byte `start` and by default ignores the
// case of ASCII letters.
std::string cutBetween(std::string_view text, std::string_view left, std::string_view right,
                       std::size_t start = 0, bool caseSensitive = false);

// The text after the first `left` up to the first `right` after it, case
// sensitive. An empty `right` gives everything after `left`, an empty `left`
// everything before the first `right`. Empty when a marker is missing.
std::string textBetween(std::string_view text, std::string_view left, std::string_view right);

// The text after the last occurrence of `marker`; empty when it is absent.
std::string afterLast(std::string_view text, std::string_view marker);

} // namespace quillon::text
