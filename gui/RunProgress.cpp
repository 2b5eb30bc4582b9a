#include "RunProgress.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>

#include "QtText.h"

namespace quillon::gui {

RunProgress::RunProgress(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("runProgress"));
    m_label = new QLabel(this);
    m_bar = new QProgressBar(this);
    m_bar->setFixedWidth(180);
    m_bar->setTextVisible(false);
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_label);
    layout->addWidget(m_bar);
    showCounters({}, false);
}

void RunProgress::showCounters(const shell::RunCounters& counters, bool running) {
    const int total = counters.total;
    const int done = std::min(counters.itemsDone, total);
    m_bar->setRange(0, std::max(total, 1));
    m_bar->setValue(done);
    m_bar->setVisible(running || total > 0);
    if (!running && total == 0)
        m_label->setText(tr8("就绪"));
    else if (running)
        m_label->setText(tr8("正在复制：%1 / %2").arg(done).arg(total));
    else
        m_label->setText(
            tr8("已复制：%1 / %2（成功 %3）").arg(done).arg(total).arg(counters.successCount));
}

QString RunProgress::text() const {
    return m_label->text();
}

} // namespace quillon::gui
