// Behaviours that HttpClient, ScriptedHttpRequest and plainDownload share:
// each case runs against all three.

#include "HoldingServer.h"
#include "LoopbackServer.h"
#include "NetTestSupport.h"
#include "net/HttpClient.h"
#include "net/PlainDownload.h"
#include "net/ScriptedHttpRequest.h"
#include "text/GbkText.h"

#include <functional>
#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace quillon::net {
namespace {

using support::HoldingServer;
using support::LoopbackServer;

constexpr std::size_t kDefaultMax = std::size_t{32} << 20;

struct Routine {
    const char* name;
    std::function<std::string(const std::string& address, std::size_t maxBodyBytes)> fetch;
};

// Short limits throughout, so that no case waits a real time-out.
const std::vector<Routine>& routines() {
    static const std::vector<Routine> all = {
        {"HttpClient",
         [](const std::string& address, std::size_t maxBody) {
             return HttpClient::fetch(address, {.timeoutSeconds = 1, .maxBodyBytes = maxBody});
         }},
        {"ScriptedHttpRequest",
         [](const std::string& address, std::size_t maxBody) {
             return ScriptedHttpRequest::fetch(address,
                                               {.timeoutSeconds = 1, .maxBodyBytes = maxBody});
         }},
        {"plainDownload",
         [](const std::string& address, std::size_t maxBody) {
             return plainDownload(address, nullptr,
                                  {.connectSeconds = 1,
                                   .stallSeconds = 1,
                                   .totalSeconds = 2,
                                   .maxBodyBytes = maxBody});
         }},
    };
    return all;
}

class Routines : public NetTest {};

TEST_F(Routines, ReturnErrorPageBodiesAndFollowRedirects) {
    LoopbackServer server([](httplib::Server& s) {
        s.Get("/missing", [](const httplib::Request&, httplib::Response& res) {
            res.status = 404;
            res.set_content("no such page", "text/html");
        });
        s.Get("/broken", [](const httplib::Request&, httplib::Response& res) {
            res.status = 500;
            res.set_content("server trouble", "text/html");
        });
        s.Get("/old", [](const httplib::Request&, httplib::Response& res) {
            res.set_redirect("/new", 302);
        });
        s.Get("/new", [](const httplib::Request&, httplib::Response& res) {
            res.set_content("new place", "text/html");
        });
    });
    const struct {
        const char* path;
        const char* body;
    } cases[] = {
        {"/missing", "no such page"},
        {"/broken", "server trouble"},
        {"/old", "new place"},
    };
    for (const Routine& routine : routines()) {
        for (const auto& c : cases) {
            EXPECT_EQ(routine.fetch(server.url(c.path), kDefaultMax), c.body)
                << routine.name << " " << c.path;
        }
    }
}

TEST_F(Routines, GiveNothingWhenTheServerNeverAnswers) {
    HoldingServer server;
    for (const Routine& routine : routines()) {
        EXPECT_EQ(routine.fetch(server.url("/held"), kDefaultMax), "") << routine.name;
    }
    // The exchanges reached the server: it was its silence that ended them.
    EXPECT_EQ(server.server().requests().size(), routines().size());
}

TEST_F(Routines, GiveNothingWhenTheConnectionIsRefused) {
    RefusingPort port;
    for (const Routine& routine : routines()) {
        EXPECT_EQ(routine.fetch(port.url("/x"), kDefaultMax), "") << routine.name;
    }
}

TEST_F(Routines, RefuseBodiesOverTheSizeLimit) {
    const std::string payload(4096, 'p');
    LoopbackServer server([&payload](httplib::Server& s) {
        s.Get("/sized", [&payload](const httplib::Request&, httplib::Response& res) {
            res.set_content(payload, "application/octet-stream");
        });
        // No Content-Length: the limit has to hold while the body streams in.
        s.Get("/chunked", [&payload](const httplib::Request&, httplib::Response& res) {
            res.set_chunked_content_provider(
                "application/octet-stream", [&payload](size_t, httplib::DataSink& sink) {
                    for (std::size_t at = 0; at < payload.size(); at += 512) {
                        sink.write(payload.data() + at, 512);
                    }
                    sink.done();
                    return true;
                });
        });
    });
    for (const Routine& routine : routines()) {
        for (const char* path : {"/sized", "/chunked"}) {
            EXPECT_EQ(routine.fetch(server.url(path), payload.size() - 1), "")
                << routine.name << " " << path;
            EXPECT_EQ(routine.fetch(server.url(path), payload.size()), payload)
                << routine.name << " " << path;
        }
    }
}

TEST_F(Routines, FollowConnectToRulesAndKeepTheHostHeader) {
    LoopbackServer exact([](httplib::Server& s) {
        s.Get(".*", [](const httplib::Request&, httplib::Response& res) {
            res.set_content("exact", "text/plain");
        });
    });
    LoopbackServer fallback([](httplib::Server& s) {
        s.Get(".*", [](const httplib::Request&, httplib::Response& res) {
            res.set_content("fallback", "text/plain");
        });
    });
    // The catch-all rule comes first: an exact rule must still win.
    useRules({rule("*", 0, fallback.port()), rule("some.host.test", 0, exact.port()),
              rule("some.host.test", 8080, exact.port())});
    const struct {
        const char* address;
        const char* body;
        const char* host;
    } cases[] = {
        {"http://some.host.test/x?y=1", "exact", "some.host.test"},
        {"http://Some.Host.Test/x", "exact", "some.host.test"},
        {"http://some.host.test:8080/x", "exact", "some.host.test:8080"},
        {"http://some.host.test:8081/x", "fallback", "some.host.test:8081"},
        {"http://other.host.test/x", "fallback", "other.host.test"},
    };
    for (const Routine& routine : routines()) {
        for (const auto& c : cases) {
            EXPECT_EQ(routine.fetch(c.address, kDefaultMax), c.body)
                << routine.name << " " << c.address;
            const LoopbackServer& reached = std::string(c.body) == "exact" ? exact : fallback;
            // Host names are compared without regard to case, as servers do.
            EXPECT_EQ(text::lowerAscii(reached.lastRequest().header("Host")), c.host)
                << routine.name << " " << c.address;
        }
    }
}

TEST_F(Routines, RedirectsToAnotherHostFollowTheRulesToo) {
    LoopbackServer server([](httplib::Server& s) {
        s.Get("/jump", [](const httplib::Request&, httplib::Response& res) {
            res.set_redirect("http://landing.host.test/there", 302);
        });
        s.Get("/there", [](const httplib::Request& req, httplib::Response& res) {
            res.set_content("landed at " + req.get_header_value("Host"), "text/plain");
        });
    });
    useRules(
        {rule("start.host.test", 0, server.port()), rule("landing.host.test", 0, server.port())});
    for (const Routine& routine : routines()) {
        EXPECT_EQ(routine.fetch("http://start.host.test/jump", kDefaultMax),
                  "landed at landing.host.test")
            << routine.name;
    }
}

} // namespace
} // namespace quillon::net
