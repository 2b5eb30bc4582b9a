#pragma once

#include "net/Endpoints.h"
#include "net/HttpClient.h"

#include <gtest/gtest.h>
#include <netinet/in.h>
#include <string>
#include <sys/socket.h>
#include <unistd.h>
#include <utility>
#include <vector>

namespace quillon::net {

// Every test starts with an empty shared cookie store and no CONNECT_TO
// rules, and leaves them so.
class NetTest : public ::testing::Test {
  protected:
    void SetUp() override { HttpClient::clearSharedCookies(); }

    void TearDown() override {
        setActiveEndpoints({});
        HttpClient::clearSharedCookies();
    }

    // Sends requests for host:port (port 80 when 0) to 127.0.0.1:targetPort.
    static ConnectRule rule(std::string host, int port, int targetPort) {
        return ConnectRule{.host = std::move(host),
                           .port = port == 0 ? 80 : port,
                           .address = "127.0.0.1",
                           .targetPort = targetPort};
    }

    static void useRules(std::vector<ConnectRule> rules) {
        Endpoints endpoints;
        endpoints.connectTo = std::move(rules);
        setActiveEndpoints(std::move(endpoints));
    }
};

// A loopback port that is bound but not listening: connecting is refused,
// and no other test can take the port while this lives.
class RefusingPort {
  public:
    RefusingPort() {
        m_fd = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof(address);
        ::bind(m_fd, reinterpret_cast<sockaddr*>(&address), sizeof(address));
        ::getsockname(m_fd, reinterpret_cast<sockaddr*>(&address), &length);
        m_port = ntohs(address.sin_port);
    }
    ~RefusingPort() { ::close(m_fd); }
    RefusingPort(const RefusingPort&) = delete;
    RefusingPort& operator=(const RefusingPort&) = delete;

    std::string url(const std::string& path = "/") const {
        return "http://127.0.0.1:" + std::to_string(m_port) + path;
    }

  private:
    int m_fd = -1;
    int m_port = 0;
};

} // namespace quillon::net
