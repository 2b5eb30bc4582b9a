#pragma once

// What the add-to-list and store reader tests share: a sandbox market, the
// item list and log that the readers fill, and one AddToList driven like the
// button beside the address box.

#include <gtest/gtest.h>

#include <atomic>
#include <mutex>
#include <ostream>
#include <string>
#include <vector>

#include "LogLines.h"
#include "Watchdog.h"
#include "acquisition/AddToList.h"
#include "net/Endpoints.h"
#include "shell/ActivityLog.h"
#include "shell/ItemList.h"
#include "sim/SandboxMarket.h"
#include "text/TextCodec.h"

namespace quillon::shell {
// Rows in failure messages, readable.
inline void PrintTo(const ItemEntry& entry, std::ostream* out) {
    *out << "{" << text::gbkToUtf8(entry.name) << " | " << text::gbkToUtf8(entry.price) << " | "
         << text::gbkToUtf8(entry.address) << " | " << entry.itemId << "}";
}
} // namespace quillon::shell

namespace quillon::support {

class ListAcquisitionTest : public ::testing::Test {
  protected:
    using CollectMode = acquisition::CollectMode;

    void SetUp() override { m_log.addSink(&m_lines); }

    void TearDown() override {
        m_adder.stop();
        m_adder.waitForReaders();
        m_market.stop();
        net::setActiveEndpoints(net::Endpoints{});
    }

    void startMarket(const sim::MarketConfig& config = {}) {
        std::string error;
        ASSERT_TRUE(m_market.start(config, 0, &error)) << error;
        net::setActiveEndpoints(m_market.endpoints());
    }

    // One press of the button in `mode` with a GBK address, then every reader
    // it started is waited for.
    void press(CollectMode mode, const std::string& address) {
        m_mode = mode;
        m_adder.add(address);
        m_adder.waitForReaders();
    }

    // Later calls of messages() leave out the lines logged so far.
    void forgetLines() { m_linesSeen = m_lines.lines().size(); }

    // The log lines without their stamps, in UTF-8.
    std::vector<std::string> messages() const {
        std::vector<std::string> out;
        const auto lines = m_lines.lines();
        for (auto it = lines.begin() + static_cast<long>(m_linesSeen); it != lines.end(); ++it) {
            out.push_back(text::gbkToUtf8(messageOf(*it)));
        }
        return out;
    }

    // The item-count label: every row count the readers reported.
    std::vector<int> countLabels() const {
        std::lock_guard lock(m_labelMutex);
        return m_labels;
    }

    Watchdog m_watchdog{std::chrono::seconds(120)};
    sim::SandboxMarket m_market;
    shell::ItemList m_list;
    shell::MemoryLogSink m_lines;
    std::size_t m_linesSeen = 0;
    shell::ActivityLog m_log;
    std::atomic<CollectMode> m_mode{CollectMode::None};
    mutable std::mutex m_labelMutex;
    std::vector<int> m_labels;
    acquisition::AddToList m_adder{m_list, m_log, m_mode, [this](int rows) {
                                       std::lock_guard lock(m_labelMutex);
                                       m_labels.push_back(rows);
                                   }};
};

} // namespace quillon::support
