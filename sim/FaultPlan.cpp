#include "FaultPlan.h"

#include <array>
#include <utility>

#include "SeedRandom.h"

namespace quillon::sim {

namespace {

constexpr std::array<std::pair<FaultKind, std::string_view>, 7> kNames = {{
    {FaultKind::Latency, "latency"},
    {FaultKind::Close, "close"},
    {FaultKind::Hang, "hang"},
    {FaultKind::Truncate, "truncate"},
    {FaultKind::ServerError, "error500"},
    {FaultKind::Garbage, "garbage"},
    {FaultKind::Trickle, "trickle"},
}};

} // namespace

FaultPlan::FaultPlan(std::uint64_t seed, FaultConfig config, int latencyMs)
    : m_seed(seed), m_config(std::move(config)), m_latencyMs(latencyMs) {}

FaultDecision FaultPlan::decide(std::string_view host, std::string_view path,
                                std::string_view key) {
    FaultDecision decision;
    decision.delayMs = m_latencyMs;
    if (m_config.rules.empty()) {
        return decision;
    }
    std::uint64_t keyHash = SeedRandom::textKey(host);
    keyHash = keyHash * 31 + SeedRandom::textKey(path);
    keyHash = keyHash * 31 + SeedRandom::textKey(key);
    const std::uint32_t occurrence =
        m_occurrences[keyHash % m_occurrences.size()].fetch_add(1, std::memory_order_relaxed);
    for (std::size_t i = 0; i < m_config.rules.size(); ++i) {
        const FaultRule& rule = m_config.rules[i];
        if ((!rule.host.empty() && rule.host != host) ||
            (!rule.pathPrefix.empty() && !path.starts_with(rule.pathPrefix))) {
            continue;
        }
        SeedRandom roll(m_seed, SeedTag::Fault, {i, keyHash, occurrence});
        if (!roll.chance(rule.rate)) {
            continue;
        }
        if (rule.kind == FaultKind::Latency) {
            decision.delayMs += rule.delayMs;
        } else if (!decision.fault) {
            decision.fault = rule.kind;
        }
    }
    return decision;
}

std::string_view FaultPlan::kindName(FaultKind kind) {
    for (const auto& [k, name] : kNames) {
        if (k == kind) {
            return name;
        }
    }
    return "?";
}

std::optional<FaultKind> FaultPlan::kindFromName(std::string_view name) {
    for (const auto& [k, known] : kNames) {
        if (known == name) {
            return k;
        }
    }
    return std::nullopt;
}

} // namespace quillon::sim
