#pragma once

#include <QWidget>

#include "shell/CollectionRun.h"

class QLabel;
class QProgressBar;

namespace quillon::gui {

// The status bar's view of a run: items done of the total.
class RunProgress : public QWidget {
    Q_OBJECT

  public:
    explicit RunProgress(QWidget* parent = nullptr);

    void showCounters(const shell::RunCounters& counters, bool running);
    QString text() const;

  private:
    QLabel* m_label = nullptr;
    QProgressBar* m_bar = nullptr;
};

} // namespace quillon::gui
