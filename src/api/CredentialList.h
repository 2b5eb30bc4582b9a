#pragma once

#include <atomic>
#include <string>
#include <string_view>
#include <vector>

namespace quillon::api {

// One open-platform application: the key that travels and the secret that signs.
struct Credential {
    std::string appKey;
    std::string appSecret;
};

// The credentials fetched at start-up, in document order, addressed 1..n.
// Filled once on the starting thread and read-only afterwards; only the
// current position changes, atomically, as workers rotate through the list.
class CredentialList {
  public:
    // Reads a list document: one child of the root per credential, carrying
    // the attributes appkey and appsecret. Replaces the entries, sets the
    // current position to 1 and returns true when there is at least one.
    bool loadFromDocument(std::string_view bytes);

    int size() const { return static_cast<int>(m_entries.size()); }

    // The credential at 1-based `position`; an empty one out of range.
    Credential at(int position) const;

    // 1-based position in use, shared by every worker of every run.
    int currentCredential() const { return m_current.load(); }
    void setCurrentCredential(int position) { m_current.store(position); }

  private:
    std::vector<Credential> m_entries;
    std::atomic<int> m_current{1};
};

// Fetches configBase + "/app2.xml" of the active endpoints and loads it into
// `list`. False when nothing could be fetched or no entry was found.
bool loadCredentials(CredentialList& list);

// The predefined XML entity references replaced by their characters, in one
// pass (so "&amp;lt;" gives "&lt;").
std::string decodeXmlEntities(std::string_view text);

} // namespace quillon::api
