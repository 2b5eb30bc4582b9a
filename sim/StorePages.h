#pragma once

#include <string>

#include "Catalog.h"
#include "SimReply.h"
#include "SimRequest.h"

namespace quillon::sim {

// The pages of the store hosts, in GBK: the home page, the search page
// (/search.htm?search=y), the list pages of a whole store
// (/search.htm?&pageNum=n) and of a category (scid= or catId= in the query,
// or /category-N.htm), each in the store's list template.
class StorePages {
  public:
    // `paddingBytes` of filler go around the item region of every list page.
    StorePages(const Catalog& catalog, int paddingBytes);

    SimReply handle(int store, const SimRequest& request) const;

    // List page `page` of a whole store (`category` -1) or of a category;
    // an unknown category is `category` -2 and gives the empty result page.
    std::string listPage(int store, int category, int page) const;

  private:
    std::string homePage(int store) const;
    std::string itemBlock(PageTemplate pageTemplate, int store, int index, int position) const;

    const Catalog& m_catalog;
    int m_paddingBytes;
};

} // namespace quillon::sim
