#include "Banner.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>

#include "PagePictures.h"

namespace quillon::gui {

Banner::Banner(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("banner"));
    setFixedHeight(38);
    m_description = new QLabel(this);
    m_description->setObjectName(QStringLiteral("bannerDescription"));
    m_description->setStyleSheet(QStringLiteral("color: white;"));
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(12, 0, 12, 0);
    layout->addWidget(m_description);
}

void Banner::setPage(int choice, const QString& description) {
    m_choice = choice;
    m_description->setText(description);
    update();
}

QString Banner::description() const {
    return m_description->text();
}

void Banner::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.drawPixmap(rect(), bannerPicture(m_choice, size()));
}

} // namespace quillon::gui
