#pragma once

#include "Catalog.h"
#include "SimReply.h"
#include "SimRequest.h"

namespace quillon::sim {

// The item pages of the item host and of the Tmall-style detail host:
// /item.htm?id=N in GBK, with a <title> and the script line itemId:"N",
// that a single-item address is read from. An unknown id gets the
// marketplace's "no such item" page, still with status 200.
class ItemPages {
  public:
    explicit ItemPages(const Catalog& catalog) : m_catalog(catalog) {}

    SimReply handle(const SimRequest& request, bool tmall) const;

    std::string itemPage(int store, int index, bool tmall) const;

  private:
    const Catalog& m_catalog;
};

} // namespace quillon::sim
