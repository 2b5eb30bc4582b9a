#include "text/Md5.h"

#include <openssl/evp.h>

namespace quillon::text {
namespace {

std::string md5Digits(std::string_view bytes, const char* digits) {
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int length = 0;
    if (EVP_Digest(bytes.data(), bytes.size(), digest, &length, EVP_md5(), nullptr) != 1) {
        return {};
    }
    std::string out;
    out.reserve(length * 2);
    for (unsigned int i = 0; i < length; ++i) {
        out.push_back(digits[digest[i] >> 4]);
        out.push_back(digits[digest[i] & 0x0F]);
    }
    return out;
}

} // namespace

std::string md5Hex(std::string_view bytes) {
    return md5Digits(bytes, "0123456789abcdef");
}

std::string md5Mid16(std::string_view bytes) {
    return md5Hex(bytes).substr(8, 16);
}

std::string md5UpperHex(std::string_view bytes) {
    return md5Digits(bytes, "0123456789ABCDEF");
}

} // namespace quillon::text
