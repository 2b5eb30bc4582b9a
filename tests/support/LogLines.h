#pragma once

// Log lines without their time stamp, for comparing messages.

#include <string>

#include "text/TextCodec.h"

namespace quillon::support {

// The line after its stamp: the digits and the GBK date and time units.
inline std::string messageOf(const std::string& line) {
    static const std::string units[] = {text::gbk("年"), text::gbk("月"), text::gbk("日"),
                                        text::gbk("时"), text::gbk("分"), text::gbk("秒")};
    std::size_t pos = 0;
    while (pos < line.size()) {
        if (line[pos] >= '0' && line[pos] <= '9') {
            ++pos;
            continue;
        }
        bool unit = false;
        for (const std::string& u : units) {
            if (line.compare(pos, u.size(), u) == 0) {
                pos += u.size();
                unit = true;
                break;
            }
        }
        if (!unit)
            break;
    }
    return line.substr(pos);
}

} // namespace quillon::support
