#include "MainWindow.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QEventLoop>
#include <QLabel>
#include <QPushButton>
#include <QStackedWidget>
#include <QStatusBar>
#include <QTimer>
#include <QVBoxLayout>
#include <cstdio>
#include <cstdlib>

#include "AddressBox.h"
#include "Banner.h"
#include "CollectPage.h"
#include "Dialogs.h"
#include "ExitConfirmWindow.h"
#include "HelpPage.h"
#include "LogBox.h"
#include "PagePictures.h"
#include "PageToolbar.h"
#include "QtText.h"
#include "RunProgress.h"
#include "SettingsPage.h"
#include "SplashWindow.h"
#include "StartPage.h"
#include "SummaryWindow.h"
#include "TrayIcon.h"
#include "UiHandOver.h"
#include "acquisition/AddToList.h"
#include "engine/DownloadWorker.h"
#include "shell/ProcessResources.h"
#include "shell/SettingsFile.h"
#include "text/LocalTime.h"

// The help pages are carried in a static library; Qt needs them registered.
static void registerResources() {
    Q_INIT_RESOURCE(quillon);
}

namespace quillon::gui {

using acquisition::CollectMode;

namespace {

const char* const kWindowTitle = "Quillon V3.03";

// The stack holds the pages in this order.
enum PageIndex { kStartPage = 0, kCollectPage = 1, kSettingsPage = 2, kHelpPage = 3 };

struct PageChoice {
    PageIndex page;
    const char* description;
    CollectMode mode; // None: the choice leaves the mode alone
    const char* addressLabel;
};

// Toolbar buttons 1..6.
const PageChoice kPageChoices[6] = {
    {kStartPage, "", CollectMode::None, nullptr},
    {kCollectPage, "【单个模式】 就是指定采集一个点宝贝 输入该宝贝地址即可进行采集 可以添加多个",
     CollectMode::Single, "宝贝地址："},
    {kCollectPage, "【列表模式】 就是仅仅采集某个店铺的一个分类 输入分类的网页地址即可进行采集",
     CollectMode::Category, "列表地址："},
    {kCollectPage, "【店铺模式】 就是采集整个店铺的所有宝贝 只需输入店铺的首页地址即可进行采集",
     CollectMode::Store, "店铺地址："},
    {kSettingsPage, "可以对采集的一些信息进行设置", CollectMode::None, nullptr},
    {kHelpPage, "", CollectMode::None, nullptr},
};

void endProcessNow(int exitCode) {
    std::fflush(nullptr);
    std::_Exit(exitCode);
}

void waitWithEvents(std::chrono::milliseconds duration) {
    QEventLoop loop;
    QTimer::singleShot(duration, &loop, &QEventLoop::quit);
    loop.exec(QEventLoop::ExcludeUserInputEvents);
}

} // namespace

MainWindow::MainWindow(Dialogs& dialogs, StartUpOptions options)
    : m_dialogs(dialogs), m_options(std::move(options)) {
    if (!m_options.terminate)
        m_options.terminate = endProcessNow;
    registerResources();
    m_handOver = new UiHandOver(this);
    buildWindow();
    m_log.addSink(m_collectPage->logBox());
    m_addToList = std::make_unique<acquisition::AddToList>(m_list, m_log, m_mode, [this](int) {
        m_handOver->runAndWait([this] { m_collectPage->updateCountLabel(); });
    });
}

MainWindow::~MainWindow() {
    endWorkers();
    // The pages refer to the list and the settings: they go first.
    delete takeCentralWidget();
    delete m_splash;
}

void MainWindow::endWorkers() {
    // Workers waiting for this window are released before they are waited for.
    m_handOver->shutDown();
    m_addToList->stop();
    m_run.stop();
    m_addToList.reset();
}

void MainWindow::buildWindow() {
    setObjectName(QStringLiteral("mainWindow"));
    setWindowTitle(QString::fromLatin1(kWindowTitle));
    setWindowIcon(QIcon(programIcon()));

    m_toolbar = new PageToolbar(this);
    connect(m_toolbar, &PageToolbar::pageChosen, this, &MainWindow::showPage);
    m_banner = new Banner(this);

    m_startPage = new StartPage(this);
    connect(m_startPage, &StartPage::helpRequested, this, [this] { showPage(6); });
    m_collectPage = new CollectPage(
        m_list, m_settings, m_dialogs, *m_handOver, [this] { return m_mode.load(); }, this);
    connect(m_collectPage, &CollectPage::addRequested, this, &MainWindow::addToList);
    connect(m_collectPage, &CollectPage::startRequested, this, &MainWindow::startRun);
    connect(m_collectPage, &CollectPage::pauseRequested, this, &MainWindow::togglePause);
    connect(m_collectPage, &CollectPage::stopRequested, this, &MainWindow::stopRun);
    m_settingsPage = new SettingsPage(m_settings, m_dialogs, this);
    m_settingsPage->setObjectName(QStringLiteral("settingsPage"));
    m_helpPage = new HelpPage(this);

    m_pages = new QStackedWidget(this);
    m_pages->setObjectName(QStringLiteral("pages"));
    m_pages->insertWidget(kStartPage, m_startPage);
    m_pages->insertWidget(kCollectPage, m_collectPage);
    m_pages->insertWidget(kSettingsPage, m_settingsPage);
    m_pages->insertWidget(kHelpPage, m_helpPage);
    m_pages->setMinimumHeight(466);

    auto* central = new QWidget(this);
    auto* layout = new QVBoxLayout(central);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(m_toolbar);
    layout->addWidget(m_banner);
    layout->addWidget(m_pages, 1);
    setCentralWidget(central);

    m_runProgress = new RunProgress(this);
    statusBar()->addPermanentWidget(m_runProgress);

    m_trayIcon = new TrayIcon(QIcon(programIcon()), windowTitle(), this);
    connect(m_trayIcon, &TrayIcon::showWindowRequested, this, &MainWindow::showFromTray);
    connect(m_trayIcon, &TrayIcon::exitRequested, this, &MainWindow::confirmExit);

    m_memoryTimer = new QTimer(this);
    m_memoryTimer->setInterval(3000);
    connect(m_memoryTimer, &QTimer::timeout, this, [] { shell::trimMemory(); });
    m_progressTimer = new QTimer(this);
    m_progressTimer->setInterval(250);
    connect(m_progressTimer, &QTimer::timeout, this, &MainWindow::refreshProgress);
}

std::optional<int> MainWindow::startUp() {
    m_splash = new SplashWindow;
    m_splash->show();
    m_splash->setStatus(tr8("正在连接服务器--"));
    m_splash->setStatus(tr8("正在加载预定信息--"));
    m_splash->setProgress(65);

    if (!api::loadCredentials(m_credentials)) {
        const QString failure = tr8("预定信息 加载失败，请重新启动--");
        m_splash->setStatus(failure);
        m_dialogs.message(m_splash, tr8("提示"), failure);
        m_splash->close();
        return 0;
    }

    m_banner->setPage(1, QString());
    setDefaultSavePath();
    resize(980, 618);
    m_splash->setProgress(85);

    m_settingsPage->load(m_options.optionsFile.empty() ? shell::optionsFilePath()
                                                       : m_options.optionsFile);
    m_trayIcon->install();

    m_splash->setProgress(100);
    waitWithEvents(m_options.splashPause);
    m_splash->close();
    m_splash->deleteLater();
    m_splash = nullptr;

    show();
    m_memoryTimer->start();
    if (m_options.bindToFirstProcessor)
        shell::bindToFirstProcessor();
    return std::nullopt;
}

void MainWindow::setDefaultSavePath() {
    m_settings.setSavePath(shell::programDirectory() + "/csv" + text::unixStampText(false) +
                           ".csv");
    m_collectPage->showSavePath();
}

void MainWindow::showPage(int k) {
    if (k == 7) {
        confirmExit();
        return;
    }
    if (k < 1 || k > 6)
        return;
    const PageChoice& choice = kPageChoices[k - 1];
    m_banner->setPage(k, tr8(choice.description));
    if (choice.addressLabel != nullptr) {
        m_collectPage->addressLabel()->setText(tr8(choice.addressLabel));
        if (m_mode.load() != choice.mode)
            m_collectPage->addressBox()->setText(AddressBox::placeholderFor(choice.mode));
        m_mode.store(choice.mode);
    }
    m_pages->setCurrentIndex(choice.page);
}

void MainWindow::addToList() {
    // add() holds this thread during its fetches; a second press queued
    // meanwhile is a new add afterwards, never a nested one.
    if (m_adding)
        return;
    m_adding = true;
    m_addToList->add(toGbk(m_collectPage->addressBox()->text()));
    m_adding = false;
    m_collectPage->updateCountLabel();
}

void MainWindow::startRun() {
    if (m_stopping || m_run.isRunning() || m_list.rowCount() == 0)
        return;
    if (m_collectPage->savePathBox()->text().isEmpty()) {
        m_dialogs.message(this, tr8("提示"), tr8("请检查保存的文件名是否正确！"));
        return;
    }
    if (!m_collectPage->renewSavePath())
        return;

    const engine::CopyJob job{.run = &m_run,
                              .list = &m_list,
                              .settings = &m_settings,
                              .log = &m_log,
                              .credentials = &m_credentials,
                              .listener = this};
    if (!engine::startCopyRun(job))
        return;
    m_collectPage->setRunButtons(true);
    refreshProgress();
    m_progressTimer->start();
}

void MainWindow::togglePause() {
    if (m_stopping)
        return;
    QPushButton* button = m_collectPage->pauseButton();
    if (button->text() == tr8("暂停")) {
        m_run.pause();
        button->setText(tr8("继续"));
    } else {
        m_run.resume();
        button->setText(tr8("暂停"));
    }
}

void MainWindow::stopRun() {
    if (m_stopping)
        return;
    m_stopping = true;
    // Workers may be waiting to hand a log line or a summary to this thread.
    m_run.stop([] { QCoreApplication::processEvents(QEventLoop::AllEvents, 10); });
    m_stopping = false;
    m_collectPage->setRunButtons(false);
    m_progressTimer->stop();
    refreshProgress();
}

void MainWindow::refreshProgress() {
    const bool running = m_run.isRunning();
    m_runProgress->showCounters(m_run.counters(), running);
    if (!running)
        m_progressTimer->stop();
}

void MainWindow::runFinished(const shell::RunCounters& counters) {
    m_handOver->runAndWait([this, counters] {
        auto* summary = new SummaryWindow(counters, this);
        summary->show();
        m_collectPage->setRunButtons(false);
        m_progressTimer->stop();
        m_runProgress->showCounters(counters, false);
        emit summaryOpened(summary);
    });
}

void MainWindow::dataFileWritten(const std::string& path, bool ok, const std::string& reason) {
    if (ok)
        return;
    // Shown later: the worker that wrote the file does not wait for the user.
    const QString text = tr8("数据文件没有写成：") + toQt(path) + QLatin1Char('\n') + toQt(reason);
    m_handOver->post([this, text] { m_dialogs.message(this, tr8("提示"), text); });
}

void MainWindow::confirmExit() {
    ExitConfirmWindow confirmation(this);
    if (confirmation.exec() == QDialog::Accepted)
        m_options.terminate(0);
}

void MainWindow::showFromTray() {
    showNormal();
    raise();
    activateWindow();
}

void MainWindow::closeEvent(QCloseEvent* event) {
    hide();
    event->ignore();
}

} // namespace quillon::gui
