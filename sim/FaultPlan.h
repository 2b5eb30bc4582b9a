#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <optional>
#include <string_view>

#include "MarketConfig.h"

namespace quillon::sim {

// What happens to one request: a delay, and at most one fault on its answer.
struct FaultDecision {
    int delayMs = 0;
    std::optional<FaultKind> fault; // never Latency
};

// Rolls the fault switches for each request. A roll depends on the seed, the
// rule, the request's key (host, path and what identifies the request) and
// how many requests with that key came before, so the same sequence of
// requests meets the same faults, while a retry gets a roll of its own.
// Thread-safe; its memory does not grow.
class FaultPlan {
  public:
    FaultPlan(std::uint64_t seed, FaultConfig config, int latencyMs);

    FaultDecision decide(std::string_view host, std::string_view path, std::string_view key);

    const FaultConfig& config() const { return m_config; }

    // The name of a fault kind, as the request log and the command line write it.
    static std::string_view kindName(FaultKind kind);
    static std::optional<FaultKind> kindFromName(std::string_view name);

  private:
    std::uint64_t m_seed;
    FaultConfig m_config;
    int m_latencyMs;
    // Occurrence counters by hashed key: a collision only shifts which
    // occurrence a roll belongs to.
    std::array<std::atomic<std::uint32_t>, 4096> m_occurrences{};
};

} // namespace quillon::sim
