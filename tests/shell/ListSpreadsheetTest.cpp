#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <iterator>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "TestFiles.h"
#include "shell/ListSpreadsheet.h"

using namespace quillon::shell;
using quillon::support::TempFolder;

namespace {

const std::string kZhong = "\xD6\xD0"; // 中 in GBK
const std::string kWen = "\xCE\xC4";   // 文 in GBK

// One cell as a spreadsheet program reads it.
struct Cell {
    std::string text; // UTF-8
    bool isString = false;
    bool isTextFormat = false;
};

// A member of the zip file, read with the unzip tool.
std::string unzipMember(const std::string& zipPath, const std::string& member) {
    const std::string command = "unzip -p '" + zipPath + "' '" + member + "' 2>/dev/null";
    FILE* pipe = ::popen(command.c_str(), "r");
    if (!pipe)
        return {};
    std::string bytes;
    char buffer[65536];
    std::size_t got = 0;
    while ((got = std::fread(buffer, 1, sizeof buffer, pipe)) > 0)
        bytes.append(buffer, got);
    ::pclose(pipe);
    return bytes;
}

// The value of attribute `name` in the tag text `tag`; empty when absent.
std::string attribute(std::string_view tag, std::string_view name) {
    const std::string key = " " + std::string(name) + "=\"";
    const std::size_t at = tag.find(key);
    if (at == std::string_view::npos)
        return {};
    const std::size_t start = at + key.size();
    return std::string(tag.substr(start, tag.find('"', start) - start));
}

std::string unescapeXml(std::string_view text) {
    static const std::pair<std::string_view, char> kEntities[] = {
        {"&amp;", '&'}, {"&lt;", '<'}, {"&gt;", '>'}, {"&quot;", '"'}, {"&apos;", '\''}};
    std::string out;
    for (std::size_t i = 0; i < text.size();) {
        bool replaced = false;
        for (const auto& [entity, character] : kEntities) {
            if (text.substr(i, entity.size()) == entity) {
                out += character;
                i += entity.size();
                replaced = true;
                break;
            }
        }
        if (!replaced)
            out += text[i++];
    }
    return out;
}

// The text of every <t> element inside `xml`, joined (rich text has several).
std::string textsInside(std::string_view xml) {
    std::string joined;
    std::size_t pos = 0;
    while ((pos = xml.find("<t", pos)) != std::string_view::npos) {
        const std::size_t close = xml.find('>', pos);
        if (xml[pos + 2] != '>' && xml[pos + 2] != ' ') {
            pos = close;
            continue;
        }
        const std::size_t end = xml.find("</t>", close);
        joined += unescapeXml(xml.substr(close + 1, end - close - 1));
        pos = end;
    }
    return joined;
}

// Every cell of the first sheet by reference ("A1"), with its text looked
// up in the shared strings where the cell points there, and whether its
// style's number format is text ("@").
std::map<std::string, Cell> readCells(const std::string& path) {
    const std::string sheet = unzipMember(path, "xl/worksheets/sheet1.xml");
    const std::string shared = unzipMember(path, "xl/sharedStrings.xml");
    const std::string styles = unzipMember(path, "xl/styles.xml");

    std::vector<std::string> sharedTexts;
    for (std::size_t pos = 0; (pos = shared.find("<si>", pos)) != std::string::npos;) {
        const std::size_t end = shared.find("</si>", pos);
        sharedTexts.push_back(textsInside(std::string_view(shared).substr(pos, end - pos)));
        pos = end;
    }
    // A text format is the built-in 49 or one of the workbook's own with code "@".
    std::vector<std::string> textFormatIds = {"49"};
    for (std::size_t pos = 0; (pos = styles.find("<numFmt ", pos)) != std::string::npos; ++pos) {
        const std::string_view tag =
            std::string_view(styles).substr(pos, styles.find('>', pos) - pos);
        if (attribute(tag, "formatCode") == "@")
            textFormatIds.push_back(attribute(tag, "numFmtId"));
    }
    std::vector<std::string> formatIds;
    const std::size_t xfs = styles.find("<cellXfs");
    const std::size_t xfsEnd = styles.find("</cellXfs>", xfs);
    for (std::size_t pos = xfs; (pos = styles.find("<xf ", pos)) < xfsEnd; ++pos)
        formatIds.push_back(attribute(styles.substr(pos, styles.find('>', pos) - pos), "numFmtId"));

    std::map<std::string, Cell> cells;
    for (std::size_t pos = 0; (pos = sheet.find("<c ", pos)) != std::string::npos;) {
        const std::size_t tagEnd = sheet.find('>', pos);
        const std::string_view tag = std::string_view(sheet).substr(pos, tagEnd - pos);
        const bool empty = sheet[tagEnd - 1] == '/';
        const std::size_t end = empty ? tagEnd : sheet.find("</c>", tagEnd);
        const std::string_view body = std::string_view(sheet).substr(tagEnd, end - tagEnd);
        Cell cell;
        const std::string type = attribute(tag, "t");
        if (type == "inlineStr") {
            cell.isString = true;
            cell.text = textsInside(body);
        } else if (type == "s") {
            cell.isString = true;
            const std::size_t v = body.find("<v>");
            const std::size_t index = std::stoul(std::string(body.substr(v + 3)));
            cell.text = index < sharedTexts.size() ? sharedTexts[index] : "<bad index>";
        }
        const std::string style = attribute(tag, "s");
        const std::size_t styleIndex = style.empty() ? 0 : std::stoul(style);
        cell.isTextFormat = styleIndex < formatIds.size() &&
                            std::find(textFormatIds.begin(), textFormatIds.end(),
                                      formatIds[styleIndex]) != textFormatIds.end();
        cells[attribute(tag, "r")] = cell;
        pos = end;
    }
    return cells;
}

std::size_t utf8Characters(const std::string& text) {
    std::size_t count = 0;
    for (const char c : text)
        count += (static_cast<unsigned char>(c) & 0xC0) != 0x80;
    return count;
}

// ---------------------------------------------------------------------------

TEST(ListSpreadsheet, WritesHeaderAndRowsAsTextCells) {
    TempFolder folder;
    const std::string path = folder.file("list.xlsx");
    const std::vector<ItemEntry> rows = {
        {kZhong + kWen + " <b>&", "0012", "http://item.taobao.com/item.htm?id=7&spm=a", "7001"},
        {"  padded  ", "", "http://b", "7002"},
        {"1E5", "12.50", "=SUM(A1)", "7003"},
    };
    std::string error;
    ASSERT_TRUE(writeListSpreadsheet(rows, path, &error)) << error;

    EXPECT_EQ(quillon::support::readFile(path).substr(0, 2), "PK");
    const std::map<std::string, Cell> cells = readCells(path);
    // Sheet rows as a spreadsheet shows them, columns A, B, C.
    const std::string expected[][3] = {
        {"宝贝名称", "宝贝价格", "宝贝地址"},
        {"中文 <b>&", "0012", "http://item.taobao.com/item.htm?id=7&spm=a"},
        {"  padded  ", "", "http://b"},
        {"1E5", "12.50", "=SUM(A1)"},
    };
    for (std::size_t row = 0; row < std::size(expected); ++row) {
        for (std::size_t column = 0; column < 3; ++column) {
            const std::string ref = std::string(1, char('A' + column)) + std::to_string(row + 1);
            const std::string& want = expected[row][column];
            SCOPED_TRACE(ref);
            const auto found = cells.find(ref);
            // An empty text is a blank cell, which may be left out.
            if (want.empty() && found == cells.end())
                continue;
            ASSERT_NE(found, cells.end());
            EXPECT_EQ(found->second.text, want);
            EXPECT_EQ(found->second.isString, !want.empty());
            EXPECT_TRUE(found->second.isTextFormat);
        }
    }
    // The item id is not written, and there is nothing past row 4.
    for (const auto& [ref, cell] : cells) {
        EXPECT_TRUE(ref[0] >= 'A' && ref[0] <= 'C') << ref;
        EXPECT_LE(std::stoi(ref.substr(1)), 4) << ref;
        EXPECT_EQ(cell.text.find("700"), std::string::npos) << ref;
    }
    // Nothing but the workbook is left in the folder.
    std::size_t files = 0;
    for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator(folder.path()))
        ++files;
    EXPECT_EQ(files, 1u);
}

