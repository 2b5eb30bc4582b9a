// quillon-screenshot: the collect page in the middle of a sandbox run, saved
// as a PNG for the README. Run it under a real X server (Xvfb will do).
#include <QApplication>
#include <QDir>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QTimer>
#include <cstdio>

#include "AddressBox.h"
#include "CollectPage.h"
#include "Dialogs.h"
#include "MainWindow.h"
#include "QtText.h"
#include "net/Endpoints.h"
#include "sim/SandboxMarket.h"

using namespace quillon;

namespace {

void waitFor(int milliseconds) {
    QEventLoop loop;
    QTimer::singleShot(milliseconds, &loop, &QEventLoop::quit);
    loop.exec();
}

} // namespace

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    const QString output =
        argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("screenshot.png");

    sim::MarketConfig config;
    config.latencyMs = 150; // slow enough to catch the run half-way
    sim::SandboxMarket market;
    if (!market.start(config, 0)) {
        std::fprintf(stderr, "quillon-screenshot: the sandbox market did not start\n");
        return 1;
    }
    net::setActiveEndpoints(market.endpoints());

    gui::QtDialogs dialogs;
    gui::StartUpOptions options;
    options.optionsFile = "/nonexistent/options.ini";
    options.bindToFirstProcessor = false;
    gui::MainWindow window(dialogs, options);
    if (window.startUp())
        return 1;
    window.move(0, 0);

    gui::CollectPage* page = window.collectPage();
    window.showPage(4);
    page->addressBox()->setText(
        QString::fromStdString("http://" + market.catalog().storeHost(0) + "/"));
    window.addToList();
    waitFor(4000);
    const QString folder = QDir::tempPath() + QStringLiteral("/quillon-screenshot");
    QDir().mkpath(folder);
    page->savePathBox()->setText(folder + QStringLiteral("/items.csv"));
    window.startRun();
    waitFor(2500);

    const QPixmap picture = window.grab();
    if (!picture.save(output)) {
        std::fprintf(stderr, "quillon-screenshot: cannot write %s\n", qPrintable(output));
        return 1;
    }
    std::printf("%s\n", qPrintable(output));
    window.stopRun();
    return 0;
}
