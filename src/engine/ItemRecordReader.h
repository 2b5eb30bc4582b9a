#pragma once

#include <string>
#include <string_view>

#include "engine/ItemRecord.h"

namespace quillon::doc {
class XmlDocument;
}

namespace quillon::shell {
class Settings;
struct SettingsValues;
} // namespace quillon::shell

namespace quillon::engine {

// Turns one taobao.item.get answer into an ItemRecord: reads the fields,
// cleans the texts the platform leaves escaped, maps words onto the
// assistant's codes, builds the SKU text and applies the price and stock
// adjustments. Stateless; runs on the worker thread that owns the document.
// An empty or unreadable answer gives empty and default fields, never a
// failure.
class ItemRecordReader {
  public:
    // Every field but desc and pictureText. The settings are read once, when
    // the call starts.
    static ItemRecord readBasicFields(const doc::XmlDocument& answer, std::string_view itemId,
                                      const shell::Settings& settings);
    static ItemRecord readBasicFields(const doc::XmlDocument& answer, std::string_view itemId,
                                      const shell::SettingsValues& settings);

    // The description, cleaned for its quoted column, with the replacements
    // applied. The settings are read once, when the call starts.
    static std::string readDescription(const doc::XmlDocument& answer,
                                       const shell::Settings& settings);
    static std::string readDescription(const doc::XmlDocument& answer,
                                       const shell::SettingsValues& settings);

    // The title clean-up alone: escaped ampersands and apostrophes resolved,
    // "*", "|", "<", ">", ".", "?" turned into blanks.
    static std::string cleanTitle(std::string_view title);

    // The description clean-up alone: tags unescaped, quotes doubled, ASCII
    // commas made full-width, line breaks removed.
    static std::string cleanDescription(std::string_view desc);

    // The three replacement pairs with a non-empty source, in order, each
    // replacing every occurrence (case-sensitive).
    static std::string applyReplacements(std::string_view text,
                                         const shell::SettingsValues& settings);

    // The price as the settings adjust it: unchanged without priceAdjust,
    // else multiplied by the percentage and, when priceDecimals is a whole
    // number from 0 to 6, rounded half up to that many decimals.
    static std::string adjustPrice(std::string_view price, const shell::SettingsValues& settings);
};

} // namespace quillon::engine
