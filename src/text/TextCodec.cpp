#include "text/TextCodec.h"

#include <cerrno>
#include <cstdint>
#include <cstring>
#include <iconv.h>
#include <memory>
#include <vector>

namespace quillon::text {
namespace {

const iconv_t kNoConverter = reinterpret_cast<iconv_t>(-1);

// CP936 is what Windows calls GBK; glibc knows both names.
iconv_t openConverter(const char* to, const char* from) {
    iconv_t cd = iconv_open(to, from);
    if (cd == kNoConverter && std::strcmp(to, "CP936") == 0)
        cd = iconv_open("GBK", from);
    if (cd == kNoConverter && std::strcmp(from, "CP936") == 0)
        cd = iconv_open(to, "GBK");
    return cd;
}

bool isContinuation(unsigned char byte) {
    return (byte & 0xC0) == 0x80;
}

// Bytes to drop for one character that cannot be converted at `p`: a whole
// well-formed sequence (the target lacks the character), else the lead byte
// with the continuation bytes that follow it, so every broken sequence gives
// one "?" wherever it stands.
std::size_t utf8SkipLength(const char* p, std::size_t left) {
    const auto lead = static_cast<unsigned char>(p[0]);
    std::size_t length = 1;
    if (lead >= 0xC2 && lead <= 0xDF)
        length = 2;
    else if (lead >= 0xE0 && lead <= 0xEF)
        length = 3;
    else if (lead >= 0xF0 && lead <= 0xF4)
        length = 4;
    std::size_t skip = 1;
    while (skip < length && skip < left && isContinuation(static_cast<unsigned char>(p[skip]))) {
        ++skip;
    }
    return skip;
}

bool isGbkLead(unsigned char byte) {
    return byte >= 0x81 && byte <= 0xFE;
}
bool isGbkTrail(unsigned char byte) {
    return byte >= 0x40 && byte <= 0xFE && byte != 0x7F;
}

// A lead byte whose next byte cannot follow it stands alone, so that next
// byte starts a character of its own.
std::size_t gbkSkipLength(const char* p, std::size_t left) {
    const auto lead = static_cast<unsigned char>(p[0]);
    if (!isGbkLead(lead) || left < 2)
        return 1;
    return isGbkTrail(static_cast<unsigned char>(p[1])) ? 2 : 1;
}

// Converts with iconv into one buffer large enough for the whole result, with
// one "?" for every input character that cannot be converted.
std::string convert(std::string_view input, const char* to, const char* from, std::size_t maxGrowth,
                    std::size_t (*skipLength)(const char*, std::size_t)) {
    if (input.empty())
        return {};
    iconv_t cd = openConverter(to, from);
    if (cd == kNoConverter)
        return std::string(input);

    std::string out(input.size() * maxGrowth + 16, '\0');
    char* in = const_cast<char*>(input.data());
    std::size_t inLeft = input.size();
    char* outPtr = out.data();
    std::size_t outLeft = out.size();
    while (inLeft > 0) {
        if (iconv(cd, &in, &inLeft, &outPtr, &outLeft) != static_cast<std::size_t>(-1))
            break;
        if (errno == E2BIG)
            break; // cannot happen with the size above
        // EINVAL: the input ends inside a character.
        const std::size_t skip = errno == EINVAL ? inLeft : skipLength(in, inLeft);
        *outPtr++ = '?';
        --outLeft;
        in += skip;
        inLeft -= skip;
        iconv(cd, nullptr, nullptr, nullptr, nullptr);
    }
    iconv(cd, nullptr, nullptr, &outPtr, &outLeft);
    iconv_close(cd);
    out.resize(static_cast<std::size_t>(outPtr - out.data()));
    return out;
}

std::string gbkToUtf8WithIconv(std::string_view gbk) {
    // Two GBK bytes give at most three UTF-8 bytes; "?" replaces one or two.
    return convert(gbk, "UTF-8", "CP936", 2, gbkSkipLength);
}

// GBK to UTF-8 through a table of every double-byte character, filled once
// from iconv, so that both agree byte for byte while a large page converts
// several times faster than through iconv itself.
class GbkTable {
  public:
    // The shared table; nullptr when it could not be built.
    static const GbkTable* instance() {
        static const std::unique_ptr<GbkTable> table = build();
        return table.get();
    }

