#pragma once

#include <string>
#include <string_view>

#include "Catalog.h"

namespace quillon::sim {

// The item_get_response of the open platform for one item, in GBK: the
// declaration, the root on one line, the item's elements in alphabetical
// order, only those named by the "fields" list, texts entity-escaped, list
// wrappers marked list="true", and the serving host's comment after the root.
class ItemXml {
  public:
    static std::string answer(const ItemInfo& item, std::string_view fields,
                              std::string_view hostComment);

    // The <item> element alone.
    static std::string item(const ItemInfo& item, std::string_view fields);

    // `<?xml version="1.0" encoding="utf-8" ?>`, as the platform wrote it.
    static constexpr std::string_view kDeclaration = "<?xml version=\"1.0\" encoding=\"utf-8\" ?>";
};

} // namespace quillon::sim
