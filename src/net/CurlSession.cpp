#include "net/CurlSession.h"

#include "net/Endpoints.h"
#include "text/GbkText.h"
#include "text/Markers.h"
#include "text/Trim.h"

#include <array>
#include <curl/curl.h>
#include <memory>
#include <mutex>

namespace quillon::net::detail {

namespace {

using namespace std::chrono_literals;

constexpr auto kPollInterval = 50ms;
constexpr long kMaxRedirects = 20;

void ensureGlobalInit() {
    static std::once_flag once;
    std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

// The process-wide cookie store, guarded by libcurl's share locks.
class SharedCookies {
  public:
    // Never destroyed: a transfer on another thread may still use it while
    // the process exits.
    static SharedCookies& instance() {
        static SharedCookies* const shared = new SharedCookies;
        return *shared;
    }

    CURLSH* handle() const { return m_share; }

  private:
    SharedCookies() {
        ensureGlobalInit();
        m_share = curl_share_init();
        if (m_share != nullptr) {
            curl_share_setopt(m_share, CURLSHOPT_LOCKFUNC, &SharedCookies::lock);
            curl_share_setopt(m_share, CURLSHOPT_UNLOCKFUNC, &SharedCookies::unlock);
            curl_share_setopt(m_share, CURLSHOPT_USERDATA, this);
            curl_share_setopt(m_share, CURLSHOPT_SHARE, CURL_LOCK_DATA_COOKIE);
        }
    }

    static void lock(CURL*, curl_lock_data data, curl_lock_access, void* self) {
        static_cast<SharedCookies*>(self)->m_locks[static_cast<std::size_t>(data)].lock();
    }

    static void unlock(CURL*, curl_lock_data data, void* self) {
        static_cast<SharedCookies*>(self)->m_locks[static_cast<std::size_t>(data)].unlock();
    }

    CURLSH* m_share = nullptr;
    std::array<std::mutex, CURL_LOCK_DATA_LAST> m_locks;
};

struct EasyDeleter {
    void operator()(CURL* easy) const { curl_easy_cleanup(easy); }
};
struct MultiDeleter {
    void operator()(CURLM* multi) const { curl_multi_cleanup(multi); }
};
struct ListDeleter {
    void operator()(curl_slist* list) const { curl_slist_free_all(list); }
};
using EasyHandle = std::unique_ptr<CURL, EasyDeleter>;
using MultiHandle = std::unique_ptr<CURLM, MultiDeleter>;
using HeaderList = std::unique_ptr<curl_slist, ListDeleter>;

// Appends to a list owned by `list`; false when memory ran out.
bool append(HeaderList& list, const std::string& line) {
    curl_slist* grown = curl_slist_append(list.get(), line.c_str());
    if (grown == nullptr) {
        return false;
    }
    (void)list.release();
    list.reset(grown);
    return true;
}

bool cancelled(const TransferRequest& request) {
    return request.cancel != nullptr && request.cancel->load(std::memory_order_relaxed);
}

// What the callbacks gather while the transfer runs.
struct Collector {
    explicit Collector(const TransferRequest& r) : request(r) {}

    const TransferRequest& request;
    std::string body;
    std::string headerBlock;
    bool headerOverflow = false;
    bool tooLarge = false;
    bool stopped = false;
};

std::size_t onBody(char* data, std::size_t size, std::size_t count, void* user) {
    auto& collector = *static_cast<Collector*>(user);
    const std::size_t length = size * count;
    if (cancelled(collector.request)) {
        collector.stopped = true;
        return 0;
    }
    if (collector.body.size() + length > collector.request.maxBodyBytes) {
        collector.tooLarge = true;
        return 0;
    }
    collector.body.append(data, length);
    return length;
}

std::size_t onHeader(char* data, std::size_t size, std::size_t count, void* user) {
    auto& collector = *static_cast<Collector*>(user);
    const std::size_t length = size * count;
    std::string_view line(data, length);
    while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) {
        line.remove_suffix(1);
    }
    // Each response of a redirect chain starts anew: only the last one counts.
    if (line.starts_with("HTTP/")) {
        collector.headerBlock.clear();
        collector.headerOverflow = false;
    }
    if (!collector.headerOverflow) {
        // The block has to fit the buffer with room for a closing zero byte.
        if (collector.headerBlock.size() + line.size() + 2 >= collector.request.maxHeaderBytes) {
            collector.headerOverflow = true;
            collector.headerBlock.clear();
        } else {
            collector.headerBlock.append(line);
            collector.headerBlock.append("\r\n");
        }
    }
    return length;
}

std::string bracketed(const std::string& address) {
    return address.find(':') == std::string::npos ? address : "[" + address + "]";
}

// "HOST:PORT:ADDR:PORT" entries; libcurl takes the first that matches, so
// exact rules go before the catch-all one.
bool buildConnectTo(const Endpoints& endpoints, HeaderList& list) {
    const ConnectRule* wildcard = nullptr;
    for (const ConnectRule& rule : endpoints.connectTo) {
        if (rule.host == "*") {
            if (wildcard == nullptr) {
                wildcard = &rule;
            }
            continue;
        }
        if (!append(list, rule.host + ":" + std::to_string(rule.port) + ":" +
                              bracketed(rule.address) + ":" + std::to_string(rule.targetPort))) {
            return false;
        }
    }
    if (wildcard != nullptr) {
        return append(list, "::" + bracketed(wildcard->address) + ":" +
                                std::to_string(wildcard->targetPort));
    }
    return true;
}

class Options {
  public:
    explicit Options(CURL* easy) : m_easy(easy) {}

