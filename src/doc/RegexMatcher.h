#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

namespace quillon::doc {

// Bounds on one search (an execute or a replace), so that a pathological
// pattern and subject end the search instead of hanging it or exhausting
// memory. When a bound is reached the search stops and keeps the matches it
// found before that point.
struct RegexLimits {
    // Backtracking steps the engine may take from one start position.
    std::uint32_t matchLimit = 10'000'000;
    // Nesting of backtracking points (interpreter only).
    std::uint32_t depthLimit = 1'000'000;
    // Memory for backtracking frames, in KiB (interpreter only).
    std::uint32_t heapLimitKib = 64 * 1024;
    // Wall-clock time for the whole search. The step limit above holds per
    // start position only, so a subject with many costly start positions
    // needs this overall bound as well.
    std::chrono::milliseconds timeBudget{1000};
    // Use the compiled machine code where the platform supports it; false
    // forces the interpreter (same results, slower).
    bool useJit = true;
};

// One regular expression and the match list of its last search. Pattern and
// subjects are GBK; matching runs on Unicode characters, and match texts come
// back as GBK. A bad byte sequence in either reads as "?" and never fails the
// call.
//
// Dialect: Perl-compatible, with these settings: "." matches anything but a
// line feed (a carriage return included), "\s" covers blank, tab, LF, CR, VT
// and FF, "\uHHHH" names one character, and "$1"-style references work in
// replace. Global searches take all non-overlapping matches from left to
// right; after an empty match the next search starts one character later.
//
// A matcher belongs to one thread. Copying it shares the compiled pattern and
// the match list (both read-only once made) and copies the count; a later
// create or execute on either side replaces only its own. Different matchers,
// copies included, may be used on different threads at the same time.
class RegexMatcher {
  public:
    // No pattern: execute finds nothing.
    RegexMatcher() = default;

    // Compiles `patternGbk`, dropping the previous pattern and match list.
    // False when the pattern is not valid; the matcher then has no pattern.
    bool create(std::string_view patternGbk, bool ignoreCase = true, bool multiline = true,
                bool global = true);

    // Searches `subjectGbk` and keeps the matches, replacing the previous
    // list. Returns their number (0 without a pattern).
    int execute(std::string_view subjectGbk);

    // Number of matches of the last execute; 0 before the first.
    int matchCount() const { return m_count; }

    // GBK text of group `g` of match `n`, both from 1. Empty when either is
    // out of range or the group took no part in the match.
    std::string subMatch(int n, int g) const;

    // GBK text of the whole match `n` (from 1); empty when out of range.
    std::string matchText(int n) const;

    // Number of groups of the pattern when the last execute matched; else 0.
    int subMatchCount() const;

    // `subjectGbk` with the matches (all of them when global, else the
    // first) replaced by `replacementGbk`, in which $1 to $99 stand for
    // groups, $& for the match, $` and $' for the text before and after it,
    // and $$ for "$". The match list is left alone. Without a pattern the
    // subject comes back unchanged.
    std::string replace(std::string_view subjectGbk, std::string_view replacementGbk);

    // The pattern as given to create; empty when there is none.
    std::string pattern() const;

    // True when the last execute or replace stopped at one of the limits.
    bool limitReached() const { return m_limitReached; }

    // Bounds for the following searches; kept across create.
    void setLimits(const RegexLimits& limits) { m_limits = limits; }
    const RegexLimits& limits() const { return m_limits; }

  private:
    struct Engine;
    struct MatchList;

    // Group `g` of match `n`; group 0 is the whole match.
    std::string matchGroup(int n, int g) const;

    std::shared_ptr<const Engine> m_engine;
    std::shared_ptr<const MatchList> m_matches;
    int m_count = 0;
    bool m_limitReached = false;
    RegexLimits m_limits;
};

} // namespace quillon::doc
