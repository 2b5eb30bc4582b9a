#include "MarketConfig.h"

namespace quillon::sim {

std::vector<SandboxCredential> MarketConfig::defaultCredentials() {
    return {
        {"12129701", "8c1d5f0e3b7a4e9d96c2a1b0f4e7d3c5", 0},
        {"12129702", "f27a94c0d1e3b5a6978c0e2d4f6a8b1c", 0},
        {"21386503", "0b9e8d7c6f5a4b3c2d1e0f9a8b7c6d5e", 0},
    };
}

} // namespace quillon::sim
