#pragma once
// A workspace host on a virtual processor served on a bus of its own, with
// the connection manager and link worker of the application and shortened
// time-outs. The test is the front end: it drains the posted messages,
// hands them to the presenter under test and to the manager, and records
// the message boxes.

#include <gtest/gtest.h>
#include <stdlib.h>

#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "base/globals.h"
#include "base/messages.h"
#include "link/connection_manager.h"
#include "link/link_test_util.h"
#include "link/message_queue.h"
#include "link/model_link.h"
#include "link/vhid_backend.h"
#include "model/ktv_data.h"
#include "model/startup_contents.h"
#include "protocol/ktv_command.h"
#include "sim/sim_server.h"
#include "sim/virtual_processor.h"
#include "workspace/edits.h"
#include "workspace/workspace_host.h"

namespace bus_host {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

inline LinkTimings ShortTimings() {
    LinkTimings t;
    t.readWait = 300ms;
    t.cycleLimit = 600ms;
    t.normalCyclePause = 1ms;
    t.disconnectWait = 5ms;
    t.workerEventWait = 100ms;
    t.upgradeSearchRetry = 5ms;
    t.upgradeSearchWindow = 300ms;
    t.searchPatternDuration = 30ms;
    t.postSearchPause = 10ms;
    t.postBootReopenWait = 200ms;  // the device is back after 20 ms
    t.upgradeCycleLimit = 2000ms;
    t.bootReplyWait = 300ms;
    t.startReplyWait = 300ms;
    t.blockReplyWait = 300ms;
    t.endReplyWait = 300ms;
    t.controllerBeginReplyWait = 300ms;
    t.controllerBlockReplyWait = 300ms;
    t.controllerEndReplyWait = 300ms;
    return t;
}

// Start-up images before the model is built from them.
struct StartupImages {
    StartupImages() { InitStartupContents(); }
};

class BusHost : public IWorkspaceHost {
    StartupImages m_images;

public:
    CVirtualProcessor processor;

    // Sees every drained message before the connection manager; true keeps
    // it from the manager.
    using Observer = std::function<bool(const UiMessage&)>;

    BusHost()
        : m_busDir(m_dir.Path() + "/bus"),
          m_registry(MakeRegistry(m_busDir)),
          m_server(processor, ServerOptions(m_busDir)),
          m_manager(*m_registry, m_command, &m_modelLink, ShortTimings()) {
        ::setenv("TQR905_CLAIMS_DIR", (m_dir.Path() + "/claims").c_str(), 1);
        g_bOnline = false;
        g_bUpgrading = false;
        g_bUpgradeFinished = false;
        g_bDeviceOpen = false;
        g_pMessageSink = &m_queue;
    }
    ~BusHost() override {
        m_manager.Shutdown();
        m_server.Stop();
        g_pMessageSink = nullptr;
        g_bOnline = false;
        ::unsetenv("TQR905_CLAIMS_DIR");
    }

    CKTV_Data& Model() override { return m_model; }
    CKTVCommand& Command() override { return m_command; }
    bool IsConnected() const override { return m_manager.IsConnected(); }

    CConnectionManager& Manager() { return m_manager; }
    void SetObserver(Observer observer) { m_observer = std::move(observer); }

    void PlugIn() { ASSERT_TRUE(m_server.Start().Ok()); }
    void Unplug() { m_server.Unplug(); }

    // Plugs the device in, connects and waits until its settings are read.
    void ConnectOnline() {
        PlugIn();
        ASSERT_TRUE(m_manager.ConnectUsb());
        ASSERT_TRUE(RunUntil([&] { return m_manager.State() == ConnectionState::Online; }));
    }

    // Drains messages as a front end does until the condition holds.
    bool RunUntil(const std::function<bool()>& condition) {
        return m_queue.RunUntil([this](const UiMessage& m) { Dispatch(m); }, condition,
                                Clock::now() + kEventWait);
    }
    // Until every change is sent and answered and the queue is idle.
    bool RunUntilSettled() {
        return RunUntil([&] { return m_manager.IsConnected() && NothingQueued(); });
    }
    void DispatchPending() {
        m_queue.DispatchPending([this](const UiMessage& m) { Dispatch(m); });
    }

    // The message boxes shown so far, in order.
    std::vector<TextId> Shown() const { return m_shown; }
    int Count(unsigned msg) const {
        int n = 0;
        for (const UiMessage& m : m_seen)
            n += m.msg == msg;
        return n;
    }

private:
    static std::unique_ptr<HidBackendRegistry> MakeRegistry(const std::string& busDir) {
        auto registry = std::make_unique<HidBackendRegistry>();
        registry->Add(std::make_unique<VhidBackend>(busDir));
        return registry;
    }
    static SimServerOptions ServerOptions(const std::string& busDir) {
        SimServerOptions options;
        options.busDir = busDir;
        options.latencyMs = 0.0;
        options.rebootAway = 20ms;
        return options;
    }

    bool NothingQueued() {
        std::lock_guard lock(g_csModel);
        return NothingPending(m_model, m_command) && m_command.GetCount() == 0;
    }

    void Dispatch(const UiMessage& m) {
        m_seen.push_back(m);
        if (m.msg == UM_SHOW_MESSAGE) m_shown.push_back(static_cast<TextId>(m.wParam));
        if (m_observer && m_observer(m)) return;
        m_manager.HandleMessage(m.msg, m.wParam, m.lParam);
    }

    TempDir m_dir;
    std::string m_busDir;
    std::unique_ptr<HidBackendRegistry> m_registry;
    SimServer m_server;
    CMessageQueue m_queue;
    CKTV_Data m_model;
    CModelLink m_modelLink{m_model};
    CKTVCommand m_command;
    CConnectionManager m_manager;
    Observer m_observer;
    std::vector<UiMessage> m_seen;
    std::vector<TextId> m_shown;
};

}  // namespace bus_host
