#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <future>
#include <set>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "TestFiles.h"
#include "acquisition/AddToList.h"
#include "api/CredentialList.h"
#include "engine/AssistantCsv.h"
#include "engine/DownloadWorker.h"
#include "net/Endpoints.h"
#include "net/PlainDownload.h"
#include "shell/ActivityLog.h"
#include "shell/CollectionRun.h"
#include "shell/ItemList.h"
#include "shell/Settings.h"
#include "sim/PictureMaker.h"
#include "sim/SandboxMarket.h"
#include "text/GbkText.h"
#include "text/Number.h"
#include "text/TextCodec.h"

namespace fs = std::filesystem;
using namespace quillon;

namespace {

// Splits one data row into its columns: "," outside quotes; a quoted column
// keeps its doubled quotes.
std::vector<std::string> columnsOf(const std::string& row) {
    std::vector<std::string> columns(1);
    bool quoted = false;
    for (char c : row) {
        if (c == '"')
            quoted = !quoted;
        if (c == ',' && !quoted) {
            columns.emplace_back();
        } else {
            columns.back() += c;
        }
    }
    return columns;
}

std::string unquote(const std::string& column) {
    if (column.size() >= 2 && column.front() == '"' && column.back() == '"') {
        return column.substr(1, column.size() - 2);
    }
    return column;
}

using quillon::support::readFile;

// The rows of a data file after its header (1 line for 4.x, 3 for 5.x).
std::vector<std::string> dataRows(const std::string& file, int version) {
    std::vector<std::string> lines;
    std::size_t start = 0;
    while (start < file.size()) {
        std::size_t end = file.find("\r\n", start);
        if (end == std::string::npos)
            end = file.size();
        lines.push_back(file.substr(start, end - start));
        start = end + 2;
    }
    const std::size_t headerLines = version == 4 ? 1 : 3;
    if (lines.size() < headerLines)
        return {};
    return std::vector<std::string>(lines.begin() + headerLines, lines.end());
}

int countLines(const std::vector<std::string>& lines, const std::string& utf8Piece) {
    const std::string piece = text::gbk(utf8Piece);
    return static_cast<int>(std::count_if(lines.begin(), lines.end(), [&](const std::string& line) {
        return text::containsText(line, piece);
    }));
}

class RecordingListener : public engine::RunListener {
  public:
    void runFinished(const shell::RunCounters& counters) override {
        std::lock_guard lock(m_mutex);
        m_summaries.push_back(counters);
    }
    void dataFileWritten(const std::string&, bool ok, const std::string& reason) override {
        std::lock_guard lock(m_mutex);
        m_fileResults.push_back(ok);
        m_reason = reason;
    }
    std::vector<shell::RunCounters> summaries() const {
        std::lock_guard lock(m_mutex);
        return m_summaries;
    }
    std::vector<bool> fileResults() const {
        std::lock_guard lock(m_mutex);
        return m_fileResults;
    }

