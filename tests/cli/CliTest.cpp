#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <sys/wait.h>

#include "shell/ItemList.h"
#include "sim/Catalog.h"

namespace fs = std::filesystem;

namespace {

struct Outcome {
    int status = -1;
    std::string out;
};

// Runs a shell command line and collects its standard output.
Outcome run(const std::string& commandLine) {
    Outcome outcome;
    FILE* pipe = ::popen((commandLine + " 2>/dev/null").c_str(), "r");
    if (pipe == nullptr)
        return outcome;
    char buffer[4096];
    std::size_t got = 0;
    while ((got = std::fread(buffer, 1, sizeof buffer, pipe)) > 0)
        outcome.out.append(buffer, got);
    const int status = ::pclose(pipe);
    outcome.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return outcome;
}

class Cli : public ::testing::Test {
  protected:
    void SetUp() override {
        m_folder = fs::temp_directory_path() /
                   ("quillon-cli-" + std::to_string(::getpid()) + "-" +
                    ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(m_folder);
        fs::create_directories(m_folder);
        // The first items of the default sandbox market.
        const quillon::sim::Catalog catalog;
        std::vector<quillon::shell::ItemEntry> rows;
        for (int i = 0; i < 4; ++i) {
            rows.push_back({catalog.itemTitle(0, i), "", "x", catalog.itemId(0, i)});
        }
        std::ofstream(m_folder / "list.txt", std::ios::binary)
            << quillon::shell::ItemList::exportText(rows);
        std::ofstream(m_folder / "options.ini") << "[SAVE]\r\ntype=4\r\n";
    }
    void TearDown() override { fs::remove_all(m_folder); }

    std::string path(const std::string& name) const { return (m_folder / name).string(); }
    std::string cli() const {
        return std::string(QUILLON_CLI_PATH) + " --options " + path("options.ini");
    }

    fs::path m_folder;
};

TEST_F(Cli, CopiesAListOnTheSandboxAndPrintsTheSummary) {
    const Outcome outcome = run(cli() + " --sandbox --log " + path("log.txt") + " copy --list " +
                                path("list.txt") + " --out " + path("out/items.csv"));
    EXPECT_EQ(outcome.status, 0);
    EXPECT_EQ(outcome.out, "下载总数： 4\n成功下载： 4\n下载失败： 0\n");
    // The options file asked for the 4.x layout: a one-line header.
    std::ifstream csv(m_folder / "out/items.csv", std::ios::binary);
    std::string header;
    std::getline(csv, header);
    EXPECT_EQ(header.rfind("\xB1\xA6\xB1\xB4\xC3\xFB\xB3\xC6,", 0), 0u) << header; // 宝贝名称,
    EXPECT_TRUE(fs::is_directory(m_folder / "out/items"));
    // The log file holds GBK lines ending in CR LF, as the log box would.
    std::ifstream in(m_folder / "log.txt", std::ios::binary);
    const std::string log((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    EXPECT_NE(log.find("\xCF\xDF\xB3\xCC\xA3\xBA"), std::string::npos); // 线程：
    EXPECT_EQ(log.substr(log.size() - 2), "\r\n");
}

TEST_F(Cli, AddKeepsTheRowsAlreadyInTheListFile) {
    const quillon::sim::Catalog catalog;
    const Outcome outcome = run(cli() + " --sandbox add store http://" + catalog.storeHost(1) +
                                "/ --list " + path("list.txt"));
    EXPECT_EQ(outcome.status, 0);
    quillon::shell::ItemList list;
    ASSERT_TRUE(list.importFromFile(path("list.txt")));
    ASSERT_EQ(list.rowCount(), 4 + catalog.itemCount(1, -1));
    EXPECT_EQ(list.row(0).itemId, catalog.itemId(0, 0));
    EXPECT_EQ(list.row(4).address.rfind("http://" + catalog.itemHost() + "/item.htm?id=", 0), 0u);
}

TEST_F(Cli, DemoCopiesOneStoreOfEachLayout) {
    const Outcome outcome = run(std::string(QUILLON_CLI_PATH) + " demo --dir " + path("demo"));
    EXPECT_EQ(outcome.status, 0);
    const quillon::sim::Catalog catalog;
    const int total =
        catalog.itemCount(0, -1) + catalog.itemCount(1, -1) + catalog.itemCount(2, -1);
    EXPECT_EQ(outcome.out.rfind("下载总数： " + std::to_string(total) + "\n成功下载： " +
                                    std::to_string(total) + "\n下载失败： 0\n",
                                0),
              0u)
        << outcome.out;
    EXPECT_TRUE(fs::exists(m_folder / "demo/items.csv"));
    EXPECT_TRUE(fs::exists(m_folder / "demo/list.txt"));
}

TEST_F(Cli, ExitStatuses) {
    // A configuration endpoint that nobody serves.
    std::ofstream(m_folder / "endpoints.ini")
        << "[ENDPOINTS]\nconfig=http://cfg.nowhere.test\n[CONNECT_TO]\n*=127.0.0.1:1\n";
    std::ofstream(m_folder / "bad-endpoints.ini") << "[CONNECT_TO]\nhost=not-an-address\n";
    fs::create_directories(m_folder / "taken.csv");

    struct Case {
        const char* name;
        std::string arguments;
        int status;
    };
    const Case cases[] = {
        {"no command", "", 2},
        {"unknown option", "copy --list " + path("list.txt") + " --bogus", 2},
        {"missing list option", "copy", 2},
        {"unknown add mode", "--sandbox add shop http://x.test/", 2},
        {"add without address", "--sandbox add store", 2},
        {"unreadable list", "copy --list " + path("missing.txt"), 2},

        {"malformed endpoints file",
         "--endpoints " + path("bad-endpoints.ini") + " copy --list " + path("list.txt"), 2},
        {"no credential list",
         "--endpoints " + path("endpoints.ini") + " copy --list " + path("list.txt") + " --out " +
             path("a.csv"),
         3},
        {"data file cannot be written",
         "--sandbox copy --list " + path("list.txt") + " --out " + path("taken.csv"), 1},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(run(cli() + " " + c.arguments).status, c.status) << c.name;
    }
    EXPECT_EQ(run(std::string(QUILLON_CLI_PATH) + " --help").status, 0);
    EXPECT_EQ(run(std::string(QUILLON_CLI_PATH) + " --options " + path("none.ini") +
                  " --sandbox copy --list " + path("list.txt"))
                  .status,
              2);
}

} // namespace
