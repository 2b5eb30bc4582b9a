#pragma once

#include <QTextBrowser>

namespace quillon::gui {

// The page "帮助": the help text carried with the program.
class HelpPage : public QTextBrowser {
    Q_OBJECT

  public:
    explicit HelpPage(QWidget* parent = nullptr);
};

} // namespace quillon::gui
