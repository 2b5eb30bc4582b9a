#pragma once

#include <optional>
#include <string_view>

#include "Catalog.h"
#include "SimReply.h"
#include "SimRequest.h"

namespace quillon::sim {

// The picture hosts. A picture is served only at the exact target the
// catalog gives it (an address written with "&amp;", or with its Chinese
// characters raw or in lower-case hexadecimal, is not found).
class PictureHost {
  public:
    explicit PictureHost(const Catalog& catalog) : m_catalog(catalog) {}

    SimReply handle(const SimRequest& request) const;

    // The catalog's picture at this host and raw target.
    std::optional<PictureRef> find(std::string_view host, std::string_view target) const;

  private:
    const Catalog& m_catalog;
};

} // namespace quillon::sim