    std::string decode(std::string_view gbk) const {
        std::string out;
        out.reserve(gbk.size() + gbk.size() / 2);
        const auto* bytes = reinterpret_cast<const unsigned char*>(gbk.data());
        const std::size_t size = gbk.size();
        std::size_t i = 0;
        while (i < size) {
            const unsigned char c = bytes[i];
            if (c < 0x80) {
                std::size_t end = i + 1;
                while (end < size && bytes[end] < 0x80)
                    ++end;
                out.append(gbk.substr(i, end - i));
                i = end;
            } else if (isGbkLead(c) && i + 1 < size && isGbkTrail(bytes[i + 1])) {
                append(out, m_pairs[index(c, bytes[i + 1])]);
                i += 2;
            } else {
                append(out, c == 0x80 ? m_single80 : c == 0xFF ? m_singleFF : kQuestion);
                ++i;
            }
        }
        return out;
    }

  private:
    static constexpr std::uint32_t kQuestion = (1u << 24) | '?';
    static constexpr std::size_t kTrails = 0xFF - 0x40;

    static std::size_t index(unsigned char lead, unsigned char trail) {
        return (lead - 0x81u) * kTrails + (trail - 0x40u);
    }

    // Up to three UTF-8 bytes in the low bytes, their number in the top one.
    static void append(std::string& out, std::uint32_t packed) {
        const std::uint32_t length = packed >> 24;
        for (std::uint32_t k = 0; k < length; ++k) {
            out.push_back(static_cast<char>((packed >> (8 * k)) & 0xFF));
        }
    }

    static bool pack(std::string_view utf8, std::uint32_t& packed) {
        if (utf8.empty() || utf8.size() > 3)
            return false;
        packed = static_cast<std::uint32_t>(utf8.size()) << 24;
        for (std::size_t k = 0; k < utf8.size(); ++k) {
            packed |= static_cast<std::uint32_t>(static_cast<unsigned char>(utf8[k])) << (8 * k);
        }
        return true;
    }

    // Converts every pair and the two single bytes in one call, each followed
    // by a line feed that marks where its text ends.
    static std::unique_ptr<GbkTable> build() {
        std::string all;
        for (unsigned lead = 0x81; lead <= 0xFE; ++lead) {
            for (unsigned trail = 0x40; trail <= 0xFE; ++trail) {
                if (!isGbkTrail(static_cast<unsigned char>(trail)))
                    continue;
                all.push_back(static_cast<char>(lead));
                all.push_back(static_cast<char>(trail));
                all.push_back('\n');
            }
        }
        all += "\x80\n\xFF\n";
        const std::string converted = gbkToUtf8WithIconv(all);

        auto table = std::make_unique<GbkTable>();
        table->m_pairs.assign(index(0xFE, 0xFE) + 1, kQuestion);
        std::size_t from = 0;
        auto next = [&](std::uint32_t& packed) {
            const std::size_t end = converted.find('\n', from);
            if (end == std::string::npos)
                return false;
            const bool ok = pack(std::string_view(converted).substr(from, end - from), packed);
            from = end + 1;
            return ok;
        };
        for (unsigned lead = 0x81; lead <= 0xFE; ++lead) {
            for (unsigned trail = 0x40; trail <= 0xFE; ++trail) {
                const auto t = static_cast<unsigned char>(trail);
                if (!isGbkTrail(t))
                    continue;
                if (!next(table->m_pairs[index(static_cast<unsigned char>(lead), t)]))
                    return nullptr;
            }
        }
        if (!next(table->m_single80) || !next(table->m_singleFF))
            return nullptr;
        if (from != converted.size())
            return nullptr;
        return table;
    }

    std::vector<std::uint32_t> m_pairs;
    std::uint32_t m_single80 = kQuestion;
    std::uint32_t m_singleFF = kQuestion;
};

} // namespace

std::string gbkToUtf8(std::string_view gbk) {
    const GbkTable* table = GbkTable::instance();
    return table != nullptr ? table->decode(gbk) : gbkToUtf8WithIconv(gbk);
}

std::string utf8ToGbk(std::string_view utf8) {
    // A GBK text is never longer than its UTF-8 form.
    return convert(utf8, "CP936", "UTF-8", 1, utf8SkipLength);
}

} // namespace quillon::text
