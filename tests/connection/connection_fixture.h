#pragma once
// Fixture of the connection tests: a virtual bus and claim directory of their
// own, the virtual processor served on that bus, and the host side as a
// front end runs it: model, command queue, connection manager and a message
// queue drained on the test's thread. Link time-outs are shrunk so that a
// silent device fails in well under a second.

#include <gtest/gtest.h>
#include <stdlib.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "base/globals.h"
#include "base/messages.h"
#include "base/texts.h"
#include "image/param_image.h"
#include "link/connection_manager.h"
#include "link/link_test_util.h"
#include "link/message_queue.h"
#include "link/upgrade_hook.h"
#include "link/vhid_backend.h"
#include "model/ktv_data.h"
#include "model/model_link.h"
#include "model/startup_contents.h"
#include "protocol/ktv_command.h"
#include "sim/sim_server.h"

namespace conn_test {

using namespace std::chrono_literals;

// Only bounds a hang on a loaded machine; nothing waits this long when it works.
constexpr auto kGenerousWait = kEventWait;

inline LinkTimings ShortTimings() {
    LinkTimings t;
    t.readWait = 400ms;
    t.cycleLimit = 800ms;
    t.normalCyclePause = 1ms;
    t.disconnectWait = 10ms;
    t.workerEventWait = 100ms;
    return t;
}

class ScopedEnv {
public:
    ScopedEnv(const char* name, const std::string& value) : m_name(name) {
        ::setenv(name, value.c_str(), 1);
    }
    ~ScopedEnv() { ::unsetenv(m_name); }

private:
    const char* m_name;
};

class StateRecorder : public IConnectionListener {
public:
    void OnConnectionStateChanged(ConnectionState state) override { states.push_back(state); }
    void OnTransferHidden() override { ++transfersHidden; }
    std::vector<ConnectionState> states;
    int transfersHidden = 0;
};

inline HidBackendRegistry VhidOnly(const std::string& busDir) {
    HidBackendRegistry registry;
    registry.Add(std::make_unique<VhidBackend>(busDir));
    return registry;
}

// The process-wide link and model state as a program starts with it; first
// member of the fixture, so the model is built offline like the program's.
struct FreshGlobals {
    FreshGlobals() {
        g_bOnline = false;
        g_bReplyError = false;
        g_bUpgrading = false;
        g_bUpgradeFinished = false;
        g_bDeviceOpen = false;
        g_nLastUpgradeCommand = 0;
        g_DeviceModel.fill(0);
        g_strDevicePath.Set("");
        InitStartupContents();
        g_nDeviceId = 1;
    }
};

class ConnectionTest : public ::testing::Test {
protected:
    explicit ConnectionTest(const LinkTimings& timings = ShortTimings())
        : m_busEnv("TQR905_VHID_DIR", m_bus.Path()),
          m_claimsEnv("TQR905_CLAIMS_DIR", m_claims.Path()),
          m_registry(VhidOnly(m_bus.Path())),
          m_modelLink(m_model),
          m_manager(m_registry, m_cmd, &m_modelLink, timings, &m_queue.Steps()) {}

    void SetUp() override {
        g_pMessageSink = &m_queue;
        m_manager.SetListener(&m_states);
    }

    void TearDown() override {
        m_manager.Shutdown();
        m_manager.Link().Close();
        for (auto& server : m_servers)
            server->Stop();
        g_pMessageSink = nullptr;
        FreshGlobals();
    }

    // A processor served on the bus as <name>.sock: m_processor first, then
    // processors of their own.
    SimServer& AddDevice(const std::string& name = "tqr905") {
        CVirtualProcessor* processor = &m_processor;
        if (!m_servers.empty()) {
            m_extraProcessors.push_back(std::make_unique<CVirtualProcessor>());
            processor = m_extraProcessors.back().get();
        }
        SimServerOptions options;
        options.busDir = m_bus.Path();
        options.name = name;
        options.latencyMs = 0;
        options.rebootAway = 20ms;
        m_servers.push_back(std::make_unique<SimServer>(*processor, options));
        const LinkStatus started = m_servers.back()->Start();
        EXPECT_TRUE(started.Ok()) << started.ErrorText();
        return *m_servers.back();
    }

    void Dispatch(const UiMessage& message) {
        m_seen.push_back(message);
        m_manager.HandleMessage(message.msg, message.wParam, message.lParam);
    }

    // Drains messages into the manager until the condition holds.
    template <class Condition>
    bool RunUntil(Condition condition) {
        return m_queue.RunUntil([this](const UiMessage& m) { Dispatch(m); }, condition,
                                CMessageQueue::Clock::now() + kGenerousWait);
    }
    bool RunUntilState(ConnectionState state) {
        return RunUntil([&] { return m_manager.State() == state; });
    }
    void DrainPending() {
        m_queue.DispatchPending([this](const UiMessage& m) { Dispatch(m); });
    }

    int Seen(unsigned msg) const {
        return static_cast<int>(std::count_if(m_seen.begin(), m_seen.end(),
                                              [msg](const UiMessage& m) { return m.msg == msg; }));
    }
    // The message boxes a front end would have shown.
    std::vector<TextId> Shown() const {
        std::vector<TextId> texts;
        for (const UiMessage& m : m_seen) {
            if (m.msg == UM_SHOW_MESSAGE) texts.push_back(static_cast<TextId>(m.wParam));
        }
        return texts;
    }

    // The Connect button on a link that is up, and the loop run until the
    // device is closed.
    void DisconnectWithButton() {
        m_manager.OnConnectButton();
        ASSERT_TRUE(RunUntilState(ConnectionState::Disconnected));
    }

    // Connects with the button and waits for the read-all to end.
    void ConnectOnline() {
        m_manager.OnConnectButton();
        ASSERT_TRUE(RunUntilState(ConnectionState::Online)) << m_manager.LastError();
    }

    FreshGlobals m_freshGlobals;
    TempDir m_bus;
    TempDir m_claims;
    ScopedEnv m_busEnv;
    ScopedEnv m_claimsEnv;
    HidBackendRegistry m_registry;
    CMessageQueue m_queue;
    CKTV_Data m_model;
    CModelLink m_modelLink;
    CKTVCommand m_cmd;
    CConnectionManager m_manager;
    StateRecorder m_states;
    CVirtualProcessor m_processor;
    std::vector<std::unique_ptr<CVirtualProcessor>> m_extraProcessors;
    std::vector<std::unique_ptr<SimServer>> m_servers;
    std::vector<UiMessage> m_seen;
};

}  // namespace conn_test
