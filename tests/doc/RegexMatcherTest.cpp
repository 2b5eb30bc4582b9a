#include "doc/RegexMatcher.h"

#include "text/TextCodec.h"

#include <gtest/gtest.h>

#include <atomic>
#include <random>
#include <string>
#include <thread>
#include <vector>

namespace quillon::doc {
namespace {

std::string gbk(std::string_view utf8) {
    return text::utf8ToGbk(utf8);
}

// The patterns the store reader and the description pictures use, byte for
// byte; "\n" is a real line feed in the pattern text.
const std::string kPlainItem =
    "<a target=\"_blank\" href=\"(.*?)\" class=\"permalink\" style=\"\">\n(.*?)\n\\s*</a>";
const std::string kPlainPrice = "&yen;</s><strong>(.*?)</strong>\n";
const std::string kVanguardItem =
    "<a class=\"item-name\" href=\".*?id=(.*?)\" target=\"_blank\">(.*?)</a>";
const std::string kVanguardPrice = "<span class=\"c-price\">(.*?)</span>";
const std::string kStreetItem = "<a title=\"(.*?)\"  href=\".*?id=(.*?)\" target=\"_blank\">";
std::string streetPrice() {
    return gbk("<strong>(.*?) 元</strong>");
}
const std::string kDescPicture = "<IMG .*?\"http://(.*?)\".*?>";
const std::string kChineseChar = "([\\u4e00-\\u9fa5])";
const std::string kBackground = "background=\"\"http://(.*?)\"\"";

std::vector<std::string> systemPatterns() {
    return {kPlainItem,    kPlainPrice,  kVanguardItem, kVanguardPrice, kStreetItem,
            streetPrice(), kDescPicture, kChineseChar,  kBackground};
}

struct ListItem {
    std::string id;
    std::string name; // UTF-8
    std::string price;
};

// A store list page in the plain layout: the link, the name on a line of its
// own, the indented closing tag, then the price.
std::string plainListPage(const std::vector<ListItem>& items, const std::string& eol = "\n") {
    std::string page = "<html><body>" + eol + "<div class=\"shop-hesper-bd grid\">" + eol;
    for (const ListItem& item : items) {
        page += "<div class=\"item\">" + eol;
        page += "<a target=\"_blank\" href=\"http://item.taobao.com/item.htm?id=" + item.id +
                "&spm=a1z10.3-c.w4002\" class=\"permalink\" style=\"\">" + eol;
        page += item.name + eol;
        page += "        </a>" + eol;
        page += "<div class=\"price\"><s>&yen;</s><strong>" + item.price + "</strong>" + eol;
        page += "</div>" + eol;
    }
    page += "</div></body></html>" + eol;
    return gbk(page);
}

std::vector<ListItem> numberedItems(int count) {
    std::vector<ListItem> items;
    for (int i = 1; i <= count; ++i) {
        items.push_back({std::to_string(520000000 + i), "女装 连衣裙 " + std::to_string(i),
                         std::to_string(i) + ".00"});
    }
    return items;
}

RegexLimits interpreterOnly() {
    RegexLimits limits;
    limits.useJit = false;
    return limits;
}

struct PatternCase {
    const char* what;
    std::string pattern;                          // GBK
    std::string subject;                          // GBK
    std::vector<std::vector<std::string>> groups; // per match, groups from 1, UTF-8
};

std::vector<PatternCase> patternCases() {
    const std::vector<ListItem> two = {{"1001", "女装 春款", "88.00"}, {"1002", "童鞋", "120.50"}};
    const std::string vanguardPage =
        gbk("<dl class=\"item\"><dd class=\"detail\">\n"
            "<a class=\"item-name\" href=\"http://item.taobao.com/item.htm?spm=a1z10.1&id=520001\" "
            "target=\"_blank\">夏季 T恤</a><a class=\"item-name\" "
            "href=\"http://item.taobao.com/item.htm?id=520002\" target=\"_blank\">短裤</a>\n"
            "<div class=\"attribute\"><span class=\"c-price\">58.00</span></div>\n"
            "<div class=\"attribute\"><span class=\"c-price\">39.90</span></div>\n"
            "<div class=\"attribute\"><span class=\"c-price\">12.00</span></div>\n");
    const std::string streetPage =
        gbk("<li><a title=\"女包 单肩\"  href=\"http://item.taobao.com/item.htm?id=3301\" "
            "target=\"_blank\"><img src=\"x.jpg\"></a>\n<strong>35.00 元</strong></li>\n"
            "<li><a title=\"only one blank\" href=\"http://item.taobao.com/item.htm?id=3302\" "
            "target=\"_blank\"></a></li>\n");
    const std::string description =
        gbk("<p>宝贝详情</p><p><img align=\"absmiddle\" "
            "src=\"http://img01.taobaocdn.com/imgextra/i1/a.jpg\"></p>\n"
            "<P><IMG src=\"http://img02.taobaocdn.com/b.gif\" border=0></P>\n"
            "<table><tr><td background=\"\"http://img03.taobaocdn.com/bg.jpg\"\" "
            "width=750></td></tr></table>");

    return {
        {"plain item links and the names on their own lines",
         kPlainItem,
         plainListPage(two),
         {{"http://item.taobao.com/item.htm?id=1001&spm=a1z10.3-c.w4002", "女装 春款"},
          {"http://item.taobao.com/item.htm?id=1002&spm=a1z10.3-c.w4002", "童鞋"}}},
        {"plain page with CRLF: no line feed right after the link",
         kPlainItem,
         plainListPage(two, "\r\n"),
         {}},
        {"plain prices end at a line feed",
         kPlainPrice,
         plainListPage(two),
         {{"88.00"}, {"120.50"}}},
        {"plain prices on a CRLF page", kPlainPrice, plainListPage(two, "\r\n"), {}},
        {"item-name links: lazy groups stop at the first quote and the first </a>",
         kVanguardItem,
         vanguardPage,
         {{"520001", "夏季 T恤"}, {"520002", "短裤"}}},
        {"three c-price spans", kVanguardPrice, vanguardPage, {{"58.00"}, {"39.90"}, {"12.00"}}},
        {"title links need two blanks before href",
         kStreetItem,
         streetPage,
         {{"女包 单肩", "3301"}}},
        {"prices in yuan", streetPrice(), streetPage, {{"35.00"}}},
        {"picture tags in either case",
         kDescPicture,
         description,
         {{"img01.taobaocdn.com/imgextra/i1/a.jpg"}, {"img02.taobaocdn.com/b.gif"}}},
        {"doubled quotes around background addresses",
         kBackground,
         description,
         {{"img03.taobaocdn.com/bg.jpg"}}},
        {"each Chinese character of an address",
         kChineseChar,
         gbk("img.taobao.com/图片/a.jpg"),
         {{"图"}, {"片"}}},
        {"one Chinese character", kChineseChar, gbk("http://img.taobao.com/宝.jpg"), {{"宝"}}},
        {"no Chinese character in ASCII",
         kChineseChar,
         "http://img01.taobaocdn.com/imgextra/i1/a.jpg",
         {}},
        {"full-width punctuation lies outside the range", kChineseChar, gbk("，。！"), {}},
    };
}

void checkCase(const PatternCase& c, const RegexLimits& limits) {
    SCOPED_TRACE(c.what);
    RegexMatcher matcher;
    matcher.setLimits(limits);
    ASSERT_TRUE(matcher.create(c.pattern));
    EXPECT_EQ(matcher.pattern(), c.pattern);
    const int count = matcher.execute(c.subject);
    EXPECT_FALSE(matcher.limitReached());
    ASSERT_EQ(count, static_cast<int>(c.groups.size()));
    EXPECT_EQ(matcher.matchCount(), count);
    EXPECT_EQ(matcher.subMatchCount(), c.groups.empty() ? 0 : static_cast<int>(c.groups[0].size()));
    for (int n = 1; n <= count; ++n) {
        const auto& expected = c.groups[static_cast<std::size_t>(n) - 1];
        for (int g = 1; g <= static_cast<int>(expected.size()); ++g) {
            EXPECT_EQ(matcher.subMatch(n, g), gbk(expected[static_cast<std::size_t>(g) - 1]))
                << "match " << n << " group " << g;
        }
    }
    EXPECT_EQ(matcher.subMatch(count + 1, 1), "");
}

TEST(RegexMatcherPatterns, SystemPatternsOnTheirPages) {
    for (const PatternCase& c : patternCases())
        checkCase(c, RegexLimits{});
}

TEST(RegexMatcherPatterns, InterpreterGivesTheSameResults) {
    for (const PatternCase& c : patternCases())
        checkCase(c, interpreterOnly());
}

TEST(RegexMatcherPatterns, EmptySubjectHasNoMatch) {
    for (const std::string& pattern : systemPatterns()) {
        RegexMatcher matcher;
        ASSERT_TRUE(matcher.create(pattern)) << pattern;
        EXPECT_EQ(matcher.execute(""), 0) << pattern;
        EXPECT_EQ(matcher.subMatchCount(), 0);
        EXPECT_EQ(matcher.subMatch(1, 1), "");
    }
}

TEST(RegexMatcherPatterns, GroupsComeBackAsGbkBytes) {
    RegexMatcher matcher;
    ASSERT_TRUE(matcher.create(kPlainItem));
    ASSERT_EQ(matcher.execute(plainListPage({{"7", "女装", "1.00"}})), 1);
    EXPECT_EQ(matcher.subMatch(1, 2), "\xC5\xAE\xD7\xB0");
    const std::string whole = matcher.matchText(1);
    const std::string tail = "\xC5\xAE\xD7\xB0\n        </a>";
    ASSERT_GT(whole.size(), tail.size());
    EXPECT_EQ(whole.substr(whole.size() - tail.size()), tail);
}

// Pattern and subject are compared by character, not by GBK byte: the trail
// byte of 乂 is "V" and that of 乗 is "\".
TEST(RegexMatcherPatterns, TrailBytesAreNotAsciiCharacters) {
    RegexMatcher matcher;
    ASSERT_TRUE(matcher.create("(v)"));
    EXPECT_EQ(matcher.execute(gbk("乂乗")), 0);
    ASSERT_EQ(matcher.execute(gbk("乂v")), 1);
    EXPECT_EQ(matcher.matchText(1), "v");

    ASSERT_TRUE(matcher.create(gbk("乂+")));
    ASSERT_EQ(matcher.execute(gbk("a乂乂乂b")), 1);
    EXPECT_EQ(matcher.matchText(1), gbk("乂乂乂"));
}

struct DialectCase {
    const char* pattern;
    const char* subject;
    int count;
    const char* firstMatch = "";
    bool ignoreCase = true;
    bool multiline = true;
    bool global = true;
};

TEST(RegexMatcherDialect, Rules) {
    const DialectCase cases[] = {
        {.pattern = "a.b", .subject = "a\rb", .count = 1, .firstMatch = "a\rb"},
        {.pattern = "a.b", .subject = "a\nb", .count = 0},
        {.pattern = "x\\sy",
         .subject = "x y x\ty x\ny x\ry x\vy x\fy",
         .count = 6,
         .firstMatch = "x y"},
        {.pattern = "\\u0041\\u00e9",
         .subject = "zA\xA8\xA6",
         .count = 1,
         .firstMatch = "A\xA8\xA6"},
        {.pattern = "IMG", .subject = "<img>", .count = 1, .firstMatch = "img"},
        {.pattern = "img", .subject = "<IMG>", .count = 0, .ignoreCase = false},
        {.pattern = "^b", .subject = "a\nb", .count = 1, .firstMatch = "b"},
        {.pattern = "^b", .subject = "a\nb", .count = 0, .multiline = false},
        {.pattern = "a$", .subject = "a\n", .count = 0, .multiline = false},
        {.pattern = "a.", .subject = "a1 a2 a3", .count = 1, .firstMatch = "a1", .global = false},
        {.pattern = "aa", .subject = "aaaaa", .count = 2, .firstMatch = "aa"},
        // Empty matches step one character on, a double-byte one included.
        {.pattern = "x*",
         .subject = "a\xC5\xAE"
                    "b",
         .count = 4},
    };
    for (const DialectCase& c : cases) {
        SCOPED_TRACE(std::string(c.pattern) + " on " + c.subject);
        RegexMatcher matcher;
        ASSERT_TRUE(matcher.create(c.pattern, c.ignoreCase, c.multiline, c.global));
        EXPECT_EQ(matcher.execute(c.subject), c.count);
        EXPECT_EQ(matcher.matchText(1), c.firstMatch);
    }
}

TEST(RegexMatcherDialect, ConsecutiveEmptyAndNonEmptyMatches) {
    RegexMatcher matcher;
    ASSERT_TRUE(matcher.create("a*"));
    ASSERT_EQ(matcher.execute("baaa"), 3);
    EXPECT_EQ(matcher.matchText(1), "");
    EXPECT_EQ(matcher.matchText(2), "aaa");
    EXPECT_EQ(matcher.matchText(3), "");
}

TEST(RegexMatcherNumbers, OutOfRangeAndAbsentGroups) {
    RegexMatcher matcher;
    EXPECT_EQ(matcher.matchCount(), 0);
    EXPECT_EQ(matcher.subMatch(1, 1), "");

    ASSERT_TRUE(matcher.create("(a)|(b)"));
    ASSERT_EQ(matcher.execute("b"), 1);
    EXPECT_EQ(matcher.subMatchCount(), 2);
    EXPECT_EQ(matcher.subMatch(1, 1), ""); // took no part
    EXPECT_EQ(matcher.subMatch(1, 2), "b");
    EXPECT_EQ(matcher.subMatch(0, 2), "");
    EXPECT_EQ(matcher.subMatch(2, 2), "");
    EXPECT_EQ(matcher.subMatch(1, 0), "");
    EXPECT_EQ(matcher.subMatch(1, 3), "");
    EXPECT_EQ(matcher.subMatch(-1, -1), "");
    EXPECT_EQ(matcher.matchText(0), "");
    EXPECT_EQ(matcher.matchText(1), "b");
    EXPECT_EQ(matcher.matchText(2), "");
}

TEST(RegexMatcherLifecycle, CreateDropsThePreviousList) {
    RegexMatcher matcher;
    ASSERT_TRUE(matcher.create(kVanguardPrice));
    ASSERT_EQ(matcher.execute("<span class=\"c-price\">1</span>"), 1);
    ASSERT_TRUE(matcher.create(kPlainPrice));
    EXPECT_EQ(matcher.matchCount(), 0);
    EXPECT_EQ(matcher.subMatch(1, 1), "");
    EXPECT_EQ(matcher.pattern(), kPlainPrice);
}

TEST(RegexMatcherLifecycle, BadPatternLeavesNoEngine) {
    const char* bad[] = {"(", "[a-", "a{2,1}", "\\", "(?<n>a)(?<n>b)", "*a", "\\C"};
    for (const char* pattern : bad) {
        SCOPED_TRACE(pattern);
        RegexMatcher matcher;
        ASSERT_TRUE(matcher.create("(x)"));
        ASSERT_EQ(matcher.execute("x"), 1);
        EXPECT_FALSE(matcher.create(pattern));
        EXPECT_EQ(matcher.pattern(), "");
        EXPECT_EQ(matcher.matchCount(), 0);
        EXPECT_EQ(matcher.execute("x ( a"), 0);
        EXPECT_EQ(matcher.subMatch(1, 1), "");
        EXPECT_EQ(matcher.replace("x ( a", "y"), "x ( a");
    }
}

TEST(RegexMatcherLifecycle, CopySharesTheMatchesAndKeepsThemOnReexecute) {
    RegexMatcher original;
    ASSERT_TRUE(original.create(kVanguardPrice));
    ASSERT_EQ(original.execute("<span class=\"c-price\">1</span><span class=\"c-price\">2</span>"),
              2);
    RegexMatcher copy = original;
    EXPECT_EQ(copy.matchCount(), 2);
    EXPECT_EQ(copy.subMatch(2, 1), "2");
    EXPECT_EQ(copy.pattern(), kVanguardPrice);

    ASSERT_EQ(original.execute("<span class=\"c-price\">9</span>"), 1);
    EXPECT_EQ(copy.matchCount(), 2);
    EXPECT_EQ(copy.subMatch(2, 1), "2");

    // The copy searches with the shared pattern on its own.
    ASSERT_EQ(copy.execute("<span class=\"c-price\">5</span>"), 1);
    EXPECT_EQ(copy.subMatch(1, 1), "5");
    EXPECT_EQ(original.subMatch(1, 1), "9");
}

struct ReplaceCase {
    const char* pattern;
    const char* subject; // UTF-8
    const char* replacement;
    const char* expected;
    bool global = true;
};

TEST(RegexMatcherReplace, GroupReferences) {
    const ReplaceCase cases[] = {
        {"(\\d+)-(\\d+)", "10-20 and 3-4", "$2:$1", "20:10 and 4:3"},
        {"(\\d+)", "a1b22", "<$&>", "a<1>b<22>"},
        {"b", "abc", "[$`|$']", "a[a|c]c"},
        {"(x)", "x", "$$1 $0 $9 $", "$1 $0 $9 $"},
        {"(x)", "x", "$12", "x2"},
        {"(a)|(b)", "ab", "[$2]", "[][b]"},
        {"o", "foo", "0", "f0o", false},
        {"(女)", "女装 女鞋", "[$1]", "[女]装 [女]鞋"},
        {"q", "no match here", "z", "no match here"},
    };
    for (const ReplaceCase& c : cases) {
        SCOPED_TRACE(std::string(c.pattern) + " / " + c.replacement);
        RegexMatcher matcher;
        ASSERT_TRUE(matcher.create(gbk(c.pattern), true, true, c.global));
        EXPECT_EQ(matcher.replace(gbk(c.subject), c.replacement), gbk(c.expected));
    }
}

TEST(RegexMatcherReplace, LeavesTheMatchListAlone) {
    RegexMatcher matcher;
    ASSERT_TRUE(matcher.create("(\\d)"));
    ASSERT_EQ(matcher.execute("1 2 3"), 3);
    EXPECT_EQ(matcher.replace("7", "x"), "x");
    EXPECT_EQ(matcher.matchCount(), 3);
    EXPECT_EQ(matcher.subMatch(3, 1), "3");
}

TEST(RegexMatcherBadInput, TwoMegabytePageFindsEveryEntry) {
    std::vector<ListItem> items = numberedItems(9000);
    const std::string page = plainListPage(items);
    ASSERT_GT(page.size(), 2'000'000u);
    for (const RegexLimits& limits : {RegexLimits{}, interpreterOnly()}) {
        RegexMatcher names;
        names.setLimits(limits);
        ASSERT_TRUE(names.create(kPlainItem));
        ASSERT_EQ(names.execute(page), 9000);
        EXPECT_FALSE(names.limitReached());
        EXPECT_EQ(names.subMatch(9000, 2), gbk(items.back().name));
        RegexMatcher prices;
        prices.setLimits(limits);
        ASSERT_TRUE(prices.create(kPlainPrice));
        ASSERT_EQ(prices.execute(page), 9000);
        EXPECT_EQ(prices.subMatch(4500, 1), "4500.00");
    }
}

// Nested repeats backtrack exponentially on the run of a's; the step limit
// ends the search and the matches before it are kept.
TEST(RegexMatcherBadInput, BacktrackingStopsAtTheStepLimit) {
    const std::string subject = "ab ab ab " + std::string(30, 'a') + "cb";
    for (const RegexLimits& limits : {RegexLimits{}, interpreterOnly()}) {
        SCOPED_TRACE(limits.useJit ? "jit" : "interpreter");
        RegexMatcher matcher;
        matcher.setLimits(limits);
        ASSERT_TRUE(matcher.create("(a*)*b"));
        EXPECT_EQ(matcher.execute(subject), 3);
        EXPECT_TRUE(matcher.limitReached());
        EXPECT_EQ(matcher.matchText(3), "ab");

        // The matcher stays usable.
        EXPECT_EQ(matcher.execute("aab"), 1);
        EXPECT_FALSE(matcher.limitReached());
    }
}

// Two megabytes on one line, each opening tag without its closing one before
// the line feed: every start position scans to the end of the line, which
// the time budget cuts short.
TEST(RegexMatcherBadInput, LazyScanWithoutClosingMarkerEnds) {
    std::string subject;
    while (subject.size() < 2'000'000)
        subject += "<span class=\"c-price\">9.90";
    subject += "\n</span>";

    for (RegexLimits limits : {RegexLimits{}, interpreterOnly()}) {
        SCOPED_TRACE(limits.useJit ? "jit" : "interpreter");
        limits.timeBudget = std::chrono::milliseconds(50);
        RegexMatcher matcher;
        matcher.setLimits(limits);
        ASSERT_TRUE(matcher.create(kVanguardPrice));
        EXPECT_EQ(matcher.execute(subject), 0);
        // The machine code may skip hopeless starts; the interpreter cannot.
        if (!limits.useJit) {
            EXPECT_TRUE(matcher.limitReached());
        }
    }
}

std::string randomBytes(std::mt19937& rng, std::size_t size) {
    std::string bytes(size, '\0');
    for (char& b : bytes)
        b = static_cast<char>(rng() & 0xFF);
    return bytes;
}

TEST(RegexMatcherBadInput, RandomBytesAsSubjectAndPattern) {
    std::mt19937 rng(20240611);
    RegexLimits limits;
    limits.matchLimit = 100'000;
    limits.timeBudget = std::chrono::milliseconds(20);
    std::vector<std::string> patterns = systemPatterns();
    for (int round = 0; round < 200; ++round) {
        // Random bytes with markup pieces, so that some searches get far.
        std::string subject = randomBytes(rng, rng() % 3000);
        subject.insert(rng() % (subject.size() + 1), "<span class=\"c-price\">\x81</span>\n");

        RegexMatcher matcher;
        matcher.setLimits(limits);
        ASSERT_TRUE(matcher.create(patterns[static_cast<std::size_t>(round) % patterns.size()]));
        const int count = matcher.execute(subject);
        ASSERT_GE(count, 0);
        for (int n = 1; n <= count; ++n)
            (void)matcher.subMatch(n, 1);

        RegexMatcher random;
        random.setLimits(limits);
        if (random.create(randomBytes(rng, rng() % 24))) {
            const int found = random.execute(subject);
            for (int n = 1; n <= found; ++n)
                (void)random.matchText(n);
            (void)random.replace(subject, "$1$&");
        } else {
            EXPECT_EQ(random.execute(subject), 0);
        }
    }
}

TEST(RegexMatcherBadInput, InvalidGbkAroundAMatch) {
    RegexMatcher matcher;
    ASSERT_TRUE(matcher.create(kVanguardPrice));
    ASSERT_EQ(matcher.execute("\x81\xFF\x80<span class=\"c-price\">9.90</span>\x81"), 1);
    EXPECT_EQ(matcher.subMatch(1, 1), "9.90");
}

TEST(RegexMatcherThreads, MatchersAndCopiesOnSeveralThreads) {
    const std::vector<ListItem> items = numberedItems(300);
    const std::string page = plainListPage(items);
    RegexMatcher prototype;
    ASSERT_TRUE(prototype.create(kPlainItem));
    ASSERT_EQ(prototype.execute(page), 300);

    std::vector<RegexMatcher> copies(4, prototype);
    std::atomic<int> failures{0};
    std::vector<std::thread> threads;
    for (std::size_t t = 0; t < copies.size(); ++t) {
        threads.emplace_back([&, t] {
            RegexMatcher own;
            own.create(t % 2 == 0 ? kPlainPrice : kChineseChar);
            const int expected = t % 2 == 0 ? 300 : 5 * 300; // 女装 连衣裙 per name
            for (int round = 0; round < 10; ++round) {
                if (own.execute(page) != expected)
                    ++failures;
                if (copies[t].execute(page) != 300)
                    ++failures;
                if (copies[t].subMatch(300, 2) != gbk(items.back().name))
                    ++failures;
            }
        });
    }
    for (std::thread& thread : threads)
        thread.join();
    EXPECT_EQ(failures.load(), 0);
    EXPECT_EQ(prototype.subMatch(1, 2), gbk(items.front().name));
}

} // namespace
} // namespace quillon::doc
