// Start-up, pages and modes, the notification icon and the way out.

#include <QAbstractButton>
#include <QApplication>
#include <QLabel>
#include <QMenu>
#include <QStackedWidget>
#include <QTest>
#include <QTimer>
#include <QToolButton>

#include "AddressBox.h"
#include "Banner.h"
#include "ExitConfirmWindow.h"
#include "PageToolbar.h"
#include "SplashWindow.h"
#include "SandboxWindow.h"
#include "TrayIcon.h"
#include "shell/SettingsFile.h"

using namespace quillon;
using gui::tr8;
using gui::testing::SandboxWindow;

namespace {

// Answers the next modal window with the button of that name.
void answerModal(const char* buttonName) {
    QTimer::singleShot(0, [buttonName] {
        QWidget* modal = QApplication::activeModalWidget();
        if (modal == nullptr)
            qFatal("no modal window to answer");
        auto* button = modal->findChild<QAbstractButton*>(QString::fromLatin1(buttonName));
        if (button == nullptr)
            qFatal("the modal window has no %s", buttonName);
        button->click();
    });
}

sim::MarketConfig marketWithoutCredentials() {
    sim::MarketConfig config = gui::testing::smallMarket();
    config.credentials.clear();
    return config;
}

} // namespace

class MainWindowTest : public QObject {
    Q_OBJECT

  private slots:
    void startUpWithoutCredentialsEndsAfterTheMessage_data() {
        QTest::addColumn<bool>("marketStopped");
        QTest::newRow("no entries in the answer") << false;
        QTest::newRow("endpoint unreachable") << true;
    }

    void startUpWithoutCredentialsEndsAfterTheMessage() {
        QFETCH(bool, marketStopped);
        SandboxWindow sandbox(marketWithoutCredentials());
        if (marketStopped)
            sandbox.market.stop();

        const std::optional<int> exitCode = sandbox.startUp();

        QVERIFY(exitCode.has_value());
        QCOMPARE(*exitCode, 0);
        QCOMPARE(sandbox.dialogs.messages.size(), 1u);
        QCOMPARE(sandbox.dialogs.messages[0].title, tr8("提示"));
        QCOMPARE(sandbox.dialogs.messages[0].text, tr8("预定信息 加载失败，请重新启动--"));
        QVERIFY(!sandbox.window->isVisible());
        QCOMPARE(sandbox.window->splash()->status(), tr8("预定信息 加载失败，请重新启动--"));
        QCOMPARE(sandbox.window->splash()->progress(), 65);
        QVERIFY(!sandbox.window->splash()->isVisible());
        // Nothing after the credentials ran: no settings were read.
        QCOMPARE(sandbox.window->settings().values().descFailMode, 0);
    }

    void startUpShowsTheWindowOnTheStartPage() {
        SandboxWindow sandbox;
        QVERIFY(!sandbox.startUp().has_value());

        gui::MainWindow& window = *sandbox.window;
        QVERIFY(window.isVisible());
        QCOMPARE(window.windowTitle(), QStringLiteral("Quillon V3.03"));
        QCOMPARE(window.height(), 618);
        QCOMPARE(window.pages()->currentWidget()->objectName(), QStringLiteral("startPage"));
        QCOMPARE(window.collectMode(), acquisition::CollectMode::None);
        QVERIFY(sandbox.dialogs.messages.empty());
        // A fresh install: options.ini absent, so fail mode 3 and layout 5.
        QCOMPARE(window.settings().values().descFailMode, 3);
        QCOMPARE(window.settings().values().assistantVersion, 5);

        QVERIFY(sandbox.button("startButton")->isEnabled());
        QVERIFY(!sandbox.button("pauseButton")->isEnabled());
        QVERIFY(!sandbox.button("stopButton")->isEnabled());
        QCOMPARE(sandbox.find<QLabel>("countLabel")->text(), QStringLiteral("0"));
        QCOMPARE(sandbox.find<QLabel>("addressLabel")->text(), tr8("商品地址："));

        // The default data file: csv + Unix seconds + .csv in the program's folder.
        const shell::SettingsValues values = window.settings().values();
        const std::string prefix = shell::programDirectory() + "/csv";
        QVERIFY(values.savePath.rfind(prefix, 0) == 0);
        QCOMPARE(values.savePath.size(), prefix.size() + 10 + 4);
        QCOMPARE(values.outputName, values.savePath.substr(prefix.size() - 3, 13));
        QCOMPARE(sandbox.page()->savePathBox()->text().toStdString(), values.savePath);

        // The memory of the process is trimmed every three seconds from now on.
        bool trimming = false;
        for (const QTimer* timer : window.findChildren<QTimer*>())
            trimming = trimming || (timer->isActive() && timer->interval() == 3000);
        QVERIFY(trimming);
    }

