#pragma once
// The host side of the soak and bad-reply tests: the shared session host
// with link time-outs of tens of milliseconds.

#include <gtest/gtest.h>

#include "support/session_host.h"

namespace soak {

using namespace std::chrono_literals;

// Link time-outs of tens of milliseconds over `t`.
inline LinkTimings SoakLinkTimings(LinkTimings t = {}) {
    t.writeWait = 20ms;
    t.readWait = 60ms;
    t.cycleLimit = 120ms;
    t.normalCyclePause = 2ms;
    t.disconnectWait = 5ms;
    t.workerEventWait = 50ms;
    return t;
}

// The update's short search on top, and step waits of their own: the device
// comes back 20 ms after the boot step.
inline LinkTimings SoakUpdateTimings() {
    LinkTimings t = SoakLinkTimings(test_support::ShortTimings());
    t.postBootReopenWait = 150ms;
    t.upgradeCycleLimit = 1000ms;
    test_support::SetStepReplyWaits(t, 100ms);
    return t;
}

// The shared session host, run with the soak's time-outs.
using SoakHost = test_support::SessionHost;

}  // namespace soak
