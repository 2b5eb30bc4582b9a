#pragma once

#include <string>
#include <vector>

#include "MarketConfig.h"
#include "SimReply.h"
#include "SimRequest.h"

namespace quillon::sim {

// The maker's configuration endpoint: GET /app2.xml lists the application
// credentials, one element per entry with the attributes appkey and
// appsecret. A configured body replaces the list verbatim.
class CredentialFeed {
  public:
    CredentialFeed(const std::vector<SandboxCredential>& credentials, std::string body);

    SimReply handle(const SimRequest& request) const;

    // The list document for these credentials (UTF-8).
    static std::string document(const std::vector<SandboxCredential>& credentials);

  private:
    std::string m_body;
};

} // namespace quillon::sim
