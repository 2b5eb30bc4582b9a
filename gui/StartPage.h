#pragma once

#include <QWidget>

namespace quillon::gui {

// The page "开始": what the program is, the news carried with it, and the way
// to the help page.
class StartPage : public QWidget {
    Q_OBJECT

  public:
    explicit StartPage(QWidget* parent = nullptr);

  signals:
    void helpRequested(); // "使用说明"
};

} // namespace quillon::gui
