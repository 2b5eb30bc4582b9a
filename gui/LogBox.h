#pragma once

#include <QPlainTextEdit>

#include "shell/ActivityLog.h"

namespace quillon::gui {

class UiHandOver;

// The box of the tab "操作记录": every log line, appended at the end and
// scrolled into view. A line from a worker is shown on the GUI thread before
// the worker's call returns. The box only grows.
class LogBox : public QPlainTextEdit, public shell::LogSink {
    Q_OBJECT

  public:
    LogBox(UiHandOver& handOver, QWidget* parent = nullptr);

    void appendLine(const std::string& line) override;

  private:
    void showLine(const QString& line);

    UiHandOver& m_handOver;
};

} // namespace quillon::gui
