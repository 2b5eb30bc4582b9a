// CPU cost of recognising one 512000-byte list page that is in none of the
// three layouts: store pages of each layout whose item links are spoilt just
// enough to miss, repeated to the size, so every pattern meets many near
// misses. Last line: CPU milliseconds per page of the recognition step.
#include <cstdio>
#include <ctime>
#include <string>
#include <sys/resource.h>

#include "acquisition/StoreReader.h"
#include "doc/RegexMatcher.h"
#include "sim/Catalog.h"
#include "sim/StorePages.h"
#include "text/GbkText.h"
#include "text/TextCodec.h"

using namespace quillon;

namespace {

double threadCpuMs() {
    rusage usage{};
    ::getrusage(RUSAGE_THREAD, &usage);
    const timeval total{usage.ru_utime.tv_sec + usage.ru_stime.tv_sec,
                        usage.ru_utime.tv_usec + usage.ru_stime.tv_usec};
    return static_cast<double>(total.tv_sec) * 1e3 + static_cast<double>(total.tv_usec) / 1e3;
}

// A page of `bytes` bytes made of the three layouts' list pages, none of
// whose item links matches its pattern any more; with `oneLine` the line
// breaks become blanks, as in a minified page.
std::string pageInNoLayout(std::size_t bytes, bool oneLine) {
    sim::MarketConfig config;
    config.itemsPerStore = 40;
    const sim::Catalog catalog(config);
    const sim::StorePages pages(catalog, 0);
    std::string block;
    for (int store = 0; store < 3; ++store)
        block += pages.listPage(store, -1, 1);
    block = text::replaceAll(block, "class=\"permalink\"", "class=\"permalink \"");
    block = text::replaceAll(block, "class=\"item-name\"", "class=\"item-name \"");
    block = text::replaceAll(block, "\"  href=", "\" href=");
    if (oneLine)
        block = text::replaceAll(block, "\n", " ");
    std::string page;
    while (page.size() < bytes)
        page += block;
    page.resize(bytes);
    return page;
}

} // namespace

int main() {
    const std::string page = pageInNoLayout(acquisition::kLargePageBytes, false);
    acquisition::ListPageReader reader;
    if (!reader.read(page, "item.example").empty()) {
        std::fprintf(stderr, "template_scan_bench: the page matched a layout\n");
        return 1;
    }
    constexpr int kRounds = 40;

    // The six patterns one after another, for comparison: the recognition
    // step itself runs a layout's price pattern only when its items matched.
    const char* patterns[] = {
        "<a target=\"_blank\" href=\"(.*?)\" class=\"permalink\" style=\"\">\n(.*?)\n\\s*</a>",
        "&yen;</s><strong>(.*?)</strong>\n",
        "<a class=\"item-name\" href=\".*?id=(.*?)\" target=\"_blank\">(.*?)</a>",
        "<span class=\"c-price\">(.*?)</span>",
        "<a title=\"(.*?)\"  href=\".*?id=(.*?)\" target=\"_blank\">",
        "<strong>(.*?) 元</strong>",
    };
    doc::RegexMatcher matchers[6];
    for (int i = 0; i < 6; ++i)
        matchers[i].create(text::gbk(patterns[i]));
    double start = threadCpuMs();
    for (int round = 0; round < kRounds; ++round) {
        for (auto& matcher : matchers)
            matcher.execute(page);
    }
    const double allSix = (threadCpuMs() - start) / kRounds;

    start = threadCpuMs();
    std::size_t rows = 0;
    for (int round = 0; round < kRounds; ++round)
        rows += reader.read(page, "item.example").size();
    const double perPage = (threadCpuMs() - start) / kRounds;

    // Without line breaks each near miss lets a lazy group run to the end of
    // the page; the matcher's step and time limits bound it.
    const std::string oneLine = pageInNoLayout(acquisition::kLargePageBytes, true);
    start = threadCpuMs();
    reader.read(oneLine, "item.example");
    const double oneLineMs = threadCpuMs() - start;

    std::printf("all six patterns executed: %.2f ms CPU per page\n", allSix);
    std::printf("the same page on one line: %.2f ms CPU\n", oneLineMs);
    std::printf("template scan: %.2f ms CPU per %zu-byte page in no layout (%zu rows)\n", perPage,
                page.size(), rows);
    return 0;
}
