#include "AddressBox.h"

#include <QMouseEvent>

#include "QtText.h"

namespace quillon::gui {

using acquisition::CollectMode;

AddressBox::AddressBox(std::function<CollectMode()> mode, QWidget* parent)
    : QLineEdit(parent), m_mode(std::move(mode)) {
    setObjectName(QStringLiteral("addressBox"));
}

QString AddressBox::placeholderFor(CollectMode mode) {
    switch (mode) {
    case CollectMode::Single:
        return tr8("请输入宝贝地址");
    case CollectMode::Category:
        return tr8("请输入列表地址");
    case CollectMode::Store:
        return tr8("请输入店铺地址");
    case CollectMode::None:
        break;
    }
    return {};
}

bool AddressBox::isPlaceholder(const QString& text) {
    return text == placeholderFor(CollectMode::Single) ||
           text == placeholderFor(CollectMode::Category) ||
           text == placeholderFor(CollectMode::Store);
}

void AddressBox::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton && isPlaceholder(text()))
        clear();
    QLineEdit::mousePressEvent(event);
}

void AddressBox::focusOutEvent(QFocusEvent* event) {
    if (text().isEmpty())
        setText(placeholderFor(m_mode()));
    QLineEdit::focusOutEvent(event);
}

} // namespace quillon::gui
