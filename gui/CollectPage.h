#pragma once

#include <QWidget>
#include <functional>

#include "acquisition/StoreScope.h"

class QLabel;
class QLineEdit;
class QPushButton;
class QTabWidget;

namespace quillon::shell {
class ItemList;
class Settings;
} // namespace quillon::shell

namespace quillon::gui {

class AddressBox;
class Dialogs;
class ItemListView;
class LogBox;
class UiHandOver;

// The page "采集": the address box, the item list with its commands, the run
// buttons, the save path and the log. The list commands and the save path are
// handled here; adding and the run are the main window's, raised as signals.
class CollectPage : public QWidget {
    Q_OBJECT

  public:
    CollectPage(shell::ItemList& list, shell::Settings& settings, Dialogs& dialogs,
                UiHandOver& handOver, std::function<acquisition::CollectMode()> mode,
                QWidget* parent = nullptr);

    AddressBox* addressBox() const { return m_addressBox; }
    QLabel* addressLabel() const { return m_addressLabel; }
    ItemListView* listView() const { return m_listView; }
    LogBox* logBox() const { return m_logBox; }
    QLineEdit* savePathBox() const { return m_savePathBox; }
    QPushButton* pauseButton() const { return m_pauseButton; }

    // "开始采集" enabled, "暂停" and "停止" disabled when idle; the reverse
    // while running.
    void setRunButtons(bool running);
    void updateCountLabel();

    // Shows the save path of the settings in the box.
    void showSavePath();
    // A path typed by hand takes effect with the rules of "浏览"; false, with
    // the message shown and the box emptied, when its file name is unusable.
    bool renewSavePath();

    // The list commands.
    void deleteSelected();
    void clearList();
    void exportList();
    void importList();
    void openListInSpreadsheet();
    void openCurrentAddress();
    void copyCurrentAddress();
    void copyCurrentName();
    void browseSavePath();

  signals:
    void addRequested(const QString& address);
    void startRequested();
    void pauseRequested();
    void stopRequested();

  private:
    QWidget* buildAddressRow();
    QWidget* buildListButtons();
    QWidget* buildSavePathRow();
    QPushButton* makeButton(const char* caption, const char* objectName);

    shell::ItemList& m_list;
    shell::Settings& m_settings;
    Dialogs& m_dialogs;
    UiHandOver& m_handOver;
    std::function<acquisition::CollectMode()> m_mode;

    QLabel* m_addressLabel = nullptr;
    AddressBox* m_addressBox = nullptr;
    ItemListView* m_listView = nullptr;
    QLabel* m_countLabel = nullptr;
    QPushButton* m_startButton = nullptr;
    QPushButton* m_pauseButton = nullptr;
    QPushButton* m_stopButton = nullptr;
    QLineEdit* m_savePathBox = nullptr;
    QTabWidget* m_logTabs = nullptr;
    LogBox* m_logBox = nullptr;
};

} // namespace quillon::gui
