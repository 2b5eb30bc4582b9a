#pragma once

#include <QObject>
#include <QSystemTrayIcon>

class QMenu;

namespace quillon::gui {

// The icon in the notification area: a double click asks for the main
// window, its menu "系统菜单" holds "退出程序". Where the desktop has no
// notification area the icon is simply not seen.
class TrayIcon : public QObject {
    Q_OBJECT

  public:
    TrayIcon(const QIcon& icon, const QString& tip, QObject* parent = nullptr);
    ~TrayIcon() override;

    void install();
    QMenu* menu() const { return m_menu; }

    // What a click on the icon does; the platform's activation lands here.
    void activate(QSystemTrayIcon::ActivationReason reason);

  signals:
    void showWindowRequested();
    void exitRequested();

  private:
    QSystemTrayIcon* m_icon = nullptr;
    QMenu* m_menu = nullptr;
};

} // namespace quillon::gui