    void toolbarHasTheSevenButtonsInOrder() {
        SandboxWindow sandbox;
        const QStringList expected = {tr8("开始页面"), tr8("单个采集"), tr8("列表采集"),
                                      tr8("店铺采集"), tr8("下载配置"), tr8("使用帮助"),
                                      tr8("退出系统")};
        for (int k = 1; k <= 7; ++k)
            QCOMPARE(sandbox.window->toolbar()->button(k)->text(), expected[k - 1]);
    }

    void pagesModesAndBannerFollowTheToolbar_data() {
        QTest::addColumn<int>("button");
        QTest::addColumn<QString>("page");
        QTest::addColumn<int>("mode");
        QTest::addColumn<QString>("label");
        QTest::addColumn<QString>("placeholder");
        QTest::addColumn<QString>("description");
        const int none = static_cast<int>(acquisition::CollectMode::None);
        QTest::newRow("start") << 1 << "startPage" << none << tr8("商品地址：")
                               << tr8("请输入宝贝地址") << QString();
        QTest::newRow("single")
            << 2 << "collectPage" << static_cast<int>(acquisition::CollectMode::Single)
            << tr8("宝贝地址：") << tr8("请输入宝贝地址")
            << tr8("【单个模式】 就是指定采集一个点宝贝 输入该宝贝地址即可进行采集 可以添加多个");
        QTest::newRow("category")
            << 3 << "collectPage" << static_cast<int>(acquisition::CollectMode::Category)
            << tr8("列表地址：") << tr8("请输入列表地址")
            << tr8("【列表模式】 就是仅仅采集某个店铺的一个分类 输入分类的网页地址即可进行采集");
        QTest::newRow("store")
            << 4 << "collectPage" << static_cast<int>(acquisition::CollectMode::Store)
            << tr8("店铺地址：") << tr8("请输入店铺地址")
            << tr8("【店铺模式】 就是采集整个店铺的所有宝贝 只需输入店铺的首页地址即可进行采集");
        QTest::newRow("settings") << 5 << "settingsPage" << none << tr8("商品地址：")
                                  << tr8("请输入宝贝地址") << tr8("可以对采集的一些信息进行设置");
        QTest::newRow("help") << 6 << "helpPage" << none << tr8("商品地址：")
                              << tr8("请输入宝贝地址") << QString();
    }

    void pagesModesAndBannerFollowTheToolbar() {
        QFETCH(int, button);
        QFETCH(QString, page);
        QFETCH(int, mode);
        QFETCH(QString, label);
        QFETCH(QString, placeholder);
        QFETCH(QString, description);
        SandboxWindow sandbox;
        QVERIFY(!sandbox.startUp().has_value());

        QTest::mouseClick(sandbox.window->toolbar()->button(button), Qt::LeftButton);

        QCOMPARE(sandbox.window->pages()->currentWidget()->objectName(), page);
        QCOMPARE(static_cast<int>(sandbox.window->collectMode()), mode);
        QCOMPARE(sandbox.find<QLabel>("addressLabel")->text(), label);
        QCOMPARE(sandbox.page()->addressBox()->text(), placeholder);
        QCOMPARE(sandbox.window->banner()->description(), description);
    }

    void choosingTheSameModeKeepsTheTypedAddress() {
        SandboxWindow sandbox;
        QVERIFY(!sandbox.startUp().has_value());
        gui::AddressBox* box = sandbox.page()->addressBox();

        sandbox.window->showPage(2);
        box->setText(QStringLiteral("http://item.example/item.htm?id=7"));
        sandbox.window->showPage(2);
        QCOMPARE(box->text(), QStringLiteral("http://item.example/item.htm?id=7"));

        sandbox.window->showPage(3);
        QCOMPARE(box->text(), tr8("请输入列表地址"));
        // Pages that are no mode leave the box alone.
        box->setText(QStringLiteral("typed"));
        sandbox.window->showPage(5);
        sandbox.window->showPage(3);
        QCOMPARE(box->text(), QStringLiteral("typed"));
    }

