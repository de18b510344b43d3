#pragma once
// Every time-out and pause of the link and of the firmware update in one
// value. Production uses the defaults; tests shrink them.

#include <chrono>

struct LinkTimings {
    using ms = std::chrono::milliseconds;

    // Normal link cycle
    ms writeWait{20};         // one output report; a lost write shows up as a read time-out
    ms readWait{2000};        // one input report before the device counts as silent
    ms cycleLimit{3000};      // whole request/reply cycle before the link fails
    ms normalCyclePause{10};  // between cycles, still under the model lock, to pace the polling
    ms disconnectWait{500};   // after stopping the worker, before closing the device
    ms stopPoll{5};           // how often a front end looks whether the stopped worker has ended

    // Finding the device for an update
    ms upgradeSearchRetry{50};       // between attempts to open a device that is restarting
    ms upgradeSearchWindow{10000};   // give up looking for the device after this
    ms searchPatternDuration{1000};  // how long the search pattern is repeated
    ms searchPatternGap{5};          // between two search-pattern reports
    ms postSearchPause{2000};        // lets the device switch to its loader after the search

    // Update cycle
    ms upgradeWriteWait{5};       // one output report of an update step
    ms postBootReopenWait{3000};  // the processor restarts into its loader after B0
    ms upgradeCycleLimit{10000};  // whole update step before the link fails

    // Reply time-out of each update step: flash erases make some steps slow.
    ms bootReplyWait{3000};              // B0
    ms startReplyWait{8000};             // B1
    ms blockReplyWait{2000};             // B2
    ms endReplyWait{2000};               // B3
    ms controllerBeginReplyWait{30000};  // E0 and E1: the hand controller erases its flash
    ms controllerBlockReplyWait{10000};  // E2
    ms controllerEndReplyWait{8000};     // E3

    // Link worker
    ms workerEventWait{3000};  // longest idle wait for stop / upgrade / normal
};
