#include "TrayIcon.h"

#include <QMenu>

#include "QtText.h"

namespace quillon::gui {
namespace {

// The tip holds at most 127 bytes of the system's text.
QString shortTip(const QString& tip) {
    QString cut = tip;
    while (toGbk(cut).size() > 127)
        cut.chop(1);
    return cut;
}

} // namespace

TrayIcon::TrayIcon(const QIcon& icon, const QString& tip, QObject* parent) : QObject(parent) {
    m_menu = new QMenu(tr8("系统菜单"));
    m_menu->setObjectName(QStringLiteral("systemMenu"));
    connect(m_menu->addAction(tr8("退出程序")), &QAction::triggered, this,
            &TrayIcon::exitRequested);

    m_icon = new QSystemTrayIcon(icon, this);
    m_icon->setToolTip(shortTip(tip));
    m_icon->setContextMenu(m_menu);
    connect(m_icon, &QSystemTrayIcon::activated, this, &TrayIcon::activate);
}

TrayIcon::~TrayIcon() {
    m_icon->hide();
    delete m_menu;
}

void TrayIcon::install() {
    // Without a notification area there is nothing to add to; that is no
    // reason to stop the program.
    if (QSystemTrayIcon::isSystemTrayAvailable())
        m_icon->show();
}

void TrayIcon::activate(QSystemTrayIcon::ActivationReason reason) {
    if (reason == QSystemTrayIcon::DoubleClick)
        emit showWindowRequested();
}

} // namespace quillon::gui
