#include "ItemXml.h"

#include <map>
#include <set>

#include "Markup.h"
#include "text/GbkText.h"
#include "text/Trim.h"

namespace quillon::sim {

namespace {

std::string element(std::string_view name, std::string_view escapedText) {
    std::string out = "<";
    out += name;
    out += '>';
    out += escapedText;
    out += "</";
    out += name;
    out += '>';
    return out;
}

// Fields of one list entry, sorted, each written when requested and not empty.
std::string entry(std::string_view name, const std::map<std::string, std::string>& values,
                  const std::set<std::string>& wanted, bool all) {
    std::string out = "<" + std::string(name) + ">";
    for (const auto& [field, text] : values) {
        if ((all || wanted.contains(field)) && !text.empty()) {
            out += element(field, text);
        }
    }
    out += "</" + std::string(name) + ">";
    return out;
}

struct Selection {
    std::set<std::string> scalars;
    std::set<std::string> itemImg, propImg, sku, location;
    bool allItemImg = false, allPropImg = false, allSku = false, allLocation = false;
};

Selection select(std::string_view fields) {
    Selection s;
    std::size_t start = 0;
    while (start <= fields.size()) {
        std::size_t end = fields.find(',', start);
        if (end == std::string_view::npos) {
            end = fields.size();
        }
        const std::string token = text::trim(fields.substr(start, end - start));
        start = end + 1;
        const std::size_t dot = token.find('.');
        const std::string head = token.substr(0, dot);
        const std::string sub = dot == std::string::npos ? "" : token.substr(dot + 1);
        const auto pick = [&](std::set<std::string>& set, bool& all) {
            if (sub.empty()) {
                all = true;
            } else {
                set.insert(sub);
            }
        };
        if (head == "item_img") {
            pick(s.itemImg, s.allItemImg);
        } else if (head == "prop_img") {
            pick(s.propImg, s.allPropImg);
        } else if (head == "sku") {
            pick(s.sku, s.allSku);
        } else if (head == "location") {
            pick(s.location, s.allLocation);
        } else if (!token.empty()) {
            s.scalars.insert(token);
        }
    }
    return s;
}

std::string pictureId(const PictureRef& picture) {
    return std::to_string(1000000000ULL + picture.key % 9000000000ULL);
}

} // namespace

std::string ItemXml::item(const ItemInfo& item, std::string_view fields) {
    const Selection s = select(fields);
    std::map<std::string, std::string> elements; // sorted by name, as the platform wrote them

    const std::map<std::string, const std::string*> scalars = {
        {"approve_status", &item.approveStatus},
        {"cid", &item.cid},
        {"delist_time", &item.delistTime},
        {"desc", &item.desc},
        {"ems_fee", &item.emsFee},
        {"express_fee", &item.expressFee},
        {"freight_payer", &item.freightPayer},
        {"has_discount", &item.hasDiscount},
        {"has_invoice", &item.hasInvoice},
        {"has_showcase", &item.hasShowcase},
        {"has_warranty", &item.hasWarranty},
        {"input_pids", &item.inputPids},
        {"input_str", &item.inputStr},
        {"list_time", &item.listTime},
        {"modified", &item.modified},
        {"num", &item.num},
        {"num_iid", &item.id},
        {"outer_id", &item.outerId},
        {"post_fee", &item.postFee},
        {"postage_id", &item.postageId},
        {"price", &item.price},
        {"property_alias", &item.propertyAlias},
        {"props", &item.props},
        {"seller_cids", &item.sellerCids},
        {"title", &item.title},
        {"valid_thru", &item.validThru},
    };
    for (const std::string& name : s.scalars) {
        const auto found = scalars.find(name);
        if (found != scalars.end() && !found->second->empty()) {
            elements[name] = element(name, Markup::xml(*found->second));
        }
    }

    if ((s.allItemImg || !s.itemImg.empty()) && !item.mainPictures.empty()) {
        std::string list = "<item_imgs list=\"true\">";
        for (std::size_t n = 0; n < item.mainPictures.size(); ++n) {
            const PictureRef& picture = item.mainPictures[n];
            list += entry("item_img",
                          {{"id", pictureId(picture)},
                           {"position", std::to_string(n)},
                           {"url", Markup::xml(picture.written)}},
                          s.itemImg, s.allItemImg);
        }
        elements["item_imgs"] = list + "</item_imgs>";
    }
    if ((s.allPropImg || !s.propImg.empty()) && !item.propPictures.empty()) {
        std::string list = "<prop_imgs list=\"true\">";
        for (std::size_t n = 0; n < item.propPictures.size(); ++n) {
            const PictureRef& picture = item.propPictures[n];
            list += entry("prop_img",
                          {{"id", pictureId(picture)},
                           {"position", std::to_string(n)},
                           {"properties", Markup::xml(picture.properties)},
                           {"url", Markup::xml(picture.written)}},
                          s.propImg, s.allPropImg);
        }
        elements["prop_imgs"] = list + "</prop_imgs>";
    }
    if ((s.allSku || !s.sku.empty()) && !item.skus.empty()) {
        std::string list = "<skus list=\"true\">";
        for (const SkuInfo& sku : item.skus) {
            // Sellers' property names reached the answers unescaped at times,
            // undefined entities and all.
            const std::string name =
                text::replaceAll(Markup::xml(sku.propertiesName), "&amp;le;", "&le;");
            list += entry("sku",
                          {{"created", sku.created},
                           {"modified", sku.modified},
                           {"outer_id", Markup::xml(sku.outerId)},
                           {"price", sku.price},
                           {"properties", sku.properties},
                           {"properties_name", name},
                           {"quantity", sku.quantity},
                           {"sku_id", sku.skuId},
                           {"status", sku.status}},
                          s.sku, s.allSku);
        }
        elements["skus"] = list + "</skus>";
    }
    if (s.allLocation || !s.location.empty()) {
        elements["location"] = entry(
            "location", {{"city", Markup::xml(item.city)}, {"state", Markup::xml(item.state)}},
            s.location, s.allLocation);
    }

    std::string out = "<item>";
    for (const auto& [name, text] : elements) {
        out += text;
    }
    out += "</item>";
    return out;
}

std::string ItemXml::answer(const ItemInfo& item, std::string_view fields,
                            std::string_view hostComment) {
    std::string out(kDeclaration);
    out += "<item_get_response>";
    out += ItemXml::item(item, fields);
    out += "</item_get_response><!--";
    out += hostComment;
    out += "-->";
    return out;
}

} // namespace quillon::sim
