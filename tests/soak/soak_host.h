#pragma once
// The host side of the soak and bad-reply tests, as a front end without a
// window system runs it: a virtual bus and claim directory of its own, the
// model, the command queue and the connection manager, and the message queue
// installed as the sink. Link time-outs are tens of milliseconds.

#include "connection/connection_fixture.h"

namespace soak {

using namespace std::chrono_literals;

inline LinkTimings SoakLinkTimings() {
    LinkTimings t;
    t.writeWait = 20ms;
    t.readWait = 60ms;
    t.cycleLimit = 120ms;
    t.normalCyclePause = 2ms;
    t.disconnectWait = 5ms;
    t.workerEventWait = 50ms;
    return t;
}

// The update's waits on top: the device comes back 20 ms after the boot step.
inline LinkTimings SoakUpdateTimings() {
    LinkTimings t = SoakLinkTimings();
    t.upgradeSearchRetry = 5ms;
    t.upgradeSearchWindow = 300ms;
    t.searchPatternDuration = 30ms;
    t.postSearchPause = 10ms;
    t.postBootReopenWait = 150ms;
    t.upgradeCycleLimit = 1000ms;
    for (auto wait :
         {&LinkTimings::bootReplyWait, &LinkTimings::startReplyWait, &LinkTimings::blockReplyWait,
          &LinkTimings::endReplyWait, &LinkTimings::controllerBeginReplyWait,
          &LinkTimings::controllerBlockReplyWait, &LinkTimings::controllerEndReplyWait})
        t.*wait = 100ms;
    return t;
}

struct SoakHost {
    explicit SoakHost(const LinkTimings& timings)
        : busEnv("TQR905_VHID_DIR", bus.Path()),
          claimsEnv("TQR905_CLAIMS_DIR", claims.Path()),
          registry(conn_test::VhidOnly(bus.Path())),
          modelLink(model),
          manager(registry, command, &modelLink, timings) {
        g_bChinese = false;
        g_pMessageSink = &queue;
    }
    // The worker stops and the device is closed before the sink goes.
    ~SoakHost() {
        manager.Shutdown();
        manager.Link().Close();
        g_pMessageSink = nullptr;
        conn_test::FreshGlobals();
    }
    SoakHost(const SoakHost&) = delete;
    SoakHost& operator=(const SoakHost&) = delete;

    conn_test::FreshGlobals freshGlobals;  // first: the model is built offline
    TempDir bus;
    TempDir claims;
    conn_test::ScopedEnv busEnv;
    conn_test::ScopedEnv claimsEnv;
    HidBackendRegistry registry;
    CMessageQueue queue;
    CKTV_Data model;
    CModelLink modelLink;
    CKTVCommand command;
    CConnectionManager manager;
};

}  // namespace soak
