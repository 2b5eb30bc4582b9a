// Node path queries of XmlDocument.

#include <cstdint>

#include "doc/XmlDocument.h"

namespace quillon::doc {
namespace {

// Past any int, so an overlong number names nothing instead of wrapping.
constexpr std::int64_t kNumberCap = std::int64_t{1} << 40;

// Decimal number after leading blanks, up to the first non-digit; no digits
// read 0 (so "@2x" is "@2" and "@-1" is "@0").
std::int64_t readNumber(std::string_view text) {
    std::size_t pos = text.find_first_not_of(" \t\r\n");
    std::int64_t number = 0;
    for (; pos < text.size() && text[pos] >= '0' && text[pos] <= '9'; ++pos) {
        if (number < kNumberCap)
            number = number * 10 + (text[pos] - '0');
    }
    return number;
}

} // namespace

std::optional<int> XmlDocument::resolveStep(std::optional<int> current,
                                            std::string_view step) const {
    const XmlNode* here = nullptr;
    if (current) {
        here = node(*current);
        if (here == nullptr)
            return std::nullopt;
    }
    const std::optional<int> rootNode =
        m_root > 0 ? std::optional<int>(m_root) : std::optional<int>();

    if (step.starts_with('@')) {
        if (step.starts_with("@#")) {
            const std::int64_t k = readNumber(step.substr(2));
            if (k == 0)
                return step == "@#0" ? rootNode : std::nullopt;
            if (k > nodeCount())
                return std::nullopt;
            return static_cast<int>(k);
        }
        if (step.size() == 1)
            return std::nullopt;
        const std::int64_t k = readNumber(step.substr(1));
        if (here == nullptr)
            return k == 1 ? rootNode : std::nullopt;
        if (k < 1 || k > static_cast<std::int64_t>(here->children.size()))
            return std::nullopt;
        return here->children[static_cast<std::size_t>(k - 1)];
    }

    if (here == nullptr) {
        if (rootNode && node(*rootNode)->name == step)
            return rootNode;
        return std::nullopt;
    }
    for (int child : here->children) {
        const XmlNode* candidate = node(child);
        if (candidate != nullptr && candidate->name == step)
            return child;
    }
    return std::nullopt;
}

std::optional<int> XmlDocument::findNode(std::string_view path) const {
    if (path.empty())
        return std::nullopt;
    std::optional<int> current;
    std::size_t start = 0;
    for (;;) {
        const std::size_t slash = path.find('/', start);
        const bool lastStep = slash == std::string_view::npos;
        const std::string_view step =
            path.substr(start, lastStep ? std::string_view::npos : slash - start);
        // A trailing "/" adds no step; a leading one or "//" gives an empty step.
        if (lastStep && step.empty())
            break;
        current = resolveStep(current, step);
        if (!current)
            return std::nullopt;
        if (lastStep)
            break;
        start = slash + 1;
    }
    if (current && node(*current) != nullptr)
        return current;
    return std::nullopt;
}

std::string XmlDocument::getText(std::string_view path) const {
    const std::optional<int> found = findNode(path);
    return found ? node(*found)->text : std::string();
}

int XmlDocument::childCount(std::string_view path, bool* found) const {
    const std::optional<int> number = findNode(path);
    if (found != nullptr)
        *found = number.has_value();
    return number ? static_cast<int>(node(*number)->children.size()) : 0;
}

bool XmlDocument::getAttribute(std::string_view path, std::string_view name,
                               std::string& value) const {
    const std::optional<int> number = findNode(path);
    if (!number)
        return false;
    for (const XmlAttribute& attribute : node(*number)->attributes) {
        if (attribute.name == name) {
            value = attribute.value;
            return true;
        }
    }
    return false;
}

} // namespace quillon::doc
