#include "doc/XmlDocument.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <ostream>
#include <random>
#include <string>
#include <string_view>
#include <vector>

#include "text/TextCodec.h"

namespace quillon::doc {
namespace {

using namespace std::string_literals;

// The whole tree on one line: "root=R" and per node
// number:name="text"[attr=value;...](children)^parent, empty parts left out.
std::string dump(const XmlDocument& doc) {
    std::string out = "root=" + std::to_string(doc.root());
    for (int i = 1; i <= doc.nodeCount(); ++i) {
        const XmlNode& node = *doc.node(i);
        out += " " + std::to_string(node.number) + ":" + node.name;
        if (!node.text.empty())
            out += "=\"" + node.text + "\"";
        if (!node.attributes.empty()) {
            out += "[";
            for (std::size_t a = 0; a < node.attributes.size(); ++a) {
                if (a > 0)
                    out += ";";
                out += node.attributes[a].name + "=" + node.attributes[a].value;
            }
            out += "]";
        }
        if (!node.children.empty()) {
            out += "(";
            for (std::size_t c = 0; c < node.children.size(); ++c) {
                if (c > 0)
                    out += ",";
                out += std::to_string(node.children[c]);
            }
            out += ")";
        }
        if (node.parent != 0)
            out += "^" + std::to_string(node.parent);
    }
    return out;
}

// What every load must leave behind, whatever the input: an empty document
// after false; after true, numbers in place, children before their parent,
// and parent links that agree with the children lists.
void expectConsistent(const XmlDocument& doc, bool loaded) {
    if (!loaded) {
        EXPECT_EQ(doc.root(), 0);
        EXPECT_EQ(doc.nodeCount(), 0);
        EXPECT_TRUE(doc.cdataSections().empty());
        EXPECT_TRUE(doc.cdataMarker().empty());
        return;
    }
    ASSERT_EQ(doc.root(), doc.nodeCount());
    EXPECT_EQ(doc.node(0), nullptr);
    EXPECT_EQ(doc.node(doc.nodeCount() + 1), nullptr);
    for (int i = 1; i <= doc.nodeCount(); ++i) {
        const XmlNode& node = *doc.node(i);
        ASSERT_EQ(node.number, i);
        for (int child : node.children) {
            ASSERT_GE(child, 1);
            ASSERT_LT(child, i);
            ASSERT_EQ(doc.node(child)->parent, i);
        }
        if (node.parent != 0) {
            ASSERT_GT(node.parent, i);
            const std::vector<int>& siblings = doc.node(node.parent)->children;
            ASSERT_NE(std::find(siblings.begin(), siblings.end(), i), siblings.end());
        }
    }
}

struct TreeCase {
    const char* what;
    std::string input;
    std::string tree;
};

void PrintTo(const TreeCase& c, std::ostream* os) {
    *os << c.what;
}

class XmlTreeTest : public ::testing::TestWithParam<TreeCase> {};

TEST_P(XmlTreeTest, BuildsTree) {
    XmlDocument doc;
    const bool loaded = doc.load(GetParam().input);
    EXPECT_TRUE(loaded);
    EXPECT_EQ(dump(doc), GetParam().tree);
    expectConsistent(doc, loaded);
}

const TreeCase kTreeCases[] = {
    {.what = "numbered in order of element end",
     .input = "<a><b/><c>1</c></a>",
     .tree = "root=3 1:b^3 2:c=\"1\"^3 3:a(1,2)"},
    {.what = "nesting: innermost first",
     .input = "<r><p><q/></p><s>t</s></r>",
     .tree = "root=4 1:q^2 2:p(1)^4 3:s=\"t\"^4 4:r(2,3)"},
    {.what = "blank text becomes empty", .input = "<a> \t\r\n </a>", .tree = "root=1 1:a"},
    {.what = "text with blanks around it kept whole",
     .input = "<a> b </a>",
     .tree = "root=1 1:a=\" b \""},
    {.what = "references are not decoded",
     .input = "<a>&lt;b&gt; &le; &amp;amp;</a>",
     .tree = "root=1 1:a=\"&lt;b&gt; &le; &amp;amp;\""},
    {.what = "own text is only what precedes the first child",
     .input = "<a>head<b>x</b>\n  <c/>\n</a>",
     .tree = "root=3 1:b=\"x\"^3 2:c^3 3:a=\"head\"(1,2)"},
    {.what = "text after an empty element is ignored",
     .input = "<a><b/>tail</a>",
     .tree = "root=2 1:b^2 2:a(1)"},
    {.what = "blanks around = removed, single quotes kept",
     .input = "<item id = \"1 2\" flag='y'/>",
     .tree = "root=1 1:item[id=1 2;flag='y']"},
    {.what = "tab, CR and LF around = removed",
     .input = "<a x\t=\t\"1\" y\r=\r\"2\" z\n=\n3/>",
     .tree = "root=1 1:a[x=1;y=2;z=3]"},
    {.what = "blanks around = removed inside quoted values too",
     .input = "<a q=\"k = v\" w=\"\"/>",
     .tree = "root=1 1:a[q=k=v;w=]"},
    {.what = "duplicate attributes kept in written order",
     .input = "<a k=\"1\" k=\"2\" j=3></a>",
     .tree = "root=1 1:a[k=1;k=2;j=3]"},
    {.what = "extra spaces between attributes",
     .input = "<a  x=\"1\"   y=\"2\" ></a>",
     .tree = "root=1 1:a[x=1;y=2]"},
    {.what = "every form of empty element",
     .input = "<r><b/><c /><d x=\"1\"/><e x=\"1\" /></r>",
     .tree = "root=5 1:b^5 2:c^5 3:d[x=1]^5 4:e[x=1]^5 5:r(1,2,3,4)"},
    {.what = "prefixed names kept whole",
     .input = "<soap:Envelope><soap:Body/></soap:Envelope>",
     .tree = "root=2 1:soap:Body^2 2:soap:Envelope(1)"},
    {.what = "declaration, DOCTYPE and comments skipped",
     .input = "<?xml version=\"1.0\"?>\n<!DOCTYPE r>\n<!-- a note --><r><!-- inside --><a>1</a>"
              "</r><!--top173158.cm3-->",
     .tree = "root=2 1:a=\"1\"^2 2:r(1)"},
    {.what = "cut-off document: root is the element that ended last",
     .input = "<r><a>1</a><b>2</b><c>3",
     .tree = "root=2 1:a=\"1\" 2:b=\"2\""},
    {.what = "several top-level elements: the last one is the root",
     .input = "<a/><b/>",
     .tree = "root=2 1:a 2:b"},
    {.what = "empty input", .input = "", .tree = "root=0"},
    {.what = "only blanks and a declaration",
     .input = " \r\n\t<?xml version=\"1.0\" encoding=\"gb2312\"?>\r\n ",
     .tree = "root=0"},
    {.what = "unclosed elements only", .input = "<a><b>", .tree = "root=0"},
    {.what = "text ends at a zero byte",
     .input = "<r><a>x\0y</a><b v=\"1\0\"/></r>"s,
     .tree = "root=3 1:a=\"x\"^3 2:b[v=1]^3 3:r(1,2)"},
    {.what = "GBK text kept byte for byte",
     .input = "<a>\xD6\xD0\xCE\xC4\xA1\xA1</a>",
     .tree = "root=1 1:a=\"\xD6\xD0\xCE\xC4\xA1\xA1\""},
};

INSTANTIATE_TEST_SUITE_P(Shapes, XmlTreeTest, ::testing::ValuesIn(kTreeCases));

struct CdataCase {
    const char* what;
    std::string input;
    bool loads;
    std::string tree;
};

void PrintTo(const CdataCase& c, std::ostream* os) {
    *os << c.what;
}

class XmlCdataTest : public ::testing::TestWithParam<CdataCase> {};

TEST_P(XmlCdataTest, RestoresSections) {
    XmlDocument doc;
    const bool loaded = doc.load(GetParam().input);
    EXPECT_EQ(loaded, GetParam().loads);
    EXPECT_EQ(dump(doc), GetParam().tree);
    expectConsistent(doc, loaded);
}

const CdataCase kCdataCases[] = {
    {.what = "markup inside a section is text",
     .input = "<a><![CDATA[x<y>z]]></a>",
     .loads = true,
     .tree = "root=1 1:a=\"x<y>z\""},
    {.what = "the section replaces the whole text",
     .input = "<a>pre<![CDATA[x]]>post</a>",
     .loads = true,
     .tree = "root=1 1:a=\"x\""},
    {.what = "several sections, each to its element",
     .input = "<r><a><![CDATA[<b>one</b>]]></a><b><![CDATA[]]]></b><c><![CDATA[3 > 2]]></c></r>",
     .loads = true,
     .tree = "root=4 1:a=\"<b>one</b>\"^4 2:b=\"]\"^4 3:c=\"3 > 2\"^4 4:r(1,2,3)"},
    {.what = "two sections in one text: the first wins",
     .input = "<a><![CDATA[1]]><![CDATA[2]]></a>",
     .loads = true,
     .tree = "root=1 1:a=\"1\""},
    {.what = "a section before a child is the parent's text",
     .input = "<r><![CDATA[x]]><a/></r>",
     .loads = true,
     .tree = "root=2 1:a^2 2:r=\"x\"(1)"},
    {.what = "a blank section gives the empty text",
     .input = "<a><![CDATA[ \r\n ]]></a>",
     .loads = true,
     .tree = "root=1 1:a"},
    {.what = "an opening inside a section is content",
     .input = "<a><![CDATA[x<![CDATA[y]]></a>",
     .loads = true,
     .tree = "root=1 1:a=\"x<![CDATA[y\""},
    {.what = "a section text ends at a zero byte",
     .input = "<a><![CDATA[x\0y]]></a>"s,
     .loads = true,
     .tree = "root=1 1:a=\"x\""},
    {.what = "missing ]]> at the end: the rest stays text",
     .input = "<r><a><![CDATA[x]]></a><b><![CDATA[half of it",
     .loads = true,
     .tree = "root=1 1:a=\"x\""},
    {.what = "missing ]]> with markup after it: read as tags, which fail here",
     .input = "<r><a><![CDATA[x<y></a></r>",
     .loads = false,
     .tree = "root=0"},
};

INSTANTIATE_TEST_SUITE_P(Sections, XmlCdataTest, ::testing::ValuesIn(kCdataCases));

TEST(XmlCdata, MarkerIsAbsentFromTextAndAttributeValuesKeepPlaceholders) {
    const std::string input =
        "<r><a v=\"<![CDATA[1]]>\"/><b><![CDATA[two]]></b><c>@QWERT,1.</c></r>";
    XmlDocument doc;
    ASSERT_TRUE(doc.load(input));

    const std::string& marker = doc.cdataMarker();
    ASSERT_EQ(marker.size(), 6u);
    EXPECT_EQ(marker[0], '@');
    for (char c : marker.substr(1))
        EXPECT_TRUE(c >= 'A' && c <= 'Z') << marker;
    EXPECT_EQ(input.find(marker), std::string::npos);
    EXPECT_EQ(doc.cdataSections(), (std::vector<std::string>{"1", "two"}));

    EXPECT_EQ(doc.node(1)->attributes.at(0).value, marker + ",1.");
    EXPECT_EQ(doc.node(2)->text, "two");
    // A look-alike placeholder with another marker is plain text.
    EXPECT_EQ(doc.node(3)->text, "@QWERT,1.");
}

// Texts that hold every six-byte marker but the one named (or all of them):
// the random draws all collide, and the marker must still be one the text
// lacks, or the CDATA text would not come back.
struct CrowdedCase {
    const char* what;
    std::string missing; // empty: every marker occurs
    std::string expectedMarker;
};

void PrintTo(const CrowdedCase& c, std::ostream* os) {
    *os << c.what;
}

class XmlCrowdedMarkerTest : public ::testing::TestWithParam<CrowdedCase> {};

TEST_P(XmlCrowdedMarkerTest, FindsAMarkerTheTextLacks) {
    std::string input = "<a>";
    input.reserve(26u * 26 * 26 * 26 * 26 * 6 + 64);
    std::string marker = "@AAAAA";
    for (char a = 'A'; a <= 'Z'; ++a) {
        marker[1] = a;
        for (char b = 'A'; b <= 'Z'; ++b) {
            marker[2] = b;
            for (char c = 'A'; c <= 'Z'; ++c) {
                marker[3] = c;
                for (char d = 'A'; d <= 'Z'; ++d) {
                    marker[4] = d;
                    for (char e = 'A'; e <= 'Z'; ++e) {
                        marker[5] = e;
                        if (marker != GetParam().missing)
                            input += marker;
                    }
                }
            }
        }
    }
    input += "<![CDATA[x<y]]></a>";

    XmlDocument doc;
    ASSERT_TRUE(doc.load(input));
    EXPECT_EQ(doc.cdataMarker(), GetParam().expectedMarker);
    EXPECT_EQ(doc.getText("a"), "x<y");
}

const CrowdedCase kCrowdedCases[] = {
    {.what = "one marker free", .missing = "@QUILL", .expectedMarker = "@QUILL"},
    {.what = "none free", .missing = "", .expectedMarker = "@AAAAAA"},
};

INSTANTIATE_TEST_SUITE_P(Markers, XmlCrowdedMarkerTest, ::testing::ValuesIn(kCrowdedCases));

struct FailureCase {
    const char* what;
    std::string input;
};

void PrintTo(const FailureCase& c, std::ostream* os) {
    *os << c.what;
}

class XmlFailureTest : public ::testing::TestWithParam<FailureCase> {};

TEST_P(XmlFailureTest, FailsAndLeavesNothing) {
    XmlDocument doc;
    ASSERT_TRUE(doc.load("<r><a v=\"1\"><![CDATA[kept]]></a></r>"));
    ASSERT_EQ(doc.getText("r/a"), "kept");

    EXPECT_FALSE(doc.load(GetParam().input));
    expectConsistent(doc, false);
    EXPECT_EQ(doc.getText("r/a"), "");
    EXPECT_EQ(doc.childCount("@1"), 0);
    std::string value = "untouched";
    EXPECT_FALSE(doc.getAttribute("r/a", "v", value));
    EXPECT_EQ(value, "untouched");
}

const FailureCase kFailureCases[] = {
    {.what = "piece without >", .input = "<r><a</r>"},
    {.what = "cut inside a tag", .input = "<r><a>1</a><b"},
    {.what = "text before the first tag", .input = "junk<r/>"},
    {.what = "raw byte-order mark without a utf-8 declaration", .input = "\xEF\xBB\xBF<r/>"},
    {.what = "end tag and empty element at once", .input = "<r></r/>"},
    {.what = "end tag with nothing open", .input = "</r>"},
    {.what = "end tag after the root closed", .input = "<r/></r>"},
    {.what = "end tag of another element", .input = "<a></b>"},
    {.what = "end tag in another letter case", .input = "<a></A>"},
    {.what = "mixed content: text after an end tag", .input = "<a><b>x</b>tail</a>"},
    {.what = "lone word in a start tag", .input = "<a x></a>"},
    {.what = "lone word after an attribute", .input = "<a x=\"1\" y/>"},
    {.what = "> inside text makes the last > the tag end", .input = "<a>1>0</a>"},
    {.what = "tab then space before =: pairs go one after another", .input = "<a x \t= 1/>"},
    {.what = "line break after the name is part of the name", .input = "<a\n x=\"1\"></a>"},
};

INSTANTIATE_TEST_SUITE_P(Kinds, XmlFailureTest, ::testing::ValuesIn(kFailureCases));

TEST(XmlDocument, SecondLoadLeavesNothingOfTheFirst) {
    XmlDocument doc;
    ASSERT_TRUE(doc.load("<r><a k=\"1\"><![CDATA[one]]></a><b><c>2</c></b></r>"));
    ASSERT_EQ(doc.nodeCount(), 4);

    ASSERT_TRUE(doc.load("<x/>"));
    EXPECT_EQ(dump(doc), "root=1 1:x");
    EXPECT_TRUE(doc.cdataSections().empty());
    EXPECT_EQ(doc.getText("r/a"), "");

    ASSERT_TRUE(doc.load(""));
    EXPECT_EQ(dump(doc), "root=0");
}

TEST(XmlDocument, ClearEmptiesEverything) {
    XmlDocument doc;
    ASSERT_TRUE(doc.load("<r><a><![CDATA[one]]></a></r>"));
    doc.clear();
    expectConsistent(doc, false);
}

struct SplitCase {
    const char* what;
    std::string input;
    bool quoteAware;
    bool loads;
    std::string tree;
};

void PrintTo(const SplitCase& c, std::ostream* os) {
    *os << c.what;
}

class XmlQuoteSplitTest : public ::testing::TestWithParam<SplitCase> {};

TEST_P(XmlQuoteSplitTest, CutsAtTags) {
    XmlDocument doc;
    const bool loaded = doc.load(GetParam().input, false, GetParam().quoteAware);
    EXPECT_EQ(loaded, GetParam().loads);
    EXPECT_EQ(dump(doc), GetParam().tree);
}

const SplitCase kSplitCases[] = {
    {.what = "< in a value cuts by default",
     .input = "<a x=\"1<2\">t</a>",
     .quoteAware = false,
     .loads = false,
     .tree = "root=0"},
    {.what = "< in a value kept when quote aware",
     .input = "<a x=\"1<2\">t</a>",
     .quoteAware = true,
     .loads = true,
     .tree = "root=1 1:a=\"t\"[x=1<2]"},
    {.what = "a quote in text swallows the tags after it when quote aware",
     .input = "<r><a>say \"hi</a><b>x</b></r>",
     .quoteAware = true,
     .loads = false,
     .tree = "root=0"},
    {.what = "a quote in text is harmless by default",
     .input = "<r><a>say \"hi</a><b>x</b></r>",
     .quoteAware = false,
     .loads = true,
     .tree = "root=3 1:a=\"say \"hi\"^3 2:b=\"x\"^3 3:r(1,2)"},
};

INSTANTIATE_TEST_SUITE_P(Options, XmlQuoteSplitTest, ::testing::ValuesIn(kSplitCases));

// "中文" in UTF-8 and in GBK.
constexpr std::string_view kChineseUtf8 = "\xE4\xB8\xAD\xE6\x96\x87";
constexpr std::string_view kChineseGbk = "\xD6\xD0\xCE\xC4";

struct EncodingCase {
    const char* what;
    std::string input;
    bool assumeUtf8;
    std::string rootName;
    std::string aText; // text of the first element named a
};

void PrintTo(const EncodingCase& c, std::ostream* os) {
    *os << c.what;
}

class XmlEncodingTest : public ::testing::TestWithParam<EncodingCase> {};

TEST_P(XmlEncodingTest, ConvertsOnlyWhatIsDeclared) {
    XmlDocument doc;
    ASSERT_TRUE(doc.load(GetParam().input, GetParam().assumeUtf8));
    ASSERT_GE(doc.nodeCount(), 1);
    EXPECT_EQ(doc.node(doc.root())->name, GetParam().rootName);
    std::string aText = "(no a)";
    for (int i = 1; i <= doc.nodeCount(); ++i) {
        if (doc.node(i)->name == "a") {
            aText = doc.node(i)->text;
            break;
        }
    }
    EXPECT_EQ(aText, GetParam().aText);
}

std::string withDeclaration(std::string_view declaration, std::string_view text) {
    return std::string(declaration) + "<r><a>" + std::string(text) + "</a></r>";
}

const EncodingCase kEncodingCases[] = {
    {.what = "utf-8 converted",
     .input = withDeclaration("<?xml version=\"1.0\" encoding=\"utf-8\"?>", kChineseUtf8),
     .assumeUtf8 = false,
     .rootName = "r",
     .aText = std::string(kChineseGbk)},
    {.what = "name and keyword in capitals, blanks around =",
     .input = withDeclaration("<?xml version=\"1.0\" ENCODING = \" UTF-8 \" ?>", kChineseUtf8),
     .assumeUtf8 = false,
     .rootName = "r",
     .aText = std::string(kChineseGbk)},
    {.what = "full-width spaces stripped",
     .input = withDeclaration("<?xml encoding=\"\xA1\xA1utf-8\xA1\xA1\"?>", kChineseUtf8),
     .assumeUtf8 = false,
     .rootName = "r",
     .aText = std::string(kChineseGbk)},
    {.what = "gb2312 byte for byte",
     .input = withDeclaration("<?xml version=\"1.0\" encoding=\"gb2312\"?>", kChineseGbk),
     .assumeUtf8 = false,
     .rootName = "r",
     .aText = std::string(kChineseGbk)},
    {.what = "gb2312 wins over assumeUtf8",
     .input = withDeclaration("<?xml version=\"1.0\" encoding=\"GB2312\"?>", kChineseUtf8),
     .assumeUtf8 = true,
     .rootName = "r",
     .aText = std::string(kChineseUtf8)},
    {.what = "single quotes match nothing",
     .input = withDeclaration("<?xml version='1.0' encoding='utf-8'?>", kChineseUtf8),
     .assumeUtf8 = false,
     .rootName = "r",
     .aText = std::string(kChineseUtf8)},
    {.what = "no ?> after encoding declares nothing",
     .input = "<r encoding=\"utf-8\"><a>" + std::string(kChineseUtf8) + "</a></r>",
     .assumeUtf8 = false,
     .rootName = "r",
     .aText = std::string(kChineseUtf8)},
    {.what = "assumeUtf8 without declaration",
     .input = withDeclaration("", kChineseUtf8),
     .assumeUtf8 = true,
     .rootName = "r",
     .aText = std::string(kChineseGbk)},
    {.what = "assumeUtf8 with another declared name",
     .input = withDeclaration("<?xml encoding=\"gbk\"?>", kChineseUtf8),
     .assumeUtf8 = true,
     .rootName = "r",
     .aText = std::string(kChineseGbk)},
    {.what = "a character GBK lacks becomes ?",
     .input = withDeclaration("<?xml encoding=\"utf-8\"?>", "a\U0001F600b"),
     .assumeUtf8 = false,
     .rootName = "r",
     .aText = "a?b"},
    {.what = "converted text ends at the first zero byte",
     .input = "<?xml encoding=\"utf-8\"?><r><a>" + std::string(kChineseUtf8) + "</a>\0</r>"s,
     .assumeUtf8 = false,
     .rootName = "a",
     .aText = std::string(kChineseGbk)},
    {.what = "unconverted bytes keep what follows a zero byte",
     .input = "<r><a>x</a>\0</r>"s,
     .assumeUtf8 = false,
     .rootName = "r",
     .aText = "x"},
};

INSTANTIATE_TEST_SUITE_P(Declarations, XmlEncodingTest, ::testing::ValuesIn(kEncodingCases));

// Large texts are converted in pieces; wherever the piece borders fall
// (near characters, bad or cut-off sequences, long runs without ASCII), the
// result must equal one conversion of the whole.
TEST(XmlEncoding, LargeTextConvertsAsInOneGo) {
    const std::string pattern = "\xE4\xB8\xAD"
                                "a\xF0\x9F\x98\x80\x80\x80\x80\x80\x80"
                                "\xE4\xB8"
                                "b\xFF\xC3\xA9 \xED\xA0\x80\xF4\x90\x80\x80"
                                "c";
    for (std::size_t shift = 0; shift < pattern.size(); ++shift) {
        std::string content(shift, 'x');
        // Just past one piece, so one border falls at each place of the pattern.
        while (content.size() < 66000)
            content += pattern;
        const std::string input =
            "<?xml version=\"1.0\" encoding=\"utf-8\"?><r><a>" + content + "</a></r>";
        XmlDocument doc;
        ASSERT_TRUE(doc.load(input));
        ASSERT_EQ(doc.getText("r/a"), text::utf8ToGbk(content)) << "shift " << shift;
    }
}

TEST(XmlBadInput, RandomBytesNeverBreakTheDocument) {
    std::mt19937 random(20240611);
    // Fragments that reach the interesting branches far more often than
    // uniform bytes would.
    const std::vector<std::string> fragments = {
        "<",        ">",    "/",         "/>",       "=",
        " = ",      "\"",   "'",         " ",        "\t",
        "\r\n",     "a",    "b",         "x=\"1\"",  "<a>",
        "</a>",     "<b/>", "<![CDATA[", "]]>",      "<?xml encoding=\"utf-8\"?>",
        "<!--",     "-->",  "?",         "!",        "@",
        "@A",       ",1.",  "\0"s,       "\xD6\xD0", "\xE4\xB8\xAD",
        "\xA1\xA1", "\xFF"};
    XmlDocument doc;
    for (int round = 0; round < 4000; ++round) {
        std::string input;
        const int length = static_cast<int>(random() % 120);
        for (int i = 0; i < length; ++i) {
            if (round % 2 == 0)
                input.push_back(static_cast<char>(random() % 256));
            else
                input += fragments[random() % fragments.size()];
        }
        const bool assumeUtf8 = random() % 4 == 0;
        const bool quoteAware = random() % 4 == 0;
        const bool loaded = doc.load(input, assumeUtf8, quoteAware);
        SCOPED_TRACE(::testing::PrintToString(input));
        expectConsistent(doc, loaded);
        if (::testing::Test::HasFatalFailure())
            return;
    }
}

TEST(XmlBadInput, EveryCutOfAnAnswerLoadsOrFailsCleanly) {
    const std::string answer =
        "<?xml version=\"1.0\" encoding=\"utf-8\" ?><item_get_response><item>"
        "<desc><![CDATA[size < 40 \xE4\xB8\xAD]]></desc><price>12.50</price>"
        "<skus list=\"true\"><sku><price>12.50</price><quantity>3</quantity></sku>"
        "<sku><price>13</price><quantity>0</quantity></sku></skus>"
        "<title>\xE4\xB8\xAD\xE6\x96\x87 &le; 1</title></item></item_get_response>"
        "<!--top173158.cm3-->";
    XmlDocument doc;
    for (std::size_t cut = 0; cut <= answer.size(); ++cut) {
        const std::string prefix = answer.substr(0, cut);
        SCOPED_TRACE(prefix);
        const bool loaded = doc.load(prefix);
        expectConsistent(doc, loaded);
        // Every complete piece of this answer is valid, so only a last piece
        // cut before its ">" fails (blank ones and ones after "<?" or "<!" are skipped).
        const std::string_view last = std::string_view(prefix).substr(prefix.rfind('<') + 1);
        const bool lastComplete = prefix.find('<') == std::string::npos ||
                                  last.find_first_not_of(" \t\r\n") == std::string_view::npos ||
                                  last.front() == '?' || last.front() == '!' ||
                                  last.find('>') != std::string_view::npos;
        EXPECT_EQ(loaded, lastComplete);
    }
    ASSERT_TRUE(doc.load(answer));
    EXPECT_EQ(doc.node(doc.root())->name, "item_get_response");
    EXPECT_EQ(doc.nodeCount(), 12);
}

TEST(XmlBadInput, FiftyMegabytesLoad) {
    const std::string sku =
        "<sku><sku_id>3001</sku_id><price>12.50</price><quantity>7</quantity>"
        "<properties>1627207:28341;20509:28315</properties><desc><![CDATA[<p>\xE4\xB8\xAD"
        "<img src=\"http://img01.example/a.jpg\"/> size < 40 and > 38, colour red, cotton, "
        "machine wash, delivery within three days of payment, no returns after use.</p>]]>"
        "</desc></sku>\r\n";
    const std::size_t repeats = 50u * 1024 * 1024 / sku.size();
    std::string input = "<?xml version=\"1.0\" encoding=\"utf-8\"?><item_get_response><item>"
                        "<skus list=\"true\">";
    input.reserve(repeats * sku.size() + 256);
    for (std::size_t i = 0; i < repeats; ++i)
        input += sku;
    input += "</skus></item></item_get_response>";

    XmlDocument doc;
    ASSERT_TRUE(doc.load(input));
    EXPECT_EQ(doc.nodeCount(), static_cast<int>(repeats * 6 + 3));
    EXPECT_EQ(doc.childCount("item_get_response/item/skus"), static_cast<int>(repeats));
    EXPECT_EQ(doc.cdataSections().size(), repeats);
    const std::string last = "item_get_response/item/skus/@" + std::to_string(repeats);
    EXPECT_EQ(doc.getText(last + "/properties"), "1627207:28341;20509:28315");
    EXPECT_EQ(doc.getText(last + "/desc").substr(0, 5), "<p>\xD6\xD0");
}

TEST(XmlBadInput, DeepNestingNeedsNoRecursion) {
    constexpr int kDepth = 100000;
    std::string input;
    for (int i = 0; i < kDepth; ++i)
        input += "<d>";
    input += "x";
    for (int i = 0; i < kDepth; ++i)
        input += "</d>";

    XmlDocument doc;
    ASSERT_TRUE(doc.load(input));
    ASSERT_EQ(doc.root(), kDepth);
    EXPECT_EQ(doc.node(1)->text, "x");
    for (int k = 1; k < kDepth; ++k) {
        ASSERT_EQ(doc.node(k)->parent, k + 1);
        ASSERT_EQ(doc.node(k + 1)->children, std::vector<int>{k});
    }
    std::string path = "d";
    for (int i = 1; i < kDepth; ++i)
        path += "/d";
    EXPECT_EQ(doc.getText(path), "x");

    // The same depth left open loads as a document without elements.
    EXPECT_TRUE(doc.load(input.substr(0, 3u * kDepth + 1)));
    EXPECT_EQ(doc.root(), 0);
}

} // namespace
} // namespace quillon::doc
