#pragma once

#include <string>
#include <string_view>

namespace quillon::text {

// Full-width digits, signs and letters are read as their half-width forms,
// leading blanks are skipped and the longest leading decimal number is taken
// (sign, digits with at most one point, exponent). No number reads 0.
double numberFromText(std::string_view text);

// The shortest form with at most 13 significant digits, as "%.13g" writes it.
std::string numberToText(double value);

} // namespace quillon::text
