#include "text/GbkText.h"

#include <algorithm>
#include <cstring>

namespace quillon::text {
namespace {

bool isLeadByte(unsigned char byte) {
    return byte >= 0x81 && byte <= 0xFE;
}

char foldAscii(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

// Compares needle with the text at `pos` (a character boundary), folding ASCII
// letters only where both sides hold a single-byte character.
bool matchesNoCaseAt(std::string_view text, std::size_t pos, std::string_view needle) {
    if (text.size() - pos < needle.size())
        return false;
    std::size_t i = 0;
    while (i < needle.size()) {
        const std::size_t length = charLengthAt(text, pos + i);
        if (length == 1) {
            if (foldAscii(text[pos + i]) != foldAscii(needle[i]))
                return false;
        } else {
            if (i + 1 >= needle.size())
                return false;
            if (text[pos + i] != needle[i] || text[pos + i + 1] != needle[i + 1])
                return false;
        }
        i += length;
    }
    return true;
}

template <typename Find>
std::string replaceWith(std::string_view text, std::string_view from, std::string_view to,
                        Find find) {
    if (from.empty())
        return std::string(text);
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
    if (pos + 1 < text.size() && isLeadByte(static_cast<unsigned char>(text[pos])))
        return 2;
    return 1;
}

namespace {

// Tells character boundaries apart while a search moves forward through a
// text. A byte below 0x81 always ends a character (leads are 0x81..0xFE), so
// only the run of lead-range bytes right before a position needs walking, and
// never again the part already walked.
class BoundaryWalker {
  public:
    explicit BoundaryWalker(std::string_view text) : m_text(text) {}

    bool isBoundary(std::size_t pos) {
        if (pos == 0 || pos >= m_text.size())
            return pos <= m_text.size();
        std::size_t runStart = pos;
        while (runStart > m_known && isLeadByte(static_cast<unsigned char>(m_text[runStart - 1]))) {
            --runStart;
        }
        std::size_t at = runStart;
        while (at < pos)
            at += charLengthAt(m_text, at);
        m_known = at;
        return at == pos;
    }

  private:
    std::string_view m_text;
    std::size_t m_known = 0; // a boundary at or before every position asked next
};

} // namespace

bool isCharBoundary(std::string_view text, std::size_t pos) {
    return BoundaryWalker(text).isBoundary(pos);
}

std::size_t findText(std::string_view text, std::string_view needle, std::size_t from) {
    if (from > text.size())
        return std::string_view::npos;
    if (needle.empty())
        return from;
    BoundaryWalker walker(text);
    for (std::size_t candidate = text.find(needle, from); candidate != std::string_view::npos;
         candidate = text.find(needle, candidate + 1)) {
        if (walker.isBoundary(candidate))
            return candidate;
    }
    return std::string_view::npos;
}

std::size_t findTextNoCase(std::string_view text, std::string_view needle, std::size_t from) {
    if (from > text.size())
        return std::string_view::npos;
    if (needle.empty())
        return from;
    // Candidates are the places of the first byte in either case, found with
    // a byte search each; only they are compared and checked for a boundary.
    const char lower = foldAscii(needle.front());
    const char upper =
        (lower >= 'a' && lower <= 'z') ? static_cast<char>(lower - 'a' + 'A') : lower;
    BoundaryWalker walker(text);
    std::size_t nextLower = text.find(lower, from);
    std::size_t nextUpper = upper == lower ? std::string_view::npos : text.find(upper, from);
    while (nextLower != std::string_view::npos || nextUpper != std::string_view::npos) {
        const std::size_t candidate = std::min(nextLower, nextUpper);
        if (candidate + needle.size() > text.size())
            return std::string_view::npos;
        if (walker.isBoundary(candidate) && matchesNoCaseAt(text, candidate, needle)) {
            return candidate;
        }
        if (candidate == nextLower)
            nextLower = text.find(lower, candidate + 1);
        if (candidate == nextUpper)
            nextUpper = text.find(upper, candidate + 1);
    }
    return std::string_view::npos;
}

std::size_t findLastText(std::string_view text, std::string_view needle) {
    if (needle.empty())
        return std::string_view::npos;
    for (std::size_t candidate = text.rfind(needle); candidate != std::string_view::npos;
         candidate = candidate == 0 ? std::string_view::npos : text.rfind(needle, candidate - 1)) {
        if (isCharBoundary(text, candidate))
            return candidate;
    }
    return std::string_view::npos;
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
        if (out[pos] >= 'a' && out[pos] <= 'z')
            out[pos] = static_cast<char>(out[pos] - 'a' + 'A');
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
