#pragma once

#include <string>

namespace quillon::cli {

class CliSession;

// quillon-cli copy: imports the list file, copies every item with five
// workers, writes the data file with its picture folder and prints the
// summary lines. Returns the exit status.
int runCopy(CliSession& session, const std::string& listFile, const std::string& outCsv);

} // namespace quillon::cli
