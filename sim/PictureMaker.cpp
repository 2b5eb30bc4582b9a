#include "PictureMaker.h"

#include <array>
#include <vector>

#include "text/TextCodec.h"

namespace quillon::sim {

namespace {

constexpr int kSide = 16;

struct Rgb {
    std::uint8_t r, g, b;
};

// The colour of quadrant 0..3 (left to right, top to bottom).
Rgb quadrantColor(std::uint64_t key, int quadrant) {
    const std::uint64_t bits = key >> (quadrant * 12);
    return Rgb{static_cast<std::uint8_t>((bits & 15) * 17),
               static_cast<std::uint8_t>(((bits >> 4) & 15) * 17),
               static_cast<std::uint8_t>(((bits >> 8) & 15) * 17)};
}

int quadrantAt(int x, int y) {
    return (y < kSide / 2 ? 0 : 2) + (x < kSide / 2 ? 0 : 1);
}

void putBig32(std::string& out, std::uint32_t value) {
    for (int shift = 24; shift >= 0; shift -= 8) {
        out += static_cast<char>((value >> shift) & 0xFF);
    }
}

void putBig16(std::string& out, unsigned value) {
    out += static_cast<char>((value >> 8) & 0xFF);
    out += static_cast<char>(value & 0xFF);
}

void putLittle16(std::string& out, unsigned value) {
    out += static_cast<char>(value & 0xFF);
    out += static_cast<char>((value >> 8) & 0xFF);
}

std::uint32_t crc32(std::string_view bytes) {
    static const std::array<std::uint32_t, 256> table = [] {
        std::array<std::uint32_t, 256> t{};
        for (std::uint32_t n = 0; n < 256; ++n) {
            std::uint32_t c = n;
            for (int k = 0; k < 8; ++k) {
                c = (c & 1) ? 0xEDB88320U ^ (c >> 1) : c >> 1;
            }
            t[n] = c;
        }
        return t;
    }();
    std::uint32_t crc = 0xFFFFFFFFU;
    for (const char c : bytes) {
        crc = table[(crc ^ static_cast<unsigned char>(c)) & 0xFF] ^ (crc >> 8);
    }
    return crc ^ 0xFFFFFFFFU;
}

std::uint32_t adler32(std::string_view bytes) {
    std::uint32_t a = 1;
    std::uint32_t b = 0;
    for (const char c : bytes) {
        a = (a + static_cast<unsigned char>(c)) % 65521U;
        b = (b + a) % 65521U;
    }
    return (b << 16) | a;
}

void pngChunk(std::string& out, std::string_view type, std::string_view data) {
    putBig32(out, static_cast<std::uint32_t>(data.size()));
    std::string typed(type);
    typed += data;
    out += typed;
    putBig32(out, crc32(typed));
}

// Writes Huffman codes most significant bit first, with the 0xFF stuffing
// of JPEG entropy data.
class JpegBits {
  public:
    void put(std::uint32_t code, int length) {
        for (int i = length - 1; i >= 0; --i) {
            m_byte = static_cast<std::uint8_t>((m_byte << 1) | ((code >> i) & 1));
            if (++m_count == 8) {
                flushByte();
            }
        }
    }

    std::string finish() {
        while (m_count != 0) {
            put(1, 1); // pad with one-bits
        }
        return m_out;
    }

  private:
    void flushByte() {
        m_out += static_cast<char>(m_byte);
        if (m_byte == 0xFF) {
            m_out += '\0';
        }
        m_byte = 0;
        m_count = 0;
    }

