#include "CatalogWords.h"

#include "text/TextCodec.h"

namespace quillon::sim {

std::vector<std::string> CatalogWords::gbkList(std::initializer_list<const char*> utf8) {
    std::vector<std::string> out;
    out.reserve(utf8.size());
    for (const char* text : utf8) {
        out.push_back(text::utf8ToGbk(text));
    }
    return out;
}

std::string CatalogWords::gbk(const char* utf8) {
    return text::utf8ToGbk(utf8);
}

const CatalogWords& catalogWords() {
    static const CatalogWords table;
    return table;
}

} // namespace quillon::sim
