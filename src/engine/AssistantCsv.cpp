#include "engine/AssistantCsv.h"

#include <span>

#include "shell/PrivateProfile.h"
#include "text/GbkText.h"

namespace quillon::engine {
namespace {

enum Quote : bool { kPlain = false, kQuoted = true };

enum class Content {
    Fixed,       // the same text on every row
    Field,       // one field of the record
    AliasClosed, // property_alias and one more ";"
    ItemAddress, // the item's address on the detail host
};

// One column of a layout: its header names, what it holds, whether quoted.
struct Column {
    std::string_view english; // second header line of the 5.x layout
    std::string_view name;    // GBK header name
    Content content;
    std::string ItemRecord::*field;
    std::string_view fixedText;
    Quote quote;
};

constexpr Column field(std::string_view name, std::string ItemRecord::*member, Quote quote) {
    return {{}, name, Content::Field, member, {}, quote};
}
constexpr Column field(std::string_view english, std::string_view name,
                       std::string ItemRecord::*member, Quote quote) {
    return {english, name, Content::Field, member, {}, quote};
}
constexpr Column fixed(std::string_view name, std::string_view text, Quote quote) {
    return {{}, name, Content::Fixed, nullptr, text, quote};
}
constexpr Column fixed(std::string_view english, std::string_view name, std::string_view text,
                       Quote quote) {
    return {english, name, Content::Fixed, nullptr, text, quote};
}
constexpr Column special(std::string_view name, Content content, Quote quote) {
    return {{}, name, content, nullptr, {}, quote};
}

// The assistant reads its columns by position, so the order, the constants
// and the quoting of these tables are part of the file format.
// clang-format off
constexpr Column kVersion4[] = {
    field("\xB1\xA6\xB1\xB4\xC3\xFB\xB3\xC6", &ItemRecord::title, kQuoted),                   // 宝贝名称
    field("\xB1\xA6\xB1\xB4\xC0\xE0\xC4\xBF", &ItemRecord::cid, kPlain),                      // 宝贝类目
    field("\xB5\xEA\xC6\xCC\xC0\xE0\xC4\xBF", &ItemRecord::seller_cids, kQuoted),             // 店铺类目
    fixed("\xD0\xC2\xBE\xC9\xB3\xCC\xB6\xC8", "0", kPlain),                                   // 新旧程度
    field("\xCA\xA1", &ItemRecord::state, kQuoted),                                           // 省
    field("\xB3\xC7\xCA\xD0", &ItemRecord::city, kQuoted),                                    // 城市
    fixed("\xB3\xF6\xCA\xDB\xB7\xBD\xCA\xBD", "b", kQuoted),                                  // 出售方式
    field("\xB1\xA6\xB1\xB4\xBC\xDB\xB8\xF1", &ItemRecord::price, kPlain),                    // 宝贝价格
    fixed("\xBC\xD3\xBC\xDB\xB7\xF9\xB6\xC8", "0", kPlain),                                   // 加价幅度
    field("\xB1\xA6\xB1\xB4\xCA\xFD\xC1\xBF", &ItemRecord::num, kPlain),                      // 宝贝数量
    field("\xD3\xD0\xD0\xA7\xC6\xDA", &ItemRecord::valid_thru, kPlain),                       // 有效期
    field("\xD4\xCB\xB7\xD1\xB3\xD0\xB5\xA3", &ItemRecord::freight_payer, kPlain),            // 运费承担
    field("\xC6\xBD\xD3\xCA", &ItemRecord::post_fee, kPlain),                                 // 平邮
    field("EMS", &ItemRecord::ems_fee, kPlain),                                               // EMS
    field("\xBF\xEC\xB5\xDD", &ItemRecord::express_fee, kPlain),                              // 快递
    fixed("\xB8\xB6\xBF\xEE\xB7\xBD\xCA\xBD", "", kPlain),                                    // 付款方式
    fixed("\xD6\xA7\xB8\xB6\xB1\xA6", "", kPlain),                                            // 支付宝
    fixed("\xB7\xA2\xC6\xB1", "0", kPlain),                                                   // 发票
    field("\xB1\xA3\xD0\xDE", &ItemRecord::has_warranty, kPlain),                             // 保修
    fixed("\xD7\xD4\xB6\xAF\xD6\xD8\xB7\xA2", "1", kPlain),                                   // 自动重发
    fixed("\xB7\xC5\xC8\xEB\xB2\xD6\xBF\xE2", "0", kPlain),                                   // 放入仓库
    fixed("\xB3\xF7\xB4\xB0\xCD\xC6\xBC\xF6", "1", kPlain),                                   // 橱窗推荐
    field("\xBF\xAA\xCA\xBC\xCA\xB1\xBC\xE4", &ItemRecord::list_time, kQuoted),               // 开始时间
    fixed("\xD0\xC4\xC7\xE9\xB9\xCA\xCA\xC2", "", kPlain),                                    // 心情故事
    field("\xB1\xA6\xB1\xB4\xC3\xE8\xCA\xF6", &ItemRecord::desc, kQuoted),                    // 宝贝描述
    fixed("\xB1\xA6\xB1\xB4\xCD\xBC\xC6\xAC", "", kPlain),                                    // 宝贝图片
    field("\xB1\xA6\xB1\xB4\xCA\xF4\xD0\xD4", &ItemRecord::props, kQuoted),                   // 宝贝属性
    fixed("\xCD\xC5\xB9\xBA\xBC\xDB", "", kPlain),                                            // 团购价
    fixed("\xD7\xEE\xD0\xA1\xCD\xC5\xB9\xBA\xBC\xFE\xCA\xFD", "", kPlain),                    // 最小团购件数
    fixed("\xD3\xCA\xB7\xD1\xC4\xA3\xB0\xE6ID", "0", kPlain),                                 // 邮费模版ID
    fixed("\xBB\xE1\xD4\xB1\xB4\xF2\xD5\xDB", "0", kPlain),                                   // 会员打折
    field("\xD0\xDE\xB8\xC4\xCA\xB1\xBC\xE4", &ItemRecord::modified, kQuoted),                // 修改时间
    field("\xC9\xCF\xB4\xAB\xD7\xB4\xCC\xAC", &ItemRecord::approve_status, kPlain),           // 上传状态
    fixed("\xCD\xBC\xC6\xAC\xD7\xB4\xCC\xAC", "", kPlain),                                    // 图片状态
    fixed("\xB7\xB5\xB5\xE3\xB1\xC8\xC0\xFD", "0", kPlain),                                   // 返点比例
    field("\xD0\xC2\xCD\xBC\xC6\xAC", &ItemRecord::pictureText, kQuoted),                     // 新图片
    fixed("\xCA\xD3\xC6\xB5", "", kQuoted),                                                   // 视频
    field("\xCF\xFA\xCA\xDB\xCA\xF4\xD0\xD4\xD7\xE9\xBA\xCF", &ItemRecord::skuText, kQuoted), // 销售属性组合
    field("\xD3\xC3\xBB\xA7\xCA\xE4\xC8\xEBID\xB4\xAE", &ItemRecord::input_pids, kQuoted),    // 用户输入ID串
    field("\xD3\xC3\xBB\xA7\xCA\xE4\xC8\xEB\xC3\xFB-\xD6\xB5\xB6\xD4", &ItemRecord::input_str, kQuoted), // 用户输入名-值对
    field("\xC9\xCC\xBC\xD2\xB1\xE0\xC2\xEB", &ItemRecord::outer_id, kQuoted),                // 商家编码
    special("\xCF\xFA\xCA\xDB\xCA\xF4\xD0\xD4\xB1\xF0\xC3\xFB", Content::AliasClosed, kQuoted), // 销售属性别名
    fixed("\xB4\xFA\xB3\xE4\xC0\xE0\xD0\xCD", "0", kPlain),                                   // 代充类型
    field("\xB1\xA6\xB1\xB4\xB1\xE0\xBA\xC5", &ItemRecord::itemId, kQuoted),                  // 宝贝编号
    field("\xCA\xFD\xD7\xD6ID", &ItemRecord::itemId, kPlain),                                 // 数字ID
    special("\xB1\xA6\xB1\xB4\xC1\xB4\xBD\xD3", Content::ItemAddress, kQuoted),               // 宝贝链接
};

constexpr Column kVersion5[] = {
    field("title", "\xB1\xA6\xB1\xB4\xC3\xFB\xB3\xC6", &ItemRecord::title, kQuoted),                         // 宝贝名称
    field("cid", "\xB1\xA6\xB1\xB4\xC0\xE0\xC4\xBF", &ItemRecord::cid, kPlain),                              // 宝贝类目
    field("seller_cids", "\xB5\xEA\xC6\xCC\xC0\xE0\xC4\xBF", &ItemRecord::seller_cids, kQuoted),             // 店铺类目
    fixed("stuff_status", "\xD0\xC2\xBE\xC9\xB3\xCC\xB6\xC8", "1", kPlain),                                  // 新旧程度
    field("location_state", "\xCA\xA1", &ItemRecord::state, kQuoted),                                        // 省
    field("location_city", "\xB3\xC7\xCA\xD0", &ItemRecord::city, kQuoted),                                  // 城市
    fixed("item_type", "\xB3\xF6\xCA\xDB\xB7\xBD\xCA\xBD", "b", kQuoted),                                    // 出售方式
    field("price", "\xB1\xA6\xB1\xB4\xBC\xDB\xB8\xF1", &ItemRecord::price, kPlain),                          // 宝贝价格
    fixed("auction_increment", "\xBC\xD3\xBC\xDB\xB7\xF9\xB6\xC8", "0", kPlain),                             // 加价幅度
    field("num", "\xB1\xA6\xB1\xB4\xCA\xFD\xC1\xBF", &ItemRecord::num, kPlain),                              // 宝贝数量
    field("valid_thru", "\xD3\xD0\xD0\xA7\xC6\xDA", &ItemRecord::valid_thru, kPlain),                        // 有效期
    field("freight_payer", "\xD4\xCB\xB7\xD1\xB3\xD0\xB5\xA3", &ItemRecord::freight_payer, kPlain),          // 运费承担
    field("post_fee", "\xC6\xBD\xD3\xCA", &ItemRecord::post_fee, kPlain),                                    // 平邮
    field("ems_fee", "EMS", &ItemRecord::ems_fee, kPlain),                                                   // EMS
    field("express_fee", "\xBF\xEC\xB5\xDD", &ItemRecord::express_fee, kPlain),                              // 快递
    fixed("has_invoice", "\xB7\xA2\xC6\xB1", "0", kPlain),                                                   // 发票
    field("has_warranty", "\xB1\xA3\xD0\xDE", &ItemRecord::has_warranty, kPlain),                            // 保修
    fixed("approve_status", "\xB7\xC5\xC8\xEB\xB2\xD6\xBF\xE2", "1", kPlain),                                // 放入仓库
    fixed("has_showcase", "\xB3\xF7\xB4\xB0\xCD\xC6\xBC\xF6", "0", kPlain),                                  // 橱窗推荐
    field("list_time", "\xBF\xAA\xCA\xBC\xCA\xB1\xBC\xE4", &ItemRecord::list_time, kQuoted),                 // 开始时间
    field("description", "\xB1\xA6\xB1\xB4\xC3\xE8\xCA\xF6", &ItemRecord::desc, kQuoted),                    // 宝贝描述
    field("cateProps", "\xB1\xA6\xB1\xB4\xCA\xF4\xD0\xD4", &ItemRecord::props, kQuoted),                     // 宝贝属性
    fixed("postage_id", "\xD3\xCA\xB7\xD1\xC4\xA3\xB0\xE6ID", "0", kPlain),                                  // 邮费模版ID
    fixed("has_discount", "\xBB\xE1\xD4\xB1\xB4\xF2\xD5\xDB", "0", kPlain),                                  // 会员打折
    field("modified", "\xD0\xDE\xB8\xC4\xCA\xB1\xBC\xE4", &ItemRecord::modified, kQuoted),                   // 修改时间
    field("upload_fail_msg", "\xC9\xCF\xB4\xAB\xD7\xB4\xCC\xAC", &ItemRecord::approve_status, kPlain),       // 上传状态
    fixed("picture_status", "\xCD\xBC\xC6\xAC\xD7\xB4\xCC\xAC", "", kPlain),                                 // 图片状态
    fixed("auction_point", "\xB7\xB5\xB5\xE3\xB1\xC8\xC0\xFD", "0", kPlain),                                 // 返点比例
    field("picture", "\xD0\xC2\xCD\xBC\xC6\xAC", &ItemRecord::pictureText, kQuoted),                         // 新图片
    fixed("video", "\xCA\xD3\xC6\xB5", "", kQuoted),                                                         // 视频
    field("skuProps", "\xCF\xFA\xCA\xDB\xCA\xF4\xD0\xD4\xD7\xE9\xBA\xCF", &ItemRecord::skuText, kQuoted),    // 销售属性组合
    field("inputPids", "\xD3\xC3\xBB\xA7\xCA\xE4\xC8\xEBID\xB4\xAE", &ItemRecord::input_pids, kQuoted),      // 用户输入ID串
    field("inputValues", "\xD3\xC3\xBB\xA7\xCA\xE4\xC8\xEB\xC3\xFB-\xD6\xB5\xB6\xD4", &ItemRecord::input_str, kQuoted), // 用户输入名-值对
    field("outer_id", "\xC9\xCC\xBC\xD2\xB1\xE0\xC2\xEB", &ItemRecord::outer_id, kQuoted),                   // 商家编码
    field("propAlias", "\xCF\xFA\xCA\xDB\xCA\xF4\xD0\xD4\xB1\xF0\xC3\xFB", &ItemRecord::property_alias, kQuoted), // 销售属性别名
    fixed("auto_fill", "\xB4\xFA\xB3\xE4\xC0\xE0\xD0\xCD", "0", kPlain),                                     // 代充类型
    field("num_id", "\xCA\xFD\xD7\xD6ID", &ItemRecord::itemId, kPlain),                                      // 数字ID
    fixed("local_cid", "\xB1\xBE\xB5\xD8ID", "0", kPlain),                                                   // 本地ID
    fixed("navigation_type", "\xB1\xA6\xB1\xB4\xB7\xD6\xC0\xE0", "2", kPlain),                               // 宝贝分类
    fixed("user_name", "\xD5\xCB\xBB\xA7\xC3\xFB\xB3\xC6", "", kPlain),                                      // 账户名称
    fixed("syncStatus", "\xB1\xA6\xB1\xB4\xD7\xB4\xCC\xAC", "1", kPlain),                                    // 宝贝状态
    fixed("is_lighting_consigment", "\xC9\xC1\xB5\xE7\xB7\xA2\xBB\xF5", "0", kPlain),                        // 闪电发货
    fixed("is_xinpin", "\xD0\xC2\xC6\xB7", "0", kPlain),                                                     // 新品
    fixed("foodparame", "\xCA\xB3\xC6\xB7\xD7\xA8\xCF\xEE", "", kPlain),                                     // 食品专项
};
// clang-format on

static_assert(std::size(kVersion4) == 46);
static_assert(std::size(kVersion5) == 44);

std::span<const Column> layout(int assistantVersion) {
    if (assistantVersion == 4)
        return kVersion4;
    return kVersion5;
}

void appendContent(std::string& row, const Column& column, const ItemRecord& record) {
    switch (column.content) {
    case Content::Fixed:
        row += column.fixedText;
        break;
    case Content::Field:
        row += record.*column.field;
        break;
    case Content::AliasClosed:
        row += record.property_alias;
        row += ';';
        break;
    case Content::ItemAddress:
        row += "http://";
        row += AssistantCsv::kItemDetailHost;
        row += "/item.htm?id=";
        row += record.itemId;
        row += '&';
        break;
    }
}

} // namespace

std::string AssistantCsv::header(int assistantVersion) {
    std::string text;
    const std::span<const Column> columns = layout(assistantVersion);
    if (assistantVersion == 4) {
        for (std::size_t i = 0; i < columns.size(); ++i) {
            if (i > 0)
                text += ',';
            text += columns[i].name;
        }
        // The 4.x header line has a blank after its last name.
        text += " \r\n";
        return text;
    }
    text += "version 1.00";
    text.append(columns.size() - 1, ',');
    text += "\r\n";
    for (std::size_t i = 0; i < columns.size(); ++i) {
        if (i > 0)
            text += ',';
        text += columns[i].english;
    }
    text += "\r\n";
    for (std::size_t i = 0; i < columns.size(); ++i) {
        if (i > 0)
            text += ',';
        text += columns[i].name;
    }
    text += "\r\n";
    return text;
}

std::string AssistantCsv::buildRow(const ItemRecord& record, int assistantVersion) {
    std::string row;
    bool first = true;
    for (const Column& column : layout(assistantVersion)) {
        if (!first)
            row += ',';
        first = false;
        if (column.quote == kQuoted)
            row += kQuoteMarker;
        appendContent(row, column, record);
        if (column.quote == kQuoted)
            row += kQuoteMarker;
    }
    row += "\r\n";
    return row;
}

bool AssistantCsv::writeFile(const std::string& path, int assistantVersion,
                             std::string_view csvRows, std::string& reason) {
    if (path.empty()) {
        reason = "no path for the data file";
        return false;
    }
    std::string content = header(assistantVersion);
    content += text::replaceAll(csvRows, kQuoteMarker, "\"");

    return shell::writeFileAtomically(path, content, &reason);
}

} // namespace quillon::engine
