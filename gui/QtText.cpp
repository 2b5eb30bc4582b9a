#include "QtText.h"

#include "text/TextCodec.h"

namespace quillon::gui {

QString toQt(std::string_view gbk) {
    const std::string utf8 = text::gbkToUtf8(gbk);
    return QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size()));
}

std::string toGbk(const QString& text) {
    const QByteArray utf8 = text.toUtf8();
    return text::utf8ToGbk(std::string_view(utf8.constData(), static_cast<size_t>(utf8.size())));
}

} // namespace quillon::gui
