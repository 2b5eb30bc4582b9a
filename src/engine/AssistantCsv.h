#pragma once

#include <string>
#include <string_view>

#include "engine/ItemRecord.h"

namespace quillon::engine {

// The data file that Taobao Assistant imports, in its 4.x layout (one header
// line, 46 columns) or its 5.x layout (three header lines, 44 columns). GBK
// bytes, "\r\n" line ends, no byte-order mark. Stateless; any thread.
class AssistantCsv {
  public:
    // Stands in for the double quote around quoted columns until the file is
    // written.
    static constexpr std::string_view kQuoteMarker = "|*|";

    // The host of the item address in the last column of the 4.x layout.
    static constexpr std::string_view kItemDetailHost = "detail.tmall.com";

    // The header lines of the layout, each ending in "\r\n". Version 4 gives
    // the 4.x layout, any other the 5.x layout.
    static std::string header(int assistantVersion);

    // One data row for the item (pictureText included), quoted columns
    // wrapped in the quote marker, ending in "\r\n". Values go in as they
    // are; the description was prepared for its quoted column beforehand.
    static std::string buildRow(const ItemRecord& record, int assistantVersion);

    // Writes the header and the rows, every quote marker turned into a
    // double quote, to `path`, creating or replacing it whole: the bytes go
    // to a temporary file in the same folder, which is then renamed, so a
    // failed write leaves an existing file untouched and no temporary file
    // behind. False on failure, with `reason` naming the step and the file.
    static bool writeFile(const std::string& path, int assistantVersion, std::string_view csvRows,
                          std::string& reason);
};

} // namespace quillon::engine
