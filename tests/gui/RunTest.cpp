// Runs on the sandbox market, driven through the collect page's buttons:
// the end of a run, pause, stop, adding by address, bad input.

#include <QApplication>
#include <QLabel>
#include <QSignalSpy>
#include <QTest>
#include <filesystem>

#include "AddressBox.h"
#include "LogBox.h"
#include "RunProgress.h"
#include "SandboxWindow.h"
#include "SummaryWindow.h"

using namespace quillon;
using gui::tr8;
using gui::testing::SandboxWindow;

namespace {

constexpr int kRunTimeoutMs = 60000;

sim::MarketConfig slowMarket() {
    sim::MarketConfig config = gui::testing::smallMarket();
    config.latencyMs = 60;
    return config;
}

// A started window with `items` rows and a data file in its folder.
void prepareRun(SandboxWindow& sandbox, int items) {
    if (sandbox.startUp().has_value())
        qFatal("start-up failed");
    sandbox.fillList(items);
    sandbox.setSavePath(sandbox.folder.file("items.csv"));
}

bool runButtonsIdle(const SandboxWindow& sandbox) {
    return sandbox.button("startButton")->isEnabled() &&
           !sandbox.button("pauseButton")->isEnabled() &&
           !sandbox.button("stopButton")->isEnabled();
}

} // namespace

class RunTest : public QObject {
    Q_OBJECT

  private slots:
    void runEndsWithSummaryIdleButtonsAndDataFile() {
        SandboxWindow sandbox;
        prepareRun(sandbox, 8);
        QSignalSpy summaries(sandbox.window.get(), &gui::MainWindow::summaryOpened);

        sandbox.click("startButton");
        QVERIFY(!sandbox.button("startButton")->isEnabled());
        QVERIFY(sandbox.button("pauseButton")->isEnabled());
        QVERIFY(sandbox.button("stopButton")->isEnabled());

        QVERIFY(summaries.wait(kRunTimeoutMs));
        auto* summary = qobject_cast<gui::SummaryWindow*>(summaries.at(0).at(0).value<QWidget*>());
        QVERIFY(summary != nullptr);
        QCOMPARE(summary->windowTitle(), tr8("复制完成！"));
        QCOMPARE(summary->size(), QSize(212, 148));
        QCOMPARE(summary->lines(),
                 (QStringList{tr8("下载总数： 8"), tr8("成功下载： 8"), tr8("下载失败： 0")}));
        QVERIFY(runButtonsIdle(sandbox));

        QTRY_VERIFY_WITH_TIMEOUT(!sandbox.window->run().isRunning(), kRunTimeoutMs);
        QVERIFY(std::filesystem::exists(sandbox.folder.file("items.csv")));
        QVERIFY(std::filesystem::is_directory(sandbox.folder.file("items")));
        QCOMPARE(sandbox.window->runProgress()->text(), tr8("已复制：8 / 8（成功 8）"));
        QVERIFY(sandbox.dialogs.messages.empty());
    }

    void pauseHoldsTheWorkersAndContinueFinishes() {
        SandboxWindow sandbox(slowMarket());
        prepareRun(sandbox, 8);
        QSignalSpy summaries(sandbox.window.get(), &gui::MainWindow::summaryOpened);
        sandbox.click("startButton");

        sandbox.click("pauseButton");
        QCOMPARE(sandbox.button("pauseButton")->text(), tr8("继续"));
        // Steps under way may complete; after that nothing new begins.
        QTest::qWait(1000);
        const auto heldAt = sandbox.market.requestCount();
        QTest::qWait(500);
        QCOMPARE(sandbox.market.requestCount(), heldAt);
        QCOMPARE(summaries.count(), 0);

        sandbox.click("pauseButton");
        QCOMPARE(sandbox.button("pauseButton")->text(), tr8("暂停"));
        QVERIFY(summaries.wait(kRunTimeoutMs));
        QTRY_VERIFY_WITH_TIMEOUT(std::filesystem::exists(sandbox.folder.file("items.csv")),
                                 kRunTimeoutMs);
    }

    void stopWhilePausedWritesNothingAndKeepsTheCaption() {
        SandboxWindow sandbox(slowMarket());
        prepareRun(sandbox, 8);
        QSignalSpy summaries(sandbox.window.get(), &gui::MainWindow::summaryOpened);
        sandbox.click("startButton");
        sandbox.click("pauseButton");

        sandbox.click("stopButton");

        QVERIFY(!sandbox.window->run().isRunning());
        QVERIFY(runButtonsIdle(sandbox));
        QCOMPARE(sandbox.button("pauseButton")->text(), tr8("继续"));
        QTest::qWait(200);
        QCOMPARE(summaries.count(), 0);
        QVERIFY(!std::filesystem::exists(sandbox.folder.file("items.csv")));
    }

