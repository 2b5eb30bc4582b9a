#pragma once

#include <string>
#include <string_view>

namespace quillon::text {

// Every byte written as "%" and two upper-case hexadecimal digits.
std::string percentEncode(std::string_view bytes);

} // namespace quillon::text
