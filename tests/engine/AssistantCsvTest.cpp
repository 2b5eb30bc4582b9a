#include "engine/AssistantCsv.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <string_view>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

#include "doc/XmlDocument.h"
#include "engine/ItemRecordReader.h"
#include "shell/Settings.h"
#include "text/TextCodec.h"

namespace quillon::engine {
namespace {

namespace fs = std::filesystem;

// The header names as GBK bytes.
const std::string kVersion4Header =
    "\xB1\xA6\xB1\xB4\xC3\xFB\xB3\xC6,\xB1\xA6\xB1\xB4\xC0\xE0\xC4\xBF,\xB5\xEA\xC6\xCC"
    "\xC0\xE0\xC4\xBF,\xD0\xC2\xBE\xC9\xB3\xCC\xB6\xC8,\xCA\xA1,\xB3\xC7\xCA\xD0,\xB3\xF6"
    "\xCA\xDB\xB7\xBD\xCA\xBD,\xB1\xA6\xB1\xB4\xBC\xDB\xB8\xF1,\xBC\xD3\xBC\xDB\xB7\xF9"
    "\xB6\xC8,\xB1\xA6\xB1\xB4\xCA\xFD\xC1\xBF,\xD3\xD0\xD0\xA7\xC6\xDA,\xD4\xCB\xB7\xD1"
    "\xB3\xD0\xB5\xA3,\xC6\xBD\xD3\xCA,EMS,\xBF\xEC\xB5\xDD,\xB8\xB6\xBF\xEE\xB7\xBD\xCA\xBD,"
    "\xD6\xA7\xB8\xB6\xB1\xA6,\xB7\xA2\xC6\xB1,\xB1\xA3\xD0\xDE,\xD7\xD4\xB6\xAF\xD6\xD8"
    "\xB7\xA2,\xB7\xC5\xC8\xEB\xB2\xD6\xBF\xE2,\xB3\xF7\xB4\xB0\xCD\xC6\xBC\xF6,\xBF\xAA"
    "\xCA\xBC\xCA\xB1\xBC\xE4,\xD0\xC4\xC7\xE9\xB9\xCA\xCA\xC2,\xB1\xA6\xB1\xB4\xC3\xE8"
    "\xCA\xF6,\xB1\xA6\xB1\xB4\xCD\xBC\xC6\xAC,\xB1\xA6\xB1\xB4\xCA\xF4\xD0\xD4,\xCD\xC5"
    "\xB9\xBA\xBC\xDB,\xD7\xEE\xD0\xA1\xCD\xC5\xB9\xBA\xBC\xFE\xCA\xFD,\xD3\xCA\xB7\xD1"
    "\xC4\xA3\xB0\xE6ID,\xBB\xE1\xD4\xB1\xB4\xF2\xD5\xDB,\xD0\xDE\xB8\xC4\xCA\xB1\xBC\xE4,"
    "\xC9\xCF\xB4\xAB\xD7\xB4\xCC\xAC,\xCD\xBC\xC6\xAC\xD7\xB4\xCC\xAC,\xB7\xB5\xB5\xE3"
    "\xB1\xC8\xC0\xFD,\xD0\xC2\xCD\xBC\xC6\xAC,\xCA\xD3\xC6\xB5,\xCF\xFA\xCA\xDB\xCA\xF4"
    "\xD0\xD4\xD7\xE9\xBA\xCF,\xD3\xC3\xBB\xA7\xCA\xE4\xC8\xEBID\xB4\xAE,\xD3\xC3\xBB\xA7"
    "\xCA\xE4\xC8\xEB\xC3\xFB-\xD6\xB5\xB6\xD4,\xC9\xCC\xBC\xD2\xB1\xE0\xC2\xEB,\xCF\xFA"
    "\xCA\xDB\xCA\xF4\xD0\xD4\xB1\xF0\xC3\xFB,\xB4\xFA\xB3\xE4\xC0\xE0\xD0\xCD,\xB1\xA6"
    "\xB1\xB4\xB1\xE0\xBA\xC5,\xCA\xFD\xD7\xD6ID,\xB1\xA6\xB1\xB4\xC1\xB4\xBD\xD3 \r\n";

const std::string kVersion5Header =
    "version 1.00,,,,,,,,,,,,,,,,,,,,,,,,,,,,,,,,,,,,,,,,,,,\r\n"
    "title,cid,seller_cids,stuff_status,location_state,location_city,item_type,price,"
    "auction_increment,num,valid_thru,freight_payer,post_fee,ems_fee,express_fee,has_invoice,"
    "has_warranty,approve_status,has_showcase,list_time,description,cateProps,postage_id,"
    "has_discount,modified,upload_fail_msg,picture_status,auction_point,picture,video,skuProps,"
    "inputPids,inputValues,outer_id,propAlias,auto_fill,num_id,local_cid,navigation_type,"
    "user_name,syncStatus,is_lighting_consigment,is_xinpin,foodparame\r\n"
    "\xB1\xA6\xB1\xB4\xC3\xFB\xB3\xC6,\xB1\xA6\xB1\xB4\xC0\xE0\xC4\xBF,\xB5\xEA\xC6\xCC"
    "\xC0\xE0\xC4\xBF,\xD0\xC2\xBE\xC9\xB3\xCC\xB6\xC8,\xCA\xA1,\xB3\xC7\xCA\xD0,\xB3\xF6"
    "\xCA\xDB\xB7\xBD\xCA\xBD,\xB1\xA6\xB1\xB4\xBC\xDB\xB8\xF1,\xBC\xD3\xBC\xDB\xB7\xF9"
    "\xB6\xC8,\xB1\xA6\xB1\xB4\xCA\xFD\xC1\xBF,\xD3\xD0\xD0\xA7\xC6\xDA,\xD4\xCB\xB7\xD1"
    "\xB3\xD0\xB5\xA3,\xC6\xBD\xD3\xCA,EMS,\xBF\xEC\xB5\xDD,\xB7\xA2\xC6\xB1,\xB1\xA3\xD0\xDE"
    ",\xB7\xC5\xC8\xEB\xB2\xD6\xBF\xE2,\xB3\xF7\xB4\xB0\xCD\xC6\xBC\xF6,\xBF\xAA\xCA\xBC"
    "\xCA\xB1\xBC\xE4,\xB1\xA6\xB1\xB4\xC3\xE8\xCA\xF6,\xB1\xA6\xB1\xB4\xCA\xF4\xD0\xD4,"
    "\xD3\xCA\xB7\xD1\xC4\xA3\xB0\xE6ID,\xBB\xE1\xD4\xB1\xB4\xF2\xD5\xDB,\xD0\xDE\xB8\xC4"
    "\xCA\xB1\xBC\xE4,\xC9\xCF\xB4\xAB\xD7\xB4\xCC\xAC,\xCD\xBC\xC6\xAC\xD7\xB4\xCC\xAC,"
    "\xB7\xB5\xB5\xE3\xB1\xC8\xC0\xFD,\xD0\xC2\xCD\xBC\xC6\xAC,\xCA\xD3\xC6\xB5,\xCF\xFA"
    "\xCA\xDB\xCA\xF4\xD0\xD4\xD7\xE9\xBA\xCF,\xD3\xC3\xBB\xA7\xCA\xE4\xC8\xEBID\xB4\xAE,"
    "\xD3\xC3\xBB\xA7\xCA\xE4\xC8\xEB\xC3\xFB-\xD6\xB5\xB6\xD4,\xC9\xCC\xBC\xD2\xB1\xE0"
    "\xC2\xEB,\xCF\xFA\xCA\xDB\xCA\xF4\xD0\xD4\xB1\xF0\xC3\xFB,\xB4\xFA\xB3\xE4\xC0\xE0"
    "\xD0\xCD,\xCA\xFD\xD7\xD6ID,\xB1\xBE\xB5\xD8ID,\xB1\xA6\xB1\xB4\xB7\xD6\xC0\xE0,\xD5\xCB"
    "\xBB\xA7\xC3\xFB\xB3\xC6,\xB1\xA6\xB1\xB4\xD7\xB4\xCC\xAC,\xC9\xC1\xB5\xE7\xB7\xA2"
    "\xBB\xF5,\xD0\xC2\xC6\xB7,\xCA\xB3\xC6\xB7\xD7\xA8\xCF\xEE\r\n";

std::vector<std::string> splitColumns(std::string_view row) {
    std::vector<std::string> columns(1);
    for (const char c : row) {
        if (c == ',')
            columns.emplace_back();
        else
            columns.back() += c;
    }
    return columns;
}

// A record whose every field is told apart from the others.
ItemRecord distinctRecord() {
    ItemRecord record;
    record.itemId = "42";
    record.title = "T";
    record.cid = "C";
    record.seller_cids = "S";
    record.state = "ST";
    record.city = "CI";
    record.price = "P";
    record.num = "N";
    record.valid_thru = "V";
    record.freight_payer = "F";
    record.ems_fee = "EF";
    record.express_fee = "XF";
    record.post_fee = "PF";
    record.list_time = "LT";
    record.props = "PR;";
    record.modified = "M";
    record.approve_status = "A";
    record.has_warranty = "W";
    record.skuText = "SK;;";
    record.input_pids = "IP";
    record.input_str = "IS";
    record.outer_id = "O";
    record.property_alias = "PA;";
    record.desc = "D";
    record.pictureText = "PIC";
    return record;
}

// The record of an answer that holds a title and nothing else.
ItemRecord titleOnlyRecord(int version) {
    doc::XmlDocument answer;
    EXPECT_TRUE(answer.load("<?xml version=\"1.0\" encoding=\"utf-8\" ?><item_get_response><item>"
                            "<title>T</title></item></item_get_response><!--top173158.cm3-->"));
    shell::SettingsValues settings;
    settings.assistantVersion = version;
    return ItemRecordReader::readBasicFields(answer, "42", settings);
}

// ---------------------------------------------------------------- headers

TEST(AssistantCsvHeader, ExactBytesOfBothLayouts) {
    EXPECT_EQ(AssistantCsv::header(4), kVersion4Header);
    EXPECT_EQ(AssistantCsv::header(5), kVersion5Header);
    // Any other version is written as 5.x, the default.
    EXPECT_EQ(AssistantCsv::header(0), kVersion5Header);
}

TEST(AssistantCsvHeader, ReadsAsTheAssistantsColumnNames) {
    EXPECT_EQ(
        text::gbkToUtf8(AssistantCsv::header(4)),
        "宝贝名称,宝贝类目,店铺类目,新旧程度,省,城市,出售方式,宝贝价格,加价幅度,宝贝数量,"
        "有效期,运费承担,平邮,EMS,快递,付款方式,支付宝,发票,保修,自动重发,放入仓库,橱窗推荐,"
        "开始时间,心情故事,宝贝描述,宝贝图片,宝贝属性,团购价,最小团购件数,邮费模版ID,会员打折,"
        "修改时间,上传状态,图片状态,返点比例,新图片,视频,销售属性组合,用户输入ID串,"
        "用户输入名-值对,商家编码,销售属性别名,代充类型,宝贝编号,数字ID,宝贝链接 \r\n");
    const std::string version5 = text::gbkToUtf8(AssistantCsv::header(5));
    EXPECT_TRUE(version5.ends_with(
        "\r\n宝贝名称,宝贝类目,店铺类目,新旧程度,省,城市,出售方式,宝贝价格,加价幅度,宝贝数量,"
        "有效期,运费承担,平邮,EMS,快递,发票,保修,放入仓库,橱窗推荐,开始时间,宝贝描述,宝贝属性,"
        "邮费模版ID,会员打折,修改时间,上传状态,图片状态,返点比例,新图片,视频,销售属性组合,"
        "用户输入ID串,用户输入名-值对,商家编码,销售属性别名,代充类型,数字ID,本地ID,宝贝分类,"
        "账户名称,宝贝状态,闪电发货,新品,食品专项\r\n"));
    EXPECT_TRUE(version5.starts_with("version 1.00" + std::string(43, ',') + "\r\ntitle,"));
    // Each line of the 5.x header has the 44 columns of its rows.
    for (std::size_t start = 0, end; (end = version5.find("\r\n", start)) != std::string::npos;
         start = end + 2) {
        EXPECT_EQ(splitColumns(version5.substr(start, end - start)).size(), 44U);
    }
    EXPECT_EQ(splitColumns(AssistantCsv::header(4)).size(), 46U);
}

// ---------------------------------------------------------------- rows

TEST(AssistantCsvRow, EveryColumnOfVersion4) {
    EXPECT_EQ(AssistantCsv::buildRow(distinctRecord(), 4),
              "|*|T|*|,C,|*|S|*|,0,|*|ST|*|,|*|CI|*|,|*|b|*|,P,0,N,"          // 1-10
              "V,F,PF,EF,XF,,,0,W,1,"                                         // 11-20
              "0,1,|*|LT|*|,,|*|D|*|,,|*|PR;|*|,,,0,"                         // 21-30
              "0,|*|M|*|,A,,0,|*|PIC|*|,|*||*|,|*|SK;;|*|,|*|IP|*|,|*|IS|*|," // 31-40
              "|*|O|*|,|*|PA;;|*|,0,|*|42|*|,42,"                             // 41-45
              "|*|http://detail.tmall.com/item.htm?id=42&|*|\r\n");           // 46
}

TEST(AssistantCsvRow, EveryColumnOfVersion5) {
    const std::string row = "|*|T|*|,C,|*|S|*|,1,|*|ST|*|,|*|CI|*|,|*|b|*|,P,0,N,"      // 1-10
                            "V,F,PF,EF,XF,0,W,1,0,|*|LT|*|,"                            // 11-20
                            "|*|D|*|,|*|PR;|*|,0,0,|*|M|*|,A,,0,|*|PIC|*|,|*||*|,"      // 21-30
                            "|*|SK;;|*|,|*|IP|*|,|*|IS|*|,|*|O|*|,|*|PA;|*|,0,42,0,2,," // 31-40
                            "1,0,0,\r\n";                                               // 41-44
    EXPECT_EQ(AssistantCsv::buildRow(distinctRecord(), 5), row);
    EXPECT_EQ(AssistantCsv::buildRow(distinctRecord(), 0), row);
}

TEST(AssistantCsvRow, TitleOnlyAnswerInVersion4) {
    const std::string row = AssistantCsv::buildRow(titleOnlyRecord(4), 4);
    ASSERT_TRUE(row.ends_with("\r\n"));
    const std::vector<std::string> columns = splitColumns(row.substr(0, row.size() - 2));
    ASSERT_EQ(columns.size(), 46U);
    EXPECT_EQ(columns[0], "|*|T|*|");
    EXPECT_EQ(columns[1], "");
    EXPECT_EQ(columns[2], "|*||*|");
    EXPECT_EQ(columns[11], "0");   // freight_payer
    EXPECT_EQ(columns[18], "0");   // has_warranty
    EXPECT_EQ(columns[32], "100"); // approve_status
    EXPECT_EQ(columns[26], "|*|;|*|");
    EXPECT_EQ(columns[37], "|*|;|*|");
    EXPECT_EQ(columns[41], "|*|;;|*|");
    EXPECT_EQ(columns[44], "42");
    EXPECT_EQ(columns[45], "|*|http://detail.tmall.com/item.htm?id=42&|*|");
}

TEST(AssistantCsvRow, TitleOnlyAnswerInVersion5) {
    const std::string row = AssistantCsv::buildRow(titleOnlyRecord(5), 5);
    ASSERT_TRUE(row.ends_with(",42,0,2,,1,0,0,\r\n"));
    const std::vector<std::string> columns = splitColumns(row.substr(0, row.size() - 2));
    ASSERT_EQ(columns.size(), 44U);
    EXPECT_EQ(columns[0], "|*|T|*|");
    EXPECT_EQ(columns[11], "0");
    EXPECT_EQ(columns[16], "0");
    EXPECT_EQ(columns[17], "1");   // the approve_status column is a constant here
    EXPECT_EQ(columns[25], "100"); // the mapped status goes to the upload status
    EXPECT_EQ(columns[30], "|*|;|*|");
    EXPECT_EQ(columns[34], "|*|;|*|");
    EXPECT_EQ(columns[36], "42");
}

// ---------------------------------------------------------------- file

class AssistantCsvFile : public ::testing::Test {
  protected:
    void SetUp() override {
        std::string pattern = (fs::temp_directory_path() / "quillon-csv-XXXXXX").string();
        ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
        m_folder = pattern;
    }
    void TearDown() override {
        std::error_code ignored;
        fs::permissions(m_folder, fs::perms::owner_all, ignored);
        fs::remove_all(m_folder, ignored);
    }

