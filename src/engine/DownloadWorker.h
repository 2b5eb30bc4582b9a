#pragma once

#include <string>

#include "doc/RegexMatcher.h"
#include "doc/XmlDocument.h"
#include "engine/CopyJob.h"

namespace quillon::engine {

// One of the five threads of a run: takes rows from the shared cursor until
// none is left, copies each item (signed request with credential rotation,
// record, pictures, data row) and logs every step. The last one to finish
// closes the run and writes the data file.
class DownloadWorker {
  public:
    DownloadWorker(const CopyJob& job, int workerNumber);

    // The body of the worker's thread.
    void run();

  private:
    // One item at 1-based position `row`; false when the run is being stopped.
    bool copyItem(int row);

    // Fetches the answer for `itemId` signed with credential `position`
    // into m_answer; false when the run is being stopped.
    bool request(const std::string& itemId, int position);

    void finishRun(int lastRow);
    void log(const std::string& message);

    CopyJob m_job;
    int m_workerNumber;
    int m_total = 0;
    doc::XmlDocument m_answer;
    doc::RegexMatcher m_pictureMatcher;
    doc::RegexMatcher m_characterMatcher;
};

// "开始采集" without the window: with at least one row, resets the run for the
// list's row count, creates the picture folder and starts five workers.
// False when there is nothing to copy, the save path is empty or workers of
// an earlier run are still alive.
bool startCopyRun(const CopyJob& job);

} // namespace quillon::engine
