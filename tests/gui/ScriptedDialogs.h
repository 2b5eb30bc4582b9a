#pragma once

#include <QString>
#include <QStringList>
#include <deque>
#include <vector>

#include "Dialogs.h"

namespace quillon::gui::testing {

// Dialogs that answer from a script and remember what they were asked: no
// window ever waits for a person.
class ScriptedDialogs : public Dialogs {
  public:
    struct Message {
        QString title;
        QString text;
    };

    void message(QWidget*, const QString& title, const QString& text) override {
        messages.push_back({title, text});
    }
    QString saveFileName(QWidget*, const QString& filter, const QString& suffix) override {
        filters.push_back(filter + QStringLiteral(" .") + suffix);
        return nextFileName();
    }
    QString openFileName(QWidget*, const QString& filter, const QString& suffix) override {
        filters.push_back(filter + QStringLiteral(" .") + suffix);
        return nextFileName();
    }
    bool openAddress(const QString& address) override {
        openedAddresses.push_back(address);
        return desktopAnswers;
    }
    bool openFile(const QString& path) override {
        openedFiles.push_back(path);
        return desktopAnswers;
    }

    // The names the next file dialogs return, in order; an empty name (or
    // none left) is a cancel.
    std::deque<QString> fileNames;
    bool desktopAnswers = true;

    std::vector<Message> messages;
    QStringList filters; // "filter .suffix" of every file dialog opened
    QStringList openedAddresses;
    QStringList openedFiles;

  private:
    QString nextFileName() {
        if (fileNames.empty())
            return {};
        QString name = fileNames.front();
        fileNames.pop_front();
        return name;
    }
};

} // namespace quillon::gui::testing
