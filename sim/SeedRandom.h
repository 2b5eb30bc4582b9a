#pragma once

#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>

namespace quillon::sim {

// What a stream is drawn for. Each kind of thing has streams of its own, so
// a draw added to one never shifts the values of another.
enum class SeedTag : std::uint64_t {
    IdBase = 1,
    Store,
    Listing,
    Item,
    Picture,
    Description,
    Fault,
    Garbage,
    HostComment,
};

// A small deterministic generator (splitmix64). Everything the sandbox makes
// is drawn from one of these, keyed by the market seed and what is being made,
// so the same seed always gives the same bytes and nothing has to be stored.
class SeedRandom {
  public:
    SeedRandom(std::uint64_t seed, SeedTag tag, std::initializer_list<std::uint64_t> keys = {})
        : m_state(mix(seed ^ mix(static_cast<std::uint64_t>(tag)))) {
        for (const std::uint64_t key : keys) {
            m_state = mix(m_state ^ mix(key + 0x9E3779B97F4A7C15ULL));
        }
    }

    // Folds a text into a key (FNV-1a), for keys such as host names.
    static std::uint64_t textKey(std::string_view text) {
        std::uint64_t hash = 0xCBF29CE484222325ULL;
        for (const char c : text) {
            hash ^= static_cast<unsigned char>(c);
            hash *= 0x100000001B3ULL;
        }
        return hash;
    }

    std::uint64_t next() {
        m_state += 0x9E3779B97F4A7C15ULL;
        return mix(m_state);
    }

    // 0 .. n-1 (0 when n is 0).
    std::uint64_t below(std::uint64_t n) { return n == 0 ? 0 : next() % n; }

    // lo .. hi, both included.
    int between(int lo, int hi) {
        return lo + static_cast<int>(below(static_cast<std::uint64_t>(hi - lo) + 1));
    }

    // A number in [0, 1).
    double unit() { return static_cast<double>(next() >> 11) * (1.0 / 9007199254740992.0); }

    bool chance(double rate) { return unit() < rate; }

    // `digits` lower-case hexadecimal digits, as in picture file names.
    std::string hex(int digits) {
        static constexpr char kHex[] = "0123456789abcdef";
        std::string out;
        std::uint64_t bits = next();
        for (int i = 0; i < digits; ++i) {
            out += kHex[bits & 15];
            bits >>= 4;
        }
        return out;
    }

  private:
    static std::uint64_t mix(std::uint64_t z) {
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
        return z ^ (z >> 31);
    }

    std::uint64_t m_state;
};

} // namespace quillon::sim
