#include "SplashWindow.h"

#include <QCoreApplication>
#include <QLabel>
#include <QProgressBar>
#include <QVBoxLayout>

#include "PagePictures.h"

namespace quillon::gui {

SplashWindow::SplashWindow(QWidget* parent)
    : QWidget(parent, Qt::SplashScreen | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint) {
    setObjectName(QStringLiteral("splashWindow"));
    auto* picture = new QLabel(this);
    picture->setPixmap(bannerPicture(1, QSize(360, 120)));
    m_status = new QLabel(this);
    m_status->setObjectName(QStringLiteral("splashStatus"));
    m_progress = new QProgressBar(this);
    m_progress->setRange(0, 100);
    m_progress->setValue(0);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(picture);
    layout->addWidget(m_status);
    layout->addWidget(m_progress);
}

void SplashWindow::setStatus(const QString& status) {
    m_status->setText(status);
    paintNow();
}

void SplashWindow::setProgress(int percent) {
    m_progress->setValue(percent);
    paintNow();
}

QString SplashWindow::status() const {
    return m_status->text();
}

int SplashWindow::progress() const {
    return m_progress->value();
}

void SplashWindow::paintNow() {
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
}

} // namespace quillon::gui
