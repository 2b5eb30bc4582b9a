#include "text/Number.h"

#include <charconv>
#include <cstdlib>

#include "text/GbkText.h"

namespace quillon::text {
namespace {

// Row A3 of GBK holds the full-width forms of ASCII 0x21..0x7E; A1 A1 is the
// full-width space.
std::string halfWidth(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t pos = 0; pos < text.size();) {
        const std::size_t length = charLengthAt(text, pos);
        if (length == 2) {
            const auto lead = static_cast<unsigned char>(text[pos]);
            const auto trail = static_cast<unsigned char>(text[pos + 1]);
            if (lead == 0xA3 && trail >= 0xA1 && trail <= 0xFE) {
                out.push_back(static_cast<char>(trail - 0x80));
            } else if (lead == 0xA1 && trail == 0xA1) {
                out.push_back(' ');
            } else {
                out.append(text.substr(pos, 2));
            }
        } else {
            out.push_back(text[pos]);
        }
        pos += length;
    }
    return out;
}

bool isDigit(char c) {
    return c >= '0' && c <= '9';
}
bool isSpace(char c) {
    return c == ' ' || (c >= '\t' && c <= '\r');
}

// Length of the longest decimal number at the start of `s`, 0 when none.
std::size_t numberLength(std::string_view s) {
    std::size_t i = 0;
    if (i < s.size() && (s[i] == '+' || s[i] == '-'))
        ++i;
    std::size_t digits = 0;
    while (i < s.size() && isDigit(s[i]))
        ++i, ++digits;
    if (i < s.size() && s[i] == '.') {
        ++i;
        while (i < s.size() && isDigit(s[i]))
            ++i, ++digits;
    }
    if (digits == 0)
        return 0;
    if (i < s.size() && (s[i] == 'e' || s[i] == 'E')) {
        std::size_t j = i + 1;
        if (j < s.size() && (s[j] == '+' || s[j] == '-'))
            ++j;
        const std::size_t exponentStart = j;
        while (j < s.size() && isDigit(s[j]))
            ++j;
        if (j > exponentStart)
            i = j;
    }
    return i;
}

} // namespace

double numberFromText(std::string_view text) {
    const std::string plain = halfWidth(text);
    std::string_view s = plain;
    while (!s.empty() && isSpace(s.front()))
        s.remove_prefix(1);
    const std::size_t length = numberLength(s);
    if (length == 0)
        return 0.0;
    std::string_view number = s.substr(0, length);
    // from_chars takes no leading "+".
    if (number.front() == '+')
        number.remove_prefix(1);
    double value = 0.0;
    const auto result = std::from_chars(number.data(), number.data() + number.size(), value);
    if (result.ec == std::errc::result_out_of_range) {
        // Too large or too small for a double: keep the C library's answer.
        value = std::strtod(std::string(number).c_str(), nullptr);
    }
    return value;
}

std::string numberToText(double value) {
    if (value == 0.0)
        return "0"; // never "-0"
    char buffer[64];
    const auto result =
        std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::general, 13);
    return std::string(buffer, result.ptr);
}

} // namespace quillon::text
