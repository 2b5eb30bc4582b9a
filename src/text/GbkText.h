#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace quillon::text {

// Searches over GBK texts. They move from character to character, so the
// trail byte of a double-byte character is never taken for an ASCII byte
// such as "\" or a letter. Positions are byte offsets and must stand on a
// character boundary; npos means not found.

// Byte length (1 or 2) of the character that starts at `pos`.
std::size_t charLengthAt(std::string_view text, std::size_t pos);

// Whether a character starts at `pos` (or `pos` is the end of the text).
bool isCharBoundary(std::string_view text, std::size_t pos);

// First occurrence of `needle` at or after `from`. An empty needle is found
// at `from` when `from` <= size.
std::size_t findText(std::string_view text, std::string_view needle, std::size_t from = 0);

// As findText, ASCII letters compared without regard to case.
std::size_t findTextNoCase(std::string_view text, std::string_view needle, std::size_t from = 0);

// Last occurrence of `needle`; npos when absent or when the needle is empty.
std::size_t findLastText(std::string_view text, std::string_view needle);

bool containsText(std::string_view text, std::string_view needle);
bool containsTextNoCase(std::string_view text, std::string_view needle);

// ASCII letters lower- or upper-cased; double-byte characters left alone.
std::string lowerAscii(std::string_view text);
std::string upperAscii(std::string_view text);

// Every occurrence of `from` replaced by `to`, scanning left to right; the
// replacement texts are not scanned again. An empty `from` changes nothing.
std::string replaceAll(std::string_view text, std::string_view from, std::string_view to);
std::string replaceAllNoCase(std::string_view text, std::string_view from, std::string_view to);

} // namespace quillon::text
