#include "StorePages.h"

#include <charconv>

#include "Markup.h"
#include "QueryText.h"
#include "text/TextCodec.h"

namespace quillon::sim {

namespace {

// Fixed Chinese texts of the pages, converted to GBK once.
struct PageWords {
    std::string countLeft = text::utf8ToGbk("共搜索到<span>");
    std::string countRight = text::utf8ToGbk("</span>个符合条件的商品。");
    std::string nextPage = text::utf8ToGbk("下一页");
    std::string goTo = text::utf8ToGbk("到第");
    std::string pageUnit = text::utf8ToGbk(" 页 ");
    std::string confirm = text::utf8ToGbk("确定");
    std::string siteSuffix = text::utf8ToGbk("-淘宝网");
    std::string notFound = text::utf8ToGbk("没有找到符合条件的宝贝，请换个条件试试。");
    std::string soldPlain = text::utf8ToGbk("已售出 ");
    std::string soldWangpu = text::utf8ToGbk("总销量：");
    std::string soldStreet = text::utf8ToGbk("月销");
    std::string pieces = text::utf8ToGbk(" 件");
    std::string orders = text::utf8ToGbk("笔");
    std::string yuan = text::utf8ToGbk(" 元");
    std::string allItems = text::utf8ToGbk("所有宝贝");
    std::string missingPage = text::utf8ToGbk("您访问的页面不存在");
};

const PageWords& pageWords() {
    static const PageWords words;
    return words;
}

int pageNumber(const QueryText& query) {
    const auto text = query.value("pageNum");
    int page = 1;
    if (text) {
        const auto [ptr, ec] = std::from_chars(text->data(), text->data() + text->size(), page);
        if (ec != std::errc{} || page < 1) {
            page = 1;
        }
    }
    return page;
}

SimReply htmlReply(int status, std::string body) {
    return SimReply{status, "text/html;charset=GBK", std::move(body)};
}

std::string padding(int bytes) {
    if (bytes <= 0) {
        return {};
    }
    std::string out = "<!--";
    static constexpr std::string_view kFill = " shop-decoration shop-decoration shop-decoration\n";
    while (out.size() + 4 < static_cast<std::size_t>(bytes)) {
        out += kFill;
    }
    out += "-->\n";
    return out;
}

} // namespace

StorePages::StorePages(const Catalog& catalog, int paddingBytes)
    : m_catalog(catalog), m_paddingBytes(paddingBytes) {}

SimReply StorePages::handle(int store, const SimRequest& request) const {
    const QueryText query(request.query);
    if (request.path == "/" || request.path == "/index.htm") {
        return htmlReply(200, homePage(store));
    }
    if (request.path == "/search.htm") {
        int category = -1;
        if (const auto scid = query.value("scid")) {
            category = m_catalog.categoryByScid(store, *scid).value_or(-2);
        } else if (const auto catId = query.value("catId")) {
            category = m_catalog.categoryByCatId(store, *catId).value_or(-2);
        }
        return htmlReply(200, listPage(store, category, pageNumber(query)));
    }
    if (request.path.starts_with("/category-") && request.path.ends_with(".htm")) {
        const std::string number = request.path.substr(10, request.path.size() - 14);
        const int category = m_catalog.categoryByCatId(store, number).value_or(-2);
        return htmlReply(200, listPage(store, category, pageNumber(query)));
    }
    const PageWords& w = pageWords();
    return htmlReply(404, "<html><head><title>404</title></head><body><p>" + w.missingPage +
                              "</p></body></html>\n");
}

std::string StorePages::homePage(int store) const {
    const StoreInfo info = m_catalog.store(store);
    std::string page = "<!DOCTYPE html>\n<html>\n<head>\n<meta http-equiv=\"Content-Type\" "
                       "content=\"text/html; charset=gbk\" />\n<title>" +
                       Markup::html(info.name) + pageWords().siteSuffix +
                       "</title>\n</head>\n<body>\n<div id=\"shop-header\"><h1>" +
                       Markup::html(info.name) + "</h1></div>\n<ul class=\"cats\">\n";
    page += "<li><a href=\"//" + info.host + "/search.htm?search=y\">" + pageWords().allItems +
            "</a></li>\n";
    for (int c = 0; c < m_catalog.categoriesPerStore(); ++c) {
        const CategoryInfo category = m_catalog.category(store, c);
        const std::string name = Markup::html(category.name);
        page += "<li><a href=\"//" + info.host + "/category-" + category.catId + ".htm\">" + name +
                "</a> <a href=\"//" + info.host +
                "/search.htm?spm=a1z10.1-c&scid=" + category.scid + "&search=y\">" + name +
                "</a></li>\n";
    }
    page += "</ul>\n</body>\n</html>\n";
    return page;
}

std::string StorePages::listPage(int store, int category, int page) const {
    const PageWords& w = pageWords();
    const StoreInfo info = m_catalog.store(store);
    const bool known = category >= -1;
    const int count = known ? m_catalog.itemCount(store, category) : 0;
    const int pages = known ? m_catalog.pageCount(store, category) : 0;
    const std::vector<int> items =
        known ? m_catalog.pageItems(store, category, page) : std::vector<int>{};

    std::string out = "<!DOCTYPE html>\n<html>\n<head>\n<meta http-equiv=\"Content-Type\" "
                      "content=\"text/html; charset=gbk\" />\n<title>" +
                      Markup::html(info.name) + w.siteSuffix + "</title>\n</head>\n<body>\n";
    out += padding(m_paddingBytes / 2);
    out += "<div id=\"shop-header\"><h1>" + Markup::html(info.name) + "</h1></div>\n";

    // Some layouts wrote blanks inside the count span.
    const std::string countText = info.pageTemplate == PageTemplate::Street
                                      ? " " + std::to_string(count) + " "
                                      : std::to_string(count);
    out += "<div class=\"search-result\">" + w.countLeft + countText + w.countRight + "</div>\n";

    std::string scope;
    if (category >= 0) {
        scope = "&search=y&scid=" + m_catalog.category(store, category).scid +
                "&viewType=grid&orderType=_hotsell";
    }
    out += "<div class=\"pagination\">";
    if (pages > 0) {
        out += "<span class=\"page-info\">" + std::to_string(page) + "/" + std::to_string(pages) +
               "</span> ";
    }
    if (page < pages) {
        out += "<a class=\"J_SearchAsync next\" href=\"//" + info.host + "/search.htm?" + scope +
               "&pageNum=" + std::to_string(page + 1) + "\">" + w.nextPage + "</a>";
    } else {
        out += "<span class=\"disable\">" + w.nextPage + "</span>";
    }
    out += "</div>\n";

    if (items.empty()) {
        out += "<div class=\"no-result\">\n<p class=\"item-not-found\"></p>\n<p>" + w.notFound +
               "</p>\n</div>\n";
    } else {
        out += info.pageTemplate == PageTemplate::Wangpu ? "<div class=\"J_TItems\">\n"
                                                         : "<ul class=\"shop-list\">\n";
        int position = 0;
        for (const int index : items) {
            out += itemBlock(info.pageTemplate, store, index, position++);
        }
        out += info.pageTemplate == PageTemplate::Wangpu ? "</div>\n" : "</ul>\n";
    }

    out += "<div class=\"pagination\"><form action=\"//" + info.host +
           "/search.htm\" method=\"get\">" + w.goTo +
           " <input type=\"text\" name=\"pageNum\" value=\"" + std::to_string(page) +
           "\" size=\"3\" />" + w.pageUnit + "<button type=\"submit\">" + w.confirm +
           "</button></form></div>\n";
    out += padding(m_paddingBytes - m_paddingBytes / 2);
    out += "</body>\n</html>\n";
    return out;
}

std::string StorePages::itemBlock(PageTemplate pageTemplate, int store, int index,
                                  int position) const {
    const PageWords& w = pageWords();
    const std::string id = m_catalog.itemId(store, index);
    const std::string name = Markup::html(m_catalog.itemTitle(store, index));
    const std::string price = m_catalog.itemPrice(store, index);
    const std::string itemHost = m_catalog.itemHost();
    const std::string thumb = "//" + m_catalog.taobaoPictureHost() + "/bao/uploaded/i1/" + id +
                              "/T1thumb.jpg_160x160.jpg";
    const std::string sold = std::to_string((index * 37 + store * 11) % 500);
    std::string out;
    switch (pageTemplate) {
    case PageTemplate::Plain: {
        // The id must be followed by "&": some links end in a bare "&".
        const std::string link = index % 2 == 0
                                     ? "http://" + itemHost + "/item.htm?id=" + id + "&"
                                     : "//" + itemHost + "/item.htm?id=" + id + "&ns=1&abbucket=0";
        out += "<li class=\"item\">\n<div class=\"pic\"><a href=\"" + link +
               "\" target=\"_blank\"><img src=\"" + thumb + "\" /></a></div>\n";
        out += "<div class=\"desc\">\n<a target=\"_blank\" href=\"" + link +
               "\" class=\"permalink\" style=\"\">\n                    " + name +
               "\n                </a>\n</div>\n";
        out += "<div class=\"price\"><s>&yen;</s><strong>" + price + (index % 2 == 1 ? " " : "") +
               "</strong>\n</div>\n";
        out += "<div class=\"sales-amount\">" + w.soldPlain + "<em>" + sold + "</em>" + w.pieces +
               "</div>\n</li>\n";
        break;
    }
    case PageTemplate::Wangpu: {
        out += "<dl class=\"item \" data-id=\"" + id + "\">\n<dt class=\"photo\"><a href=\"//" +
               itemHost + "/item.htm?id=" + id + "\" target=\"_blank\"><img alt=\"" + name +
               "\" src=\"" + thumb + "\" /></a></dt>\n<dd class=\"detail\">\n";
        out += "<a class=\"item-name\" href=\"//" + itemHost + "/item.htm?spm=a1z10.3-c.w4002-" +
               std::to_string(store + 1) + "." + std::to_string(position + 1) + "&id=" + id +
               "\" target=\"_blank\">" + name + "</a>\n";
        out += "<div class=\"attribute\"><div class=\"cprice-area\"><span class=\"symbol\">"
               "&yen;</span><span class=\"c-price\">" +
               price + (index % 3 == 0 ? " " : "") + "</span></div>\n";
        out += "<div class=\"sale-area\">" + w.soldWangpu + "<span class=\"sale-num\">" + sold +
               "</span></div></div>\n</dd>\n</dl>\n";
        break;
    }
    case PageTemplate::Street: {
        const std::string link = index % 2 == 0 ? "http://" + itemHost + "/item.htm?id=" + id
                                                : "//" + itemHost + "/item.htm?id=" + id;
        out += "<li class=\"item\">\n<a title=\"" + name + "\"  href=\"" + link +
               "\" target=\"_blank\"><img src=\"" + thumb + "\" alt=\"\" /></a>\n";
        out += "<p class=\"price\"><strong>" + price + w.yuan + "</strong></p>\n";
        out += "<p class=\"sales\">" + w.soldStreet + "<em>" + sold + "</em>" + w.orders +
               "</p>\n</li>\n";
        break;
    }
    }
    return out;
}

} // namespace quillon::sim
