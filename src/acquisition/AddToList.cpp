#include "acquisition/AddToList.h"

#include <cmath>
#include <limits>

#include "acquisition/PageText.h"
#include "acquisition/StoreReader.h"
#include "net/Endpoints.h"
#include "net/HttpClient.h"
#include "shell/ActivityLog.h"
#include "shell/ItemList.h"
#include "text/GbkText.h"
#include "text/Markers.h"
#include "text/Number.h"
#include "text/TextCodec.h"
#include "text/Trim.h"

namespace quillon::acquisition {
namespace {

struct AddWords {
    std::string badItem = text::gbk("  地址输入不正确，未识别到宝贝！\r\n");
    std::string badStore = text::gbk("  店铺地址输入不正确，未识别到宝贝！\r\n");
    std::string badCategory = text::gbk("  分类地址输入不正确，未识别到宝贝！\r\n");
    std::string emptyCategoryPage = text::gbk("  店铺地址输入不正确，未识别到宝贝！1\r\n");
    std::string countLeft = text::gbk("共搜索到<span>");
    std::string countRight = text::gbk("</span>个符合条件的商品。");
    std::string found = text::gbk("  共搜索到：");
    std::string foundEnd = text::gbk(" 个商品\r\n");
    std::string noItems = text::gbk("  该分类未识别到宝贝！\r\n");
    std::string pagesFrom = text::gbk("  宝贝页码从第 1 页到第  ");
    std::string pagesMiddle = text::gbk("  页下载，总页码数是 ");
    std::string pagesEnd = text::gbk(" 页！\r\n");
};

const AddWords& addWords() {
    static const AddWords words;
    return words;
}

// The page count text as a number of pages. Anything below one page (no
// number, zero, negative, a fraction) is none; a count beyond the int range
// is held at its top so that the page numbers cannot overflow.
int pagesFromText(std::string_view countText) {
    const double value = text::numberFromText(countText);
    if (!(value >= 1.0)) {
        return 0;
    }
    if (value >= static_cast<double>(std::numeric_limits<int>::max())) {
        return std::numeric_limits<int>::max();
    }
    return static_cast<int>(std::floor(value));
}

std::string hostOfAddress(std::string_view address) {
    return text::trim(text::cutBetween(address, "http://", "/"));
}

} // namespace

AddToList::AddToList(shell::ItemList& list, shell::ActivityLog& log,
                     const std::atomic<CollectMode>& mode, CountLabel countLabel)
    : m_list(list), m_log(log), m_mode(mode), m_countLabel(std::move(countLabel)) {}

AddToList::~AddToList() {
    stop();
    waitForReaders();
}

void AddToList::add(std::string_view address) {
    if (text::trim(address).empty()) {
        return;
    }
    m_scope.resetCategory();
    switch (m_mode.load()) {
    case CollectMode::Single:
        addSingle(address);
        break;
    case CollectMode::Store:
        addStore(address);
        break;
    case CollectMode::Category:
        addCategory(address);
        break;
    case CollectMode::None:
        break;
    }
}

void AddToList::addSingle(std::string_view address) {
    const std::string page = fetchText(address);
    const std::string itemId = text::cutBetween(page, "itemId:\"", "\",");
    const std::string name = text::cutBetween(page, "<title>", "</title>");
    if (text::trim(itemId).empty() || text::trim(name).empty()) {
        log(addWords().badItem);
        return;
    }
    m_list.append({name, std::string(), std::string(address), itemId});
}

void AddToList::addStore(std::string_view address) {
    const AddWords& w = addWords();
    const std::string host = hostOfAddress(address);
    const auto endpoints = net::activeEndpoints();
    if (host.empty() || host == endpoints->itemHost || host == endpoints->detailHost) {
        log(w.badStore);
        return;
    }
    const std::string page = fetchText("http://" + host + "/search.htm?search=y");
    if (page.empty()) {
        log(w.badStore);
    }
    countAndStart(page, host);
}

void AddToList::addCategory(std::string_view address) {
    const AddWords& w = addWords();
    // Each key present replaces what an earlier one gave, even with nothing.
    CategoryKind kind = CategoryKind::NoCategory;
    std::string id;
    if (text::containsText(address, "scid=")) {
        kind = CategoryKind::Scid;
        id = text::trim(text::cutBetween(address, "&scid=", "&"));
    }
    if (text::containsText(address, "catId=")) {
        kind = CategoryKind::CatId;
        id = text::trim(text::cutBetween(address, "&catId=", "&"));
    }
    if (text::containsText(address, "category-")) {
        kind = CategoryKind::CatId;
        id = text::trim(text::cutBetween(address, "category-", "."));
    }
    m_scope.setCategory(kind, id);
    if (id.empty()) {
        log(w.badCategory);
        return;
    }
    const std::string page = fetchText(address);
    if (page.empty()) {
        log(w.emptyCategoryPage);
    }
    countAndStart(page, hostOfAddress(address));
}

void AddToList::countAndStart(const std::string& page, const std::string& host) {
    const AddWords& w = addWords();
    const std::string count = text::trim(text::cutBetween(page, w.countLeft, w.countRight));
    log(w.found + count + w.foundEnd);

    const std::string pagesText =
        text::afterLast(text::cutBetween(page, "<span class=\"page-info\">", "</span>"), "/");
    const int pageTotal = pagesFromText(pagesText);
    if (pageTotal == 0) {
        log(w.noItems);
        return;
    }
    log(w.pagesFrom + pagesText + w.pagesMiddle + pagesText + w.pagesEnd);
    m_scope.startPages(host, pageTotal);
    startReaders();
}

void AddToList::startReaders() {
    std::lock_guard lock(m_threadsMutex);
    if (m_stop.load()) {
        return;
    }
    // Readers of earlier adds that have all ended are joined here, so that a
    // long session does not keep their threads.
    if (m_runningReaders.load() == 0) {
        for (std::thread& reader : m_readers) {
            reader.join();
        }
        m_readers.clear();
    }
    ReaderContext context{&m_scope, &m_list, &m_log, &m_mode, m_countLabel, &m_stop};
    for (int number = 1; number <= kReaderCount; ++number) {
        m_runningReaders.fetch_add(1);
        m_readers.emplace_back([this, context, number] {
            StoreReader(context, number).run();
            m_runningReaders.fetch_sub(1);
        });
    }
}

void AddToList::waitForReaders() {
    std::vector<std::thread> readers;
    {
        std::lock_guard lock(m_threadsMutex);
        readers.swap(m_readers);
    }
    for (std::thread& reader : readers) {
        reader.join();
    }
}

void AddToList::stop() {
    m_stop.store(true);
}

bool AddToList::readersRunning() const {
    return m_runningReaders.load() > 0;
}

ScopeSnapshot AddToList::scope() const {
    return m_scope.snapshot();
}

std::string AddToList::fetchText(std::string_view address) {
    net::HttpOptions options;
    options.cancel = &m_stop;
    return pageText(net::HttpClient::fetch(address, options));
}

void AddToList::log(const std::string& message) {
    m_log.append(shell::ActivityLog::stamp() + message);
}

} // namespace quillon::acquisition
