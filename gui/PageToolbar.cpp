#include "PageToolbar.h"

#include <QHBoxLayout>
#include <QToolButton>

#include "PagePictures.h"
#include "QtText.h"

namespace quillon::gui {

PageToolbar::PageToolbar(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("pageToolbar"));
    setFixedHeight(64);
    setAutoFillBackground(true);
    QPalette strip = palette();
    strip.setColor(QPalette::Window, QColor(0x1d, 0x3f, 0x72));
    strip.setColor(QPalette::ButtonText, Qt::white);
    setPalette(strip);

    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(8, 3, 8, 3);
    layout->setSpacing(4);
    for (int k = 1; k <= kButtonCount; ++k) {
        auto* button = new QToolButton(this);
        button->setObjectName(QStringLiteral("toolbarButton%1").arg(k));
        button->setText(caption(k));
        button->setIcon(QIcon(toolbarPicture(k, QSize(32, 32))));
        button->setIconSize(QSize(32, 32));
        button->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
        button->setAutoRaise(true);
        button->setFixedSize(65, 58);
        button->setStyleSheet(QStringLiteral("QToolButton { color: white; }"));
        connect(button, &QToolButton::clicked, this, [this, k] { emit pageChosen(k); });
        layout->addWidget(button);
        m_buttons[k - 1] = button;
    }
    layout->addStretch();
}

QString PageToolbar::caption(int button) {
    static const char* const kCaptions[kButtonCount] = {
        "开始页面", "单个采集", "列表采集", "店铺采集", "下载配置", "使用帮助", "退出系统",
    };
    if (button < 1 || button > kButtonCount)
        return {};
    return tr8(kCaptions[button - 1]);
}

QToolButton* PageToolbar::button(int k) const {
    return k >= 1 && k <= kButtonCount ? m_buttons[k - 1] : nullptr;
}

} // namespace quillon::gui
