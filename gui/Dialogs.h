#pragma once

#include <QString>

class QWidget;

namespace quillon::gui {

// The modal conversations of the program with the user and the desktop, in
// one place so that tests can answer them without a person at the screen.
class Dialogs {
  public:
    virtual ~Dialogs() = default;

    // A message box with an OK button.
    virtual void message(QWidget* parent, const QString& title, const QString& text) = 0;

    // The save or open file dialog; filter as "宝贝列表文件(*.txt)|*.txt",
    // suffix without the dot. An empty name when the user cancels.
    virtual QString saveFileName(QWidget* parent, const QString& filter, const QString& suffix) = 0;
    virtual QString openFileName(QWidget* parent, const QString& filter, const QString& suffix) = 0;

    // Hand an address to the default browser, or a file to its associated
    // program; false when the desktop refused.
    virtual bool openAddress(const QString& address) = 0;
    virtual bool openFile(const QString& path) = 0;
};

// The real dialogs: QMessageBox, QFileDialog, QDesktopServices.
class QtDialogs : public Dialogs {
  public:
    void message(QWidget* parent, const QString& title, const QString& text) override;
    QString saveFileName(QWidget* parent, const QString& filter, const QString& suffix) override;
    QString openFileName(QWidget* parent, const QString& filter, const QString& suffix) override;
    bool openAddress(const QString& address) override;
    bool openFile(const QString& path) override;
};

} // namespace quillon::gui