TEST(ListSpreadsheet, CutsTextsLongerThanACellHolds) {
    struct Case {
        const char* label;
        std::string name;      // GBK
        std::size_t wantChars; // in the cell
        std::string wantEnd;   // UTF-8, the cell's last bytes
    };
    std::string wide;
    for (int i = 0; i < 40000; ++i)
        wide += kZhong;
    const Case cases[] = {
        {"ascii over", std::string(40000, 'a'), 32767, "aaa"},
        {"ascii exact", std::string(32767, 'a'), 32767, "aaa"},
        {"double-byte over", wide, 32767, "中中"},
        {"cut after a wide character", std::string(32766, 'a') + kZhong + kZhong, 32767, "a中"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        TempFolder folder;
        const std::string path = folder.file("long.xlsx");
        ASSERT_TRUE(writeListSpreadsheet({{c.name, "1", "http://a", "1"}}, path));
        const std::map<std::string, Cell> cells = readCells(path);
        const std::string& text = cells.at("A2").text;
        EXPECT_EQ(utf8Characters(text), c.wantChars);
        EXPECT_TRUE(text.ends_with(c.wantEnd));
        EXPECT_EQ(cells.at("B2").text, "1"); // the rest of the row is still there
    }
}

TEST(ListSpreadsheet, ReplacesAnExistingFile) {
    TempFolder folder;
    const std::string path = folder.file("list.xlsx");
    quillon::support::writeFile(path, "old bytes");
    ASSERT_TRUE(writeListSpreadsheet({{"n", "1", "http://a", "1"}}, path));
    EXPECT_EQ(readCells(path).at("A2").text, "n");
}

TEST(ListSpreadsheet, FailsWithAReasonNamingThePath) {
    TempFolder folder;
    const std::string cases[] = {
        folder.file("missing/list.xlsx"), // no such folder
        folder.path(),                    // a folder is in the way
    };
    for (const std::string& path : cases) {
        SCOPED_TRACE(path);
        std::string error;
        EXPECT_FALSE(writeListSpreadsheet({{"n", "1", "http://a", "1"}}, path, &error));
        EXPECT_NE(error.find(path), std::string::npos) << error;
        EXPECT_FALSE(writeListSpreadsheet({}, path)); // no reason asked for
    }
    // No temporary file is left behind.
    std::size_t files = 0;
    for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator(folder.path()))
        ++files;
    EXPECT_EQ(files, 0u);
}

TEST(ListSpreadsheet, WritesAHundredThousandRows) {
    TempFolder folder;
    const std::string path = folder.file("big.xlsx");
    std::vector<ItemEntry> rows;
    for (int i = 0; i < 100000; ++i) {
        const std::string n = std::to_string(i);
        rows.push_back({kZhong + n, "00" + n, "http://item.taobao.com/item.htm?id=" + n, n});
    }
    ASSERT_TRUE(writeListSpreadsheet(rows, path));
    const std::map<std::string, Cell> cells = readCells(path);
    EXPECT_EQ(cells.size(), 3u * 100001u);
    EXPECT_EQ(cells.at("A2").text, "中0");
    EXPECT_EQ(cells.at("B50001").text, "0049999");
    EXPECT_EQ(cells.at("C100001").text, "http://item.taobao.com/item.htm?id=99999");
    EXPECT_TRUE(cells.at("B100001").isTextFormat);
}

} // namespace
