#include "CliSession.h"

#include <cstdio>
#include <filesystem>

#include "net/Endpoints.h"
#include "shell/SettingsFile.h"
#include "sim/SandboxMarket.h"
#include "text/TextCodec.h"

namespace quillon::cli {

CliSession::CliSession() {
    m_log.addSink(&m_console);
}

CliSession::~CliSession() {
    if (m_sandbox)
        m_sandbox->stop();
}

void printError(const std::string& utf8) {
    std::fprintf(stderr, "%s\n", utf8.c_str());
}

int CliSession::open(const GlobalOptions& options) {
    if (options.sandbox) {
        m_sandbox = std::make_unique<sim::SandboxMarket>();
        std::string error;
        if (!m_sandbox->start(sim::MarketConfig{}, 0, &error)) {
            printError("quillon-cli: the sandbox market did not start: " + error);
            return kExitUsage;
        }
        net::setActiveEndpoints(m_sandbox->endpoints());
    } else {
        std::string path = options.endpointsFile;
        if (path.empty()) {
            const std::string beside = shell::programDirectory() + "/options/endpoints.ini";
            if (std::filesystem::exists(beside))
                path = beside;
        }
        if (!path.empty()) {
            std::string error;
            const auto endpoints = net::Endpoints::loadFile(path, &error);
            if (!endpoints) {
                printError("quillon-cli: endpoints file " + path + ": " + error);
                return kExitUsage;
            }
            net::setActiveEndpoints(*endpoints);
        }
    }

    if (!options.logFile.empty()) {
        std::string error;
        if (!m_console.openFile(options.logFile, &error)) {
            printError("quillon-cli: cannot write the log file " + error);
            return kExitUsage;
        }
    }

    std::string optionsPath = options.optionsFile;
    if (optionsPath.empty()) {
        optionsPath = shell::optionsFilePath();
    } else if (!std::filesystem::exists(optionsPath)) {
        printError("quillon-cli: no options file " + optionsPath);
        return kExitUsage;
    }
    shell::loadSettings(m_settings, optionsPath);
    return kExitOk;
}

int CliSession::loadCredentials() {
    if (api::loadCredentials(m_credentials))
        return kExitOk;
    printError("预定信息 加载失败，请重新启动--");
    return kExitNoCredentials;
}

} // namespace quillon::cli
