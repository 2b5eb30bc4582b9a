#include "acquisition/StoreReader.h"

#include <iterator>
#include <string>
#include <utility>

#include "acquisition/PageText.h"
#include "net/Endpoints.h"
#include "net/HttpClient.h"
#include "shell/ActivityLog.h"
#include "text/GbkText.h"
#include "text/Markers.h"
#include "text/TextCodec.h"

namespace quillon::acquisition {
namespace {

struct TemplatePatterns {
    const char* items; // UTF-8; "\n" is a line feed in the pattern
    const char* prices;
    int idGroup;
    int nameGroup;
    bool idInLink; // the id group is a whole link, its id between "id=" and "&"
};

constexpr TemplatePatterns kTemplates[] = {
    {"<a target=\"_blank\" href=\"(.*?)\" class=\"permalink\" style=\"\">\n(.*?)\n\\s*</a>",
     "&yen;</s><strong>(.*?)</strong>\n", 1, 2, true},
    {"<a class=\"item-name\" href=\".*?id=(.*?)\" target=\"_blank\">(.*?)</a>",
     "<span class=\"c-price\">(.*?)</span>", 1, 2, false},
    {"<a title=\"(.*?)\"  href=\".*?id=(.*?)\" target=\"_blank\">", "<strong>(.*?) 元</strong>", 2,
     1, false},
};

static_assert(std::size(kTemplates) == 3, "ListPageReader holds one matcher pair per layout");

// Compiled once; every reader copies them, which shares the compiled code.
struct CompiledTemplates {
    doc::RegexMatcher items[std::size(kTemplates)];
    doc::RegexMatcher prices[std::size(kTemplates)];

    CompiledTemplates() {
        for (std::size_t t = 0; t < std::size(kTemplates); ++t) {
            items[t].create(text::gbk(kTemplates[t].items));
            prices[t].create(text::gbk(kTemplates[t].prices));
        }
    }
};

const CompiledTemplates& compiledTemplates() {
    static const CompiledTemplates compiled;
    return compiled;
}

struct ReaderWords {
    std::string nextPage = text::gbk("下一页");
    std::string goTo = text::gbk("到第");
    std::string reading = text::gbk("  线程：");
    std::string readingPage = text::gbk("  正在读取宝贝列表 第：  ");
    std::string pageUnit = text::gbk(" 页\r\n");
    std::string readOk = text::gbk("  读取成功，成功提取了：  ");
    std::string items = text::gbk("  个宝贝\r\n");
    std::string done = text::gbk("  宝贝下载完成 【共提取了：  ");
    std::string doneEnd = text::gbk("  个宝贝】\r\n");
};

const ReaderWords& readerWords() {
    static const ReaderWords words;
    return words;
}

} // namespace

std::string_view itemRegion(std::string_view page) {
    if (page.size() <= kLargePageBytes) {
        return page;
    }
    const ReaderWords& w = readerWords();
    std::size_t start = text::findText(page, w.nextPage);
    if (start == std::string_view::npos) {
        start = 0;
    }
    const std::size_t end = text::findText(page, w.goTo, start);
    if (end == std::string_view::npos) {
        return {};
    }
    return page.substr(start, end - start);
}

std::string listPageAddress(CollectMode mode, const ScopeSnapshot& scope, int page) {
    const std::string base = "http://" + scope.storeHost + "/search.htm?&";
    const std::string number = std::to_string(page);
    if (mode == CollectMode::Store) {
        return base + "pageNum=" + number;
    }
    if (mode != CollectMode::Category) {
        return {};
    }
    switch (scope.categoryKind) {
    case CategoryKind::Scid:
        return base + "search=y&scid=" + scope.categoryId +
               "&viewType=grid&orderType=_hotsell&pageNum=" + number;
    case CategoryKind::CatId:
        return base + "search=y&catId=" + scope.categoryId +
               "&viewType=grid&orderType=_hotsell&pageNum=" + number;
    case CategoryKind::NoCategory:
        break;
    }
    return {};
}

ListPageReader::ListPageReader() {
    const CompiledTemplates& compiled = compiledTemplates();
    for (int t = 0; t < kTemplateCount; ++t) {
        m_items[t] = compiled.items[t];
        m_prices[t] = compiled.prices[t];
    }
}

std::vector<shell::ItemEntry> ListPageReader::read(std::string_view page,
                                                   std::string_view itemHost) {
    const std::string_view region = itemRegion(page);
    std::vector<shell::ItemEntry> rows;
    for (int t = 0; t < kTemplateCount; ++t) {
        doc::RegexMatcher& items = m_items[t];
        const int count = items.execute(region);
        if (count == 0) {
            continue;
        }
        // Prices only matter for the layout whose items matched.
        doc::RegexMatcher& prices = m_prices[t];
        const int priceCount = prices.execute(region);
        const TemplatePatterns& layout = kTemplates[t];
        rows.reserve(static_cast<std::size_t>(count));
        for (int i = 1; i <= count; ++i) {
            std::string id = items.subMatch(i, layout.idGroup);
            if (layout.idInLink) {
                id = text::cutBetween(id, "id=", "&");
            }
            if (id.empty()) {
                continue;
            }
            std::string price = i <= priceCount ? prices.subMatch(i, 1) : std::string();
            std::string address = "http://" + std::string(itemHost) + "/item.htm?id=" + id;
            rows.push_back({items.subMatch(i, layout.nameGroup), std::move(price),
                            std::move(address), std::move(id)});
        }
        break;
    }
    return rows;
}

StoreReader::StoreReader(ReaderContext context, int readerNumber)
    : m_context(std::move(context)), m_readerNumber(readerNumber) {}

void StoreReader::run() {
    const ReaderWords& w = readerWords();
    std::string page;
    while (!m_context.stop->load()) {
        const std::optional<PageClaim> claim = m_context.scope->claimPage();
        if (!claim) {
            break;
        }
        const std::string address =
            listPageAddress(m_context.mode->load(), claim->scope, claim->page);
        // Without an address the previous page is searched again.
        if (!address.empty()) {
            net::HttpOptions options;
            options.cancel = m_context.stop;
            page = pageText(net::HttpClient::fetch(address, options));
        }
        if (m_context.stop->load()) {
            break;
        }
        const std::string reader = std::to_string(m_readerNumber);
        log(w.reading + reader + w.readingPage + std::to_string(claim->page) + " /" +
            std::to_string(claim->scope.pageTotal) + w.pageUnit);

        for (const shell::ItemEntry& row :
             m_pageReader.read(page, net::activeEndpoints()->itemHost)) {
            m_context.list->append(row);
        }
        const int rowCount = m_context.list->rowCount();
        log(w.reading + reader + w.readOk + std::to_string(rowCount) + w.items);
        if (m_context.countLabel) {
            m_context.countLabel(rowCount);
        }
        const ScopeSnapshot now = m_context.scope->snapshot();
        if (now.pagesTaken == now.pageTotal) {
            log(w.done + std::to_string(m_context.list->rowCount()) + w.doneEnd);
        }
    }
}

void StoreReader::log(const std::string& message) {
    m_context.log->append(shell::ActivityLog::stamp() + message);
}

} // namespace quillon::acquisition
