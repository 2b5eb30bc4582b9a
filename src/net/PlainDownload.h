#pragma once

#include <atomic>
#include <cstddef>
#include <string>
#include <string_view>

namespace quillon::net {

// How long a download may take. A picture host that stops sending must not
// hold a worker for ever.
struct DownloadLimits {
    // Connecting, name lookup included.
    int connectSeconds = 30;
    // Fails when less than one byte a second arrives for this long.
    int stallSeconds = 30;
    // The whole download.
    int totalSeconds = 120;
    // A larger body is a failure, so memory stays bounded.
    std::size_t maxBodyBytes = std::size_t{32} << 20;
};

// Downloads a whole file with GET (http or https, redirects followed) and
// returns the bytes the server sent, whatever the status; "" on any failure.
// Uses and updates the shared cookie store, as a browser's download does.
// `cancel`, when given, ends the download within about 50 ms once it becomes
// true. Any thread, many at once.
std::string plainDownload(std::string_view address, const std::atomic<bool>* cancel = nullptr,
                          const DownloadLimits& limits = {});

} // namespace quillon::net
