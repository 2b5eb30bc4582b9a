#pragma once

#include <QWidget>

class QLabel;

namespace quillon::gui {

// The band under the toolbar: a picture for the page shown and a one-line
// description on it.
class Banner : public QWidget {
    Q_OBJECT

  public:
    explicit Banner(QWidget* parent = nullptr);

    // `choice` is the toolbar button (1..6) whose page is shown.
    void setPage(int choice, const QString& description);
    QString description() const;

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    int m_choice = 1;
    QLabel* m_description = nullptr;
};

} // namespace quillon::gui
