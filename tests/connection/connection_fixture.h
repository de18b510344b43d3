#pragma once
// Fixture of the connection tests: the shared session host (a virtual bus
// and claim directory of its own, the virtual processor served on that bus,
// the session drained on the test's thread) under the names these tests use.
// Link time-outs are shrunk so that a silent device fails in well under a
// second.

#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <vector>

#include "support/session_host.h"

namespace conn_test {

using namespace std::chrono_literals;
using test_support::FreshGlobals;
using test_support::ScopedEnv;
using test_support::ShortTimings;

// Only bounds a hang on a loaded machine; nothing waits this long when it works.
constexpr auto kGenerousWait = kEventWait;

class ConnectionTest : public ::testing::Test {
protected:
    explicit ConnectionTest(const LinkTimings& timings = ShortTimings()) : m_host(timings) {}

    // A processor served on the bus as <name>.sock: m_processor first, then
    // processors of their own.
    SimServer& AddDevice(const std::string& name = "tqr905") { return m_host.AddDevice(name); }

    void Dispatch(const UiMessage& message) { m_host.Session().Dispatch(message); }

    // Drains messages until the condition holds.
    template <class Condition>
    bool RunUntil(Condition condition) {
        return m_host.RunUntil(condition);
    }
    bool RunUntilState(ConnectionState state) { return m_host.RunUntilState(state); }
    void DrainPending() { m_host.Session().Drain(); }

    int Seen(unsigned msg) const { return m_host.heard.Seen(msg); }
    // The message boxes a front end would have shown.
    const std::vector<TextId>& Shown() const { return m_host.heard.shown; }

    // The Connect button on a link that is up, and the loop run until the
    // device is closed.
    void DisconnectWithButton() {
        m_manager.OnConnectButton();
        ASSERT_TRUE(RunUntilState(ConnectionState::Disconnected));
    }

    // Connects with the button and waits for the read-all to end.
    void ConnectOnline() { ASSERT_TRUE(m_host.ConnectOnline()) << m_manager.LastError(); }

    test_support::SessionHost m_host;
    const test_support::RecordingListener& m_states = m_host.heard;
    CVirtualProcessor& m_processor = m_host.processor;
    CKTV_Data& m_model = m_host.Model();
    CKTVCommand& m_cmd = m_host.Command();
    CConnectionManager& m_manager = m_host.Manager();
    CModelLink& m_modelLink = m_host.Session().ModelLink();
    CMessageQueue& m_queue = m_host.Queue();
    const std::string m_busPath = m_host.BusPath();
    const std::string m_claimsPath = m_host.ClaimsPath();
};

}  // namespace conn_test
