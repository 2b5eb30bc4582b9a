#pragma once

#include <string>
#include <string_view>

namespace quillon::text {

// Conversions at the system's edges. Inside, every text is a GBK (code page
// 936) byte string. A character the target cannot hold becomes "?"; a byte
// sequence that is not valid in the source becomes "?" as well, so both
// directions always succeed. Safe to call from any thread.
std::string gbkToUtf8(std::string_view gbk);
std::string utf8ToGbk(std::string_view utf8);

// A message written in the (UTF-8) source, as the GBK text the system uses.
inline std::string gbk(std::string_view utf8Literal) {
    return utf8ToGbk(utf8Literal);
}

} // namespace quillon::text
