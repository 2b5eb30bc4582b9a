#pragma once

#include <QLineEdit>
#include <functional>

#include "acquisition/StoreScope.h"

namespace quillon::gui {

// The address box of the collect page. Its placeholders are real text: a
// click into a box that shows one empties it, and a box left empty gets the
// current mode's placeholder back (none in mode None).
class AddressBox : public QLineEdit {
    Q_OBJECT

  public:
    explicit AddressBox(std::function<acquisition::CollectMode()> mode, QWidget* parent = nullptr);

    static QString placeholderFor(acquisition::CollectMode mode);
    static bool isPlaceholder(const QString& text);

  protected:
    void mousePressEvent(QMouseEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;

  private:
    std::function<acquisition::CollectMode()> m_mode;
};

} // namespace quillon::gui
