#include "text/Markers.h"

#include "text/GbkText.h"

namespace quillon::text {
namespace {

// "#引号" in GBK: a marker's way of writing a double quote.
constexpr std::string_view kQuoteWord = "#\xD2\xFD\xBA\xC5";

} // namespace

std::string cutBetween(std::string_view text, std::string_view left, std::string_view right,
                       std::size_t start, bool caseSensitive) {
    const std::string leftMarker = replaceAll(left, kQuoteWord, "\"");
    const std::string rightMarker = replaceAll(right, kQuoteWord, "\"");
    auto find = caseSensitive ? findText : findTextNoCase;

    const std::size_t leftAt = find(text, leftMarker, start);
    if (leftAt == std::string_view::npos)
        return {};
    const std::size_t from = leftAt + leftMarker.size();
    const std::size_t rightAt = find(text, rightMarker, from);
    if (rightAt == std::string_view::npos)
        return {};
    return std::string(text.substr(from, rightAt - from));
}

std::string textBetween(std::string_view text, std::string_view left, std::string_view right) {
    std::size_t from = 0;
    if (!left.empty()) {
        const std::size_t leftAt = findText(text, left);
        if (leftAt == std::string_view::npos)
            return {};
        from = leftAt + left.size();
    }
    if (right.empty())
        return std::string(text.substr(from));
    const std::size_t rightAt = findText(text, right, from);
    if (rightAt == std::string_view::npos)
        return {};
    return std::string(text.substr(from, rightAt - from));
}

std::string afterLast(std::string_view text, std::string_view marker) {
    const std::size_t at = findLastText(text, marker);
    if (at == std::string_view::npos)
        return {};
    return std::string(text.substr(at + marker.size()));
}

} // namespace quillon::text
