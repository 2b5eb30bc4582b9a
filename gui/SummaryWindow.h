#pragma once

#include <QWidget>

#include "shell/CollectionRun.h"

namespace quillon::gui {

// "复制完成！": the numbers of a run at its end, in the lower right corner of
// the screen, until the user closes it.
class SummaryWindow : public QWidget {
    Q_OBJECT

  public:
    explicit SummaryWindow(const shell::RunCounters& counters, QWidget* parent = nullptr);

    // The three number lines, top to bottom.
    QStringList lines() const;

  private:
    QStringList m_lines;
};

} // namespace quillon::gui
