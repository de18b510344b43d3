#pragma once
// The benchmarks' host: the tests' session host (a virtual bus of its own,
// the session every front end runs) with the production time-outs, and one
// virtual processor on the bus whose replies arrive `latencyMs` late.

#include <chrono>
#include <exception>
#include <functional>

#include "support/session_host.h"

class BenchHost : public test_support::SessionHost {
public:
    explicit BenchHost(double latencyMs) : SessionHost(LinkTimings{}), m_fLatencyMs(latencyMs) {
        SimServerOptions options;
        options.latencyMs = latencyMs;
        try {
            AddServer(options, processor);
            m_bStarted = true;
        } catch (const std::exception&) {
            m_bStarted = false;  // the benchmark reports it
        }
    }

    bool Started() const { return m_bStarted; }
    double LatencyMs() const { return m_fLatencyMs; }
    double LatencySeconds() const { return m_fLatencyMs / 1000.0; }

    // Drains messages through the session, `observe` seeing each first,
    // until `done` holds; false when `limit` passed.
    bool RunObserving(const std::function<void(const UiMessage&)>& observe,
                      const std::function<bool()>& done,
                      std::chrono::steady_clock::duration limit = std::chrono::seconds(30)) {
        Session().SetMessageFilter([&](const UiMessage& m) {
            observe(m);
            return false;
        });
        const WaitEnd end = Session().RunUntil(done, limit, false);
        Session().SetMessageFilter(nullptr);
        return end == WaitEnd::Done;
    }

    // Connects with the button and waits for the read-all to end.
    bool Connect() { return m_bStarted && ConnectOnline(); }

private:
    double m_fLatencyMs;
    bool m_bStarted = false;
};
