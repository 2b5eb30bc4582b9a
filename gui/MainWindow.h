#pragma once

#include <QMainWindow>
#include <atomic>
#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "acquisition/StoreScope.h"
#include "api/CredentialList.h"
#include "engine/CopyJob.h"
#include "shell/ActivityLog.h"
#include "shell/CollectionRun.h"
#include "shell/ItemList.h"
#include "shell/Settings.h"

class QStackedWidget;
class QTimer;

namespace quillon::acquisition {
class AddToList;
}

namespace quillon::gui {

class Banner;
class CollectPage;
class Dialogs;
class HelpPage;
class PageToolbar;
class RunProgress;
class SettingsPage;
class SplashWindow;
class StartPage;
class TrayIcon;
class UiHandOver;

// How the program starts; tests change what a person or the machine would.
struct StartUpOptions {
    std::string optionsFile;                     // empty: options/options.ini of the program
    bool bindToFirstProcessor = true;            // the whole process on one processor
    std::chrono::milliseconds splashPause{300};  // the finished splash stays this long
    std::function<void(int exitCode)> terminate; // "确 定": ends the process; default _Exit
};

// The window of the program. It owns the item list, the settings, the run and
// the log, runs the start-up, switches the pages and drives runs. The workers
// report back through the log, the list and RunListener, each handed to this
// window's thread.
class MainWindow : public QMainWindow, public engine::RunListener {
    Q_OBJECT

  public:
    static constexpr int kPageCount = 4;

    MainWindow(Dialogs& dialogs, StartUpOptions options = {});
    ~MainWindow() override;

    // The start-up sequence. Returns the exit code when the program must end
    // at once (no credential could be loaded: the message has been shown);
    // otherwise the window is shown and the program runs.
    std::optional<int> startUp();

    // The action of toolbar button k (1..7).
    void showPage(int k);
    acquisition::CollectMode collectMode() const { return m_mode.load(); }

    // "添加到列表" with the address box's text.
    void addToList();
    // "开始采集", "暂停"/"继续", "停止".
    void startRun();
    void togglePause();
    void stopRun();

    // Opens "退出程序？"; "确 定" ends the process.
    void confirmExit();
    // The notification icon's double click.
    void showFromTray();

    // The whole run's end-of-run steps, as handed over by the last worker.
    void runFinished(const shell::RunCounters& counters) override;
    void dataFileWritten(const std::string& path, bool ok, const std::string& reason) override;

    shell::ActivityLog& log() { return m_log; }
    shell::ItemList& itemList() { return m_list; }
    shell::Settings& settings() { return m_settings; }
    shell::CollectionRun& run() { return m_run; }
    CollectPage* collectPage() const { return m_collectPage; }
    SettingsPage* settingsPage() const { return m_settingsPage; }
    PageToolbar* toolbar() const { return m_toolbar; }
    Banner* banner() const { return m_banner; }
    QStackedWidget* pages() const { return m_pages; }
    TrayIcon* trayIcon() const { return m_trayIcon; }
    RunProgress* runProgress() const { return m_runProgress; }
    SplashWindow* splash() const { return m_splash; }

  signals:
    void summaryOpened(QWidget* summary);

  protected:
    void closeEvent(QCloseEvent* event) override;

  private:
    void buildWindow();
    void setDefaultSavePath();
    void refreshProgress();
    void endWorkers();

    Dialogs& m_dialogs;
    StartUpOptions m_options;
    UiHandOver* m_handOver = nullptr;

    shell::ActivityLog m_log;
    shell::ItemList m_list;
    shell::Settings m_settings;
    api::CredentialList m_credentials;
    shell::CollectionRun m_run;
    std::atomic<acquisition::CollectMode> m_mode{acquisition::CollectMode::None};
    std::unique_ptr<acquisition::AddToList> m_addToList;
    bool m_stopping = false;
    bool m_adding = false;

    PageToolbar* m_toolbar = nullptr;
    Banner* m_banner = nullptr;
    QStackedWidget* m_pages = nullptr;
    StartPage* m_startPage = nullptr;
    CollectPage* m_collectPage = nullptr;
    SettingsPage* m_settingsPage = nullptr;
    HelpPage* m_helpPage = nullptr;
    RunProgress* m_runProgress = nullptr;
    TrayIcon* m_trayIcon = nullptr;
    SplashWindow* m_splash = nullptr;
    QTimer* m_memoryTimer = nullptr;
    QTimer* m_progressTimer = nullptr;
};

} // namespace quillon::gui