    std::string m_out;
    std::uint8_t m_byte = 0;
    int m_count = 0;
};

// The usual luminance DC table: symbol = size category 0..11.
constexpr std::array<std::uint8_t, 16> kDcBits = {0, 1, 5, 1, 1, 1, 1, 1, 1, 0, 0, 0, 0, 0, 0, 0};

struct HuffCode {
    std::uint32_t code = 0;
    int length = 0;
};

std::array<HuffCode, 12> dcCodes() {
    std::array<HuffCode, 12> codes{};
    std::uint32_t code = 0;
    int symbol = 0;
    for (int length = 1; length <= 16; ++length) {
        for (int i = 0; i < kDcBits[static_cast<std::size_t>(length - 1)]; ++i) {
            codes[static_cast<std::size_t>(symbol++)] = HuffCode{code++, length};
        }
        code <<= 1;
    }
    return codes;
}

void putMarker(std::string& out, std::uint8_t marker) {
    out += '\xFF';
    out += static_cast<char>(marker);
}

} // namespace

std::string PictureMaker::png(std::uint64_t key) {
    std::string raw;
    for (int y = 0; y < kSide; ++y) {
        raw += '\0'; // filter: none
        for (int x = 0; x < kSide; ++x) {
            const Rgb c = quadrantColor(key, quadrantAt(x, y));
            raw += static_cast<char>(c.r);
            raw += static_cast<char>(c.g);
            raw += static_cast<char>(c.b);
        }
    }
    // zlib header, one final stored block, Adler-32 of the raw bytes.
    std::string zlib = "\x78\x01";
    zlib += '\x01';
    putLittle16(zlib, static_cast<unsigned>(raw.size()));
    putLittle16(zlib, static_cast<unsigned>(~raw.size() & 0xFFFF));
    zlib += raw;
    putBig32(zlib, adler32(raw));

    std::string header;
    putBig32(header, kSide);
    putBig32(header, kSide);
    header += '\x08'; // bit depth
    header += '\x02'; // RGB
    header += std::string(3, '\0');

    std::string out = "\x89PNG\r\n\x1A\n";
    pngChunk(out, "IHDR", header);
    pngChunk(out, "IDAT", zlib);
    pngChunk(out, "IEND", "");
    return out;
}

std::string PictureMaker::jpeg(std::uint64_t key) {
    std::string out;
    putMarker(out, 0xD8);
    putMarker(out, 0xE0);
    out += std::string("\x00\x10JFIF\x00\x01\x01\x00\x00\x01\x00\x01\x00\x00", 16);
    putMarker(out, 0xDB);
    putBig16(out, 67);
    out += '\0';
    out += std::string(64, '\x01'); // no quantisation: DC values are stored as they are
    putMarker(out, 0xC0);
    putBig16(out, 11);
    out += '\x08';
    putBig16(out, kSide);
    putBig16(out, kSide);
    out += std::string("\x01\x01\x11\x00", 4);
    putMarker(out, 0xC4);
    putBig16(out, 2 + 1 + 16 + 12);
    out += '\x00'; // DC table 0
    for (const std::uint8_t bits : kDcBits) {
        out += static_cast<char>(bits);
    }
    for (int symbol = 0; symbol < 12; ++symbol) {
        out += static_cast<char>(symbol);
    }
    putMarker(out, 0xC4);
    putBig16(out, 2 + 1 + 16 + 1);
    out += '\x10'; // AC table 0: one code, end of block
    out += '\x01';
    out += std::string(15, '\0');
    out += '\0';
    putMarker(out, 0xDA);
    putBig16(out, 8);
    out += std::string("\x01\x01\x00\x00\x3F\x00", 6);

    static const std::array<HuffCode, 12> kDc = dcCodes();
    JpegBits bits;
    int previous = 0;
    for (int block = 0; block < 4; ++block) {
        const Rgb c = quadrantColor(key, block);
        const int level = (c.r * 3 + c.g * 6 + c.b) / 10;
        const int dc = 8 * (level - 128); // a flat block's DC coefficient
        const int diff = dc - previous;
        previous = dc;
        int magnitude = diff < 0 ? -diff : diff;
        int category = 0;
        while (magnitude != 0) {
            ++category;
            magnitude >>= 1;
        }
        bits.put(kDc[static_cast<std::size_t>(category)].code,
                 kDc[static_cast<std::size_t>(category)].length);
        if (category != 0) {
            const int value = diff < 0 ? diff + (1 << category) - 1 : diff;
            bits.put(static_cast<std::uint32_t>(value), category);
        }
        bits.put(0, 1); // end of block
    }
    out += bits.finish();
    putMarker(out, 0xD9);
    return out;
}

std::string PictureMaker::gif(std::uint64_t key) {
    std::string out = "GIF87a";
    putLittle16(out, kSide);
    putLittle16(out, kSide);
    out += '\x91'; // global table of 4 colours
    out += '\0';
    out += '\0';
    for (int quadrant = 0; quadrant < 4; ++quadrant) {
        const Rgb c = quadrantColor(key, quadrant);
        out += static_cast<char>(c.r);
        out += static_cast<char>(c.g);
        out += static_cast<char>(c.b);
    }
    out += ',';
    putLittle16(out, 0);
    putLittle16(out, 0);
    putLittle16(out, kSide);
    putLittle16(out, kSide);
    out += '\0';
    out += '\x02'; // LZW minimum code size

    // A clear code before every pair of pixels keeps the table from growing,
    // so every code stays three bits wide.
    constexpr unsigned kClear = 4;
    constexpr unsigned kEnd = 5;
    std::string data;
    std::uint32_t accumulator = 0;
    int held = 0;
    const auto put = [&](unsigned code) {
        accumulator |= code << held;
        held += 3;
        while (held >= 8) {
            data += static_cast<char>(accumulator & 0xFF);
            accumulator >>= 8;
            held -= 8;
        }
    };
    for (int pixel = 0; pixel < kSide * kSide; ++pixel) {
        if (pixel % 2 == 0) {
            put(kClear);
        }
        put(static_cast<unsigned>(quadrantAt(pixel % kSide, pixel / kSide)));
    }
    put(kEnd);
    if (held > 0) {
        data += static_cast<char>(accumulator & 0xFF);
    }
    for (std::size_t at = 0; at < data.size(); at += 255) {
        const std::size_t length = std::min<std::size_t>(255, data.size() - at);
        out += static_cast<char>(length);
        out.append(data, at, length);
    }
    out += '\0';
    out += ';';
    return out;
}

std::string PictureMaker::hotlinkPage(std::uint64_t key) {
    static const std::string kBody = text::utf8ToGbk(
        "<!DOCTYPE HTML PUBLIC \"-//W3C//DTD HTML 4.01 Transitional//EN\">\n"
        "<html><head><meta http-equiv=\"Content-Type\" content=\"text/html; charset=gbk\">"
        "<title>图片禁止外链</title></head>\n<body><p>此图片仅限本站使用，禁止外部链接。</p>");
    return kBody + "<!-- " + std::to_string(key % 1000000) + " --></body></html>\n";
}

std::string PictureMaker::make(PictureFormat format, std::uint64_t key) {
    switch (format) {
    case PictureFormat::Jpeg:
        return jpeg(key);
    case PictureFormat::Png:
        return png(key);
    case PictureFormat::Gif:
        return gif(key);
    case PictureFormat::HtmlPage:
        return hotlinkPage(key);
    }
    return {};
}

std::string PictureMaker::contentType(PictureFormat format) {
    switch (format) {
    case PictureFormat::Jpeg:
        return "image/jpeg";
    case PictureFormat::Png:
        return "image/png";
    case PictureFormat::Gif:
        return "image/gif";
    case PictureFormat::HtmlPage:
        return "text/html; charset=GBK";
    }
    return "application/octet-stream";
}

} // namespace quillon::sim
