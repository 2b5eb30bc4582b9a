#include "api/CredentialList.h"

#include <array>
#include <utility>

#include "doc/XmlDocument.h"
#include "net/Endpoints.h"
#include "net/ScriptedHttpRequest.h"

namespace quillon::api {

bool CredentialList::loadFromDocument(std::string_view bytes) {
    doc::XmlDocument document;
    document.load(bytes);
    m_entries.clear();
    m_current.store(1);

    const int count = document.childCount("@1");
    for (int i = 1; i <= count; ++i) {
        const std::string path = "@1/@" + std::to_string(i);
        std::string appKey;
        std::string appSecret;
        document.getAttribute(path, "appkey", appKey);
        document.getAttribute(path, "appsecret", appSecret);
        m_entries.push_back({decodeXmlEntities(appKey), decodeXmlEntities(appSecret)});
    }
    return !m_entries.empty();
}

Credential CredentialList::at(int position) const {
    if (position < 1 || position > size())
        return {};
    return m_entries[static_cast<std::size_t>(position - 1)];
}

bool loadCredentials(CredentialList& list) {
    const std::string address = net::activeEndpoints()->configBase + "/app2.xml";
    return list.loadFromDocument(net::ScriptedHttpRequest::fetch(address));
}

std::string decodeXmlEntities(std::string_view text) {
    static constexpr std::array<std::pair<std::string_view, char>, 5> kEntities{
        {{"&lt;", '<'}, {"&gt;", '>'}, {"&amp;", '&'}, {"&apos;", '\''}, {"&quot;", '"'}}};
    std::string out;
    out.reserve(text.size());
    for (std::size_t pos = 0; pos < text.size();) {
        bool replaced = false;
        if (text[pos] == '&') {
            for (const auto& [entity, character] : kEntities) {
                if (text.substr(pos, entity.size()) == entity) {
                    out.push_back(character);
                    pos += entity.size();
                    replaced = true;
                    break;
                }
            }
        }
        if (!replaced)
            out.push_back(text[pos++]);
    }
    return out;
}

} // namespace quillon::api
