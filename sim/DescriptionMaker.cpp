#include "DescriptionMaker.h"

#include <array>
#include <vector>

#include "CatalogWords.h"
#include "Markup.h"
#include "SeedRandom.h"

namespace quillon::sim {

void DescriptionMaker::describe(ItemInfo& item, std::uint64_t seed, std::uint64_t idNumber,
                                const std::string& taobao, const std::string& other) {
    const CatalogWords& w = catalogWords();
    const auto pick = [](SeedRandom& random,
                         const std::vector<std::string>& list) -> const std::string& {
        return list[random.below(list.size())];
    };
    const auto pictureKey = [&](std::uint64_t slot) {
        return SeedRandom(seed, SeedTag::Picture, {idNumber, slot}).next();
    };
    SeedRandom descRandom(seed, SeedTag::Description, {idNumber});
    enum : unsigned {
        kAmp = 1,
        kOther = 2,
        kChinese = 4,
        kBackground = 8,
        kHotlink = 16,
        kRepeat = 32
    };
    static constexpr std::array<unsigned, 8> kPatterns = {
        kAmp | kOther | kChinese | kBackground | kHotlink | kRepeat,
        kAmp | kOther,
        kChinese | kBackground,
        0, // text only
        kHotlink | kRepeat,
        kAmp | kChinese,
        kBackground | kOther,
        0x80, // one plain picture
    };
    const unsigned pattern = kPatterns[static_cast<std::size_t>(item.index) % kPatterns.size()];
    unsigned features = pattern;
    if (pattern != 0) {
        for (const unsigned bit : {kAmp, kOther, kChinese, kBackground}) {
            if (descRandom.chance(0.15)) {
                features |= bit;
            }
        }
    }
    std::string desc = "<p style=\"text-align:center;\"><span style=\"font-size:18.0px;"
                       "color:#cc0000;\"><strong>" +
                       Markup::html(item.title) + "</strong></span></p>\r\n";
    desc += "<p>" + pick(descRandom, w.sentences) + ", " + pick(descRandom, w.sentences) +
            "&nbsp;&nbsp;" + pick(descRandom, w.sentences) + "</p>\r\n";
    int descNumber = 0;
    const auto addDescPicture = [&](const std::string& host, const std::string& path,
                                    PictureFormat format) -> const PictureRef& {
        item.descPictures.push_back(PictureRef::at(
            host, path, format, pictureKey(300 + static_cast<std::uint64_t>(descNumber))));
        ++descNumber;
        return item.descPictures.back();
    };
    std::string firstTag;
    if (features != 0) {
        const PictureRef& first = addDescPicture(
            taobao, "/imgextra/i1/" + item.id + "/T3" + descRandom.hex(12) + "_d0.jpg",
            PictureFormat::Jpeg);
        firstTag = "<p><img src=\"" + first.written + "\" align=\"absmiddle\" /></p>\r\n";
        desc += firstTag;
    }
    if (features & kAmp) {
        const PictureRef& ref =
            addDescPicture(taobao,
                           "/imgextra/i3/" + item.id + "/T3" + descRandom.hex(12) +
                               "_d1.jpg?v=1&t=" + std::to_string(descRandom.between(100, 999)),
                           PictureFormat::Jpeg);
        desc += "<p><IMG src=\"" + ref.written + "\" width=\"750\" height=\"400\"></p>\r\n";
    }
    if (features & kBackground) {
        const PictureRef& ref = addDescPicture(
            taobao, "/imgextra/i1/" + item.id + "/T3" + descRandom.hex(12) + "_bg.gif",
            PictureFormat::Gif);
        desc += "<table width=\"750\" background=\"" + ref.written +
                "\" border=\"0\"><tr><td height=\"200\">&nbsp;</td></tr></table>\r\n";
    }
    if (features & kOther) {
        const PictureRef& ref = addDescPicture(
            other, "/photo/" + item.id + "/d3_" + descRandom.hex(8) + ".png", PictureFormat::Png);
        desc += "<p><img src=\"" + ref.written + "\" /></p>\r\n";
    }
    if (features & kChinese) {
        const PictureRef& ref = addDescPicture(taobao,
                                               "/imgextra/i4/" + item.id + "/" + w.detailFolder +
                                                   "/T3" + descRandom.hex(12) + "_d4.gif",
                                               PictureFormat::Gif);
        desc += "<p><img src=\"" + ref.written + "\" /></p>\r\n";
    }
    if (features & kHotlink) {
        const PictureRef& ref =
            addDescPicture(other, "/hotlink/" + item.id + "/d5_" + descRandom.hex(8) + ".jpg",
                           PictureFormat::HtmlPage);
        desc += "<p><img src=\"" + ref.written + "\" /></p>\r\n";
    }
    if (features & kRepeat) {
        desc += firstTag;
    }
    desc += "<p>" + w.thanks + "</p>";
    item.desc = std::move(desc);
}

} // namespace quillon::sim
