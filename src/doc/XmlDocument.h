#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace quillon::doc {

// One attribute of an element, as written in its start tag (double quotes
// removed from the value, nothing decoded).
struct XmlAttribute {
    std::string name;
    std::string value;
};

// One element. Elements are numbered from 1 in the order in which they END,
// so children always have smaller numbers than their parent.
struct XmlNode {
    std::string name;                     // as written, prefix and colon included
    std::string text;                     // own text up to the next "<"; "" when blank
    std::vector<XmlAttribute> attributes; // in written order, duplicates kept
    std::vector<int> children;            // node numbers, in document order
    int parent = 0;                       // 0 for the root and for unclosed parents
    int number = 0;                       // this node's own number
};

// A small, tolerant reader for XML answers of a known shape: elements,
// attributes, element text and CDATA sections; no entity decoding, no
// namespaces. Every text it holds is GBK. Not thread-safe: each worker owns
// its own document and reloads it for every answer.
class XmlDocument {
  public:
    // Replaces the tree with the document in `bytes`. A text declaring
    // "utf-8" (or any but "gb2312" when `assumeUtf8` is set) is converted to
    // GBK first. `quoteAwareSplit` keeps a "<" inside double quotes from
    // starting a tag. False on a nesting or tag error, and the document is
    // then empty; unclosed elements at the end are not an error.
    bool load(std::string_view bytes, bool assumeUtf8 = false, bool quoteAwareSplit = false);

    // Removes every node and CDATA section; root becomes 0.
    void clear();

    // Node number of the root (the element that ended last); 0 when empty.
    int root() const { return m_root; }

    // Number of nodes; node numbers run from 1 to this.
    int nodeCount() const { return static_cast<int>(m_nodes.size()); }

    // The node with this 1-based number, or nullptr when there is none. The
    // pointer is valid until the next load or clear.
    const XmlNode* node(int number) const;

    // Contents of the CDATA sections of the last loaded text, in text order.
    const std::vector<std::string>& cdataSections() const { return m_cdataSections; }

    // The marker that stood in for CDATA sections while the last text was read.
    const std::string& cdataMarker() const { return m_cdataMarker; }

    // Node path queries. A path is steps separated by "/": a child name, "@N"
    // for the N-th child (from 1) or "@#N" for node number N ("@#0" is the
    // root). A first step names the root. Paths that name nothing give "",
    // 0 (found = false) or false. All return copies.

    // Own text of the named element.
    std::string getText(std::string_view path) const;

    // Number of child elements of the named element; `found` (when given)
    // tells whether the path named one.
    int childCount(std::string_view path, bool* found = nullptr) const;

    // Value of the first attribute called `name` (exact comparison) of the
    // named element. False, with `value` untouched, when there is none.
    bool getAttribute(std::string_view path, std::string_view name, std::string& value) const;

    // Number of the node the path names, or nothing.
    std::optional<int> findNode(std::string_view path) const;

    // One step from `current` (nothing before the first step): the number of
    // the node it leads to, or nothing.
    std::optional<int> resolveStep(std::optional<int> current, std::string_view step) const;

  private:
    bool parse(std::string_view text, bool quoteAwareSplit);

    std::vector<XmlNode> m_nodes;
    int m_root = 0;
    std::vector<std::string> m_cdataSections;
    std::string m_cdataMarker;
};

} // namespace quillon::doc
