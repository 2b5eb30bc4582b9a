#include "LogBox.h"

#include <QScrollBar>
#include <QTextCursor>

#include "QtText.h"
#include "UiHandOver.h"

namespace quillon::gui {

LogBox::LogBox(UiHandOver& handOver, QWidget* parent)
    : QPlainTextEdit(parent), m_handOver(handOver) {
    setObjectName(QStringLiteral("logBox"));
    setReadOnly(true);
    setUndoRedoEnabled(false);
    setLineWrapMode(QPlainTextEdit::WidgetWidth);
}

void LogBox::appendLine(const std::string& line) {
    // Converted on the caller's thread: the GUI thread only inserts.
    QString text = toQt(line);
    text.remove(QLatin1Char('\r'));
    m_handOver.runAndWait([this, text] { showLine(text); });
}

void LogBox::showLine(const QString& line) {
    QTextCursor cursor(document());
    cursor.movePosition(QTextCursor::End);
    cursor.insertText(line);
    verticalScrollBar()->setValue(verticalScrollBar()->maximum());
}

} // namespace quillon::gui
