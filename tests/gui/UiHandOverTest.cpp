// The hand-over from worker threads to the GUI thread.

#include <QCoreApplication>
#include <QTest>
#include <QThread>
#include <atomic>
#include <thread>

#include "UiHandOver.h"

using quillon::gui::UiHandOver;

class UiHandOverTest : public QObject {
    Q_OBJECT

  private slots:
    void onTheGuiThreadTheCallRunsAtOnce() {
        UiHandOver handOver;
        bool ran = false;
        QVERIFY(handOver.runAndWait([&ran] { ran = true; }));
        QVERIFY(ran);
    }

    void aWorkerWaitsUntilItsCallHasRunOnTheGuiThread() {
        UiHandOver handOver;
        QThread* guiThread = QThread::currentThread();
        std::atomic<bool> ranOnGui{false};
        std::atomic<bool> returned{false};
        std::atomic<bool> sawResult{false};
        std::thread worker([&] {
            const bool ran =
                handOver.runAndWait([&] { ranOnGui = QThread::currentThread() == guiThread; });
            // The call's effect is visible once runAndWait returns.
            sawResult = ran && ranOnGui.load();
            returned = true;
        });
        QTRY_VERIFY_WITH_TIMEOUT(returned.load(), 10000);
        worker.join();
        QVERIFY(sawResult.load());
    }

    void shutDownReleasesAWaitingWorkerWithoutRunningItsCall() {
        UiHandOver handOver;
        std::atomic<bool> ran{false};
        std::atomic<bool> result{true};
        std::atomic<bool> posted{false};
        std::thread worker([&] {
            posted = true;
            result = handOver.runAndWait([&] { ran = true; });
        });
        // This thread does not process events, so the worker waits until the
        // shutdown releases it.
        while (!posted.load())
            std::this_thread::yield();
        handOver.shutDown();
        worker.join();
        QVERIFY(!result.load());
        QCoreApplication::processEvents();
        QVERIFY(!ran.load());
        QVERIFY(!handOver.runAndWait([&] { ran = true; }));
        QVERIFY(!ran.load());
    }

    void aPostedCallRunsLaterOnTheGuiThread() {
        UiHandOver handOver;
        std::atomic<int> runs{0};
        std::thread worker([&] { handOver.post([&] { ++runs; }); });
        worker.join();
        QCOMPARE(runs.load(), 0);
        QTRY_COMPARE(runs.load(), 1);
    }
};

QTEST_MAIN(UiHandOverTest)
#include "UiHandOverTest.moc"
