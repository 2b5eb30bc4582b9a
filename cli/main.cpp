#include <CLI/CLI.hpp>

#include "AddCommand.h"
#include "CliSession.h"
#include "CopyCommand.h"

using namespace quillon::cli;

int main(int argc, char** argv) {
    CLI::App app{"quillon-cli: copies Taobao and Tmall items into a Taobao Assistant data file"};
    app.require_subcommand(1);

    GlobalOptions global;
    app.add_option(
        "--options", global.optionsFile,
        "options.ini to read (default: options/options.ini under the program directory)");
    app.add_option(
        "--endpoints", global.endpointsFile,
        "endpoints file naming the remote hosts (default: options/endpoints.ini under the "
        "program directory, when it exists)");
    app.add_flag("--sandbox", global.sandbox,
                 "start the sandbox market in-process and send every request to it");
    app.add_option("--log", global.logFile,
                   "write every log line to FILE (GBK, as the log box holds it)");

    std::string listFile;
    std::string outCsv;
    CLI::App* copy = app.add_subcommand(
        "copy", "copy every item of a list file into a data file and its picture folder");
    copy->add_option("--list", listFile, "the item list file (name||id||price||address lines)")
        ->required();
    copy->add_option("--out", outCsv, "the data file to write (default: ./csv<stamp>.csv)");

    std::string addMode;
    std::string address;
    std::string addListFile = "list.txt";
    CLI::App* add = app.add_subcommand(
        "add", "read an item, a category or a whole store by its address into a list file");
    add->add_option("mode", addMode, "single, category or store")
        ->required()
        ->check(CLI::IsMember({"single", "category", "store"}));
    add->add_option("address", address, "the item, category or store address")->required();
    add->add_option("--list", addListFile, "the list file to extend (rows already in it are kept)")
        ->capture_default_str();

    std::string demoFolder;
    CLI::App* demo = app.add_subcommand(
        "demo", "on the sandbox market: add one store of each page layout, copy every item");
    demo->add_option("--dir", demoFolder,
                     "where the list, the data file and the pictures go (default: a new "
                     "folder here)");

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

    if (*demo)
        global.sandbox = true;
    CliSession session;
    if (const int status = session.open(global); status != kExitOk)
        return status;
    if (*copy)
        return runCopy(session, listFile, outCsv);
    if (*add)
        return runAdd(session, addMode, address, addListFile);
    if (*demo)
        return runDemo(session, demoFolder);
    return kExitUsage;
}
