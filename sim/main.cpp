// quillon-sim: runs the sandbox market until interrupted.
#include <CLI/CLI.hpp>

#include <csignal>
#include <cstdio>
#include <ctime>
#include <fstream>
#include <iostream>
#include <iterator>
#include <string>
#include <unistd.h>
#include <vector>

#include "FaultPlan.h"
#include "SandboxMarket.h"
#include "shell/ItemList.h"
#include "shell/PrivateProfile.h"

namespace {

using quillon::sim::Catalog;
using quillon::sim::FaultKind;
using quillon::sim::FaultPlan;
using quillon::sim::FaultRule;
using quillon::sim::MarketConfig;
using quillon::sim::SandboxCredential;

std::vector<std::string> splitColons(const std::string& text, std::size_t parts) {
    std::vector<std::string> out;
    std::size_t start = 0;
    while (out.size() + 1 < parts) {
        const std::size_t colon = text.find(':', start);
        if (colon == std::string::npos) {
            break;
        }
        out.push_back(text.substr(start, colon - start));
        start = colon + 1;
    }
    out.push_back(text.substr(start));
    return out;
}

// KIND:RATE[:HOST[:PATH]] (latency: latency:RATE:MS[:HOST[:PATH]]).
std::string parseFault(const std::string& text, FaultRule& rule) {
    const auto parts = splitColons(text, 5);
    const auto kind = FaultPlan::kindFromName(parts[0]);
    if (!kind || parts.size() < 2) {
        return "expected KIND:RATE[:HOST[:PATH]], got \"" + text + "\"";
    }
    rule.kind = *kind;
    std::size_t next = 2;
    try {
        rule.rate = std::stod(parts[1]);
        if (rule.kind == FaultKind::Latency) {
            if (parts.size() < 3) {
                return "latency needs latency:RATE:MS[:HOST[:PATH]]";
            }
            rule.delayMs = std::stoi(parts[2]);
            next = 3;
        }
    } catch (const std::exception&) {
        return "bad number in \"" + text + "\"";
    }
    if (rule.rate < 0 || rule.rate > 1) {
        return "a rate lies between 0 and 1";
    }
    if (parts.size() > next) {
        rule.host = parts[next];
    }
    if (parts.size() > next + 1) {
        rule.pathPrefix = parts[next + 1];
    }
    return {};
}

} // namespace

