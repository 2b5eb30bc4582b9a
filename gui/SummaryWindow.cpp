#include "SummaryWindow.h"

#include <QGuiApplication>
#include <QLabel>
#include <QScreen>
#include <QVBoxLayout>

#include "QtText.h"

namespace quillon::gui {

SummaryWindow::SummaryWindow(const shell::RunCounters& counters, QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::WindowStaysOnTopHint) {
    setObjectName(QStringLiteral("summaryWindow"));
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(tr8("复制完成！"));
    setFixedSize(212, 148);

    m_lines = {tr8("下载总数： ") + QString::number(counters.total),
               tr8("成功下载： ") + QString::number(counters.successCount),
               tr8("下载失败： ") + QString::number(counters.failureCount)};
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel(tr8("复制已经完成："), this));
    for (const QString& line : m_lines)
        layout->addWidget(new QLabel(line, this));

    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        const QRect area = screen->geometry();
        move(area.width() - width() - 10, area.height() - height() - 30);
    }
}

QStringList SummaryWindow::lines() const {
    return m_lines;
}

} // namespace quillon::gui