    template <typename Value> void set(CURLoption option, Value value) {
        if (m_code == CURLE_OK) {
            m_code = curl_easy_setopt(m_easy, option, value);
        }
    }

    bool ok() const { return m_code == CURLE_OK; }

  private:
    CURL* m_easy;
    CURLcode m_code = CURLE_OK;
};

void setMethod(Options& options, const TransferRequest& request) {
    const std::string upper = text::upperAscii(request.method);
    if (request.sendBody) {
        options.set(CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(request.body.size()));
        options.set(CURLOPT_POSTFIELDS, request.body.c_str());
        if (!request.method.empty() && request.method != "POST") {
            options.set(CURLOPT_CUSTOMREQUEST, request.method.c_str());
        }
        return;
    }
    options.set(CURLOPT_HTTPGET, 1L);
    if (upper == "HEAD") {
        options.set(CURLOPT_NOBODY, 1L);
    }
    if (!request.method.empty() && request.method != "GET" && request.method != "HEAD") {
        options.set(CURLOPT_CUSTOMREQUEST, request.method.c_str());
    }
}

} // namespace

TransferResult perform(const TransferRequest& request) {
    TransferResult result;
    // libcurl reads the address as a C string: a NUL byte would cut it short
    // and send another request than the one asked for.
    if (request.url.find('\0') != std::string::npos) {
        return result;
    }
    ensureGlobalInit();
    if (cancelled(request)) {
        return result;
    }
    // The lists outlive the handles that point at them.
    HeaderList headers;
    for (const std::string& line : request.headers) {
        if (!append(headers, line)) {
            return result;
        }
    }
    HeaderList connectTo;
    if (!buildConnectTo(*activeEndpoints(), connectTo)) {
        return result;
    }
    EasyHandle easy(curl_easy_init());
    // A multi handle of its own per call, so no connection outlives the
    // exchange: a kept-alive connection that its server closed meanwhile
    // could otherwise turn a later call into an empty result.
    MultiHandle multi(curl_multi_init());
    if (!easy || !multi) {
        return result;
    }

    Collector collector(request);
    Options options(easy.get());
    options.set(CURLOPT_NOSIGNAL, 1L);
    options.set(CURLOPT_URL, request.url.c_str());
    options.set(CURLOPT_PROTOCOLS_STR, request.protocols.c_str());
    options.set(CURLOPT_REDIR_PROTOCOLS_STR, request.protocols.c_str());
    options.set(CURLOPT_FOLLOWLOCATION, 1L);
    options.set(CURLOPT_MAXREDIRS, kMaxRedirects);
    // The target goes out as the caller wrote it: no dot-segment folding.
    options.set(CURLOPT_PATH_AS_IS, 1L);
    options.set(CURLOPT_HTTP_VERSION, static_cast<long>(CURL_HTTP_VERSION_1_1));
    if (!request.userAgent.empty()) {
        options.set(CURLOPT_USERAGENT, request.userAgent.c_str());
    }
    options.set(CURLOPT_HTTPHEADER, headers.get());
    if (connectTo) {
        options.set(CURLOPT_CONNECT_TO, connectTo.get());
    }
    setMethod(options, request);
    // An empty proxy also keeps libcurl from taking one from the environment.
    options.set(CURLOPT_PROXY, request.proxy.c_str());
    if (!request.proxy.empty() && !request.proxyUser.empty()) {
        options.set(CURLOPT_PROXYUSERNAME, request.proxyUser.c_str());
        options.set(CURLOPT_PROXYPASSWORD, request.proxyPassword.c_str());
    }
    if (!request.userName.empty() || !request.password.empty()) {
        options.set(CURLOPT_USERNAME, request.userName.c_str());
        options.set(CURLOPT_PASSWORD, request.password.c_str());
    }
    if (request.cookies == CookieStore::Shared) {
        CURLSH* share = SharedCookies::instance().handle();
        if (share == nullptr) {
            return result;
        }
        options.set(CURLOPT_SHARE, share);
    }
    if (request.cookies != CookieStore::None) {
        options.set(CURLOPT_COOKIEFILE, ""); // switches the cookie engine on, reads no file
    }
    if (request.connectTimeout.count() > 0) {
        options.set(CURLOPT_CONNECTTIMEOUT_MS, static_cast<long>(request.connectTimeout.count()));
    }
    if (request.totalTimeout.count() > 0) {
        options.set(CURLOPT_TIMEOUT_MS, static_cast<long>(request.totalTimeout.count()));
    }
    if (request.stallSeconds > 0) {
        options.set(CURLOPT_LOW_SPEED_LIMIT, 1L);
        options.set(CURLOPT_LOW_SPEED_TIME, request.stallSeconds);
    }
    options.set(CURLOPT_MAXFILESIZE_LARGE, static_cast<curl_off_t>(request.maxBodyBytes));
    options.set(CURLOPT_WRITEFUNCTION, &onBody);
    options.set(CURLOPT_WRITEDATA, &collector);
    options.set(CURLOPT_HEADERFUNCTION, &onHeader);
    options.set(CURLOPT_HEADERDATA, &collector);
    if (!options.ok()) {
        return result;
    }

    if (curl_multi_add_handle(multi.get(), easy.get()) != CURLM_OK) {
        return result;
    }
    // Detaches the transfer before either handle is cleaned up.
    struct Attachment {
        CURLM* multi;
        CURL* easy;
        ~Attachment() { curl_multi_remove_handle(multi, easy); }
    } attachment{multi.get(), easy.get()};

    // The multi interface lets this thread look at the cancel flag and the
    // caller's hook between short polls, whatever the network does.
    auto lastNudge = std::chrono::steady_clock::now();
    int running = 1;
    while (true) {
        if (curl_multi_perform(multi.get(), &running) != CURLM_OK) {
            return result;
        }
        if (running == 0) {
            break;
        }
        if (cancelled(request)) {
            return result;
        }
        if (request.keepResponsive) {
            const auto now = std::chrono::steady_clock::now();
            if (now - lastNudge >= kPollInterval) {
                request.keepResponsive();
                lastNudge = now;
            }
        }
        if (curl_multi_poll(multi.get(), nullptr, 0, static_cast<int>(kPollInterval.count()),
                            nullptr) != CURLM_OK) {
            return result;
        }
    }

    bool done = false;
    CURLcode outcome = CURLE_OK;
    int left = 0;
    while (CURLMsg* message = curl_multi_info_read(multi.get(), &left)) {
        if (message->msg == CURLMSG_DONE) {
            done = true;
            outcome = message->data.result;
        }
    }
    if (!done || outcome != CURLE_OK || collector.tooLarge || collector.stopped) {
        return result;
    }
    result.ok = true;
    result.body = std::move(collector.body);
    result.headerBlock = std::move(collector.headerBlock);
    return result;
}

void clearSharedCookieStore() {
    CURLSH* share = SharedCookies::instance().handle();
    EasyHandle easy(curl_easy_init());
    if (share == nullptr || !easy) {
        return;
    }
    curl_easy_setopt(easy.get(), CURLOPT_SHARE, share);
    curl_easy_setopt(easy.get(), CURLOPT_COOKIEFILE, "");
    curl_easy_setopt(easy.get(), CURLOPT_COOKIELIST, "ALL");
}

void collectCookies(std::string_view headerBlock, std::string_view presence,
                    std::string& collected) {
    if (!text::containsText(headerBlock, presence)) {
        return;
    }
    std::size_t start = 0;
    while (start < headerBlock.size()) {
        auto end = headerBlock.find("\r\n", start);
        if (end == std::string_view::npos) {
            end = headerBlock.size();
        }
        const std::string_view line = headerBlock.substr(start, end - start);
        start = end + 2;
        if (line.find("Set-Cookie") == std::string_view::npos ||
            text::textBetween(line, "=", ";").empty()) {
            continue;
        }
        if (!collected.empty()) {
            collected += "; ";
        }
        collected += text::trim(text::textBetween(line, "Set-Cookie:", ";"));
    }
}

} // namespace quillon::net::detail
