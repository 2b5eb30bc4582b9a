// quillon: the desktop program.
#include <QApplication>
#include <QCommandLineParser>
#include <QFileInfo>
#include <cstdio>
#include <memory>
#include <string_view>

#include "Dialogs.h"
#include "MainWindow.h"
#include "net/Endpoints.h"
#include "shell/SettingsFile.h"
#include "sim/SandboxMarket.h"
#include "text/TextCodec.h"

namespace {

using namespace quillon;

// The addresses worth trying on the sandbox market, as log lines.
void logSandboxAddresses(shell::ActivityLog& log, const sim::Catalog& catalog) {
    log.log(text::gbk("  沙盒市场已启动，可以试用下面的地址："));
    for (int store = 0; store < catalog.storeCount(); ++store) {
        log.log(text::gbk("  店铺采集：") + "http://" + catalog.storeHost(store) + "/");
        log.log(text::gbk("  列表采集：") + "http://" + catalog.storeHost(store) +
                "/search.htm?search=y&scid=" + catalog.category(store, 0).scid);
        log.log(text::gbk("  单个采集：") + "http://" + catalog.itemHost() +
                "/item.htm?id=" + catalog.itemId(store, 0));
    }
}

bool useEndpointsFile(const QString& given) {
    std::string path = given.toStdString();
    if (path.empty()) {
        const std::string beside = shell::programDirectory() + "/options/endpoints.ini";
        if (!QFileInfo::exists(QString::fromStdString(beside)))
            return true;
        path = beside;
    }
    std::string error;
    const auto endpoints = net::Endpoints::loadFile(path, &error);
    if (!endpoints) {
        std::fprintf(stderr, "quillon: endpoints file %s: %s\n", path.c_str(), error.c_str());
        return false;
    }
    net::setActiveEndpoints(*endpoints);
    return true;
}

} // namespace

int main(int argc, char* argv[]) {
    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Quillon: copies Taobao items for Taobao Assistant"));
    parser.addHelpOption();
    const QCommandLineOption sandbox(QStringLiteral("sandbox"),
                                     QStringLiteral("Run against the sandbox market, in-process."));
    const QCommandLineOption endpoints(QStringLiteral("endpoints"),
                                       QStringLiteral("The endpoints file to use."),
                                       QStringLiteral("file"));
    const QCommandLineOption options(QStringLiteral("options"),
                                     QStringLiteral("The options file (options.ini) to use."),
                                     QStringLiteral("file"));
    parser.addOptions({sandbox, endpoints, options});

    // Help is answered before the application exists, so it needs no display.
    for (int i = 1; i < argc; ++i) {
        const std::string_view argument = argv[i];
        if (argument == "-h" || argument == "--help") {
            std::printf("%s", qPrintable(parser.helpText().replace(
                                  QStringLiteral("<executable_name>"), QStringLiteral("quillon"))));
            return 0;
        }
    }

    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("quillon"));
    // The window hides on close; only the exit confirmation ends the program.
    QApplication::setQuitOnLastWindowClosed(false);
    parser.process(app);

    std::unique_ptr<sim::SandboxMarket> market;
    if (parser.isSet(sandbox)) {
        market = std::make_unique<sim::SandboxMarket>();
        std::string error;
        if (!market->start(sim::MarketConfig{}, 0, &error)) {
            std::fprintf(stderr, "quillon: the sandbox market did not start: %s\n", error.c_str());
            return 2;
        }
        net::setActiveEndpoints(market->endpoints());
    } else if (!useEndpointsFile(parser.value(endpoints))) {
        return 2;
    }

    gui::QtDialogs dialogs;
    gui::StartUpOptions startUp;
    startUp.optionsFile = QFile::encodeName(parser.value(options)).toStdString();
    gui::MainWindow window(dialogs, startUp);
    if (const auto exitCode = window.startUp())
        return *exitCode;
    if (market)
        logSandboxAddresses(window.log(), market->catalog());
    return QApplication::exec();
}
