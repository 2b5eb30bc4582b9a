#pragma once

#include <QString>
#include <string>
#include <string_view>

namespace quillon::gui {

// The GUI's edge: widgets hold UTF-16, the core holds GBK bytes.
QString toQt(std::string_view gbk);
std::string toGbk(const QString& text);

// A UTF-8 source literal as a QString (captions written in the source).
inline QString tr8(const char* utf8) {
    return QString::fromUtf8(utf8);
}

} // namespace quillon::gui
