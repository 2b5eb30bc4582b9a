#include "doc/XmlDocument.h"

#include <algorithm>
#include <chrono>
#include <climits>
#include <cstddef>
#include <random>
#include <utility>

#include "text/TextCodec.h"

namespace quillon::doc {
namespace {

constexpr std::string_view kCdataOpen = "<![CDATA[";
constexpr std::string_view kCdataClose = "]]>";
constexpr int kMarkerLetters = 5;
constexpr int kMarkerCodes = 26 * 26 * 26 * 26 * 26;
constexpr int kMarkerDraws = 100;

bool isBlank(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

bool isAllBlank(std::string_view s) {
    return s.find_first_not_of(" \t\r\n") == std::string_view::npos;
}

// Names and texts end at a zero byte, as texts do everywhere in the program.
std::string_view untilZero(std::string_view s) {
    return s.substr(0, s.find('\0'));
}

char lowerAscii(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

// Plain byte search ignoring ASCII case: the bytes may still be UTF-8 here,
// so no GBK character stepping.
std::size_t findNoCase(std::string_view text, std::string_view needle) {
    if (needle.size() > text.size())
        return std::string_view::npos;
    const std::size_t last = text.size() - needle.size();
    for (std::size_t pos = 0; pos <= last; ++pos) {
        std::size_t i = 0;
        while (i < needle.size() && lowerAscii(text[pos + i]) == needle[i])
            ++i;
        if (i == needle.size())
            return pos;
    }
    return std::string_view::npos;
}

// The value after the first "encoding" up to the next "?>", with "=" and
// double quotes removed, outer spaces stripped, lower-cased. Single quotes
// stay, so a single-quoted name matches nothing.
std::string declaredEncoding(std::string_view text) {
    const std::size_t at = findNoCase(text, "encoding");
    if (at == std::string_view::npos)
        return {};
    const std::size_t from = at + 8;
    const std::size_t end = text.find("?>", from);
    if (end == std::string_view::npos)
        return {};

    std::string value;
    for (char c : text.substr(from, end - from)) {
        if (c != '=' && c != '"')
            value.push_back(lowerAscii(c));
    }
    constexpr std::string_view kWide = "\xA1\xA1";
    std::string_view v = value;
    for (;;) {
        if (!v.empty() && v.front() == ' ')
            v.remove_prefix(1);
        else if (v.starts_with(kWide))
            v.remove_prefix(2);
        else if (!v.empty() && v.back() == ' ')
            v.remove_suffix(1);
        else if (v.ends_with(kWide))
            v.remove_suffix(2);
        else
            break;
    }
    return std::string(v);
}

std::string markerFromCode(int code) {
    std::string marker(1 + kMarkerLetters, '@');
    for (int i = kMarkerLetters; i >= 1; --i) {
        marker[static_cast<std::size_t>(i)] = static_cast<char>('A' + code % 26);
        code /= 26;
    }
    return marker;
}

// "@" and five random capitals that occur nowhere in the text. One pass notes
// which such markers the text holds, so the draws cost nothing more.
std::string chooseMarker(std::string_view text) {
    std::vector<bool> present; // allocated only when the text holds a candidate
    for (std::size_t at = text.find('@'); at != std::string_view::npos;
         at = text.find('@', at + 1)) {
        if (text.size() - at < 1 + kMarkerLetters)
            break;
        int code = 0;
        bool capitals = true;
        for (int i = 1; i <= kMarkerLetters && capitals; ++i) {
            const char c = text[at + static_cast<std::size_t>(i)];
            capitals = c >= 'A' && c <= 'Z';
            code = code * 26 + (c - 'A');
        }
        if (!capitals)
            continue;
        if (present.empty())
            present.assign(kMarkerCodes, false);
        present[static_cast<std::size_t>(code)] = true;
    }

    std::minstd_rand random(static_cast<std::minstd_rand::result_type>(
        std::chrono::high_resolution_clock::now().time_since_epoch().count()));
    std::uniform_int_distribution<int> letter(0, 25);
    for (int draw = 0; draw < kMarkerDraws; ++draw) {
        int code = 0;
        for (int i = 0; i < kMarkerLetters; ++i)
            code = code * 26 + letter(random);
        if (present.empty() || !present[static_cast<std::size_t>(code)]) {
            return markerFromCode(code);
        }
    }
    for (int code = 0; code < kMarkerCodes; ++code) {
        if (!present[static_cast<std::size_t>(code)])
            return markerFromCode(code);
    }
    // Every six-byte marker occurs: a run of "A" longer than any in the text cannot.
    std::size_t longestRun = 0;
    std::size_t run = 0;
    for (char c : text) {
        run = (c == 'A') ? run + 1 : 0;
        if (run > longestRun)
            longestRun = run;
    }
    return "@" + std::string(longestRun + 1, 'A');
}

// Replaces each CDATA section by marker + "," + k + "." and collects its
// contents. False (and `out` untouched) when the text has no closed section.
// A section without "]]>" ends the search; the rest stays as it is.
bool cutCdata(std::string_view text, const std::string& marker, std::vector<std::string>& sections,
              std::string& out) {
    std::size_t from = 0;
    for (;;) {
        const std::size_t open = text.find(kCdataOpen, from);
        if (open == std::string_view::npos)
            break;
        const std::size_t contentStart = open + kCdataOpen.size();
        const std::size_t close = text.find(kCdataClose, contentStart);
        if (close == std::string_view::npos)
            break;
        if (sections.empty())
            out.reserve(text.size());
        sections.emplace_back(text.substr(contentStart, close - contentStart));
        out.append(text.substr(from, open - from));
        out += marker;
        out += ',';
        out += std::to_string(sections.size());
        out += '.';
        from = close + kCdataClose.size();
    }
    if (sections.empty())
        return false;
    out.append(text.substr(from));
    return true;
}

// A start tag's text becomes the whole CDATA section whose placeholder it
// holds; text around the placeholder is dropped.
std::string restoreCdata(std::string_view text, const std::string& marker,
                         const std::vector<std::string>& sections) {
    const std::size_t at = text.find(marker);
    if (at == std::string_view::npos)
        return std::string(text);
    std::size_t pos = at + marker.size() + 1; // past the ","
    std::size_t k = 0;
    while (pos < text.size() && text[pos] >= '0' && text[pos] <= '9' && k <= sections.size()) {
        k = k * 10 + static_cast<std::size_t>(text[pos] - '0');
        ++pos;
    }
    if (k >= 1 && k <= sections.size())
        return std::string(untilZero(sections[k - 1]));
    return std::string(text);
}

// Every run of `blank` right before an "=" removed, in place: what replacing
// the pair blank + "=" by "=" until it no longer occurs leaves.
void dropBlanksBefore(std::string& s, char blank) {
    std::size_t write = 0;
    std::size_t run = 0; // blanks just written
    for (char c : s) {
        if (c == '=')
            write -= run;
        run = (c == blank) ? run + 1 : 0;
        s[write++] = c;
    }
    s.resize(write);
}

// Every run of `blank` right after an "=" removed, in place.
void dropBlanksAfter(std::string& s, char blank) {
    std::size_t write = 0;
    bool afterEquals = false;
    for (char c : s) {
        if (afterEquals && c == blank)
            continue;
        afterEquals = c == '=';
        s[write++] = c;
    }
    s.resize(write);
}

// Reads the tag of `piece` (its bytes before `lastGt`) into `node`: name and
// attributes, and for a start tag its text. False on an attribute token
// without "=".
bool readTag(std::string_view piece, std::size_t lastGt, bool withText, const std::string& marker,
             const std::vector<std::string>& sections, XmlNode& node) {
    std::string_view whole = piece.substr(0, lastGt);
    std::string collapsed; // only tags with "=" need a copy
    if (whole.find('=') != std::string_view::npos) {
        collapsed = whole;
        // The pairs go one after another, so "a \t= b" keeps a space before "=".
        for (char blank : {' ', '\t', '\r', '\n'})
            dropBlanksBefore(collapsed, blank);
        for (char blank : {' ', '\t', '\r', '\n'})
            dropBlanksAfter(collapsed, blank);
        whole = collapsed;
    }

    std::size_t kept = 0; // tokens that are neither blank nor "/"
    bool first = true;
    const auto takeToken = [&](std::string_view token) {
        if (first) {
            node.name = untilZero(token);
            first = false;
        }
        if (isAllBlank(token) || token == "/")
            return true;
        if (kept++ == 0)
            return true;
        const std::size_t eq = token.find('=');
        if (eq == std::string_view::npos)
            return false;
        XmlAttribute attribute;
        attribute.name = untilZero(token.substr(0, eq));
        for (char c : untilZero(token.substr(eq + 1))) {
            if (c != '"')
                attribute.value.push_back(c);
        }
        node.attributes.push_back(std::move(attribute));
        return true;
    };

    bool inQuotes = false;
    std::size_t tokenStart = 0;
    for (std::size_t i = 0; i < whole.size(); ++i) {
        if (whole[i] == '"') {
            inQuotes = !inQuotes;
        } else if (whole[i] == ' ' && !inQuotes) {
            if (!takeToken(whole.substr(tokenStart, i - tokenStart)))
                return false;
            tokenStart = i + 1;
        }
    }
    std::string_view lastToken = whole.substr(tokenStart);
    // A closing "/" of an empty-element tag is a token of its own, which no
    // attribute reading looks at.
    if (whole.ends_with('/'))
        lastToken.remove_suffix(1);
    if (!takeToken(lastToken))
        return false;

    if (withText) {
        node.text = restoreCdata(untilZero(piece.substr(lastGt + 1)), marker, sections);
    }
    return true;
}

// The position of the next "<" that cuts the text, from `from`; with
// `quoteAware`, one inside double quotes does not cut.
std::size_t nextCut(std::string_view text, std::size_t from, bool quoteAware, bool& inQuotes) {
    if (!quoteAware)
        return text.find('<', from);
    for (std::size_t i = from; i < text.size(); ++i) {
        if (text[i] == '"')
            inQuotes = !inQuotes;
        else if (text[i] == '<' && !inQuotes)
            return i;
    }
    return std::string_view::npos;
}

enum class PieceKind { Skipped, Broken, EndTag, EmptyTag, StartTag };

// What a piece of the text is; `lastGt` gets the position of its last ">".
// Broken: no ">", or both an end tag and an empty-element tag.
PieceKind classify(std::string_view piece, std::size_t& lastGt) {
    if (isAllBlank(piece) || piece.front() == '?' || piece.front() == '!') {
        return PieceKind::Skipped;
    }
    lastGt = piece.rfind('>');
    if (lastGt == std::string_view::npos)
        return PieceKind::Broken;
    const bool endTag = piece.front() == '/';
    const bool emptyTag = lastGt > 0 && piece[lastGt - 1] == '/';
    if (endTag && emptyTag)
        return PieceKind::Broken;
    if (endTag)
        return PieceKind::EndTag;
    return emptyTag ? PieceKind::EmptyTag : PieceKind::StartTag;
}

// Calls `visit(piece)` for each piece of the text cut at "<" until it
// returns false; false then.
template <typename Visit> bool forEachPiece(std::string_view text, bool quoteAware, Visit&& visit) {
    bool inQuotes = false;
    std::size_t start = 0;
    for (;;) {
        const std::size_t cut = nextCut(text, start, quoteAware, inQuotes);
        if (!visit(text.substr(start, cut == std::string_view::npos ? cut : cut - start))) {
            return false;
        }
        if (cut == std::string_view::npos)
            return true;
        start = cut + 1;
    }
}

// How many nodes the text can make at most (exactly as many when it loads),
// so the node list is allocated once instead of growing and moving.
std::size_t countElementEnds(std::string_view text, bool quoteAware) {
    std::size_t count = 0;
    forEachPiece(text, quoteAware, [&](std::string_view piece) {
        std::size_t lastGt = 0;
        const PieceKind kind = classify(piece, lastGt);
        if (kind == PieceKind::EndTag || kind == PieceKind::EmptyTag)
            ++count;
        return kind != PieceKind::Broken;
    });
    return count;
}

} // namespace

bool XmlDocument::load(std::string_view bytes, bool assumeUtf8, bool quoteAwareSplit) {
    clear();

    std::string_view text = bytes;
    std::string converted;
    const std::string_view asText = untilZero(bytes);
    const std::string declared = declaredEncoding(asText);
    if (declared != "gb2312" && (declared == "utf-8" || assumeUtf8)) {
        converted = text::utf8ToGbk(asText);
        text = converted;
    }

    m_cdataMarker = chooseMarker(text);
    std::string withPlaceholders;
    if (cutCdata(text, m_cdataMarker, m_cdataSections, withPlaceholders)) {
        text = withPlaceholders;
        std::string().swap(converted); // no longer read; large answers need the room
    }

    if (parse(text, quoteAwareSplit))
        return true;
    clear();
    return false;
}

void XmlDocument::clear() {
    std::vector<XmlNode>().swap(m_nodes); // a large answer's room is not kept for the next
    m_root = 0;
    m_cdataSections.clear();
    m_cdataMarker.clear();
}

const XmlNode* XmlDocument::node(int number) const {
    if (number < 1 || number > nodeCount())
        return nullptr;
    return &m_nodes[static_cast<std::size_t>(number - 1)];
}

bool XmlDocument::parse(std::string_view text, bool quoteAwareSplit) {
    // Open elements, innermost last; an empty stack is the document level.
    // A vector rather than recursion, so deep nesting cannot exhaust the stack.
    std::vector<XmlNode> open;
    int n = 0;

    const auto addNode = [&](XmlNode&& node) {
        ++n;
        if (!open.empty())
            open.back().children.push_back(n);
        node.number = n;
        m_nodes.push_back(std::move(node));
    };

    m_nodes.reserve(countElementEnds(text, quoteAwareSplit));
    const bool read = forEachPiece(text, quoteAwareSplit, [&](std::string_view piece) {
        std::size_t lastGt = 0;
        const PieceKind kind = classify(piece, lastGt);
        switch (kind) {
        case PieceKind::Skipped:
            return true;
        case PieceKind::Broken:
            return false;
        case PieceKind::EndTag: {
            // Node numbers are ints; a text with more elements is refused.
            if (n == INT_MAX)
                return false;
            // Everything up to the next "<" belongs to the name, so text
            // after an end tag (mixed content) makes it mismatch.
            std::string name;
            for (char c : untilZero(piece)) {
                if (!isBlank(c) && c != '/' && c != '>')
                    name.push_back(c);
            }
            if (open.empty() || open.back().name != name)
                return false;
            XmlNode node = std::move(open.back());
            open.pop_back();
            for (int child : node.children) {
                m_nodes[static_cast<std::size_t>(child - 1)].parent = n + 1;
            }
            if (isAllBlank(node.text))
                node.text.clear();
            addNode(std::move(node));
            return true;
        }
        case PieceKind::EmptyTag:
        case PieceKind::StartTag: {
            const bool empty = kind == PieceKind::EmptyTag;
            if (empty && n == INT_MAX)
                return false;
            XmlNode node;
            if (!readTag(piece, lastGt, !empty, m_cdataMarker, m_cdataSections, node)) {
                return false;
            }
            if (empty)
                addNode(std::move(node));
            else
                open.push_back(std::move(node));
            return true;
        }
        }
        return false;
    });
    if (!read)
        return false;
    // Elements still open are dropped; the root is the element that ended last.
    m_root = n;
    return true;
}

} // namespace quillon::doc