int main(int argc, char** argv) {
    CLI::App app{"quillon-sim: the sandbox market. One loopback HTTP server plays the store and "
                 "item pages, the open-platform gateway (gw.sandbox.test), the picture hosts and "
                 "the configuration endpoint (cfg.sandbox.test/app2.xml), told apart by the Host "
                 "header. It prints its port and the endpoints file that sends every host to it, "
                 "then serves until Ctrl-C (or --run-for)."};

    MarketConfig config;
    int port = 0;
    double closeRate = 0, hangRate = 0, truncateRate = 0, errorRate = 0, garbageRate = 0,
           trickleRate = 0;
    std::string faultHost;
    std::vector<std::string> faultTexts;
    std::vector<std::string> credentialTexts;
    int callLimit = 0;
    std::string endpointsFile;
    int runFor = 0;
    bool printLog = false;

    app.add_option("-p,--port", port, "Loopback port to listen on; 0 picks a free one")
        ->capture_default_str();
    app.add_option("-s,--seed", config.seed, "Seed of everything served: same seed, same bytes")
        ->capture_default_str();
    app.add_option("--stores", config.storeCount,
                   "Number of stores, shop1.sandbox.test ...; store i uses list template i % 3 "
                   "(普通, 旺铺, 店铺街)")
        ->capture_default_str();
    app.add_option("--items", config.itemsPerStore, "Items in every store")->capture_default_str();
    app.add_option("--per-page", config.itemsPerPage, "Items on one list page")
        ->capture_default_str();
    app.add_option("--categories", config.categoriesPerStore, "Categories of every store")
        ->capture_default_str();
    app.add_option("--page-padding", config.listPagePaddingBytes,
                   "Filler bytes around the item region of list pages (600000 makes big pages)")
        ->capture_default_str();
    app.add_option("--main-pictures", config.mainPicturesPerItem,
                   "Main pictures of every item (-1: from 1 to 5, varied)")
        ->capture_default_str();
    app.add_option("--prop-pictures", config.propPicturesPerItem,
                   "Property pictures of every item (-1: one per colour, varied)")
        ->capture_default_str();
    app.add_option("--latency", config.latencyMs, "Milliseconds added to every answer")
        ->capture_default_str();
    app.add_option("--close-rate", closeRate,
                   "Share of requests whose connection is closed without a response");
    app.add_option("--hang-rate", hangRate,
                   "Share of requests accepted and never answered (held until --hang-cap)");
    app.add_option("--truncate-rate", truncateRate,
                   "Share of answers cut off after half of the body");
    app.add_option("--error-rate", errorRate, "Share of answers replaced by an HTTP 500 page");
    app.add_option("--garbage-rate", garbageRate, "Share of answers replaced by random bytes");
    app.add_option(
        "--trickle-rate", trickleRate,
        "Share of answers sent a few bytes at a time (--trickle-bytes, --trickle-delay)");
    app.add_option("--fault-host", faultHost,
                   "Limit the --*-rate options to this host (e.g. gw.sandbox.test)");
    app.add_option("--fault", faultTexts,
                   "A fault rule KIND:RATE[:HOST[:PATH-PREFIX]], KIND one of close, hang, "
                   "truncate, error500, garbage, trickle; or latency:RATE:MS[:HOST[:PATH-PREFIX]]. "
                   "Repeatable");
    app.add_option("--hang-cap", config.faults.hangCapMs,
                   "Milliseconds a hanging connection is held before it is closed")
        ->capture_default_str();
    app.add_option("--trickle-bytes", config.faults.trickleChunkBytes, "Bytes per trickled chunk")
        ->capture_default_str();
    app.add_option("--trickle-delay", config.faults.trickleDelayMs,
                   "Milliseconds between trickled chunks")
        ->capture_default_str();
    app.add_option("--credential", credentialTexts,
                   "An app credential KEY:SECRET[:CALL-LIMIT] known to the gateway and listed by "
                   "/app2.xml; repeatable; replaces the three default ones");
    app.add_option("--call-limit", callLimit,
                   "Calls each default credential may make before \"App Call Limited\" (0: no "
                   "limit)");
    std::string credentialFile;
    app.add_option("--credential-file", credentialFile,
                   "Serve this file's bytes as /app2.xml instead of the credential list")
        ->check(CLI::ExistingFile);
    app.add_option("--threads", config.threads,
                   "Server threads (an idle kept-alive connection holds one)")
        ->capture_default_str();
    app.add_option("--log-capacity", config.logCapacity, "Newest requests kept for --print-log")
        ->capture_default_str();
    app.add_option("--endpoints-file", endpointsFile, "Also write the endpoints file to this path");
    app.add_option("--run-for", runFor, "Stop after this many seconds (0: run until Ctrl-C)")
        ->capture_default_str();
    app.add_flag("--print-log", printLog, "Print every request served when stopping");
    std::string listFile;
    app.add_option("--write-list", listFile,
                   "Write every item of every store as an item list file (GBK, "
                   "name||id||price||address) to this path and exit without serving");
    CLI11_PARSE(app, argc, argv);

    if (!listFile.empty()) {
        const Catalog catalog(config);
        std::vector<quillon::shell::ItemEntry> rows;
        for (int store = 0; store < catalog.storeCount(); ++store) {
            for (int index = 0; index < catalog.itemsPerStore(); ++index) {
                const std::string id = catalog.itemId(store, index);
                rows.push_back({catalog.itemTitle(store, index), catalog.itemPrice(store, index),
                                "http://" + catalog.itemHost() + "/item.htm?id=" + id, id});
            }
        }
        std::string error;
        if (!quillon::shell::writeFileAtomically(
                listFile, quillon::shell::ItemList::exportText(rows), &error)) {
            std::cerr << "quillon-sim: " << error << "\n";
            return 1;
        }
        std::cout << rows.size() << " items written to " << listFile << "\n";
        return 0;
    }

    const std::pair<FaultKind, double> shares[] = {
        {FaultKind::Close, closeRate},       {FaultKind::Hang, hangRate},
        {FaultKind::Truncate, truncateRate}, {FaultKind::ServerError, errorRate},
        {FaultKind::Garbage, garbageRate},   {FaultKind::Trickle, trickleRate},
    };
    for (const auto& [kind, rate] : shares) {
        if (rate < 0 || rate > 1) {
            std::cerr << "quillon-sim: a rate lies between 0 and 1\n";
            return 2;
        }
        if (rate > 0) {
            config.faults.rules.push_back(FaultRule{kind, rate, faultHost, "", 0});
        }
    }
    for (const std::string& text : faultTexts) {
        FaultRule rule;
        const std::string problem = parseFault(text, rule);
        if (!problem.empty()) {
            std::cerr << "quillon-sim: --fault: " << problem << "\n";
            return 2;
        }
        config.faults.rules.push_back(rule);
    }
    if (!credentialTexts.empty()) {
        config.credentials.clear();
        for (const std::string& text : credentialTexts) {
            const auto parts = splitColons(text, 3);
            if (parts.size() < 2 || parts[0].empty() || parts[1].empty()) {
                std::cerr << "quillon-sim: --credential needs KEY:SECRET[:CALL-LIMIT]\n";
                return 2;
            }
            SandboxCredential credential{parts[0], parts[1], 0};
            if (parts.size() == 3) {
                try {
                    credential.callLimit = std::stoi(parts[2]);
                } catch (const std::exception&) {
                    std::cerr << "quillon-sim: bad call limit in \"" << text << "\"\n";
                    return 2;
                }
            }
            config.credentials.push_back(credential);
        }
    } else {
        for (SandboxCredential& credential : config.credentials) {
            credential.callLimit = callLimit;
        }
    }

    if (!credentialFile.empty()) {
        std::ifstream in(credentialFile, std::ios::binary);
        config.credentialListBody.assign(std::istreambuf_iterator<char>(in),
                                         std::istreambuf_iterator<char>());
    }

    // Signals are taken by this thread alone: block them before any server
    // thread exists, so every thread inherits the mask.
    sigset_t signals;
    sigemptyset(&signals);
    sigaddset(&signals, SIGINT);
    sigaddset(&signals, SIGTERM);
    // --run-for ends through an alarm, received like the other two.
    sigaddset(&signals, SIGALRM);
    pthread_sigmask(SIG_BLOCK, &signals, nullptr);

    quillon::sim::SandboxMarket market;
    std::string error;
    if (!market.start(config, port, &error)) {
        std::cerr << "quillon-sim: " << error << "\n";
        return 1;
    }
    std::cout << "port: " << market.port() << "\n"
              << "seed: " << config.seed << "\n"
              << "endpoints file:\n"
              << market.endpointsIni() << std::flush;
    if (!endpointsFile.empty()) {
        std::ofstream out(endpointsFile, std::ios::binary);
        out << market.endpointsIni();
        if (!out) {
            std::cerr << "quillon-sim: cannot write " << endpointsFile << "\n";
        }
    }

    if (runFor > 0) ::alarm(static_cast<unsigned>(runFor));
    int received = 0;
    sigwait(&signals, &received);
    market.stop();

    if (printLog) {
        for (const auto& entry : market.requestLog()) {
            std::cout << entry.number << " " << entry.method << " http://" << entry.host
                      << entry.target << " -> " << entry.status
                      << (entry.fault.empty() ? "" : " [" + entry.fault + "]") << "\n";
        }
    }
    std::cout << "requests served: " << market.requestCount() << "\n";
    return 0;
}
