#include <gtest/gtest.h>

#include <zlib.h>

#include <array>
#include <cstdint>
#include <set>
#include <string>
#include <vector>

#if QUILLON_TEST_HAS_JPEG
#include <cstdio>
#include <jpeglib.h>
#endif

#include "sim/Catalog.h"
#include "sim/PictureHost.h"
#include "sim/PictureMaker.h"
#include "text/GbkText.h"

namespace {

using quillon::sim::Catalog;
using quillon::sim::MarketConfig;
using quillon::sim::PictureFormat;
using quillon::sim::PictureHost;
using quillon::sim::PictureMaker;
using quillon::sim::PictureRef;
using quillon::sim::SimRequest;

constexpr std::uint64_t kKeys[] = {1, 0x0123456789ABCDEFULL, 0xFFFFFFFFFFFFFFFFULL, 42};

std::uint32_t big32(const std::string& bytes, std::size_t at) {
    return (static_cast<std::uint32_t>(static_cast<unsigned char>(bytes[at])) << 24) |
           (static_cast<std::uint32_t>(static_cast<unsigned char>(bytes[at + 1])) << 16) |
           (static_cast<std::uint32_t>(static_cast<unsigned char>(bytes[at + 2])) << 8) |
           static_cast<std::uint32_t>(static_cast<unsigned char>(bytes[at + 3]));
}

// The four 8 x 8 quadrants of a 16 x 16 image must each be one value.
template <typename Pixel> void expectFlatQuadrants(const std::vector<Pixel>& pixels) {
    ASSERT_EQ(pixels.size(), 256u);
    for (int y = 0; y < 16; ++y) {
        for (int x = 0; x < 16; ++x) {
            const int cornerX = x < 8 ? 0 : 8;
            const int cornerY = y < 8 ? 0 : 8;
            ASSERT_EQ(pixels[static_cast<std::size_t>(y * 16 + x)],
                      pixels[static_cast<std::size_t>(cornerY * 16 + cornerX)])
                << x << "," << y;
        }
    }
}

TEST(PictureMaker, PngChunksCarryTheirCrcAndTheImageInflates) {
    for (const std::uint64_t key : kKeys) {
        const std::string png = PictureMaker::png(key);
        ASSERT_EQ(png.substr(0, 8), std::string("\x89PNG\r\n\x1A\n", 8));
        std::vector<std::string> types;
        std::string idat;
        for (std::size_t at = 8; at < png.size();) {
            const std::uint32_t length = big32(png, at);
            ASSERT_LE(at + 12 + length, png.size());
            const std::string typed = png.substr(at + 4, 4 + length);
            const auto crc = static_cast<std::uint32_t>(crc32(
                0, reinterpret_cast<const Bytef*>(typed.data()), static_cast<uInt>(typed.size())));
            EXPECT_EQ(big32(png, at + 8 + length), crc) << typed.substr(0, 4);
            types.push_back(typed.substr(0, 4));
            if (types.back() == "IDAT")
                idat += typed.substr(4);
            at += 12 + length;
        }
        EXPECT_EQ(types, (std::vector<std::string>{"IHDR", "IDAT", "IEND"}));
        std::string raw(16 * (1 + 16 * 3), '\0');
        uLongf rawLength = raw.size();
        ASSERT_EQ(uncompress(reinterpret_cast<Bytef*>(raw.data()), &rawLength,
                             reinterpret_cast<const Bytef*>(idat.data()), idat.size()),
                  Z_OK);
        ASSERT_EQ(rawLength, raw.size());
        std::vector<std::uint32_t> pixels;
        for (int y = 0; y < 16; ++y) {
            const std::size_t row = static_cast<std::size_t>(y) * 49;
            EXPECT_EQ(raw[row], '\0'); // no filter
            for (int x = 0; x < 16; ++x) {
                const std::size_t p = row + 1 + static_cast<std::size_t>(x) * 3;
                pixels.push_back(
                    static_cast<std::uint32_t>(static_cast<unsigned char>(raw[p])) << 16 |
                    static_cast<std::uint32_t>(static_cast<unsigned char>(raw[p + 1])) << 8 |
                    static_cast<unsigned char>(raw[p + 2]));
            }
        }
        expectFlatQuadrants(pixels);
    }
}

// A GIF decoder of our own: header, colour table, one image, LZW codes.
std::vector<int> decodeGif(const std::string& gif) {
    const auto byte = [&](std::size_t at) { return static_cast<unsigned char>(gif.at(at)); };
    EXPECT_EQ(gif.substr(0, 6), "GIF87a");
    EXPECT_EQ(byte(6) | byte(7) << 8, 16);
    const std::size_t colours = std::size_t{2} << (byte(10) & 7);
    std::size_t at = 13 + 3 * colours;
    EXPECT_EQ(byte(at), ',');
    at += 10;
    const int minimum = byte(at++);
    std::string data;
    while (byte(at) != 0) {
        data += gif.substr(at + 1, byte(at));
        at += 1 + byte(at);
    }
    EXPECT_EQ(at + 2, gif.size()); // block terminator, then the trailer
    EXPECT_EQ(gif.back(), ';');

    const int clear = 1 << minimum;
    std::vector<std::vector<int>> table;
    int size = minimum + 1;
    const auto reset = [&] {
        table.clear();
        for (int i = 0; i < clear + 2; ++i)
            table.push_back({i});
        size = minimum + 1;
    };
    reset();
    std::vector<int> out;
    std::vector<int> previous;
    std::uint32_t bits = 0;
    int held = 0;
    std::size_t next = 0;
    while (true) {
        while (held < size) {
            if (next >= data.size())
                return out;
            bits |= static_cast<std::uint32_t>(static_cast<unsigned char>(data[next++])) << held;
            held += 8;
        }
        const int code = static_cast<int>(bits & ((1u << size) - 1));
        bits >>= size;
        held -= size;
        if (code == clear) {
            reset();
            previous.clear();
            continue;
        }
        if (code == clear + 1)
            return out;
        std::vector<int> entry;
        if (code < static_cast<int>(table.size())) {
            entry = table[static_cast<std::size_t>(code)];
        } else {
            entry = previous;
            entry.push_back(previous.front());
        }
        out.insert(out.end(), entry.begin(), entry.end());
        if (!previous.empty()) {
            auto added = previous;
            added.push_back(entry.front());
            table.push_back(added);
            if (static_cast<int>(table.size()) == (1 << size) && size < 12)
                ++size;
        }
        previous = entry;
    }
}

TEST(PictureMaker, GifCodesDecodeToTheFourQuadrants) {
    for (const std::uint64_t key : kKeys) {
        const std::vector<int> pixels = decodeGif(PictureMaker::gif(key));
        expectFlatQuadrants(pixels);
        EXPECT_EQ((std::set<int>(pixels.begin(), pixels.end())), (std::set<int>{0, 1, 2, 3}));
    }
}

#if QUILLON_TEST_HAS_JPEG
TEST(PictureMaker, JpegDecodesWithoutWarnings) {
    for (const std::uint64_t key : kKeys) {
        const std::string jpeg = PictureMaker::jpeg(key);
        jpeg_decompress_struct info{};
        jpeg_error_mgr errors{};
        info.err = jpeg_std_error(&errors);
        jpeg_create_decompress(&info);
        jpeg_mem_src(&info, reinterpret_cast<const unsigned char*>(jpeg.data()),
                     static_cast<unsigned long>(jpeg.size()));
        ASSERT_EQ(jpeg_read_header(&info, TRUE), JPEG_HEADER_OK);
        jpeg_start_decompress(&info);
        ASSERT_EQ(info.output_width, 16u);
        ASSERT_EQ(info.output_height, 16u);
        std::vector<unsigned char> pixels(256);
        while (info.output_scanline < info.output_height) {
            unsigned char* row = pixels.data() + info.output_scanline * 16;
            jpeg_read_scanlines(&info, &row, 1);
        }
        jpeg_finish_decompress(&info);
        jpeg_destroy_decompress(&info);
        EXPECT_EQ(errors.num_warnings, 0);
        expectFlatQuadrants(pixels);
    }
}
#endif

TEST(PictureMaker, TheProgramTypesEveryPictureByItsFirstBytes) {
    struct Case {
        PictureFormat format;
        std::string start;
    };
    const Case cases[] = {
        {PictureFormat::Jpeg, "\xFF\xD8"},
        {PictureFormat::Png, "\x89PNG"},
        {PictureFormat::Gif, "GIF87a"},
        {PictureFormat::HtmlPage, "<!DOCTYPE "}, // what hot-link pages start with: typed "jpg"
    };
    for (const Case& c : cases) {
        EXPECT_TRUE(PictureMaker::make(c.format, 5).starts_with(c.start));
        EXPECT_EQ(PictureMaker::make(c.format, 5), PictureMaker::make(c.format, 5));
    }
    for (const auto format : {PictureFormat::Jpeg, PictureFormat::Png, PictureFormat::Gif}) {
        std::set<std::string> distinct;
        for (std::uint64_t key = 1; key <= 20; ++key) {
            distinct.insert(PictureMaker::make(format, key * 0x9E3779B97F4A7C15ULL));
        }
        EXPECT_EQ(distinct.size(), 20u);
    }
}

SimRequest pictureRequest(const std::string& host, const std::string& target) {
    SimRequest request;
    request.method = "GET";
    request.host = host;
    request.target = target;
    request.path = target.substr(0, target.find('?'));
    return request;
}

TEST(PictureHost, ServesEachPictureAtItsExactAddressOnly) {
    MarketConfig config;
    const Catalog catalog(config);
    const PictureHost host(catalog);
    const auto item = catalog.item(0, 0); // the first item names pictures of every kind

    std::set<std::string> bodies;
    for (const auto* list : {&item.mainPictures, &item.propPictures, &item.descPictures}) {
        for (const PictureRef& picture : *list) {
            const auto reply = host.handle(pictureRequest(picture.host, picture.target));
            EXPECT_EQ(reply.status, 200) << picture.address;
            EXPECT_EQ(reply.body, PictureMaker::make(picture.format, picture.key));
            bodies.insert(reply.body);
        }
    }
    EXPECT_EQ(bodies.size(),
              item.mainPictures.size() + item.propPictures.size() + item.descPictures.size());

    const PictureRef* chinese = nullptr;
    const PictureRef* ampersand = nullptr;
    for (const PictureRef& picture : item.descPictures) {
        if (picture.target.find('%') != std::string::npos)
            chinese = &picture;
        if (picture.target.find('&') != std::string::npos)
            ampersand = &picture;
    }
    ASSERT_NE(chinese, nullptr);
    ASSERT_NE(ampersand, nullptr);
    const std::string rawPath = chinese->address.substr(7 + chinese->host.size());
    const std::string lowerHex = quillon::text::lowerAscii(chinese->target);
    ASSERT_NE(lowerHex, chinese->target);
    const std::string refused[][2] = {
        {chinese->host, rawPath},  // the GBK bytes unescaped
        {chinese->host, lowerHex}, // lower-case hexadecimal
        {ampersand->host, quillon::text::replaceAll(ampersand->target, "&", "&amp;")},
        {item.descPictures.front().host == catalog.taobaoPictureHost()
             ? catalog.otherPictureHost()
             : catalog.taobaoPictureHost(),
         item.descPictures.front().target},
        {catalog.taobaoPictureHost(), "/bao/uploaded/i1/" + item.id + "/nothing.jpg"},
    };
    for (const auto& [pictureHost, target] : refused) {
        EXPECT_EQ(host.handle(pictureRequest(pictureHost, target)).status, 404) << target;
    }
}

} // namespace
