#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "doc/RegexMatcher.h"
#include "text/TextCodec.h"

namespace quillon::sim::testing {

// The program's list-page patterns, byte for byte ("\n" is a line feed in
// the pattern text), in UTF-8 here; the matcher gets them in GBK.
struct ListTemplatePatterns {
    std::string_view name; // UTF-8
    std::string_view items;
    std::string_view prices;
};

inline const ListTemplatePatterns kListPatterns[] = {
    {"普通", "<a target=\"_blank\" href=\"(.*?)\" class=\"permalink\" style=\"\">\n(.*?)\n\\s*</a>",
     "&yen;</s><strong>(.*?)</strong>\n"},
    {"旺铺", "<a class=\"item-name\" href=\".*?id=(.*?)\" target=\"_blank\">(.*?)</a>",
     "<span class=\"c-price\">(.*?)</span>"},
    {"店铺街", "<a title=\"(.*?)\"  href=\".*?id=(.*?)\" target=\"_blank\">",
     "<strong>(.*?) 元</strong>"},
};

// Every match of the UTF-8 `pattern` in the GBK `subject`, each as its
// groups 1..`groups` in GBK, found by the program's own matcher.
inline std::vector<std::vector<std::string>> allMatches(std::string_view pattern,
                                                        std::string_view subject, int groups = 2) {
    doc::RegexMatcher matcher;
    matcher.create(text::utf8ToGbk(pattern));
    std::vector<std::vector<std::string>> out;
    const int count = matcher.execute(subject);
    for (int n = 1; n <= count; ++n) {
        std::vector<std::string> texts;
        for (int g = 1; g <= groups; ++g) {
            texts.push_back(matcher.subMatch(n, g));
        }
        out.push_back(std::move(texts));
    }
    return out;
}

} // namespace quillon::sim::testing
