#include "engine/ItemRecordReader.h"

#include <optional>

#include "doc/XmlDocument.h"
#include "shell/Settings.h"
#include "text/GbkText.h"
#include "text/Number.h"
#include "text/Trim.h"

namespace quillon::engine {
namespace {

constexpr std::string_view kItemPath = "item_get_response/item";

std::string fieldText(const doc::XmlDocument& answer, std::string_view field) {
    std::string path(kItemPath);
    path += '/';
    path += field;
    return answer.getText(path);
}

// Own text of the first child called `name` of node `parent`.
std::string childText(const doc::XmlDocument& answer, int parent, std::string_view name) {
    const std::optional<int> child = answer.resolveStep(parent, name);
    return child ? answer.node(*child)->text : std::string();
}

std::string mapFreightPayer(const std::string& payer, int assistantVersion) {
    const bool version4 = assistantVersion == 4;
    if (payer == "seller")
        return version4 ? "2" : "1";
    if (payer == "buyer")
        return version4 ? "1" : "2";
    if (payer.empty())
        return "0";
    return payer;
}

std::string mapApproveStatus(const std::string& status) {
    if (status.empty())
        return "100";
    if (status == "onsale")
        return "200";
    return status;
}

std::string mapWarranty(const std::string& warranty) {
    return warranty == "true" ? "1" : "0";
}

// A ";" is appended unless the last ";" is the very first character.
std::string closeProps(std::string props) {
    if (text::findLastText(props, ";") != 0)
        props += ';';
    return props;
}

// The number of decimals that priceDecimals asks for: a whole number from 0
// to 6, blanks around it allowed; anything else asks for no rounding.
std::optional<int> decimalsWanted(std::string_view setting) {
    const std::string digits = text::trim(setting);
    if (digits.empty())
        return std::nullopt;
    int value = 0;
    for (const char c : digits) {
        if (c < '0' || c > '9')
            return std::nullopt;
        value = value * 10 + (c - '0');
        if (value > 6)
            return std::nullopt;
    }
    return value;
}

// Rounds a number written as "%.13g" writes it half up (away from zero) to
// `decimals` decimals, working on its decimal digits: the double behind
// "8.415" lies just below it, so rounding the double would give 8.41. The
// result has no exponent and no trailing zeros. A text that is not such a
// number (inf, nan) comes back unchanged.
std::string roundDecimalText(std::string_view number, int decimals) {
    std::string_view rest = number;
    const bool negative = rest.starts_with('-');
    if (negative)
        rest.remove_prefix(1);

    std::string digits;
    long point = -1; // digits before the decimal point
    std::size_t i = 0;
    for (; i < rest.size(); ++i) {
        const char c = rest[i];
        if (c >= '0' && c <= '9') {
            digits += c;
        } else if (c == '.' && point < 0) {
            point = static_cast<long>(digits.size());
        } else {
            break;
        }
    }
    if (digits.empty())
        return std::string(number);
    if (point < 0)
        point = static_cast<long>(digits.size());

    if (i < rest.size()) {
        if (rest[i] != 'e' && rest[i] != 'E')
            return std::string(number);
        ++i;
        bool negativeExponent = false;
        if (i < rest.size() && (rest[i] == '+' || rest[i] == '-')) {
            negativeExponent = rest[i] == '-';
            ++i;
        }
        if (i == rest.size())
            return std::string(number);
        long exponent = 0;
        for (; i < rest.size(); ++i) {
            if (rest[i] < '0' || rest[i] > '9')
                return std::string(number);
            exponent = exponent * 10 + (rest[i] - '0');
            // Doubles stay within about 1e+-324; more is not our number.
            if (exponent > 400)
                return std::string(number);
        }
        point += negativeExponent ? -exponent : exponent;
    }

    // At least one digit before the point, so the rounding position exists.
    if (point < 1) {
        digits.insert(0, static_cast<std::size_t>(1 - point), '0');
        point = 1;
    }
    const std::size_t keep = static_cast<std::size_t>(point) + static_cast<std::size_t>(decimals);
    if (digits.size() > keep) {
        const bool up = digits[keep] >= '5';
        digits.resize(keep);
        if (up) {
            std::size_t k = keep;
            while (k > 0 && digits[k - 1] == '9') {
                digits[k - 1] = '0';
                --k;
            }
            if (k == 0) {
                digits.insert(0, 1, '1');
                ++point;
            } else {
                ++digits[k - 1];
            }
        }
    }
    if (digits.size() < static_cast<std::size_t>(point)) {
        digits.append(static_cast<std::size_t>(point) - digits.size(), '0');
    }

    std::string whole = digits.substr(0, static_cast<std::size_t>(point));
    const std::size_t firstNonZero = whole.find_first_not_of('0');
    whole.erase(0, firstNonZero == std::string::npos ? whole.size() - 1 : firstNonZero);
    std::string fraction = digits.substr(static_cast<std::size_t>(point));
    const std::size_t lastNonZero = fraction.find_last_not_of('0');
    fraction.erase(lastNonZero == std::string::npos ? 0 : lastNonZero + 1);

    std::string result = negative && !(whole == "0" && fraction.empty()) ? "-" : "";
    result += whole;
    if (!fraction.empty()) {
        result += '.';
        result += fraction;
    }
    return result;
}

// The SKU text: "price:quantity:outer_id:properties;" per SKU in document
// order, then one more ";". Each entry is put in front of the text built so
// far and the whole is trimmed, visiting the SKUs from the last to the
// first. An entry always ends in ";" and holds ":", so that trim only ever
// strips the leading blanks of the entry just added; stripping them from each
// entry and joining in document order gives the same text without copying
// the whole text once per SKU.
std::string buildSkuText(const doc::XmlDocument& answer, const shell::SettingsValues& settings) {
    std::string skuText;
    const std::optional<int> skus = answer.findNode(std::string(kItemPath) + "/skus");
    if (skus) {
        for (const int sku : answer.node(*skus)->children) {
            const std::string price =
                ItemRecordReader::adjustPrice(childText(answer, sku, "price"), settings);
            const std::string quantity =
                settings.stockUniform ? settings.stockValue : childText(answer, sku, "quantity");
            std::string entry = price;
            entry += ':';
            entry += quantity;
            entry += ':';
            entry += childText(answer, sku, "outer_id");
            entry += ':';
            entry += childText(answer, sku, "properties");
            entry += ';';
            skuText += text::trimStart(entry);
        }
    }
    skuText += ';';
    return skuText;
}

} // namespace

ItemRecord ItemRecordReader::readBasicFields(const doc::XmlDocument& answer,
                                             std::string_view itemId,
                                             const shell::Settings& settings) {
    return readBasicFields(answer, itemId, settings.values());
}

ItemRecord ItemRecordReader::readBasicFields(const doc::XmlDocument& answer,
                                             std::string_view itemId,
                                             const shell::SettingsValues& settings) {
    ItemRecord record;
    record.itemId = std::string(itemId);
    record.title = applyReplacements(cleanTitle(fieldText(answer, "title")), settings);
    record.cid = fieldText(answer, "cid");
    record.seller_cids = fieldText(answer, "seller_cids");
    record.state = fieldText(answer, "location/state");
    record.city = fieldText(answer, "location/city");
    record.price = fieldText(answer, "price");
    record.num = fieldText(answer, "num");
    record.valid_thru = fieldText(answer, "valid_thru");
    record.freight_payer =
        mapFreightPayer(fieldText(answer, "freight_payer"), settings.assistantVersion);
    record.ems_fee = fieldText(answer, "ems_fee");
    record.express_fee = fieldText(answer, "express_fee");
    record.post_fee = fieldText(answer, "post_fee");
    record.list_time = fieldText(answer, "list_time");
    record.props = closeProps(fieldText(answer, "props"));
    record.modified = fieldText(answer, "modified");
    record.approve_status = mapApproveStatus(fieldText(answer, "approve_status"));
    record.has_warranty = mapWarranty(fieldText(answer, "has_warranty"));
    record.skuText = buildSkuText(answer, settings);
    record.input_pids = fieldText(answer, "input_pids");
    record.input_str = fieldText(answer, "input_str");
    record.outer_id = fieldText(answer, "outer_id");
    record.property_alias = fieldText(answer, "property_alias") + ";";
    // The item price follows its SKUs, once per item.
    record.price = adjustPrice(record.price, settings);
    return record;
}

std::string ItemRecordReader::readDescription(const doc::XmlDocument& answer,
                                              const shell::Settings& settings) {
    return readDescription(answer, settings.values());
}

std::string ItemRecordReader::readDescription(const doc::XmlDocument& answer,
                                              const shell::SettingsValues& settings) {
    return applyReplacements(cleanDescription(fieldText(answer, "desc")), settings);
}

std::string ItemRecordReader::cleanTitle(std::string_view title) {
    // Order matters: "&amp;amp;" leaves "amp;" after the first step, which
    // the second removes. The result holds no "." because a folder is named
    // after it, and no "|" because the title stands in a quoted column.
    static constexpr std::string_view kSteps[][2] = {
        {"&amp;", " "}, {"amp;", ""}, {"&apos;", "'"}, {"*", " "}, {"|", " "},
        {"<", " "},     {">", " "},   {".", " "},      {"?", " "},
    };
    std::string result(title);
    for (const auto& step : kSteps)
        result = text::replaceAll(result, step[0], step[1]);
    return result;
}

std::string ItemRecordReader::cleanDescription(std::string_view desc) {
    // Quotes are doubled and commas made full-width so that the HTML can
    // stand inside one quoted column of the data file.
    static constexpr std::string_view kSteps[][2] = {
        {"&quot;", "\"\""}, {",", "\xA3\xAC"},   {"&lt;", "<"},
        {"&gt;", ">"},      {"&amp;nbsp;", " "}, {"\r\n", ""},
    };
    std::string result(desc);
    for (const auto& step : kSteps)
        result = text::replaceAll(result, step[0], step[1]);
    return result;
}

std::string ItemRecordReader::applyReplacements(std::string_view text,
                                                const shell::SettingsValues& settings) {
    std::string result(text);
    for (std::size_t pair = 0; pair < settings.replaceFrom.size(); ++pair) {
        if (settings.replaceFrom[pair].empty())
            continue;
        result = text::replaceAll(result, settings.replaceFrom[pair], settings.replaceTo[pair]);
    }
    return result;
}

std::string ItemRecordReader::adjustPrice(std::string_view price,
                                          const shell::SettingsValues& settings) {
    if (!settings.priceAdjust)
        return std::string(price);
    const std::string adjusted = text::numberToText(
        text::numberFromText(price) * text::numberFromText(settings.pricePercent) / 100);
    const std::optional<int> decimals = decimalsWanted(settings.priceDecimals);
    return decimals ? roundDecimalText(adjusted, *decimals) : adjusted;
}

} // namespace quillon::engine
