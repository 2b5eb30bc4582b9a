#include "doc/RegexMatcher.h"

#include "text/TextCodec.h"

#include <algorithm>
#include <cstring>
#include <ctime>
#include <memory>
#include <vector>

#define PCRE2_CODE_UNIT_WIDTH 8
#include <pcre2.h>

namespace quillon::doc {

// The compiled pattern; read-only once made, so copies of a matcher on other
// threads may search with it at the same time.
struct RegexMatcher::Engine {
    std::string patternGbk;
    pcre2_code* code = nullptr;
    std::uint32_t groupCount = 0;
    bool global = true;
    // The code starts with a callout that watches the time budget.
    bool timed = false;

    Engine() = default;
    Engine(const Engine&) = delete;
    Engine& operator=(const Engine&) = delete;
    ~Engine() { pcre2_code_free(code); }
};

// The matches of one search: the UTF-8 subject and, per match, the start and
// end offsets of the whole match and of each group (PCRE2_UNSET when a group
// took no part).
struct RegexMatcher::MatchList {
    std::string subject;
    std::size_t pairs = 1;
    std::vector<PCRE2_SIZE> offsets;

    std::size_t count() const { return offsets.size() / (2 * pairs); }
};

namespace {

// Index of the first byte at or after `i` that is not ASCII, eight at a time.
std::size_t skipAscii(const unsigned char* bytes, std::size_t i, std::size_t size) {
    while (size - i >= 8) {
        std::uint64_t word = 0;
        std::memcpy(&word, bytes + i, 8);
        if ((word & 0x8080808080808080ull) != 0)
            break;
        i += 8;
    }
    while (i < size && bytes[i] < 0x80)
        ++i;
    return i;
}

std::string toUtf8(std::string_view gbk) {
    return text::gbkToUtf8(gbk);
}

std::string toGbk(std::string_view utf8) {
    return text::utf8ToGbk(utf8);
}

// Whether `text` is well-formed UTF-8 (no overlong forms, surrogates or
// values past U+10FFFF), so the engine may skip its own check.
bool isValidUtf8(std::string_view text) {
    const auto* bytes = reinterpret_cast<const unsigned char*>(text.data());
    const std::size_t size = text.size();
    std::size_t i = 0;
    while (i < size) {
        const unsigned char c = bytes[i];
        if (c < 0x80) {
            i = skipAscii(bytes, i, size);
            continue;
        }
        std::size_t length = 0;
        std::uint32_t cp = 0;
        if (c >= 0xC2 && c <= 0xDF) {
            length = 2;
            cp = c & 0x1Fu;
        } else if (c >= 0xE0 && c <= 0xEF) {
            length = 3;
            cp = c & 0x0Fu;
        } else if (c >= 0xF0 && c <= 0xF4) {
            length = 4;
            cp = c & 0x07u;
        } else {
            return false;
        }
        if (size - i < length)
            return false;
        for (std::size_t k = 1; k < length; ++k) {
            if ((bytes[i + k] & 0xC0u) != 0x80u)
                return false;
            cp = (cp << 6) | (bytes[i + k] & 0x3Fu);
        }
        if (length == 3 && (cp < 0x800 || (cp >= 0xD800 && cp <= 0xDFFF)))
            return false;
        if (length == 4 && (cp < 0x10000 || cp > 0x10FFFF))
            return false;
        i += length;
    }
    return true;
}

// Byte length of the UTF-8 character whose first byte is `lead`.
std::size_t utf8Length(unsigned char lead) {
    if (lead < 0xC0)
        return 1;
    if (lead < 0xE0)
        return 2;
    if (lead < 0xF0)
        return 3;
    return 4;
}

bool jitAvailable() {
    static const bool available = [] {
        std::uint32_t jit = 0;
        return pcre2_config(PCRE2_CONFIG_JIT, &jit) >= 0 && jit == 1;
    }();
    return available;
}

pcre2_code* compile(std::string_view utf8, std::uint32_t options) {
    pcre2_compile_context* context = pcre2_compile_context_create(nullptr);
    if (context == nullptr)
        return nullptr;
    // LF alone ends a line, so "." still matches the CR of a CRLF page.
    pcre2_set_newline(context, PCRE2_NEWLINE_LF);
    pcre2_set_compile_extra_options(context, PCRE2_EXTRA_ALT_BSUX);
    int error = 0;
    PCRE2_SIZE errorOffset = 0;
    pcre2_code* code = pcre2_compile(reinterpret_cast<PCRE2_SPTR>(utf8.data()), utf8.size(),
                                     options, &error, &errorOffset, context);
    pcre2_compile_context_free(context);
    return code;
}

std::uint32_t groupCountOf(const pcre2_code* code) {
    std::uint32_t count = 0;
    pcre2_pattern_info(code, PCRE2_INFO_CAPTURECOUNT, &count);
    return count;
}

// The clock of the time budget.
std::chrono::nanoseconds budgetClock() {
    return std::chrono::steady_clock::now().time_since_epoch();
}

struct Deadline {
    std::chrono::nanoseconds end;
    unsigned attempts = 0;
};

// Called at every start position the engine tries; one try is itself bounded
// by the step limit. The clock is read at every 256th try only, since a page
// offers hundreds of thousands of them.
int onAttempt(pcre2_callout_block*, void* data) {
    auto* deadline = static_cast<Deadline*>(data);
    if ((++deadline->attempts & 0xFF) != 0)
        return 0;
    return budgetClock() >= deadline->end ? PCRE2_ERROR_CALLOUT : 0;
}

bool isLimitError(int rc) {
    switch (rc) {
    case PCRE2_ERROR_MATCHLIMIT:
    case PCRE2_ERROR_DEPTHLIMIT:
    case PCRE2_ERROR_HEAPLIMIT:
    case PCRE2_ERROR_JIT_STACKLIMIT:
    case PCRE2_ERROR_CALLOUT:
    case PCRE2_ERROR_NOMEMORY:
        return true;
    default:
        return false;
    }
}

struct MatchDataFree {
    void operator()(pcre2_match_data* p) const { pcre2_match_data_free(p); }
};
struct MatchContextFree {
    void operator()(pcre2_match_context* p) const { pcre2_match_context_free(p); }
};
struct JitStackFree {
    void operator()(pcre2_jit_stack* p) const { pcre2_jit_stack_free(p); }
};

struct SearchResult {
    std::vector<PCRE2_SIZE> offsets;
    bool limitReached = false;
};

// All matches of `code` in `subject` (UTF-8), or the first when not global.
// Match data, context and JIT stack belong to this call alone, so searches
// on different threads share nothing that changes.
SearchResult search(const pcre2_code* code, std::size_t pairs, bool global, bool timed,
                    std::string_view subject, const RegexLimits& limits) {
    SearchResult result;
    // Checked here once for the whole subject instead of by the engine on
    // every call of the loop below.
    if (!isValidUtf8(subject))
        return result;
    std::unique_ptr<pcre2_match_data, MatchDataFree> data(
        pcre2_match_data_create_from_pattern(code, nullptr));
    std::unique_ptr<pcre2_match_context, MatchContextFree> context(
        pcre2_match_context_create(nullptr));
    if (!data || !context) {
        result.limitReached = true;
        return result;
    }
    pcre2_set_match_limit(context.get(), limits.matchLimit);
    pcre2_set_depth_limit(context.get(), limits.depthLimit);
    pcre2_set_heap_limit(context.get(), limits.heapLimitKib);
    Deadline deadline{budgetClock() + limits.timeBudget, 0};
    if (timed)
        pcre2_set_callout(context.get(), onAttempt, &deadline);
    std::unique_ptr<pcre2_jit_stack, JitStackFree> jitStack;

    const std::uint32_t options = PCRE2_NO_UTF_CHECK | (limits.useJit ? 0u : PCRE2_NO_JIT);
    const auto* text = reinterpret_cast<PCRE2_SPTR>(subject.data());
    PCRE2_SIZE pos = 0;
    while (pos <= subject.size()) {
        const int rc =
            pcre2_match(code, text, subject.size(), pos, options, data.get(), context.get());
        if (rc == PCRE2_ERROR_JIT_STACKLIMIT && !jitStack) {
            // The machine stack's 32 KiB did not do; retry once on a stack
            // as large as the interpreter's heap limit.
            const std::size_t max = std::max<std::size_t>(std::size_t{limits.heapLimitKib} * 1024,
                                                          std::size_t{64} * 1024);
            jitStack.reset(pcre2_jit_stack_create(32 * 1024, max, nullptr));
            if (jitStack) {
                pcre2_jit_stack_assign(context.get(), nullptr, jitStack.get());
                continue;
            }
        }
        if (rc < 0) {
            result.limitReached = isLimitError(rc);
            break;
        }

        const PCRE2_SIZE* ovector = pcre2_get_ovector_pointer(data.get());
        const std::size_t filled = rc == 0 ? pairs : std::min<std::size_t>(rc, pairs);
        result.offsets.insert(result.offsets.end(), ovector, ovector + 2 * filled);
        result.offsets.insert(result.offsets.end(), 2 * (pairs - filled), PCRE2_UNSET);
        if (!global)
            break;

        PCRE2_SIZE next = std::max(ovector[1], pos);
        if (ovector[1] == ovector[0]) {
            // An empty match: go on one character further, or it would be
            // found again at the same place.
            if (next >= subject.size())
                break;
            next += utf8Length(static_cast<unsigned char>(subject[next]));
        }
        pos = std::min<PCRE2_SIZE>(next, subject.size());
    }
    return result;
}

// Appends `replacement` to `out`, expanding $-references for the match whose
// offsets start at `ovector`.
void expandReplacement(std::string& out, std::string_view replacement, std::string_view subject,
                       const PCRE2_SIZE* ovector, std::size_t pairs) {
    auto group = [&](std::size_t g) {
        if (ovector[2 * g] == PCRE2_UNSET)
            return;
        out.append(subject.substr(ovector[2 * g], ovector[2 * g + 1] - ovector[2 * g]));
    };
    auto isDigit = [](char c) { return c >= '0' && c <= '9'; };
    std::size_t i = 0;
    while (i < replacement.size()) {
        const char c = replacement[i];
        if (c != '$' || i + 1 >= replacement.size()) {
            out.push_back(c);
            ++i;
            continue;
        }
        const char next = replacement[i + 1];
        if (next == '$') {
            out.push_back('$');
            i += 2;
        } else if (next == '&') {
            group(0);
            i += 2;
        } else if (next == '`') {
            out.append(subject.substr(0, ovector[0]));
            i += 2;
        } else if (next == '\'') {
            out.append(subject.substr(ovector[1]));
            i += 2;
        } else if (isDigit(next)) {
            const std::size_t one = static_cast<std::size_t>(next - '0');
            const bool hasTwo = i + 2 < replacement.size() && isDigit(replacement[i + 2]);
            const std::size_t two =
                hasTwo ? one * 10 + static_cast<std::size_t>(replacement[i + 2] - '0') : 0;
            // Two digits when they name a group, else one digit when that does.
            if (hasTwo && two >= 1 && two < pairs) {
                group(two);
                i += 3;
            } else if (one >= 1 && one < pairs) {
                group(one);
                i += 2;
            } else {
                out.push_back('$');
                ++i;
            }
        } else {
            out.push_back('$');
            ++i;
        }
    }
}

} // namespace

bool RegexMatcher::create(std::string_view patternGbk, bool ignoreCase, bool multiline,
                          bool global) {
    m_matches.reset();
    m_engine.reset();
    m_count = 0;
    m_limitReached = false;

    // JavaScript-like reading: "\uHHHH" escapes, "$" only at the very end
    // outside multi-line mode, "[]" matches nothing, a reference to an unset
    // group matches the empty text. "\C" could split a character, so it is
    // refused.
    std::uint32_t options = PCRE2_UTF | PCRE2_ALT_BSUX | PCRE2_DOLLAR_ENDONLY |
                            PCRE2_ALLOW_EMPTY_CLASS | PCRE2_MATCH_UNSET_BACKREF |
                            PCRE2_NEVER_BACKSLASH_C;
    if (ignoreCase)
        options |= PCRE2_CASELESS;
    if (multiline)
        options |= PCRE2_MULTILINE;

    const std::string utf8 = toUtf8(patternGbk);
    pcre2_code* plain = compile(utf8, options);
    if (plain == nullptr)
        return false;

    auto engine = std::make_shared<Engine>();
    engine->patternGbk = std::string(patternGbk);
    engine->global = global;
    engine->groupCount = groupCountOf(plain);

    // The same pattern behind a callout at each start position, for the time
    // budget. The plain pattern decided validity; "\E" ends a "\Q" left open
    // so the closing parenthesis stays syntax. Where the wrapped form does
    // not compile alike (an option that must lead, a trailing comment in
    // extended mode), the plain pattern runs under the step limits alone.
    pcre2_code* timed = compile("(?C)(?:" + utf8 + "\\E)", options);
    if (timed != nullptr && groupCountOf(timed) == engine->groupCount) {
        pcre2_code_free(plain);
        engine->code = timed;
        engine->timed = true;
    } else {
        pcre2_code_free(timed);
        engine->code = plain;
    }
    // Without machine code (unsupported platform, no executable memory) the
    // interpreter runs the same pattern.
    if (jitAvailable())
        pcre2_jit_compile(engine->code, PCRE2_JIT_COMPLETE);

    m_engine = std::move(engine);
    return true;
}

int RegexMatcher::execute(std::string_view subjectGbk) {
    m_matches.reset();
    m_count = 0;
    m_limitReached = false;
    if (!m_engine)
        return 0;

    auto list = std::make_shared<MatchList>();
    list->subject = toUtf8(subjectGbk);
    list->pairs = std::size_t{m_engine->groupCount} + 1;
    SearchResult result = search(m_engine->code, list->pairs, m_engine->global, m_engine->timed,
                                 list->subject, m_limits);
    list->offsets = std::move(result.offsets);
    m_limitReached = result.limitReached;
    m_count = static_cast<int>(list->count());
    m_matches = std::move(list);
    return m_count;
}

std::string RegexMatcher::subMatch(int n, int g) const {
    if (g < 1)
        return {};
    return matchGroup(n, g);
}

std::string RegexMatcher::matchText(int n) const {
    return matchGroup(n, 0);
}

std::string RegexMatcher::matchGroup(int n, int g) const {
    if (!m_matches || n < 1 || n > m_count || g < 0)
        return {};
    const MatchList& list = *m_matches;
    const auto group = static_cast<std::size_t>(g);
    if (group >= list.pairs)
        return {};
    const PCRE2_SIZE* ovector = &list.offsets[(static_cast<std::size_t>(n) - 1) * 2 * list.pairs];
    const PCRE2_SIZE start = ovector[2 * group];
    const PCRE2_SIZE end = ovector[2 * group + 1];
    if (start == PCRE2_UNSET || end < start)
        return {};
    return toGbk(std::string_view(list.subject).substr(start, end - start));
}

int RegexMatcher::subMatchCount() const {
    if (!m_engine || m_count == 0)
        return 0;
    return static_cast<int>(m_engine->groupCount);
}

std::string RegexMatcher::replace(std::string_view subjectGbk, std::string_view replacementGbk) {
    m_limitReached = false;
    if (!m_engine)
        return std::string(subjectGbk);

    const std::string subject = toUtf8(subjectGbk);
    const std::string replacement = toUtf8(replacementGbk);
    const std::size_t pairs = std::size_t{m_engine->groupCount} + 1;
    const SearchResult result =
        search(m_engine->code, pairs, m_engine->global, m_engine->timed, subject, m_limits);
    m_limitReached = result.limitReached;

    std::string out;
    out.reserve(subject.size());
    std::size_t copied = 0;
    for (std::size_t at = 0; at < result.offsets.size(); at += 2 * pairs) {
        const PCRE2_SIZE* ovector = &result.offsets[at];
        const std::size_t start = std::max<std::size_t>(ovector[0], copied);
        out.append(subject, copied, start - copied);
        expandReplacement(out, replacement, subject, ovector, pairs);
        copied = std::max<std::size_t>(ovector[1], copied);
    }
    out.append(subject, copied);
    return toGbk(out);
}

std::string RegexMatcher::pattern() const {
    return m_engine ? m_engine->patternGbk : std::string();
}

} // namespace quillon::doc
