#pragma once

// A main window started against a sandbox market of its own, with its
// options file in a temporary folder and dialogs that answer from a script.

#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <memory>
#include <optional>
#include <vector>

#include "CollectPage.h"
#include "MainWindow.h"
#include "QtText.h"
#include "ScriptedDialogs.h"
#include "TestFiles.h"
#include "net/Endpoints.h"
#include "sim/SandboxMarket.h"

namespace quillon::gui::testing {

// A small market: a run over all of it ends within a second or two.
inline sim::MarketConfig smallMarket() {
    sim::MarketConfig config;
    config.storeCount = 1;
    config.itemsPerStore = 8;
    config.itemsPerPage = 4;
    config.mainPicturesPerItem = 1;
    config.propPicturesPerItem = 1;
    return config;
}

class SandboxWindow {
  public:
    explicit SandboxWindow(const sim::MarketConfig& config = smallMarket()) {
        if (!market.start(config, 0))
            qFatal("the sandbox market did not start");
        net::setActiveEndpoints(market.endpoints());
        StartUpOptions options;
        options.optionsFile = folder.file("options.ini");
        options.bindToFirstProcessor = false;
        options.splashPause = std::chrono::milliseconds(0);
        options.terminate = [this](int code) { exitCodes.push_back(code); };
        window = std::make_unique<MainWindow>(dialogs, options);
    }

    ~SandboxWindow() {
        window.reset();
        market.stop();
    }

    std::optional<int> startUp() { return window->startUp(); }

    CollectPage* page() const { return window->collectPage(); }
    template <typename T> T* find(const char* name) const {
        T* widget = window->findChild<T*>(QString::fromLatin1(name));
        if (widget == nullptr)
            qFatal("no widget named %s", name);
        return widget;
    }
    QPushButton* button(const char* name) const { return find<QPushButton>(name); }
    void click(const char* name) const { QTest::mouseClick(button(name), Qt::LeftButton); }

    // Every item of the market's first store as list rows.
    void fillList(int count) {
        const sim::Catalog& catalog = market.catalog();
        for (int index = 0; index < count; ++index) {
            const std::string id = catalog.itemId(0, index);
            window->itemList().append({catalog.itemTitle(0, index), catalog.itemPrice(0, index),
                                       "http://" + catalog.itemHost() + "/item.htm?id=" + id, id});
        }
        page()->updateCountLabel();
    }

    void setSavePath(const std::string& path) {
        page()->savePathBox()->setText(QString::fromStdString(path));
        page()->renewSavePath();
    }

    support::TempFolder folder;
    sim::SandboxMarket market;
    ScriptedDialogs dialogs;
    std::vector<int> exitCodes;
    std::unique_ptr<MainWindow> window;
};

} // namespace quillon::gui::testing
