#pragma once

// What the picture tests share: a worker's context (worker 2, row 3 of 7)
// around a data file in a fresh temporary folder, with its picture folder
// made, and the log messages the worker wrote.

#include <gtest/gtest.h>
#include <string>
#include <vector>

#include "LogLines.h"
#include "TestFiles.h"
#include "engine/ItemRecord.h"
#include "engine/WorkerContext.h"
#include "shell/ActivityLog.h"
#include "shell/Settings.h"

namespace quillon::engine {

class PictureWorkerTest : public ::testing::Test {
  protected:
    // The data file is <folder>/items.csv, so the pictures go to <folder>/items.
    void prepareWorker(const std::string& title) {
        m_settings.setSavePath(m_folder.file("items.csv"));
        std::filesystem::create_directory(pictureFolder());
        m_log.addSink(&m_sink);
        m_context.log = &m_log;
        m_context.settings = &m_settings;
        m_context.workerNumber = 2;
        m_context.row = 3;
        m_context.total = 7;
        m_record.itemId = "3301";
        m_record.title = title;
    }

    std::string pictureFolder() const { return m_settings.pictureFolder(); }

    std::vector<std::string> messages() const {
        std::vector<std::string> out;
        for (const std::string& line : m_sink.lines())
            out.push_back(support::messageOf(line));
        return out;
    }

    support::TempFolder m_folder;
    shell::Settings m_settings;
    shell::ActivityLog m_log;
    shell::MemoryLogSink m_sink;
    WorkerContext m_context;
    ItemRecord m_record;
};

} // namespace quillon::engine
