#include "ItemPages.h"

#include "Markup.h"
#include "QueryText.h"
#include "text/TextCodec.h"

namespace quillon::sim {

namespace {

struct ItemWords {
    std::string taobaoSuffix = text::utf8ToGbk("-淘宝网");
    std::string tmallSuffix = text::utf8ToGbk("-tmall.com天猫");
    std::string goneTitle = text::utf8ToGbk("淘宝网 - 淘！我喜欢");
    std::string gone = text::utf8ToGbk("很抱歉，您查看的宝贝不存在，可能已下架或者被转移。");
    std::string location = text::utf8ToGbk("所在地：");
    std::string stock = text::utf8ToGbk("库存");
};

const ItemWords& itemWords() {
    static const ItemWords words;
    return words;
}

} // namespace

SimReply ItemPages::handle(const SimRequest& request, bool tmall) const {
    const std::string type = "text/html;charset=GBK";
    if (request.path != "/item.htm") {
        return SimReply{404, type, "<html><body>404</body></html>\n"};
    }
    const auto where = m_catalog.locateItem(QueryText(request.query).value("id").value_or(""));
    if (!where) {
        const ItemWords& w = itemWords();
        return SimReply{200, type,
                        "<!DOCTYPE html>\n<html>\n<head>\n<meta charset=\"gbk\" />\n<title>" +
                            w.goneTitle +
                            "</title>\n</head>\n<body>\n<div class=\"error-notice\">" + w.gone +
                            "</div>\n</body>\n</html>\n"};
    }
    return SimReply{200, type, itemPage(where->first, where->second, tmall)};
}

std::string ItemPages::itemPage(int store, int index, bool tmall) const {
    const ItemWords& w = itemWords();
    const ItemInfo item = m_catalog.item(store, index);
    const StoreInfo shop = m_catalog.store(store);
    const std::string title = Markup::html(item.title);
    std::string page = "<!DOCTYPE html>\n<html>\n<head>\n<meta charset=\"gbk\" />\n<title>" +
                       title + (tmall ? w.tmallSuffix : w.taobaoSuffix) + "</title>\n";
    page += "<script>\nvar g_config = {\n    appId:1,\n    itemId:\"" + item.id +
            "\",\n    shopId:\"" + std::to_string(57000000 + store) + "\",\n    sellerId:\"" +
            std::to_string(1000000000 + store * 7) +
            "\",\n    isTmall:" + (tmall ? "true" : "false") + "\n};\n</script>\n</head>\n<body>\n";
    page += "<div class=\"tb-detail-hd\"><h3 class=\"tb-main-title\" data-title=\"" + title +
            "\">" + title + "</h3></div>\n";
    page += "<div class=\"tb-price\"><em class=\"tb-rmb\">&yen;</em><em class=\"tb-rmb-num\">" +
            item.price + "</em></div>\n";
    page += "<div class=\"tb-location\">" + w.location + Markup::html(item.state + item.city) +
            "</div>\n<div class=\"tb-stock\">" + w.stock + " " + item.num + "</div>\n";
    for (const PictureRef& picture : item.mainPictures) {
        page += "<img class=\"tb-thumb\" src=\"" + Markup::html(picture.address) + "\" />\n";
    }
    page += "<div class=\"tb-shop\"><a href=\"//" + shop.host + "/\">" + Markup::html(shop.name) +
            "</a></div>\n</body>\n</html>\n";
    return page;
}

} // namespace quillon::sim
