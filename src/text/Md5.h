#pragma once

#include <string>
#include <string_view>

namespace quillon::text {

// MD5 of the bytes as 32 lower-case hexadecimal digits.
std::string md5Hex(std::string_view bytes);

// Digits 9 to 24 (counting from 1) of md5Hex.
std::string md5Mid16(std::string_view bytes);

// MD5 of the bytes as 32 upper-case hexadecimal digits (request signatures).
std::string md5UpperHex(std::string_view bytes);

} // namespace quillon::text
