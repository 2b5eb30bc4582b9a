#include "text/Trim.h"

#include "text/GbkText.h"

namespace quillon::text {
namespace {

bool isWhiteByte(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

std::size_t blankLengthAt(std::string_view text, std::size_t pos) {
    if (text[pos] == ' ')
        return 1;
    if (text.substr(pos, 2) == kFullWidthSpace)
        return 2;
    return 0;
}

// End of the text without its trailing blanks. The walk goes forward by
// characters, since a full-width space can only be told from the trail byte
// of another character by where the characters start.
std::size_t endWithoutTrailingBlanks(std::string_view text) {
    std::size_t end = 0;
    for (std::size_t pos = 0; pos < text.size();) {
        const std::size_t blank = blankLengthAt(text, pos);
        const std::size_t length = blank ? blank : charLengthAt(text, pos);
        pos += length;
        if (!blank)
            end = pos;
    }
    return end;
}

std::size_t startWithoutLeadingBlanks(std::string_view text) {
    std::size_t pos = 0;
    while (pos < text.size()) {
        const std::size_t blank = blankLengthAt(text, pos);
        if (!blank)
            break;
        pos += blank;
    }
    return pos;
}

} // namespace

std::string trim(std::string_view text) {
    const std::size_t start = startWithoutLeadingBlanks(text);
    const std::string_view rest = text.substr(start);
    return std::string(rest.substr(0, endWithoutTrailingBlanks(rest)));
}

std::string trimStart(std::string_view text) {
    return std::string(text.substr(startWithoutLeadingBlanks(text)));
}

std::string trimEnd(std::string_view text) {
    return std::string(text.substr(0, endWithoutTrailingBlanks(text)));
}

bool isBlank(std::string_view text) {
    for (char c : text) {
        if (!isWhiteByte(c))
            return false;
    }
    return true;
}

std::string removeBlanks(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (char c : text) {
        if (!isWhiteByte(c))
            out.push_back(c);
    }
    return out;
}

} // namespace quillon::text
