#pragma once

#include <httplib.h>

#include <array>
#include <cstddef>

#include "StopSignal.h"

namespace quillon::sim {

// How the answer being written leaves its connection.
enum class ConnectionMode {
    Normal,
    Close,    // nothing is sent; the connection is closed
    Hang,     // nothing is sent; the connection is held open
    Truncate, // the headers and `bodyLimit` body bytes, then the connection is closed
    Trickle,  // everything, in small chunks with pauses
};

struct StreamTimings {
    int readTimeoutMs = 5000;
    int writeTimeoutMs = 5000;
    int trickleChunkBytes = 64;
    int trickleDelayMs = 20;
};

// The server side of one accepted connection, as cpp-httplib reads and
// writes it, with the faults that act on the bytes on the wire. Every wait
// is cut short by the stop signal. Used by one server thread at a time.
class ConnectionStream final : public httplib::Stream {
  public:
    ConnectionStream(int socket, StopSignal& stop, StreamTimings timings);

    // Back to Normal for the next request on the connection.
    void beginRequest();
    void setMode(ConnectionMode mode, std::size_t bodyLimit = 0);
    ConnectionMode mode() const { return m_mode; }

    // Waits until a request (or the peer's close) can be read.
    bool waitForRequest(int timeoutMs);

    bool is_readable() const override;
    bool is_writable() const override;
    ssize_t read(char* ptr, size_t size) override;
    ssize_t write(const char* ptr, size_t size) override;
    void get_remote_ip_and_port(std::string& ip, int& port) const override;
    void get_local_ip_and_port(std::string& ip, int& port) const override;
    socket_t socket() const override { return m_socket; }

  private:
    bool waitFor(short events, int timeoutMs) const;
    bool sendAll(const char* ptr, std::size_t size);

    int m_socket;
    StopSignal& m_stop;
    StreamTimings m_timings;
    ConnectionMode m_mode = ConnectionMode::Normal;
    std::size_t m_bodyLimit = 0;
    std::size_t m_bodySent = 0;
    int m_headerMatch = 0; // bytes of "\r\n\r\n" seen at the end of what was written
    bool m_headerDone = false;
    std::array<char, 4096> m_buffer{};
    std::size_t m_begin = 0;
    std::size_t m_end = 0;
};

} // namespace quillon::sim