    void startRefusesAnEmptyListOrSavePath() {
        SandboxWindow sandbox;
        prepareRun(sandbox, 0);
        sandbox.click("startButton");
        QVERIFY(sandbox.dialogs.messages.empty());
        QVERIFY(!sandbox.window->run().isRunning());

        sandbox.fillList(2);
        sandbox.page()->savePathBox()->clear();
        sandbox.click("startButton");
        QCOMPARE(sandbox.dialogs.messages.size(), 1u);
        QCOMPARE(sandbox.dialogs.messages[0].title, tr8("提示"));
        QCOMPARE(sandbox.dialogs.messages[0].text, tr8("请检查保存的文件名是否正确！"));
        QVERIFY(!sandbox.window->run().isRunning());
        QVERIFY(runButtonsIdle(sandbox));
    }

    void dataFileThatCannotBeWrittenIsReportedInABox() {
        SandboxWindow sandbox;
        prepareRun(sandbox, 2);
        sandbox.setSavePath(sandbox.folder.file("no-such-folder/items.csv"));
        QSignalSpy summaries(sandbox.window.get(), &gui::MainWindow::summaryOpened);

        sandbox.click("startButton");

        QVERIFY(summaries.wait(kRunTimeoutMs));
        QTRY_COMPARE_WITH_TIMEOUT(sandbox.dialogs.messages.size(), 1u, kRunTimeoutMs);
        QVERIFY(sandbox.dialogs.messages[0].text.startsWith(tr8("数据文件没有写成：")));
        QVERIFY(sandbox.dialogs.messages[0].text.contains(QStringLiteral("no-such-folder")));
    }

    void storeAddedByAddressFillsTheList() {
        SandboxWindow sandbox;
        QVERIFY(!sandbox.startUp().has_value());
        sandbox.window->showPage(4);
        sandbox.page()->addressBox()->setText(
            QString::fromStdString("http://" + sandbox.market.catalog().storeHost(0) + "/"));

        sandbox.click("addButton");

        QTRY_COMPARE_WITH_TIMEOUT(sandbox.find<QLabel>("countLabel")->text(), QStringLiteral("8"),
                                  kRunTimeoutMs);
        QCOMPARE(sandbox.window->itemList().rowCount(), 8);
        QVERIFY(sandbox.page()->logBox()->toPlainText().contains(QStringLiteral("\n")));
    }

    void oversizedAndBinaryAddressesAreHarmless() {
        SandboxWindow sandbox;
        QVERIFY(!sandbox.startUp().has_value());
        for (int mode = 2; mode <= 4; ++mode) {
            sandbox.window->showPage(mode);
            QString binary;
            for (int code = 1; code < 0x3000; code += 7)
                binary.append(QChar(code));
            for (const QString& address : {QString(1 << 20, QLatin1Char('a')), binary}) {
                sandbox.page()->addressBox()->setText(address);
                sandbox.click("addButton");
            }
        }
        QCOMPARE(sandbox.window->itemList().rowCount(), 0);
        QCOMPARE(sandbox.find<QLabel>("countLabel")->text(), QStringLiteral("0"));
    }

    void rapidStartsAndStopsEndIdle() {
        SandboxWindow sandbox(slowMarket());
        prepareRun(sandbox, 8);
        for (int round = 0; round < 10; ++round) {
            sandbox.click("startButton");
            sandbox.click("startButton");
            sandbox.click("pauseButton");
            sandbox.click("stopButton");
            sandbox.click("stopButton");
        }
        QVERIFY(!sandbox.window->run().isRunning());
        QVERIFY(runButtonsIdle(sandbox));
        QCOMPARE(sandbox.window->itemList().rowCount(), 8);
    }

    void closingTheWindowDuringARunKeepsItGoing() {
        SandboxWindow sandbox(slowMarket());
        prepareRun(sandbox, 8);
        QSignalSpy summaries(sandbox.window.get(), &gui::MainWindow::summaryOpened);
        sandbox.click("startButton");

        sandbox.window->close();

        QVERIFY(!sandbox.window->isVisible());
        QVERIFY(summaries.wait(kRunTimeoutMs));
        QTRY_VERIFY_WITH_TIMEOUT(std::filesystem::exists(sandbox.folder.file("items.csv")),
                                 kRunTimeoutMs);
    }

    void windowDestroyedDuringARunDoesNotHang() {
        SandboxWindow sandbox(slowMarket());
        prepareRun(sandbox, 8);
        sandbox.click("startButton");
        QTest::qWait(100);
        sandbox.window.reset();
        QVERIFY(!std::filesystem::exists(sandbox.folder.file("items.csv")));
    }
};

QTEST_MAIN(RunTest)
#include "RunTest.moc"
