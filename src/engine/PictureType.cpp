#include "engine/PictureType.h"

#include <algorithm>
#include <array>

namespace quillon::engine {
namespace {

struct SignatureRule {
    std::array<std::string_view, 2> prefixes; // an empty second one is unused
    std::string_view type;
};

// Checked in this order; the first rule with a matching prefix wins. The
// signature text drops leading zeros, so the tga, pcx and cur prefixes never
// match; the table stays as it is, and such data gets the unknown type.
constexpr std::array<SignatureRule, 11> kRules{{
    // The second prefix is "<!DOCTYPE ": an HTML page is typed as a picture.
    {{"FFD8", "3C21444F435459504520"}, "jpg"},
    {{"0000020000", "0000100000"}, "tga"},
    {{"474946383961", "474946383761"}, "gif"},
    {{"89504E47", ""}, "png"},
    {{"424D", ""}, "bmp"},
    {{"0A", ""}, "pcx"},
    {{"4D4D", "4949"}, "tiff"},
    {{"0000010001002020", "00001001002020"}, "ico"},
    {{"0000020001002020", ""}, "cur"},
    {{"464F524D", ""}, "iff"},
    {{"52494646", ""}, "ani"},
}};

} // namespace

std::string pictureSignature(std::string_view bytes) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string signature;
    const std::size_t count = std::min<std::size_t>(bytes.size(), 10);
    for (std::size_t i = 0; i < count; ++i) {
        const auto byte = static_cast<unsigned char>(bytes[i]);
        if (byte == 0) {
            signature += "00";
            continue;
        }
        if (byte >= 0x10) {
            signature.push_back(kHex[byte >> 4]);
        }
        signature.push_back(kHex[byte & 0x0F]);
    }
    return signature;
}

std::string detectPictureType(std::string_view bytes) {
    const std::string signature = pictureSignature(bytes);
    for (const SignatureRule& rule : kRules) {
        for (std::string_view prefix : rule.prefixes) {
            if (!prefix.empty() && signature.starts_with(prefix)) {
                return std::string(rule.type);
            }
        }
    }
    return std::string(kUnknownPictureType) + signature;
}

} // namespace quillon::engine
