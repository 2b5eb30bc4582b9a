#pragma once

#include <QWidget>

class QLabel;
class QProgressBar;

namespace quillon::gui {

// The untitled window of the start-up: a picture, a status line and a
// progress bar from 0 to 100. Each change is painted at once, because the
// start-up holds the GUI thread.
class SplashWindow : public QWidget {
    Q_OBJECT

  public:
    explicit SplashWindow(QWidget* parent = nullptr);

    void setStatus(const QString& status);
    void setProgress(int percent);

    QString status() const;
    int progress() const;

  private:
    void paintNow();

    QLabel* m_status = nullptr;
    QProgressBar* m_progress = nullptr;
};

} // namespace quillon::gui
