#include "text/GbkText.h"

#include <algorithm>
#include <cstring>

namespace quillon::text {
namespace {

bool isLeadByte(unsigned char byte) { return byte >= 0x81 && byte <= 0xFE; }

char foldAscii(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

// Compares needle with the text at `pos` (a character boundary), folding ASCII
// letters only where both sides hold a single-byte character.
bool matchesNoCaseAt(std::string_view text, std::size_t pos, std::string_view needle) {
    if (text.size() - pos < needle.size()) return false;
    std::size_t i = 0;
    while (i < needle.size()) {
        const std::size_t length = charLengthAt(text, pos + i);
        if (length == 1) {
            if (foldAscii(text[pos + i]) != foldAscii(needle[i])) return false;
        } else {
            if (i + 1 >= needle.size()) return false;
            if (text[pos + i] != needle[i] || text[pos + i + 1] != needle[i + 1]) return false;
        }
        i += length;
    }
    return true;
}

template <typename Find>
std::string replaceWith(std::string_view text, std::string_view from, std::string_view to, Find find) {
    if (from.empty()) return std::string(text);
    std::string out;
    out.reserve(text.size());
    std::size_t start = 0;
    for (std::size_t hit = find(text, from, 0); hit != std::string_view::npos;
         hit = find(text, from, start)) {
        out.append(text.substr(start, hit - start));
        out.append(to);
        start = hit + from.size();
    }
    out.append(text.substr(start));
    return out;
}

} // namespace

std::size_t charLengthAt(std::string_view text, std::size_t pos) {
    if (pos + 1 < text.size() && isLeadByte(static_cast<unsigned char>(text[pos]))) return 2;
    return 1;
}

std::size_t findText(std::string_view text, std::string_view needle, std::size_t from) {
    if (from > text.size()) return std::string_view::npos;
    if (needle.empty()) return from;
    // Candidates come from a plain byte search; `boundary` walks the text by
    // characters so a candidate inside a double-byte character is refused.
    std::size_t boundary = from;
    std::size_t candidate = text.find(needle, from);
    while (candidate != std::string_view::npos) {
        while (boundary < candidate) boundary += charLengthAt(text, boundary);
        if (boundary == candidate) return candidate;
        candidate = text.find(needle, boundary);
    }
    return std::string_view::npos;
}

std::size_t findTextNoCase(std::string_view text, std::string_view needle, std::size_t from) {
    if (from > text.size()) return std::string_view::npos;
    if (needle.empty()) return from;
    const char first = foldAscii(needle.front());
    const bool firstIsLetter = first >= 'a' && first <= 'z';
    for (std::size_t pos = from; pos + needle.size() <= text.size(); pos += charLengthAt(text, pos)) {
        const char c = text[pos];
        if (firstIsLetter ? foldAscii(c) != first : c != needle.front()) continue;
        if (matchesNoCaseAt(text, pos, needle)) return pos;
    }
    return std::string_view::npos;
}

std::size_t findLastText(std::string_view text, std::string_view needle) {
    if (needle.empty()) return std::string_view::npos;
    std::size_t last = std::string_view::npos;
    for (std::size_t hit = findText(text, needle, 0); hit != std::string_view::npos;
         hit = findText(text, needle, hit + charLengthAt(text, hit))) {
        last = hit;
    }
    return last;
}

bool containsText(std::string_view text, std::string_view needle) {
    return findText(text, needle) != std::string_view::npos;
}

bool containsTextNoCase(std::string_view text, std::string_view needle) {
    return findTextNoCase(text, needle) != std::string_view::npos;
}

std::string lowerAscii(std::string_view text) {
    std::string out(text);
    for (std::size_t pos = 0; pos < out.size(); pos += charLengthAt(out, pos)) {
        out[pos] = foldAscii(out[pos]);
    }
    return out;
}

std::string upperAscii(std::string_view text) {
    std::string out(text);
    for (std::size_t pos = 0; pos < out.size(); pos += charLengthAt(out, pos)) {
        if (out[pos] >= 'a' && out[pos] <= 'z') out[pos] = static_cast<char>(out[pos] - 'a' + 'A');
    }
    return out;
}

std::string replaceAll(std::string_view text, std::string_view from, std::string_view to) {
    return replaceWith(text, from, to, findText);
}

std::string replaceAllNoCase(std::string_view text, std::string_view from, std::string_view to) {
    return replaceWith(text, from, to, findTextNoCase);
}

} // namespace quillon::text
