#pragma once
// Updates over a virtual bus: the firmware fixture with the session host (a
// virtual processor served on a bus of its own, the session every front end
// runs) and an updater on the session's connection manager. The session's
// queue is the message sink; every message drained is recorded and offered
// to the updater before the session, as the update dialog's front end does.

#include <chrono>
#include <functional>
#include <string>
#include <vector>

#include "firmware/firmware_fixture.h"
#include "firmware/firmware_updater.h"
#include "support/session_host.h"

class UpgradeOverBusTest : public FirmwareTest {
protected:
    explicit UpgradeOverBusTest(const LinkTimings& timings = test_support::ShortTimings())
        : m_host(timings), m_updater(m_host.Manager()) {}

    void SetUp() override {
        FirmwareTest::SetUp();
        g_pMessageSink = &m_queue;
        m_host.Session().SetMessageFilter([this](const UiMessage& m) {
            m_seen.push_back(m);
            return m_updater.HandleMessage(m.msg, m.wParam, m.lParam);
        });
    }

    // The processor on the bus, and the manager watching for it.
    void StartDevice(double latencyMs = 0) {
        SimServerOptions options;
        options.latencyMs = latencyMs;
        options.rebootAway = std::chrono::milliseconds(20);
        m_pServer = &m_host.AddServer(options, m_processor);
        ASSERT_TRUE(m_manager.StartWatching());
    }
    SimServer& Server() { return *m_pServer; }

    // A whole update as a front end without a window runs it; `observe`
    // sees every message too.
    UpgradeOutcome Run(const std::string& path, const CMessageQueue::Handler& observe = {},
                       std::chrono::steady_clock::duration limit = std::chrono::seconds(60)) {
        return m_host.Session().RunUpgrade(
            m_updater, path,
            [&](const UiMessage& m) {
                m_seen.push_back(m);
                if (observe) observe(m);
            },
            limit);
    }

    // Drains messages until the condition holds; false when `limit` passed.
    bool RunMessagesUntil(const std::function<bool()>& condition,
                          std::chrono::steady_clock::duration limit = std::chrono::seconds(20)) {
        return m_host.Session().RunUntil(condition, limit, false) == WaitEnd::Done;
    }

    // The link is down and nothing says an update still runs.
    void ExpectLinkDown() {
        EXPECT_FALSE(g_bUpgrading);
        EXPECT_FALSE(m_manager.IsConnected());
        EXPECT_FALSE(m_manager.Worker().Exists());
        EXPECT_FALSE(m_manager.Link().IsOpen());
        EXPECT_FALSE(m_updater.IsUpgrading());
    }

    test_support::SessionHost m_host;
    CVirtualProcessor& m_processor = m_host.processor;
    CConnectionManager& m_manager = m_host.Manager();
    CMessageQueue& m_queue = m_host.Queue();
    CFirmwareUpdater m_updater;
    std::vector<UiMessage> m_seen;

private:
    SimServer* m_pServer = nullptr;
};
