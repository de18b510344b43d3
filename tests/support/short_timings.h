#pragma once
// Link time-outs for tests and benchmarks against a simulated device.

#include <chrono>

#include "link/link_timings.h"

namespace test_support {

using namespace std::chrono_literals;

// Every update step's reply time-out.
inline void SetStepReplyWaits(LinkTimings& t, std::chrono::milliseconds wait) {
    for (auto step :
         {&LinkTimings::bootReplyWait, &LinkTimings::startReplyWait, &LinkTimings::blockReplyWait,
          &LinkTimings::endReplyWait, &LinkTimings::controllerBeginReplyWait,
          &LinkTimings::controllerBlockReplyWait, &LinkTimings::controllerEndReplyWait})
        t.*step = wait;
}

// A silent device fails in well under a second, and the update waits suit a
// simulated device that is back 20 ms after its boot step. Only bounds:
// nothing waits this long when it works.
inline LinkTimings ShortTimings() {
    LinkTimings t;
    t.readWait = 400ms;
    t.cycleLimit = 800ms;
    t.normalCyclePause = 1ms;
    t.disconnectWait = 5ms;
    t.workerEventWait = 100ms;
    t.upgradeSearchRetry = 5ms;
    t.upgradeSearchWindow = 300ms;
    t.searchPatternDuration = 30ms;
    t.postSearchPause = 10ms;
    t.postBootReopenWait = 200ms;
    t.upgradeCycleLimit = 2000ms;
    SetStepReplyWaits(t, 300ms);
    return t;
}

}  // namespace test_support
