#include <gtest/gtest.h>

#include <optional>
#include <ostream>
#include <string>

#include "doc/XmlDocument.h"
#include "text/TextCodec.h"

namespace quillon::doc {
namespace {

// Nodes: a = 1 (text 1), b = 2 (x = 7), the second a = 3 (text 2), r = 4.
constexpr const char* kSmallDocument = "<r><a>1</a><b x=\"7\"/><a>2</a></r>";

struct PathCase {
    const char* path;
    int node; // 0: names nothing
    std::string text;
    int children;
};

void PrintTo(const PathCase& c, std::ostream* os) {
    *os << '"' << c.path << '"';
}

class NodePathTest : public ::testing::TestWithParam<PathCase> {};

TEST_P(NodePathTest, NamesTheRightNode) {
    XmlDocument doc;
    ASSERT_TRUE(doc.load(kSmallDocument));
    const PathCase& c = GetParam();

    const std::optional<int> node = doc.findNode(c.path);
    EXPECT_EQ(node.value_or(0), c.node);
    EXPECT_EQ(doc.getText(c.path), c.text);
    bool found = c.node == 0; // the opposite of what is expected
    EXPECT_EQ(doc.childCount(c.path, &found), c.children);
    EXPECT_EQ(found, c.node != 0);
}

const PathCase kPathCases[] = {
    {.path = "r/a", .node = 1, .text = "1", .children = 0},
    {.path = "@1/a", .node = 1, .text = "1", .children = 0},
    {.path = "r/@3", .node = 3, .text = "2", .children = 0},
    {.path = "@1/@2", .node = 2, .text = "", .children = 0},
    {.path = "r/b", .node = 2, .text = "", .children = 0},
    {.path = "@1", .node = 4, .text = "", .children = 3},
    {.path = "r", .node = 4, .text = "", .children = 3},
    {.path = "r/", .node = 4, .text = "", .children = 3},
    {.path = "r/a/", .node = 1, .text = "1", .children = 0},
    {.path = "r/@2x", .node = 2, .text = "", .children = 0},
    {.path = "r/@ 3", .node = 3, .text = "2", .children = 0},
    {.path = "@#2", .node = 2, .text = "", .children = 0},
    {.path = "@#0", .node = 4, .text = "", .children = 3},
    {.path = "@#4", .node = 4, .text = "", .children = 3},
    {.path = "@#0/b", .node = 2, .text = "", .children = 0},
    {.path = "@1/@#1", .node = 1, .text = "1", .children = 0},
    {.path = "@#1/@#3", .node = 3, .text = "2", .children = 0},
    // Names nothing.
    {.path = "", .node = 0, .text = "", .children = 0},
    {.path = "/", .node = 0, .text = "", .children = 0},
    {.path = "/r", .node = 0, .text = "", .children = 0},
    {.path = "r//a", .node = 0, .text = "", .children = 0},
    {.path = "R/a", .node = 0, .text = "", .children = 0},
    {.path = "r/A", .node = 0, .text = "", .children = 0},
    {.path = "r/z", .node = 0, .text = "", .children = 0},
    {.path = "r/a/z", .node = 0, .text = "", .children = 0},
    {.path = "r/a/@1", .node = 0, .text = "", .children = 0},
    {.path = "@2/a", .node = 0, .text = "", .children = 0},
    {.path = "r/@0", .node = 0, .text = "", .children = 0},
    {.path = "r/@4", .node = 0, .text = "", .children = 0},
    {.path = "r/@", .node = 0, .text = "", .children = 0},
    {.path = "@", .node = 0, .text = "", .children = 0},
    {.path = "r/@x", .node = 0, .text = "", .children = 0},
    {.path = "r/@-1", .node = 0, .text = "", .children = 0},
    {.path = "r/@99999999999999999999", .node = 0, .text = "", .children = 0},
    {.path = "@#5", .node = 0, .text = "", .children = 0},
    {.path = "@#x", .node = 0, .text = "", .children = 0},
    {.path = "@#", .node = 0, .text = "", .children = 0},
    {.path = "@#00", .node = 0, .text = "", .children = 0},
    {.path = "@#-1", .node = 0, .text = "", .children = 0},
    {.path = "@#4294967297", .node = 0, .text = "", .children = 0},
};

INSTANTIATE_TEST_SUITE_P(SmallDocument, NodePathTest, ::testing::ValuesIn(kPathCases));

struct AttributeCase {
    const char* path;
    const char* name;
    bool result;
    std::string value; // "old" when untouched
};

void PrintTo(const AttributeCase& c, std::ostream* os) {
    *os << '"' << c.path << "\" " << c.name;
}

class NodePathAttributeTest : public ::testing::TestWithParam<AttributeCase> {};

TEST_P(NodePathAttributeTest, ReadsFirstAttributeOfThatName) {
    XmlDocument doc;
    ASSERT_TRUE(doc.load(kSmallDocument));
    std::string value = "old";
    EXPECT_EQ(doc.getAttribute(GetParam().path, GetParam().name, value), GetParam().result);
    EXPECT_EQ(value, GetParam().value);
}

const AttributeCase kAttributeCases[] = {
    {.path = "r/@2", .name = "x", .result = true, .value = "7"},
    {.path = "r/b", .name = "x", .result = true, .value = "7"},
    {.path = "r/@2", .name = "y", .result = false, .value = "old"},
    {.path = "r/@2", .name = "X", .result = false, .value = "old"},
    {.path = "r", .name = "x", .result = false, .value = "old"},
    {.path = "r/z", .name = "x", .result = false, .value = "old"},
    {.path = "", .name = "x", .result = false, .value = "old"},
};

INSTANTIATE_TEST_SUITE_P(SmallDocument, NodePathAttributeTest,
                         ::testing::ValuesIn(kAttributeCases));

TEST(NodePath, FirstOfDuplicateAttributesAndEmptyValues) {
    XmlDocument doc;
    ASSERT_TRUE(doc.load("<e k=\"1\" k=\"2\" empty=\"\"/>"));
    std::string value = "old";
    EXPECT_TRUE(doc.getAttribute("e", "k", value));
    EXPECT_EQ(value, "1");
    EXPECT_TRUE(doc.getAttribute("e", "empty", value));
    EXPECT_EQ(value, "");
}

TEST(NodePath, LeadingSlashIsAStepForAnElementWithoutName) {
    XmlDocument doc;
    ASSERT_TRUE(doc.load("< >x</ >"));
    EXPECT_EQ(doc.getText("/"), "x");
    EXPECT_EQ(doc.getText("@1"), "x");
    EXPECT_EQ(doc.findNode(""), std::nullopt);
}

TEST(NodePath, EmptyDocumentNamesNothing) {
    XmlDocument neverLoaded;
    XmlDocument noElements;
    ASSERT_TRUE(noElements.load("<?xml version=\"1.0\"?>"));
    for (const XmlDocument* doc : {&neverLoaded, &noElements}) {
        for (const char* path : {"@1", "@#0", "@#0/@1", "@1/msg", "r"}) {
            SCOPED_TRACE(path);
            EXPECT_EQ(doc->findNode(path), std::nullopt);
            EXPECT_EQ(doc->getText(path), "");
            bool found = true;
            EXPECT_EQ(doc->childCount(path, &found), 0);
            EXPECT_FALSE(found);
            std::string value = "old";
            EXPECT_FALSE(doc->getAttribute(path, "x", value));
            EXPECT_EQ(value, "old");
        }
    }
}

std::string gbk(const char* utf8) {
    return text::utf8ToGbk(utf8);
}

// An open-platform answer as the gateway sends it: declared UTF-8, a CDATA
// description, lists of pictures and SKUs, an entity left undecoded and a
// comment after the root.
const char* const kItemAnswer =
    "<?xml version=\"1.0\" encoding=\"utf-8\" ?><item_get_response><item>"
    "<approve_status>onsale</approve_status><cid>50010850</cid>"
    "<desc><![CDATA[<p><img src=\"http://img01.example/d1.jpg\"/>尺码 &le; 40</p>]]></desc>"
    "<item_imgs list=\"true\"><item_img><id>0</id><position>0</position>"
    "<url>http://img01.example/main1.jpg</url></item_img><item_img><id>1</id>"
    "<position>1</position><url>http://img01.example/main2.jpg</url></item_img></item_imgs>"
    "<location><city>杭州</city><state>浙江</state></location>"
    "<num_iid>41234567890</num_iid><price>128.00</price>"
    "<prop_imgs list=\"true\"><prop_img><id>1</id><properties>1627207:28341</properties>"
    "<url>http://img01.example/red.jpg</url></prop_img></prop_imgs>"
    "<skus list=\"true\"><sku><outer_id>A-1</outer_id><price>128.00</price>"
    "<properties>1627207:28341;20509:28315</properties><quantity>5</quantity>"
    "<sku_id>3001</sku_id></sku><sku><outer_id></outer_id><price>138.00</price>"
    "<properties>1627207:28320;20509:28316</properties><quantity>0</quantity>"
    "<sku_id>3002</sku_id></sku></skus>"
    "<title>女装 连衣裙 &le;3天发货</title></item></item_get_response><!--top173158.cm3-->";

TEST(NodePathAnswers, ItemAnswer) {
    XmlDocument doc;
    ASSERT_TRUE(doc.load(kItemAnswer));
    const std::string item = "item_get_response/item/";

    EXPECT_EQ(doc.getText("@1/msg"), "");
    EXPECT_EQ(doc.getText(item + "title"), gbk("女装 连衣裙 &le;3天发货"));
    EXPECT_EQ(doc.getText(item + "desc"),
              gbk("<p><img src=\"http://img01.example/d1.jpg\"/>尺码 &le; 40</p>"));
    EXPECT_EQ(doc.getText(item + "location/state"), gbk("浙江"));
    EXPECT_EQ(doc.getText(item + "location/city"), gbk("杭州"));
    EXPECT_EQ(doc.getText(item + "num_iid"), "41234567890");

    EXPECT_EQ(doc.childCount(item + "skus"), 2);
    EXPECT_EQ(doc.getText(item + "skus/@1/quantity"), "5");
    EXPECT_EQ(doc.getText(item + "skus/@2/price"), "138.00");
    EXPECT_EQ(doc.getText(item + "skus/@2/outer_id"), "");
    EXPECT_EQ(doc.getText(item + "skus/@2/properties"), "1627207:28320;20509:28316");
    EXPECT_EQ(doc.getText(item + "skus/@3/price"), "");
    std::string list;
    EXPECT_TRUE(doc.getAttribute(item + "skus", "list", list));
    EXPECT_EQ(list, "true");

    EXPECT_EQ(doc.childCount(item + "item_imgs"), 2);
    EXPECT_EQ(doc.getText(item + "item_imgs/@2/url"), "http://img01.example/main2.jpg");
    EXPECT_EQ(doc.childCount(item + "prop_imgs"), 1);
    EXPECT_EQ(doc.getText(item + "prop_imgs/@1/properties"), "1627207:28341");
    EXPECT_EQ(doc.getText(item + "prop_imgs/@1/url"), "http://img01.example/red.jpg");
}

TEST(NodePathAnswers, ErrorAnswer) {
    const char* const answer =
        "<?xml version=\"1.0\" encoding=\"utf-8\" ?>\r\n<error_response>\r\n"
        "  <code>27</code>\r\n  <msg>Invalid session</msg>\r\n"
        "  <sub_code>isv.invalid-parameter:num_iid</sub_code>\r\n"
        "  <sub_msg>参数错误</sub_msg>\r\n</error_response>\r\n<!--top173158.cm3-->";
    XmlDocument doc;
    ASSERT_TRUE(doc.load(answer));
    EXPECT_EQ(doc.getText("@1/msg"), "Invalid session");
    EXPECT_EQ(doc.getText("@1/code"), "27");
    EXPECT_EQ(doc.getText("@1/sub_code"), "isv.invalid-parameter:num_iid");
    EXPECT_EQ(doc.getText("@1/sub_msg"), gbk("参数错误"));
    EXPECT_EQ(doc.getText("item_get_response/item/title"), "");
    EXPECT_EQ(doc.childCount("item_get_response/item/skus"), 0);
}

TEST(NodePathAnswers, CredentialList) {
    const char* const list = "<?xml version=\"1.0\" encoding=\"gb2312\"?>\r\n<apps>\r\n"
                             "  <app appkey=\"12345678\" appsecret=\"0123abcd\"/>\r\n"
                             "  <app appkey = \"23456789\" appsecret=\"abcdef01\" />\r\n"
                             "</apps>\r\n";
    XmlDocument doc;
    ASSERT_TRUE(doc.load(list));
    ASSERT_EQ(doc.childCount("@1"), 2);
    std::string key;
    std::string secret;
    EXPECT_TRUE(doc.getAttribute("@1/@2", "appkey", key));
    EXPECT_TRUE(doc.getAttribute("@1/@2", "appsecret", secret));
    EXPECT_EQ(key, "23456789");
    EXPECT_EQ(secret, "abcdef01");
    EXPECT_FALSE(doc.getAttribute("@1/@3", "appkey", key));
}

} // namespace
} // namespace quillon::doc
