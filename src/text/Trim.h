#pragma once

#include <string>
#include <string_view>

namespace quillon::text {

// The GBK full-width space, bytes A1 A1.
inline constexpr std::string_view kFullWidthSpace = "\xA1\xA1";

// Removes ASCII spaces and full-width spaces from both ends (or one end).
// Tabs and line breaks are not blanks here.
std::string trim(std::string_view text);
std::string trimStart(std::string_view text);
std::string trimEnd(std::string_view text);

// True when the text holds nothing but space, tab, CR and LF bytes.
bool isBlank(std::string_view text);

// The text with every space, tab, CR and LF byte removed.
std::string removeBlanks(std::string_view text);

} // namespace quillon::text
