#include <gtest/gtest.h>

#include <iconv.h>
#include <string>

#include "text/GbkText.h"
#include "text/LocalTime.h"
#include "text/Markers.h"
#include "text/Md5.h"
#include "text/Number.h"
#include "text/PercentEncode.h"
#include "text/TextCodec.h"
#include "text/Trim.h"

using namespace quillon::text;

namespace {

// GBK bytes of a few characters used below.
const std::string kZhong = "\xD6\xD0";              // 中
const std::string kWen = "\xCE\xC4";                // 文
const std::string kBiao = "\x81\x5C";               // 乗 (CP936 81 5C): its trail byte is "\"
const std::string kQuoteWord = "#\xD2\xFD\xBA\xC5"; // #引号

TEST(TextCodec, RoundTripsChineseText) {
    const std::string gbk = kZhong + kWen + "abc" + kBiao;
    const std::string utf8 = gbkToUtf8(gbk);
    EXPECT_EQ(utf8.substr(0, 9), "\xE4\xB8\xAD\xE6\x96\x87"
                                 "abc");
    EXPECT_EQ(utf8ToGbk(utf8), gbk);
}

TEST(TextCodec, ReplacesWhatCannotBeConverted) {
    struct Case {
        const char* name;
        std::string input;
        bool toGbk;
        std::string expected;
    };
    const Case cases[] = {
        {"emoji has no GBK form",
         "a\xF0\x9F\x98\x80"
         "b",
         true, "a?b"},
        {"stray continuation byte",
         "a\x80"
         "b",
         true, "a?b"},
        {"truncated UTF-8 at the end", "ab\xE4\xB8", true, "ab?"},
        {"truncated UTF-8 in the middle",
         "a\xE4\xB8"
         "b",
         true, "a?b"},
        {"overlong form",
         "a\xC0\xAF"
         "b",
         true, "a??b"},
        {"lone GBK lead byte at the end", "ab\xD6", false, "ab?"},
        {"GBK lead byte before a digit keeps the digit",
         "\xD6"
         "1b",
         false, "?1b"},
        {"0xFF is no GBK byte",
         "a\xFF"
         "b",
         false, "a?b"},
        {"empty", "", true, ""},
    };
    for (const Case& c : cases) {
        const std::string out = c.toGbk ? utf8ToGbk(c.input) : gbkToUtf8(c.input);
        EXPECT_EQ(out, c.expected) << c.name;
    }
}

// The fast conversion must agree with iconv on every double-byte character.
TEST(TextCodec, AgreesWithIconvOnEveryDoubleByteCharacter) {
    iconv_t cd = iconv_open("UTF-8", "CP936");
    ASSERT_NE(cd, reinterpret_cast<iconv_t>(-1));
    int checked = 0;
    for (int lead = 0x81; lead <= 0xFE; ++lead) {
        for (int trail = 0x40; trail <= 0xFE; ++trail) {
            if (trail == 0x7F)
                continue;
            char in[2] = {static_cast<char>(lead), static_cast<char>(trail)};
            char out[8];
            char* inPtr = in;
            char* outPtr = out;
            std::size_t inLeft = 2;
            std::size_t outLeft = sizeof out;
            iconv(cd, nullptr, nullptr, nullptr, nullptr);
            if (iconv(cd, &inPtr, &inLeft, &outPtr, &outLeft) == static_cast<std::size_t>(-1)) {
                EXPECT_EQ(gbkToUtf8(std::string(in, 2)), "?") << lead << " " << trail;
                continue;
            }
            const std::string expected(out, static_cast<std::size_t>(outPtr - out));
            ASSERT_EQ(gbkToUtf8(std::string(in, 2) + "x"), expected + "x") << lead << " " << trail;
            ++checked;
        }
    }
    iconv_close(cd);
    EXPECT_GT(checked, 20000);
}

TEST(GbkText, SearchesNeverStartInsideADoubleByteCharacter) {
    // A byte search for "\" would hit the trail byte of kBiao.
    const std::string text = kBiao + "a\\b";
    EXPECT_EQ(findText(text, "\\"), 3u);
    EXPECT_EQ(findLastText(kBiao + "x." + kBiao, "\\"), std::string::npos);
    EXPECT_EQ(findLastText(text + "\\", "\\"), 5u);
    // 中 is D6 D0; "\xD0" + "A" would match across the boundary of two characters.
    EXPECT_EQ(findText(kZhong + "A", "\xD0"
                                     "A"),
              std::string::npos);
    // Trail bytes 0x40-0x7E look like letters: no case folding inside them.
    const std::string withLetterTrail = "\x81"
                                        "A"
                                        "a"; // one character, then "a"
    EXPECT_EQ(findTextNoCase(withLetterTrail, "A"), 2u);
    EXPECT_EQ(lowerAscii(withLetterTrail + "B"), "\x81"
                                                 "Aab");
    EXPECT_EQ(upperAscii("\x81"
                         "a"
                         "b"),
              "\x81"
              "aB");
}

TEST(GbkText, FindsAndReplaces) {
    struct Case {
        std::string text, from, to, sensitive, insensitive;
    };
    const Case cases[] = {
        {"aXbxc", "x", "-", "aXb-c", "a-b-c"},
        {"aaaa", "aa", "a", "aa", "aa"}, // replacements are not scanned again
        {"abc", "", "z", "abc", "abc"},  // empty pattern changes nothing
        {"1,2,3", ",", "\xA3\xAC",
         "1\xA3\xAC"
         "2\xA3\xAC"
         "3",
         "1\xA3\xAC"
         "2\xA3\xAC"
         "3"},
        {kZhong + "ID=" + kWen, "id=", "#", kZhong + "ID=" + kWen, kZhong + "#" + kWen},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(replaceAll(c.text, c.from, c.to), c.sensitive) << c.text;
        EXPECT_EQ(replaceAllNoCase(c.text, c.from, c.to), c.insensitive) << c.text;
    }
    EXPECT_EQ(findText("abc", "c", 5), std::string::npos);
    EXPECT_TRUE(containsTextNoCase("<IMG src", "<img "));
    EXPECT_FALSE(containsText("<IMG src", "<img "));
}

TEST(Trim, RemovesSpacesAndFullWidthSpacesOnly) {
    struct Case {
        std::string input, both, start, end;
    };
    const std::string fw(kFullWidthSpace);
    const Case cases[] = {
        {"  a b  ", "a b", "a b  ", "  a b"},
        {fw + " a" + fw, "a", "a" + fw, fw + " a"},
        {"\ta\r\n", "\ta\r\n", "\ta\r\n", "\ta\r\n"}, // tabs and line breaks stay
        {"   ", "", "", ""},
        // "\xA1\xA1" here is the trail of one character and the lead of the next:
        // no full-width space at the end.
        {"\xB0\xA1\xA1\xA2", "\xB0\xA1\xA1\xA2", "\xB0\xA1\xA1\xA2", "\xB0\xA1\xA1\xA2"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(trim(c.input), c.both);
        EXPECT_EQ(trimStart(c.input), c.start);
        EXPECT_EQ(trimEnd(c.input), c.end);
    }
    EXPECT_TRUE(isBlank(" \t\r\n"));
    EXPECT_TRUE(isBlank(""));
    EXPECT_FALSE(isBlank(" x "));
    EXPECT_EQ(removeBlanks(" a\tb\r\nc "), "abc");
}

TEST(Markers, CutBetween) {
    struct Case {
        const char* name;
        std::string text, left, right, expected;
    };
    const Case cases[] = {
        {"item id of an item page", "var g={itemId:\"12345\",sellerId:\"9\"}", "itemId:\"", "\",",
         "12345"},
        {"ignores case", "<TITLE>shop</TITLE>", "<title>", "</title>", "shop"},
        {"#引号 stands for a double quote", "<span class=\"page-info\">1/25</span>",
         "<span class=" + kQuoteWord + "page-info" + kQuoteWord + ">", "</span>", "1/25"},
        {"right marker after the left one", "b]a[x]", "[", "]", "x"},
        {"missing left", "abc", "[", "]", ""},
        {"missing right", "a[bc", "[", "]", ""},
        {"empty piece", "a[]c", "[", "]", ""},
        {"category key", "http://s.test/search.htm?a=1&scid=77&x", "&scid=", "&", "77"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(cutBetween(c.text, c.left, c.right), c.expected) << c.name;
    }
    EXPECT_EQ(cutBetween("<T>x</T><t>y</t>", "<t>", "</t>", 0, true), "y");
    EXPECT_EQ(cutBetween("[a][b]", "[", "]", 3), "b");
}

TEST(Markers, TextBetweenAndAfterLast) {
    struct Case {
        std::string text, left, right, expected;
    };
    const Case cases[] = {
        {"Set-Cookie: a=1; path=/", "Set-Cookie:", ";", " a=1"},
        {"a=1; path=/", "=", ";", "1"},
        {"b=; path=/", "=", ";", ""},
        {"key=value", "=", "", "value"},
        {"key=value", "", "=", "key"},
        {"no marker", "[", "]", ""},
        {"A=1", "a", "=", ""}, // case-sensitive
    };
    for (const Case& c : cases) {
        EXPECT_EQ(textBetween(c.text, c.left, c.right), c.expected) << c.text;
    }
    EXPECT_EQ(afterLast("1/25", "/"), "25");
    EXPECT_EQ(afterLast("a/b/c", "/"), "c");
    EXPECT_EQ(afterLast("abc", "/"), "");
    EXPECT_EQ(afterLast("abc/", "/"), "");
}

TEST(Number, FromText) {
    struct Case {
        std::string text;
        double expected;
    };
    const Case cases[] = {
        {"12.50", 12.5},
        {"  40.00 ", 40},
        {"36.00 \xD4\xAA", 36}, // 元
        {"-3.5e2x", -350},
        {"+7", 7},
        {"1.2.3", 1.2},
        {"5e", 5},
        {".5", 0.5},
        {"abc", 0},
        {"", 0},
        {"-", 0},
        {"inf", 0},
        {"0x1A", 0},
        {"\xA3\xB1\xA3\xB2\xA3\xAE\xA3\xB5", 12.5}, // full-width １２．５
        {"\xA1\xA1"
         "8",
         8}, // full-width space first
    };
    for (const Case& c : cases) {
        EXPECT_DOUBLE_EQ(numberFromText(c.text), c.expected) << c.text;
    }
}

TEST(Number, ToTextLikePercentPointThirteenG) {
    struct Case {
        double value;
        const char* expected;
    };
    const Case cases[] = {
        {15, "15"},
        {8.415, "8.415"},
        {12.5 * 120 / 100, "15"},
        {9.9 * 85 / 100, "8.415"},
        {0.1 + 0.2, "0.3"},
        {1.0 / 3, "0.3333333333333"},
        {-0.0, "0"},
        {1e20, "1e+20"},
        {123456789012345.0, "1.234567890123e+14"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(numberToText(c.value), c.expected);
    }
}

TEST(Md5, KnownDigests) {
    EXPECT_EQ(md5Hex(""), "d41d8cd98f00b204e9800998ecf8427e");
    EXPECT_EQ(md5Hex("abc"), "900150983cd24fb0d6963f7d28e17f72");
    EXPECT_EQ(md5Mid16("abc"), "3cd24fb0d6963f7d");
    EXPECT_EQ(md5UpperHex("abc"), "900150983CD24FB0D6963F7D28E17F72");
    // GBK bytes are hashed as they are.
    EXPECT_NE(md5Hex(kZhong), md5Hex(gbkToUtf8(kZhong)));
}

TEST(PercentEncode, EveryByteInUpperCaseHex) {
    EXPECT_EQ(percentEncode(kZhong + kWen), "%D6%D0%CE%C4");
    EXPECT_EQ(percentEncode("a /"), "%61%20%2F");
    EXPECT_EQ(percentEncode(""), "");
}

TEST(UnixStamp, LocalClockIsTakenAsUtcPlusEight) {
    struct Case {
        LocalTime when;
        const char* seconds;
        const char* millis;
    };
    const Case cases[] = {
        {{1970, 1, 1, 8, 0, 0, 0}, "0", "0"},
        {{2013, 6, 10, 8, 5, 9, 7}, "1370822709", "1370822709007"},
        {{2024, 2, 29, 23, 59, 59, 999}, "1709222399", "1709222399999"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(unixStampText(false, c.when), c.seconds);
        EXPECT_EQ(unixStampText(true, c.when), c.millis);
    }
    EXPECT_EQ(unixStampText(false).size(), 10u);
    EXPECT_EQ(unixStampText(true).size(), 13u);
}

} // namespace
