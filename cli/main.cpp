#include <CLI/CLI.hpp>

#include "CliSession.h"
#include "CopyCommand.h"

using namespace quillon::cli;

int main(int argc, char** argv) {
    CLI::App app{"quillon-cli: copies Taobao and Tmall items into a Taobao Assistant data file"};
    app.require_subcommand(1);

    GlobalOptions global;
    app.add_option("--options", global.optionsFile,
                   "options.ini to read (default: options/options.ini under the program directory)");
    app.add_option("--endpoints", global.endpointsFile,
                   "endpoints file naming the remote hosts (default: options/endpoints.ini under the "
                   "program directory, when it exists)");
    app.add_flag("--sandbox", global.sandbox,
                 "start the sandbox market in-process and send every request to it");
    app.add_option("--log", global.logFile, "write every log line to FILE (GBK, as the log box holds it)");

    std::string listFile;
    std::string outCsv;
    CLI::App* copy = app.add_subcommand(
        "copy", "copy every item of a list file into a data file and its picture folder");
    copy->add_option("--list", listFile, "the item list file (name||id||price||address lines)")
        ->required();
    copy->add_option("--out", outCsv, "the data file to write (default: ./csv<stamp>.csv)");

    try {
        app.parse(argc, argv);
    } catch (const CLI::CallForHelp& e) {
        return app.exit(e);
    } catch (const CLI::CallForAllHelp& e) {
        return app.exit(e);
    } catch (const CLI::ParseError& e) {
        app.exit(e);
        return kExitUsage;
    }

    CliSession session;
    if (const int status = session.open(global); status != kExitOk) return status;
    if (*copy) return runCopy(session, listFile, outCsv);
    return kExitUsage;
}
