#pragma once

#include <string>

namespace quillon::cli {

class CliSession;

// quillon-cli add: reads an item, a category or a whole store by its address
// (mode "single", "category" or "store"), waits for every store reader, and
// writes the list file: the rows already in it, then the new ones. Returns
// the exit status.
int runAdd(CliSession& session, const std::string& mode, const std::string& address,
           const std::string& listFile);

// quillon-cli demo: on the sandbox market, adds one store of each list-page
// layout, copies every item and writes the data file and its pictures under
// `folder` (a new folder in the current one when empty).
int runDemo(CliSession& session, const std::string& folder);

} // namespace quillon::cli
