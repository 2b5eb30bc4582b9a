#pragma once

#include <string>

namespace quillon::sim {

// What a service answers: the status, the content type and the body bytes.
struct SimReply {
    int status = 200;
    std::string contentType;
    std::string body;
};

} // namespace quillon::sim
