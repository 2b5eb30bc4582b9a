#include "AddCommand.h"

#include <atomic>
#include <cstdio>
#include <filesystem>

#include "CliSession.h"
#include "CopyCommand.h"
#include "acquisition/AddToList.h"
#include "shell/ItemList.h"
#include "sim/SandboxMarket.h"
#include "text/LocalTime.h"
#include "text/TextCodec.h"

namespace quillon::cli {
namespace {

acquisition::CollectMode modeNamed(const std::string& name) {
    if (name == "single")
        return acquisition::CollectMode::Single;
    if (name == "category")
        return acquisition::CollectMode::Category;
    if (name == "store")
        return acquisition::CollectMode::Store;
    return acquisition::CollectMode::None;
}

// Runs add-to-list for each address in turn and waits for its readers.
void addAll(CliSession& session, shell::ItemList& list, acquisition::CollectMode mode,
            const std::vector<std::string>& addresses) {
    const std::atomic<acquisition::CollectMode> current{mode};
    acquisition::AddToList adder(list, session.log(), current);
    for (const std::string& address : addresses) {
        adder.add(address);
        adder.waitForReaders();
    }
}

} // namespace

int runAdd(CliSession& session, const std::string& mode, const std::string& address,
           const std::string& listFile) {
    const acquisition::CollectMode collectMode = modeNamed(mode);
    if (collectMode == acquisition::CollectMode::None) {
        printError("quillon-cli: add takes single, category or store, not " + mode);
        return kExitUsage;
    }
    shell::ItemList list;
    if (std::filesystem::exists(listFile) && !list.importFromFile(listFile)) {
        printError("quillon-cli: cannot read the list file " + listFile);
        return kExitUsage;
    }
    const int before = list.rowCount();
    // The terminal speaks UTF-8; the system's texts are GBK.
    addAll(session, list, collectMode, {text::utf8ToGbk(address)});

    std::string error;
    if (!list.exportToFile(listFile, &error)) {
        printError("quillon-cli: the list file was not written: " + text::gbkToUtf8(error));
        return kExitDataFileFailed;
    }
    std::printf("%d items added, %d in %s\n", list.rowCount() - before, list.rowCount(),
                listFile.c_str());
    return kExitOk;
}

int runDemo(CliSession& session, const std::string& folder) {
    sim::SandboxMarket* market = session.sandbox();
    if (market == nullptr) {
        printError("quillon-cli: the demo needs the sandbox market");
        return kExitUsage;
    }
    const std::string dir =
        folder.empty()
            ? (std::filesystem::current_path() / ("quillon-demo-" + text::unixStampText(false)))
                  .string()
            : folder;
    std::error_code error;
    std::filesystem::create_directories(dir, error);
    if (error) {
        printError("quillon-cli: cannot create " + dir + ": " + error.message());
        return kExitUsage;
    }

    // One store of each list-page layout: stores 1, 2 and 3 of the sandbox.
    const sim::Catalog& catalog = market->catalog();
    std::vector<std::string> stores;
    for (int store = 0; store < std::min(3, catalog.storeCount()); ++store) {
        stores.push_back("http://" + catalog.storeHost(store) + "/");
    }
    shell::ItemList list;
    addAll(session, list, acquisition::CollectMode::Store, stores);
    if (list.rowCount() == 0) {
        printError("quillon-cli: the sandbox stores gave no item");
        return kExitDataFileFailed;
    }
    std::string listError;
    list.exportToFile(dir + "/list.txt", &listError);

    const std::string savePath = dir + "/items.csv";
    const int status = copyList(session, list, savePath);
    std::printf("list: %s/list.txt\ndata file: %s\npictures: %s/items/\n", dir.c_str(),
                savePath.c_str(), dir.c_str());
    return status;
}

} // namespace quillon::cli
