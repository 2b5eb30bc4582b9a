#pragma once

#include <memory>
#include <string>

#include "ConsoleLog.h"
#include "api/CredentialList.h"
#include "shell/ActivityLog.h"
#include "shell/Settings.h"

namespace quillon::sim {
class SandboxMarket;
}

namespace quillon::cli {

// Exit statuses of quillon-cli.
enum ExitStatus : int {
    kExitOk = 0,
    kExitDataFileFailed = 1,
    kExitUsage = 2,
    kExitNoCredentials = 3,
    kExitInterrupted = 130,
};

// The options every command takes.
struct GlobalOptions {
    std::string optionsFile;   // options.ini; default under the program directory
    std::string endpointsFile; // endpoints.ini; default under the program directory
    bool sandbox = false;      // run against the sandbox market, in-process
    std::string logFile;       // every log line, GBK, as the log box holds it
};

// What one run of quillon-cli sets up before its command: endpoints (or the
// sandbox market), the log, the settings and the credential list.
class CliSession {
  public:
    CliSession();
    ~CliSession();

    // Endpoints, sandbox, log file and settings; kExitOk or the status to
    // end with (the reason is printed).
    int open(const GlobalOptions& options);

    // Loads the credential list; kExitOk or kExitNoCredentials (with the
    // start-up failure message on stderr).
    int loadCredentials();

    shell::ActivityLog& log() { return m_log; }
    ConsoleLog& console() { return m_console; }
    shell::Settings& settings() { return m_settings; }
    api::CredentialList& credentials() { return m_credentials; }
    sim::SandboxMarket* sandbox() { return m_sandbox.get(); }

  private:
    ConsoleLog m_console;
    shell::ActivityLog m_log;
    shell::Settings m_settings;
    api::CredentialList m_credentials;
    std::unique_ptr<sim::SandboxMarket> m_sandbox;
};

// Prints a UTF-8 message and a line break on stderr.
void printError(const std::string& utf8);

} // namespace quillon::cli
