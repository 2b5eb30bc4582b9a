#pragma once

#include <string>

namespace quillon::shell {
class ItemList;
}

namespace quillon::cli {

class CliSession;

// quillon-cli copy: imports the list file, copies every item with five
// workers, writes the data file with its picture folder and prints the
// summary lines. Returns the exit status.
int runCopy(CliSession& session, const std::string& listFile, const std::string& outCsv);

// Copies the items of `list` into the data file `savePath` (its folder is
// created when missing) and prints the summary lines. Returns the exit status.
int copyList(CliSession& session, shell::ItemList& list, const std::string& savePath);

} // namespace quillon::cli
