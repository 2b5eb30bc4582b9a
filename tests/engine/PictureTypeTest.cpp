#include "engine/PictureType.h"

#include "text/TextCodec.h"

#include <gtest/gtest.h>
#include <string>
#include <string_view>

namespace quillon::engine {
namespace {

std::string unknown(std::string_view signature) {
    return text::utf8ToGbk("你杯具了 无法识别 特征码:") + std::string(signature);
}

struct TypeCase {
    const char* name;
    std::string bytes;
    std::string type;
};

TEST(PictureTypeTest, TypesFromTheFirstBytes) {
    const TypeCase cases[] = {
        {"png", std::string("\x89PNG\r\n\x1a\n\0\0\0\rIHDR", 16), "png"},
        {"png signature alone", "\x89\x50\x4E\x47", "png"},
        {"gif 89a", "GIF89a\x01\x02", "gif"},
        {"gif 87a", "GIF87a", "gif"},
        {"jpeg", std::string("\xFF\xD8\xFF\xE0\0\x10JFIF", 10), "jpg"},
        {"html page", "<!DOCTYPE html><html><body>404</body></html>", "jpg"},
        {"bmp", "BM\x36\x10", "bmp"},
        {"tiff big-endian", std::string("MM\0*", 4), "tiff"},
        {"tiff little-endian", std::string("II*\0", 4), "tiff"},
        {"iff", "FORM\x01\x02", "iff"},
        {"riff", "RIFF\x24\x08", "ani"},
        {"icon", std::string("\0\0\x01\0\x01\0\x20\x20\x10\0", 10), "ico"},
        // Leading zeros are dropped from each byte, so these prefixes never match.
        {"cursor", std::string("\0\0\x02\0\x01\0\x20\x20", 8), unknown("00002001002020")},
        {"targa", std::string("\0\0\x02\0\0\0\0\0\0\0", 10), unknown("0000200000000000000")},
        {"pcx", "\x0A\x05\x01\x08", unknown("A518")},
        // Lower-case document type lines are not recognised.
        {"html lower case", "<!doctype html>", unknown("3C21646F637479706520")},
        {"ten bytes of 1", std::string(10, '\x01'), unknown("1111111111")},
        {"only ten bytes count", std::string(12, '\x01') + "\xFF\xD8", unknown("1111111111")},
        {"empty", "", unknown("")},
        {"short jpeg", "\xFF", unknown("FF")},
        {"zero bytes and small values", std::string("\0\x0A\xFF\x10", 4), unknown("00AFF10")},
    };
    for (const TypeCase& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(detectPictureType(c.bytes), c.type);
    }
}

} // namespace
} // namespace quillon::engine