    static std::string contentOf(const fs::path& file) {
        std::ifstream in(file, std::ios::binary);
        return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    }

    std::vector<std::string> namesInFolder(const fs::path& folder) const {
        std::vector<std::string> names;
        for (const auto& entry : fs::directory_iterator(folder))
            names.push_back(entry.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }

    fs::path m_folder;
};

TEST_F(AssistantCsvFile, HeaderThenRowsWithQuotes) {
    ItemRecord first = distinctRecord();
    first.desc = "<img src=\"\"a.jpg\"\">|*|x"; // a marker inside a value becomes a quote too
    ItemRecord second = distinctRecord();
    second.title = "U";
    const std::string rows = AssistantCsv::buildRow(first, 4) + AssistantCsv::buildRow(second, 4);
    const std::string path = (m_folder / "csv1304000000.csv").string();

    std::string reason;
    ASSERT_TRUE(AssistantCsv::writeFile(path, 4, rows, reason)) << reason;
    const std::string content = contentOf(path);
    ASSERT_TRUE(content.starts_with(kVersion4Header));
    const std::string body = content.substr(kVersion4Header.size());
    EXPECT_TRUE(body.starts_with("\"T\",C,\"S\",0,"));
    EXPECT_NE(body.find(",\"<img src=\"\"a.jpg\"\">\"x\","), std::string::npos);
    EXPECT_NE(body.find("\r\n\"U\",C,"), std::string::npos);
    EXPECT_EQ(body.find("|*|"), std::string::npos);
    EXPECT_TRUE(body.ends_with(",42,\"http://detail.tmall.com/item.htm?id=42&\"\r\n"));
    EXPECT_EQ(namesInFolder(m_folder), std::vector<std::string>{"csv1304000000.csv"});
}

TEST_F(AssistantCsvFile, RunWithoutRowsWritesTheHeaderAlone) {
    const std::string path = (m_folder / "empty.csv").string();
    std::string reason;
    ASSERT_TRUE(AssistantCsv::writeFile(path, 5, "", reason)) << reason;
    EXPECT_EQ(contentOf(path), kVersion5Header);
}

TEST_F(AssistantCsvFile, ExistingFileIsReplacedWhole) {
    const fs::path path = m_folder / "out.csv";
    {
        std::ofstream out(path, std::ios::binary);
        out << std::string(100000, 'x');
    }
    std::string reason;
    ASSERT_TRUE(AssistantCsv::writeFile(path.string(), 5, "|*|a|*|\r\n", reason)) << reason;
    EXPECT_EQ(contentOf(path), kVersion5Header + "\"a\"\r\n");
    EXPECT_EQ(namesInFolder(m_folder), std::vector<std::string>{"out.csv"});
}

TEST_F(AssistantCsvFile, FailuresAreReportedAndLeaveNothingBehind) {
    fs::create_directory(m_folder / "taken");
    {
        std::ofstream out(m_folder / "plain", std::ios::binary);
        out << "kept";
    }
    const struct {
        const char* name;
        std::string path;
    } cases[] = {
        {"missing folder", (m_folder / "missing" / "out.csv").string()},
        {"folder in the way of the file", (m_folder / "taken").string()},
        {"file in the way of the folder", (m_folder / "plain" / "out.csv").string()},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        std::string reason;
        EXPECT_FALSE(AssistantCsv::writeFile(c.path, 4, "|*|a|*|\r\n", reason));
        EXPECT_NE(reason.find(c.path), std::string::npos) << reason;
        EXPECT_EQ(namesInFolder(m_folder), (std::vector<std::string>{"plain", "taken"}));
        EXPECT_TRUE(namesInFolder(m_folder / "taken").empty());
        EXPECT_EQ(contentOf(m_folder / "plain"), "kept");
    }

    std::string reason;
    EXPECT_FALSE(AssistantCsv::writeFile("", 4, "", reason));
    EXPECT_FALSE(reason.empty());
}

TEST_F(AssistantCsvFile, ReadOnlyFolderIsReported) {
    if (::geteuid() == 0)
        GTEST_SKIP() << "folder permissions do not bind root";
    fs::permissions(m_folder, fs::perms::owner_read | fs::perms::owner_exec);
    const std::string path = (m_folder / "out.csv").string();
    std::string reason;
    EXPECT_FALSE(AssistantCsv::writeFile(path, 4, "", reason));
    EXPECT_NE(reason.find(path), std::string::npos) << reason;
    fs::permissions(m_folder, fs::perms::owner_all);
    EXPECT_TRUE(namesInFolder(m_folder).empty());
}

} // namespace
} // namespace quillon::engine
