#include "StartPage.h"

#include <QLabel>
#include <QPushButton>
#include <QTextBrowser>
#include <QUrl>
#include <QVBoxLayout>

#include "QtText.h"

namespace quillon::gui {

StartPage::StartPage(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("startPage"));
    auto* introduction =
        new QLabel(tr8("Quillon 把淘宝、天猫的宝贝连同图片复制成淘宝助理可以导入的数据包。"
                       "在上方选择单个、列表或店铺采集，输入地址，加入列表后开始采集。"),
                   this);
    introduction->setWordWrap(true);

    auto* news = new QTextBrowser(this);
    news->setObjectName(QStringLiteral("newsView"));
    news->setSource(QUrl(QStringLiteral("qrc:/help/news.html")));

    auto* help = new QPushButton(tr8("使用说明"), this);
    help->setObjectName(QStringLiteral("helpButton"));
    connect(help, &QPushButton::clicked, this, &StartPage::helpRequested);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(introduction);
    layout->addWidget(news, 1);
    layout->addWidget(help, 0, Qt::AlignLeft);
}

} // namespace quillon::gui
