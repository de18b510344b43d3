#include "firmware/upgrade_cycle.h"

#include <algorithm>
#include <thread>

#include "base/globals.h"
#include "base/messages.h"
#include "link/hid_link.h"
#include "protocol/ktv_command.h"

namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

// A packet is written at most twice; the third attempt means the device is lost.
constexpr int kMostTries = 2;
// Long waits and reads are cut into slices so that stopping the worker does
// not wait for a 30 s erase time-out to run out.
constexpr milliseconds kWaitSlice{50};

// Sleeps for `d`, or less when the worker is asked to stop.
void PauseUnlessStopped(Clock::duration d, const std::atomic<bool>& stop) {
    const Clock::time_point end = Clock::now() + d;
    while (!stop) {
        const Clock::duration left = end - Clock::now();
        if (left <= Clock::duration::zero()) return;
        std::this_thread::sleep_for(std::min<Clock::duration>(left, kWaitSlice));
    }
}

void FillSearchPattern(HidReport& report) {
    report[0] = 0;
    for (int i = 1; i < kReportSize; ++i)
        report[i] = (i % 2 == 1) ? kSearchPatternA : kSearchPatternB;
}

struct StepWait {
    int code;
    milliseconds LinkTimings::*wait;
};

constexpr StepWait kStepWaits[] = {
    {UPG_BOOT, &LinkTimings::bootReplyWait},
    {UPG_START, &LinkTimings::startReplyWait},
    {UPG_BLOCK, &LinkTimings::blockReplyWait},
    {UPG_END, &LinkTimings::endReplyWait},
    {UPG_CTRL_BEGIN1, &LinkTimings::controllerBeginReplyWait},
    {UPG_CTRL_BEGIN2, &LinkTimings::controllerBeginReplyWait},
    {UPG_CTRL_BLOCK, &LinkTimings::controllerBlockReplyWait},
    {UPG_CTRL_END, &LinkTimings::controllerEndReplyWait},
};

}  // namespace

milliseconds CUpgradeCycle::ReplyWait(const LinkTimings& timings, int code) {
    for (const StepWait& step : kStepWaits) {
        if (step.code == code) return timings.*step.wait;
    }
    return timings.readWait;
}

void CUpgradeCycle::RunUpgradeCycle(CHidLink& link, const std::atomic<bool>& stopRequested) {
    if (!WriteStep(link, stopRequested)) return;
    // A reply or a reply time-out ends the step; only then may the boot step
    // have sent the device into its loader.
    if (ReadStepReply(link, stopRequested) && m_nCurrentCode == UPG_BOOT)
        ReopenAfterBoot(link, stopRequested);
}

bool CUpgradeCycle::WriteStep(CHidLink& link, const std::atomic<bool>& stop) {
    const LinkTimings& t = link.Timings();
    // A closed or abandoned link is waited on, not spun on, until the
    // connection manager stops the worker.
    if (m_bAbandoned || !link.IsOpen() || !g_bDeviceOpen) {
        PauseUnlessStopped(t.upgradeSearchRetry, stop);
        return false;
    }
    CKTVCommand& queue = link.Command();
    if (queue.GetCount() == 0) NextUpgradePacket(m_state, queue);
    CSendData* head = queue.PeekHead();
    if (head == nullptr) {
        PauseUnlessStopped(t.upgradeSearchRetry, stop);
        return false;
    }
    m_nCurrentCode = head->GetUpgradeCode();
    g_nLastUpgradeCommand = m_nCurrentCode;
    head->SetTries(head->GetTries() + 1);
    if (head->GetTries() > kMostTries) {
        link.PostLinkFailed();
        m_bAbandoned = true;
        return false;
    }
    if (m_nCurrentCode == UPG_SEARCH) {
        SendSearchPattern(link, stop);
        return false;
    }
    return WriteReports(link, *head);
}

// The device listens for the pattern while it starts; it answers nothing.
void CUpgradeCycle::SendSearchPattern(CHidLink& link, const std::atomic<bool>& stop) {
    const LinkTimings& t = link.Timings();
    PostUiMessage(UM_UPGRADE_STATUS, static_cast<std::uintptr_t>(TextId::SearchForDevice));
    while (g_bDeviceOpen && !stop) {
        FillSearchPattern(link.OutReport());
        [[maybe_unused]] const IoResult written = link.WriteOutReport(t.upgradeWriteWait);
        std::this_thread::sleep_for(t.searchPatternGap);
        if (link.SinceCycleStart() > t.searchPatternDuration) {
            link.Command().PopHead();
            PauseUnlessStopped(t.postSearchPause, stop);
            return;
        }
    }
}

// Write results are not examined: a lost report shows up as a missing reply.
bool CUpgradeCycle::WriteReports(CHidLink& link, CSendData& packet) {
    while (packet.FillReport(link.OutReport().data())) {
        [[maybe_unused]] const IoResult written =
            link.WriteOutReport(link.Timings().upgradeWriteWait);
        if (!g_bDeviceOpen) return false;
    }
    return true;
}

bool CUpgradeCycle::ReadStepReply(CHidLink& link, const std::atomic<bool>& stop) {
    const LinkTimings& t = link.Timings();
    const Clock::time_point deadline = Clock::now() + ReplyWait(t, m_nCurrentCode);
    for (;;) {
        if (!g_bDeviceOpen || stop) return false;
        const auto left = std::chrono::duration_cast<milliseconds>(deadline - Clock::now());
        const IoResult read = link.ReadInReport(std::clamp(left, milliseconds{0}, kWaitSlice));
        switch (read.eStatus) {
            case IoStatus::Ok:
                if (link.FeedInReport()) return true;
                break;
            case IoStatus::Timeout:
                if (Clock::now() < deadline) continue;
                link.PostLinkFailed();
                return true;
            default:  // gone, aborted or broken: the link reported it once
                return false;
        }
        if (link.SinceCycleStart() > t.upgradeCycleLimit) {
            std::this_thread::sleep_for(t.normalCyclePause);
            link.PostLinkFailed();
            return false;
        }
    }
}

// The processor restarts into its loader after the boot step: it leaves the
// bus and comes back with the same identity, possibly under another path.
void CUpgradeCycle::ReopenAfterBoot(CHidLink& link, const std::atomic<bool>& stop) {
    PauseUnlessStopped(link.Timings().postBootReopenWait, stop);
    if (stop) return;
    link.Close();
    // Closing cleared g_bDeviceOpen, so the failure is posted directly.
    if (!link.OpenFirstMatching()) PostUiMessage(UM_LINK_FAILED);
}
