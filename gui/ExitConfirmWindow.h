#pragma once

#include <QDialog>

namespace quillon::gui {

// "退出程序？": asks before the process ends. Accepted on "确 定".
class ExitConfirmWindow : public QDialog {
    Q_OBJECT

  public:
    explicit ExitConfirmWindow(QWidget* parent = nullptr);
};

} // namespace quillon::gui
