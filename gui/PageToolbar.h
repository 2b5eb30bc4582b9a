#pragma once

#include <QWidget>

class QToolButton;

namespace quillon::gui {

// The strip of seven picture buttons above the pages. A click on button k
// (1..7) raises pageChosen(k).
class PageToolbar : public QWidget {
    Q_OBJECT

  public:
    static constexpr int kButtonCount = 7;

    explicit PageToolbar(QWidget* parent = nullptr);

    static QString caption(int button); // 1..7
    QToolButton* button(int button) const;

  signals:
    void pageChosen(int button);

  private:
    QToolButton* m_buttons[kButtonCount] = {};
};

} // namespace quillon::gui