  private:
    mutable std::mutex m_mutex;
    std::vector<shell::RunCounters> m_summaries;
    std::vector<bool> m_fileResults;
    std::string m_reason;
};

class CopyRun : public ::testing::Test {
  protected:
    void SetUp() override {
        m_folder = fs::temp_directory_path() /
                   ("quillon-copy-" + std::to_string(::getpid()) + "-" +
                    ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(m_folder);
        fs::create_directories(m_folder);
        m_log.addSink(&m_lines);
        shell::SettingsValues values;
        values.descFailMode = 3;
        m_settings.setValues(values);
        m_settings.setSavePath((m_folder / "items.csv").string());
    }

    void TearDown() override {
        if (m_run.isRunning())
            m_run.stop();
        m_market.stop();
        net::setActiveEndpoints(net::Endpoints{});
        fs::remove_all(m_folder);
    }

    void startMarket(const sim::MarketConfig& config = {}) {
        std::string error;
        ASSERT_TRUE(m_market.start(config, 0, &error)) << error;
        net::setActiveEndpoints(m_market.endpoints());
        ASSERT_TRUE(api::loadCredentials(m_credentials));
    }

    // The first `count` items of sandbox store `store`, as list rows.
    void listItems(int store, int count) {
        const sim::Catalog& catalog = m_market.catalog();
        for (int i = 0; i < count; ++i) {
            m_list.append({catalog.itemTitle(store, i), catalog.itemPrice(store, i), "",
                           catalog.itemId(store, i)});
        }
    }

    engine::CopyJob job() {
        return {.run = &m_run,
                .list = &m_list,
                .settings = &m_settings,
                .log = &m_log,
                .credentials = &m_credentials,
                .listener = &m_listener,
                .wrapPause = std::chrono::milliseconds(50)};
    }

    // Starts a run and waits for its end, failing instead of hanging.
    void copyAll() {
        ASSERT_TRUE(engine::startCopyRun(job()));
        auto ended = std::async(std::launch::async, [this] { m_run.waitUntilEnded(); });
        if (ended.wait_for(std::chrono::seconds(120)) != std::future_status::ready) {
            m_run.stop();
            FAIL() << "the run did not end";
        }
    }

    std::string dataFile() const { return readFile(m_folder / "items.csv"); }
    fs::path pictureFolder() const { return m_folder / "items"; }

    fs::path m_folder;
    sim::SandboxMarket m_market;
    shell::ActivityLog m_log;
    shell::MemoryLogSink m_lines;
    shell::Settings m_settings;
    shell::ItemList m_list;
    shell::CollectionRun m_run;
    api::CredentialList m_credentials;
    RecordingListener m_listener;
};

TEST_F(CopyRun, CopiesEveryItemInBothLayouts) {
    struct Layout {
        int version;
        std::size_t columns;
        std::size_t pictureColumn; // 0-based
        std::size_t idColumn;
    };
    for (const Layout layout : {Layout{4, 46, 35, 44}, Layout{5, 44, 28, 36}}) {
        SCOPED_TRACE(layout.version);
        m_list.clear();
        fs::remove_all(m_folder);
        fs::create_directories(m_folder);
        startMarket();
        shell::SettingsValues values = m_settings.values();
        values.assistantVersion = layout.version;
        m_settings.setValues(values);
        listItems(0, 7);
        copyAll();

        const std::string file = dataFile();
        const std::string header = engine::AssistantCsv::header(layout.version);
        ASSERT_EQ(file.substr(0, header.size()), header);
        const auto rows = dataRows(file, layout.version);
        ASSERT_EQ(rows.size(), 7u);

        std::set<std::string> ids;
        for (const std::string& row : rows) {
            const auto columns = columnsOf(row);
            ASSERT_EQ(columns.size(), layout.columns) << row;
            const std::string id = columns[layout.idColumn];
            ids.insert(id);
            const auto item = m_market.catalog().itemById(id);
            ASSERT_TRUE(item.has_value()) << id;

            // One picture entry per main and property picture, each file on
            // disk holding the bytes the sandbox served for it.
            const std::string pictures = unquote(columns[layout.pictureColumn]);
            std::vector<std::string> names;
            for (std::size_t at = 0; at < pictures.size();) {
                const std::size_t end = pictures.find("|;", at);
                ASSERT_NE(end, std::string::npos) << pictures;
                names.push_back(pictures.substr(at, pictures.find(':', at) - at));
                at = end + 2;
            }
            const std::size_t mainCount = item->mainPictures.size();
            ASSERT_EQ(names.size(), mainCount + item->propPictures.size()) << pictures;
            for (std::size_t i = 0; i < names.size(); ++i) {
                const sim::PictureRef& ref =
                    i < mainCount ? item->mainPictures[i] : item->propPictures[i - mainCount];
                EXPECT_EQ(names[i].size(), 32u);
                EXPECT_EQ(readFile(pictureFolder() / (names[i] + ".tbi")),
                          sim::PictureMaker::make(ref.format, ref.key))
                    << names[i];
            }
        }
        EXPECT_EQ(ids.size(), 7u);
        EXPECT_FALSE(m_listener.summaries().empty());
        EXPECT_EQ(m_listener.summaries().back().successCount, 7);
        m_market.stop();
    }
}

TEST_F(CopyRun, RotatesToTheNextCredentialAndKeepsItForTheNextRun) {
    sim::MarketConfig config;
    // The first entry of the list carries a secret the gateway does not know.
    const auto known = sim::MarketConfig::defaultCredentials();
    config.credentialListBody = "<?xml version=\"1.0\" encoding=\"utf-8\"?><apps>"
                                "<app appkey=\"" +
                                known[0].appKey +
                                "\" appsecret=\"wrong\"/>"
                                "<app appkey=\"" +
                                known[1].appKey + "\" appsecret=\"" + known[1].appSecret +
                                "\"/>"
                                "<app appkey=\"" +
                                known[2].appKey + "\" appsecret=\"" + known[2].appSecret +
                                "\"/></apps>";
    startMarket(config);
    listItems(1, 1);
    copyAll();

    const auto lines = m_lines.lines();
    EXPECT_EQ(countLines(lines, "正在尝试下一组App"), 1);
    EXPECT_EQ(countLines(lines, "淘宝接口忙"), 0);
    EXPECT_EQ(m_credentials.currentCredential(), 2);
    EXPECT_EQ(m_run.counters().successCount, 1);

    // A second run in the same process starts with the credential the first ended on.
    m_market.clearRequestLog();
    copyAll();
    std::vector<std::string> keys;
    for (const auto& request : m_market.requestLog()) {
        if (request.path == "/router/rest")
            keys.push_back(request.query);
    }
    ASSERT_EQ(keys.size(), 1u);
    EXPECT_NE(keys[0].find("app_key=" + known[1].appKey + "&"), std::string::npos);
    EXPECT_EQ(countLines(m_lines.lines(), "正在尝试下一组App"), 1);
}

TEST_F(CopyRun, WrapsAroundTheListWithAPauseAfterTheLastCredential) {
    sim::MarketConfig config;
    // Two credentials, the first refused after its first call.
    config.credentials = sim::MarketConfig::defaultCredentials();
    config.credentials.resize(2);
    config.credentials[0].callLimit = 1;
    config.credentials[1].callLimit = 1;
    startMarket(config);
    listItems(0, 3);
    ASSERT_TRUE(engine::startCopyRun(job()));
    // Both credentials are used up after two items: the third keeps the
    // worker rotating until the run is stopped.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (countLines(m_lines.lines(), "淘宝接口忙") < 2 &&
           std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    m_run.stop();
    const auto lines = m_lines.lines();
    EXPECT_GE(countLines(lines, "淘宝接口忙"), 2);
    EXPECT_GE(countLines(lines, "正在尝试下一组App"), countLines(lines, "淘宝接口忙"));
    EXPECT_TRUE(m_listener.summaries().empty());
    EXPECT_FALSE(fs::exists(m_folder / "items.csv"));
}

TEST_F(CopyRun, UnreachableGatewayGivesAHeaderOnlyFile) {
    startMarket();
    net::Endpoints endpoints = m_market.endpoints();
    // Nothing listens on port 1; the exact rule wins over "*".
    endpoints.connectTo.insert(endpoints.connectTo.begin(),
                               {m_market.catalog().gatewayHost(), 80, "127.0.0.1", 1});
    net::setActiveEndpoints(endpoints);
    listItems(0, 3);
    copyAll();

    EXPECT_EQ(dataFile(), engine::AssistantCsv::header(5));
    const auto counters = m_run.counters();
    EXPECT_EQ(counters.successCount, 0);
    EXPECT_EQ(counters.failureCount, 3);
    const auto lines = m_lines.lines();
    EXPECT_EQ(countLines(lines, " 个宝贝 下载完成！\r\n"), 3);
    EXPECT_EQ(countLines(lines, "宝贝主图数据！"), 6);
    EXPECT_EQ(countLines(lines, "成功： 0 失败：3"), 1);
}

TEST_F(CopyRun, FewerRowsThanWorkersClosesTheRunOnce) {
    startMarket();
    listItems(2, 2);
    copyAll();
    EXPECT_EQ(countLines(m_lines.lines(), " 个宝贝 下载完成！成功： 2 失败：0"), 1);
    ASSERT_EQ(m_listener.summaries().size(), 1u);
    EXPECT_EQ(m_listener.summaries()[0].total, 2);
    EXPECT_EQ(dataRows(dataFile(), 5).size(), 2u);
}

TEST_F(CopyRun, AdjustsPricesAndStock) {
    startMarket();
    // An item with SKUs.
    const sim::Catalog& catalog = m_market.catalog();
    int index = 0;
    while (catalog.item(0, index).skus.empty())
        ++index;
    const sim::ItemInfo item = catalog.item(0, index);
    m_list.append({catalog.itemTitle(0, index), "", "", item.id});

    shell::SettingsValues values = m_settings.values();
    values.priceAdjust = true;
    values.pricePercent = "120";
    values.priceDecimals = "";
    values.stockUniform = true;
    values.stockValue = "7";
    m_settings.setValues(values);
    copyAll();

    const auto rows = dataRows(dataFile(), 5);
    ASSERT_EQ(rows.size(), 1u);
    const auto columns = columnsOf(rows[0]);
    EXPECT_EQ(columns[7], text::numberToText(text::numberFromText(item.price) * 120 / 100));
    const std::string skus = unquote(columns[30]);
    std::string expected;
    for (const sim::SkuInfo& sku : item.skus) {
        expected += text::numberToText(text::numberFromText(sku.price) * 120 / 100) +
                    ":7:" + sku.outerId + ":" + sku.properties + ";";
    }
    EXPECT_EQ(skus, expected + ";");
}

TEST_F(CopyRun, PauseHoldsEveryWorkerUntilContinue) {
    sim::MarketConfig config;
    config.latencyMs = 20;
    startMarket(config);
    listItems(0, 12);
    ASSERT_TRUE(engine::startCopyRun(job()));
    m_run.pause();
    // Work under way when the pause came may finish; then nothing moves.
    std::this_thread::sleep_for(std::chrono::milliseconds(400));
    const auto before = m_market.requestCount();
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    EXPECT_EQ(m_market.requestCount(), before);
    EXPECT_TRUE(m_listener.summaries().empty());

    m_run.resume();
    auto ended = std::async(std::launch::async, [this] { m_run.waitUntilEnded(); });
    ASSERT_EQ(ended.wait_for(std::chrono::seconds(120)), std::future_status::ready);
    EXPECT_EQ(m_run.counters().successCount, 12);
    EXPECT_EQ(dataRows(dataFile(), 5).size(), 12u);
}

TEST_F(CopyRun, StopWritesNothingAndEndsPromptly) {
    sim::MarketConfig config;
    config.latencyMs = 200;
    startMarket(config);
    listItems(0, 20);
    ASSERT_TRUE(engine::startCopyRun(job()));
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    auto stopped = std::async(std::launch::async, [this] { m_run.stop(); });
    // A stop must not wait for the requests in flight to be answered.
    ASSERT_EQ(stopped.wait_for(std::chrono::seconds(10)), std::future_status::ready);
    EXPECT_FALSE(m_run.isRunning());
    EXPECT_TRUE(m_listener.summaries().empty());
    EXPECT_TRUE(m_listener.fileResults().empty());
    EXPECT_FALSE(fs::exists(m_folder / "items.csv"));
}

TEST_F(CopyRun, DescriptionPicturesPointAtLocalCopies) {
    startMarket();
    shell::SettingsValues values = m_settings.values();
    values.downloadDescPictures = true;
    values.descFailMode = 2;
    m_settings.setValues(values);
    listItems(0, 3);
    copyAll();

    const auto rows = dataRows(dataFile(), 5);
    ASSERT_EQ(rows.size(), 3u);
    int localAddresses = 0;
    for (const std::string& row : rows) {
        const std::string description = columnsOf(row)[20];
        for (std::size_t at = description.find("file:///"); at != std::string::npos;
             at = description.find("file:///", at + 1)) {
            ++localAddresses;
        }
    }
    EXPECT_GT(localAddresses, 0);
    // Every title folder holds files.
    int files = 0;
    for (const auto& entry : fs::recursive_directory_iterator(pictureFolder())) {
        if (entry.is_regular_file() && entry.path().parent_path() != pictureFolder())
            ++files;
    }
    EXPECT_GT(files, 0);
}

TEST_F(CopyRun, UnwritableDataFileIsReported) {
    startMarket();
    listItems(0, 1);
    // The data file's place is taken by a folder, so the rename fails.
    fs::create_directories(m_folder / "items.csv");
    copyAll();
    ASSERT_EQ(m_listener.fileResults().size(), 1u);
    EXPECT_FALSE(m_listener.fileResults()[0]);
    EXPECT_EQ(countLines(m_lines.lines(), "数据文件写入失败"), 1);
}

} // namespace

namespace {

// An item of store 0 whose description names a picture on the other host.
int itemWithOtherHostPicture(const sim::Catalog& catalog) {
    for (int index = 0; index < catalog.itemsPerStore(); ++index) {
        for (const sim::PictureRef& ref : catalog.item(0, index).descPictures) {
            if (ref.host == catalog.otherPictureHost())
                return index;
        }
    }
    return -1;
}

TEST_F(CopyRun, DescriptionPictureFailuresFollowTheChosenMode) {
    struct Case {
        const char* name;
        bool taobaoOnly;
        int failMode;
        bool remoteKept;
        const char* expectedLine; // UTF-8 piece of a line that must appear
    };
    const Case cases[] = {
        {"keep", false, 1, true, nullptr},
        {"delete", false, 2, false, "字节集为0 已经删除"},
        {"retry then delete", false, 3, false, "重新下载失败===已经删除图片"},
        {"taobao pictures only", true, 3, true, "非淘宝空间图片 已跳过"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        m_list.clear();
        sim::MarketConfig config;
        // Every picture of the other host comes back empty.
        config.faults.rules.push_back(
            {sim::FaultKind::Close, 1.0, sim::Catalog(config).otherPictureHost(), "", 0});
        startMarket(config);
        const sim::Catalog& catalog = m_market.catalog();
        const int index = itemWithOtherHostPicture(catalog);
        ASSERT_GE(index, 0);
        m_list.append({catalog.itemTitle(0, index), "", "", catalog.itemId(0, index)});

        shell::SettingsValues values = m_settings.values();
        values.downloadDescPictures = true;
        values.descTaobaoOnly = c.taobaoOnly;
        values.descFailMode = c.failMode;
        m_settings.setValues(values);
        copyAll();

        const auto rows = dataRows(dataFile(), 5);
        ASSERT_EQ(rows.size(), 1u);
        const std::string description = columnsOf(rows[0])[20];
        const std::string otherHost = "http://" + catalog.otherPictureHost();
        EXPECT_EQ(description.find(otherHost) != std::string::npos, c.remoteKept);
        if (c.expectedLine != nullptr) {
            EXPECT_GE(countLines(m_lines.lines(), c.expectedLine), 1);
        }
        m_market.stop();
    }
}

TEST_F(CopyRun, BrokenAnswersFailTheirItemsAndKeepTheOthers) {
    sim::MarketConfig config;
    // A third of the gateway's answers are random bytes or cut off.
    config.faults.rules.push_back({sim::FaultKind::Garbage, 0.2, "gw.sandbox.test", "", 0});
    config.faults.rules.push_back({sim::FaultKind::Truncate, 0.15, "gw.sandbox.test", "", 0});
    startMarket(config);
    listItems(0, 20);
    copyAll();

    const auto counters = m_run.counters();
    EXPECT_EQ(counters.successCount + counters.failureCount, 20);
    EXPECT_GT(counters.failureCount, 0);
    EXPECT_GT(counters.successCount, 0);
    const auto rows = dataRows(dataFile(), 5);
    EXPECT_EQ(rows.size(), static_cast<std::size_t>(counters.successCount));
    for (const std::string& row : rows)
        EXPECT_EQ(columnsOf(row).size(), 44u);
}

} // namespace

namespace {

TEST_F(CopyRun, AStoreReadFromItsPagesIsCopiedWhole) {
    startMarket();
    const sim::Catalog& catalog = m_market.catalog();
    const std::atomic<acquisition::CollectMode> mode{acquisition::CollectMode::Store};
    {
        acquisition::AddToList adder(m_list, m_log, mode);
        adder.add("http://" + catalog.storeHost(2) + "/");
        adder.waitForReaders();
    }
    const std::vector<std::string> expected = catalog.itemIds(2, -1);
    ASSERT_EQ(m_list.rowCount(), static_cast<int>(expected.size()));
    copyAll();

    std::set<std::string> copied;
    for (const std::string& row : dataRows(dataFile(), 5))
        copied.insert(columnsOf(row)[36]);
    EXPECT_EQ(copied, std::set<std::string>(expected.begin(), expected.end()));
}

} // namespace
