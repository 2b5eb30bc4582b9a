#include "net/PlainDownload.h"

#include "net/CurlSession.h"
#include "net/HttpClient.h"
#include "text/GbkText.h"

#include <chrono>

namespace quillon::net {

std::string plainDownload(std::string_view address, const std::atomic<bool>* cancel,
                          const DownloadLimits& limits) {
    detail::TransferRequest request;
    request.url = text::replaceAll(address, " ", "%20");
    request.userAgent = std::string(HttpClient::kUserAgent);
    request.protocols = "http,https";
    request.cookies = detail::CookieStore::Shared;
    request.connectTimeout = std::chrono::seconds(limits.connectSeconds);
    request.stallSeconds = limits.stallSeconds;
    request.totalTimeout = std::chrono::seconds(limits.totalSeconds);
    request.maxBodyBytes = limits.maxBodyBytes;
    request.cancel = cancel;
    return std::move(detail::perform(request).body);
}

} // namespace quillon::net
