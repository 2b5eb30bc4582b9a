#include "text/TextCodec.h"

#include <cerrno>
#include <iconv.h>

namespace quillon::text {
namespace {

// CP936 is what Windows calls GBK; glibc knows both names.
iconv_t openConverter(const char* to, const char* from) {
    iconv_t cd = iconv_open(to, from);
    if (cd == reinterpret_cast<iconv_t>(-1) && std::string_view(to) == "CP936") {
        cd = iconv_open("GBK", from);
    }
    if (cd == reinterpret_cast<iconv_t>(-1) && std::string_view(from) == "CP936") {
        cd = iconv_open(to, "GBK");
    }
    return cd;
}

// Bytes to drop for one unconvertible character at `p`: the whole sequence
// when it is well formed (the target cannot hold it), else its first byte, so
// the next byte can start a character of its own.
std::size_t utf8SkipLength(const char* p, std::size_t left) {
    const auto lead = static_cast<unsigned char>(p[0]);
    std::size_t length = 1;
    if (lead >= 0xC2 && lead <= 0xDF) length = 2;
    else if (lead >= 0xE0 && lead <= 0xEF) length = 3;
    else if (lead >= 0xF0 && lead <= 0xF4) length = 4;
    if (length > left) return 1;
    for (std::size_t i = 1; i < length; ++i) {
        if ((static_cast<unsigned char>(p[i]) & 0xC0) != 0x80) return 1;
    }
    return length;
}

std::size_t gbkSkipLength(const char* p, std::size_t left) {
    const auto lead = static_cast<unsigned char>(p[0]);
    if (lead < 0x81 || lead > 0xFE || left < 2) return 1;
    const auto trail = static_cast<unsigned char>(p[1]);
    return (trail >= 0x40 && trail <= 0xFE && trail != 0x7F) ? 2 : 1;
}

// Converts with one "?" for every input character that cannot be converted,
// so a bad byte never stops the conversion.
std::string convert(std::string_view input, const char* to, const char* from,
                    std::size_t (*skipLength)(const char*, std::size_t)) {
    std::string out;
    if (input.empty()) return out;
    iconv_t cd = openConverter(to, from);
    if (cd == reinterpret_cast<iconv_t>(-1)) return std::string(input);

    out.reserve(input.size() + input.size() / 2 + 16);
    char buffer[4096];
    char* in = const_cast<char*>(input.data());
    std::size_t inLeft = input.size();
    while (inLeft > 0) {
        char* outPtr = buffer;
        std::size_t outLeft = sizeof buffer;
        std::size_t rc = iconv(cd, &in, &inLeft, &outPtr, &outLeft);
        out.append(buffer, static_cast<std::size_t>(outPtr - buffer));
        if (rc != static_cast<std::size_t>(-1)) break;
        if (errno == E2BIG) continue;
        // EINVAL: the input ends inside a character, which is dropped whole.
        const std::size_t skip = errno == EINVAL ? inLeft : skipLength(in, inLeft);
        out.push_back('?');
        in += skip;
        inLeft -= skip;
        iconv(cd, nullptr, nullptr, nullptr, nullptr);
    }
    char* outPtr = buffer;
    std::size_t outLeft = sizeof buffer;
    iconv(cd, nullptr, nullptr, &outPtr, &outLeft);
    out.append(buffer, static_cast<std::size_t>(outPtr - buffer));
    iconv_close(cd);
    return out;
}

} // namespace

std::string gbkToUtf8(std::string_view gbk) {
    return convert(gbk, "UTF-8", "CP936", gbkSkipLength);
}

std::string utf8ToGbk(std::string_view utf8) {
    return convert(utf8, "CP936", "UTF-8", utf8SkipLength);
}

} // namespace quillon::text