    void addressBoxPlaceholderRules() {
        SandboxWindow sandbox;
        QVERIFY(!sandbox.startUp().has_value());
        gui::AddressBox* box = sandbox.page()->addressBox();
        QLineEdit* other = sandbox.page()->savePathBox();
        sandbox.window->showPage(2);
        QApplication::setActiveWindow(sandbox.window.get());

        // A click into a placeholder empties it; leaving it empty puts it back.
        QTest::mouseClick(box, Qt::LeftButton);
        QCOMPARE(box->text(), QString());
        other->setFocus();
        QTRY_COMPARE(box->text(), tr8("请输入宝贝地址"));

        // A typed address survives both.
        box->setText(QStringLiteral("http://shop1.example/"));
        QTest::mouseClick(box, Qt::LeftButton);
        other->setFocus();
        QCOMPARE(box->text(), QStringLiteral("http://shop1.example/"));
    }

    void addressBoxStaysEmptyInModeNone() {
        SandboxWindow sandbox;
        QVERIFY(!sandbox.startUp().has_value());
        gui::AddressBox* box = sandbox.page()->addressBox();
        sandbox.window->showPage(1);
        box->show();
        QApplication::setActiveWindow(sandbox.window.get());
        box->setFocus();
        box->clear();
        sandbox.page()->savePathBox()->setFocus();
        QCOMPARE(box->text(), QString());
    }

    void helpButtonOfTheStartPageOpensTheHelpPage() {
        SandboxWindow sandbox;
        QVERIFY(!sandbox.startUp().has_value());
        sandbox.click("helpButton");
        QCOMPARE(sandbox.window->pages()->currentWidget()->objectName(),
                 QStringLiteral("helpPage"));
    }

    void closeHidesAndTheIconsDoubleClickShows() {
        SandboxWindow sandbox;
        QVERIFY(!sandbox.startUp().has_value());

        QVERIFY(!sandbox.window->close());
        QVERIFY(!sandbox.window->isVisible());
        QVERIFY(sandbox.exitCodes.empty());

        sandbox.window->trayIcon()->activate(QSystemTrayIcon::Trigger);
        QVERIFY(!sandbox.window->isVisible());
        sandbox.window->trayIcon()->activate(QSystemTrayIcon::DoubleClick);
        QVERIFY(sandbox.window->isVisible());
    }

    void systemMenuHoldsExitOnly() {
        SandboxWindow sandbox;
        QMenu* menu = sandbox.window->trayIcon()->menu();
        QCOMPARE(menu->title(), tr8("系统菜单"));
        QCOMPARE(menu->actions().size(), 1);
        QCOMPARE(menu->actions().constFirst()->text(), tr8("退出程序"));
    }

    void exitCancelledLeavesTheRunGoing() {
        sim::MarketConfig config = gui::testing::smallMarket();
        config.latencyMs = 40;
        SandboxWindow sandbox(config);
        QVERIFY(!sandbox.startUp().has_value());
        sandbox.fillList(8);
        sandbox.setSavePath(sandbox.folder.file("items.csv"));
        sandbox.click("startButton");
        QVERIFY(sandbox.window->run().isRunning());

        answerModal("cancelExit");
        sandbox.window->trayIcon()->menu()->actions().constFirst()->trigger();

        QVERIFY(sandbox.exitCodes.empty());
        QVERIFY(sandbox.window->run().isRunning());
        QVERIFY(sandbox.window->isVisible());
    }

    void exitConfirmedEndsWithCodeZero() {
        SandboxWindow sandbox;
        QVERIFY(!sandbox.startUp().has_value());
        auto confirm = new gui::ExitConfirmWindow;
        QCOMPARE(confirm->windowTitle(), tr8("退出程序？"));
        delete confirm;

        answerModal("confirmExit");
        QTest::mouseClick(sandbox.window->toolbar()->button(7), Qt::LeftButton);
        QCOMPARE(sandbox.exitCodes, std::vector<int>{0});
    }
};

QTEST_MAIN(MainWindowTest)
#include "MainWindowTest.moc"
