#pragma once
// The link worker's cycle during a firmware update: the writer sends the head
// step packet (or the device-search pattern), the reader waits for the reply
// with the step's own time-out, and after the boot step the device, which
// restarts into its loader, is opened again.
//
// Runs on the link worker without g_csModel: the front end does not touch the
// queue while an update runs (it stops the worker first), and every report to
// it is a posted message.

#include <atomic>
#include <chrono>

#include "firmware/upgrade_steps.h"
#include "link/link_timings.h"
#include "link/upgrade_hook.h"

class CHidLink;

class CUpgradeCycle : public IUpgradeCycle {
public:
    // `state` holds the loaded image and is advanced by the writer.
    explicit CUpgradeCycle(UpgradeState& state) : m_state(state) {}

    void RunUpgradeCycle(CHidLink& link, const std::atomic<bool>& stopRequested) override;

    // Forgets an abandoned update, for the next one.
    void Reset() { m_bAbandoned = false; }

    // The reply time-out of a step code, from the link's timings.
    static std::chrono::milliseconds ReplyWait(const LinkTimings& timings, int code);

private:
    // Writes the head step; true when its reply is to be read.
    bool WriteStep(CHidLink& link, const std::atomic<bool>& stop);
    void SendSearchPattern(CHidLink& link, const std::atomic<bool>& stop);
    bool WriteReports(CHidLink& link, CSendData& packet);
    // Reads until the reply parser completes a frame or the step times out
    // (true); false when the cycle ran too long or the link went away.
    bool ReadStepReply(CHidLink& link, const std::atomic<bool>& stop);
    void ReopenAfterBoot(CHidLink& link, const std::atomic<bool>& stop);

    UpgradeState& m_state;
    int m_nCurrentCode = 0;
    // A packet was about to go out a third time: the failure is reported once
    // and the cycle stays quiet until the worker is stopped.
    bool m_bAbandoned = false;
};
