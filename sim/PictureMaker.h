#pragma once

#include <cstdint>
#include <string>

#include "Catalog.h"

namespace quillon::sim {

// Small valid pictures made in code: a 16 x 16 image of four coloured
// quadrants whose colours come from `key`, so every picture of the catalog
// has bytes of its own. Pure functions, safe from any thread.
class PictureMaker {
  public:
    // PNG, 8-bit RGB, one stored deflate block.
    static std::string png(std::uint64_t key);

    // Baseline JPEG, grey levels, one flat 8 x 8 block per quadrant.
    static std::string jpeg(std::uint64_t key);

    // GIF87a with a four-colour table.
    static std::string gif(std::uint64_t key);

    // The HTML page some picture hosts answered hot-linking with (GBK).
    static std::string hotlinkPage(std::uint64_t key);

    static std::string make(PictureFormat format, std::uint64_t key);
    static std::string contentType(PictureFormat format);
};

} // namespace quillon::sim
