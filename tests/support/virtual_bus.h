#pragma once
// A virtual HID bus and claim directory of their own (named to the program
// through the environment), with virtual processors served on that bus in
// this process. The tests and benchmarks that run a session or the
// command-line tool against simulated devices stand on it. Free of any test
// framework.

#include <stdlib.h>

#include <chrono>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "link/hid_registry.h"
#include "link/link_test_util.h"
#include "link/vhid_backend.h"
#include "protocol/frame_format.h"
#include "sim/sim_server.h"
#include "sim/virtual_processor.h"

namespace test_support {

class ScopedEnv {
public:
    ScopedEnv(const char* name, const std::string& value) : m_name(name) {
        ::setenv(name, value.c_str(), 1);
    }
    ~ScopedEnv() { ::unsetenv(m_name); }
    ScopedEnv(const ScopedEnv&) = delete;
    ScopedEnv& operator=(const ScopedEnv&) = delete;

private:
    const char* m_name;
};

inline std::unique_ptr<HidBackendRegistry> VhidOnly(const std::string& busDir) {
    auto registry = std::make_unique<HidBackendRegistry>();
    registry->Add(std::make_unique<VhidBackend>(busDir));
    return registry;
}

// Members in this order: the servers stop before their processors go.
class VirtualBus {
public:
    VirtualBus()
        : m_busEnv("TQR905_VHID_DIR", m_bus.Path()),
          m_claimsEnv("TQR905_CLAIMS_DIR", m_claims.Path()) {}
    VirtualBus(const VirtualBus&) = delete;
    VirtualBus& operator=(const VirtualBus&) = delete;

    // A processor served as <name>.sock, answering at once and back 20 ms
    // after its boot step: `processor` while no other server runs, then
    // processors of their own.
    SimServer& AddDevice(const std::string& name = "tqr905") {
        return AddDevice(m_servers.empty() ? processor : NewProcessor(), name);
    }
    SimServer& AddDevice(CVirtualProcessor& served, const std::string& name = "tqr905") {
        SimServerOptions options;
        options.name = name;
        options.latencyMs = 0;
        options.rebootAway = std::chrono::milliseconds(20);
        return AddServer(options, served);
    }
    // A server with options of the caller's own, on this bus; started.
    SimServer& AddServer(SimServerOptions options, CVirtualProcessor& served) {
        if (options.busDir.empty()) options.busDir = m_bus.Path();
        m_servers.push_back(std::make_unique<SimServer>(served, options));
        const LinkStatus started = m_servers.back()->Start();
        if (!started.Ok()) throw std::runtime_error("simulated device: " + started.ErrorText());
        return *m_servers.back();
    }
    // Every server stopped and gone from the bus.
    void RemoveDevices() { m_servers.clear(); }
    // Another processor, living as long as the bus.
    CVirtualProcessor& NewProcessor() {
        m_extraProcessors.push_back(std::make_unique<CVirtualProcessor>());
        return *m_extraProcessors.back();
    }

    const std::string& BusPath() const { return m_bus.Path(); }
    const std::string& ClaimsPath() const { return m_claims.Path(); }
    // The backends that see only this bus.
    std::unique_ptr<HidBackendRegistry> Registry() const { return VhidOnly(m_bus.Path()); }

    // The requests `processor` got that change something. While a link is
    // up it keeps polling the status, so count these rather than requests.
    int WritesReceived() const {
        int writes = 0;
        for (const auto& entry : processor.RequestLog())
            writes += entry.command == CMD_WRITE;
        return writes;
    }

    CVirtualProcessor processor;

private:
    TempDir m_bus;
    TempDir m_claims;
    ScopedEnv m_busEnv;
    ScopedEnv m_claimsEnv;
    std::vector<std::unique_ptr<CVirtualProcessor>> m_extraProcessors;
    std::vector<std::unique_ptr<SimServer>> m_servers;
};

}  // namespace test_support
