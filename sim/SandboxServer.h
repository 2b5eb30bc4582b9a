#pragma once

#include <httplib.h>

#include <chrono>

#include "ConnectionHolder.h"
#include "ConnectionStream.h"
#include "StopSignal.h"

namespace quillon::sim {

// cpp-httplib's server with a connection loop of its own, so that a handler
// can decide what happens on the wire: close without a response, hold the
// connection open, cut the body short, or trickle it. Waits end at a stop.
class SandboxServer : public httplib::Server {
  public:
    SandboxServer(StopSignal& stop, StreamTimings timings, std::chrono::milliseconds hangCap,
                  int threads);

    // The connection whose request the calling server thread is handling;
    // nullptr outside a handler.
    static ConnectionStream* currentConnection();

    // A longer queue of pending connections than the library's default.
    void widenBacklog(int backlog);

    // Closes every connection held open by a hang.
    void releaseHeld() { m_holder.releaseAll(); }

  private:
    bool process_and_close_socket(socket_t sock) override;

    StopSignal& m_stop;
    StreamTimings m_timings;
    std::chrono::milliseconds m_hangCap;
    ConnectionHolder m_holder;
};

} // namespace quillon::sim
