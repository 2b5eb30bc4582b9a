#pragma once

#include <cstdint>
#include <string>

#include "Catalog.h"

namespace quillon::sim {

// Writes an item's description: escaped-to-be HTML in GBK with "\r\n" line
// breaks, ASCII commas and "&nbsp;", and the pictures it names in every shape
// the program meets (IMG tags in either case, a background attribute, "&amp;"
// in an address, a Chinese folder name, another host, a hot-link page, the
// same picture twice). Which shapes an item shows goes by its position, so
// the first eight items of every store show them all.
class DescriptionMaker {
  public:
    // Fills item.desc and item.descPictures; `idNumber` is the item id.
    static void describe(ItemInfo& item, std::uint64_t seed, std::uint64_t idNumber,
                         const std::string& taobao, const std::string& other);
};

} // namespace quillon::sim
