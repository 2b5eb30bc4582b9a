#include "CredentialFeed.h"

#include "Markup.h"

namespace quillon::sim {

CredentialFeed::CredentialFeed(const std::vector<SandboxCredential>& credentials, std::string body)
    : m_body(body.empty() ? document(credentials) : std::move(body)) {}

SimReply CredentialFeed::handle(const SimRequest& request) const {
    if (request.path != "/app2.xml") {
        return SimReply{404, "text/html", "<html><body><h1>404 Not Found</h1></body></html>\n"};
    }
    return SimReply{200, "text/xml", m_body};
}

std::string CredentialFeed::document(const std::vector<SandboxCredential>& credentials) {
    std::string out = "<?xml version=\"1.0\" encoding=\"utf-8\"?>\r\n<apps>\r\n";
    for (const SandboxCredential& credential : credentials) {
        out += "  <app appkey=\"" + Markup::xml(credential.appKey) + "\" appsecret=\"" +
               Markup::xml(credential.appSecret) + "\" />\r\n";
    }
    out += "</apps>\r\n";
    return out;
}

} // namespace quillon::sim
