#include "link/link_worker.h"

#include "base/globals.h"
#include "link/hid_link.h"

std::atomic<int> g_nLastUpgradeCommand{0};

namespace {

int Slot(WorkerEvent event) {
    return static_cast<int>(event);
}

// Between two normal cycles the worker lets the threads waiting for the
// model lock take it before it takes it again, but waits for them at most
// this long: a thread the scheduler does not run by then waits for the next
// gap, and the link keeps its pace.
constexpr std::chrono::milliseconds kHandOverLimit{5};

constexpr WorkerEvent kByPriority[] = {WorkerEvent::Stop, WorkerEvent::Upgrade,
                                       WorkerEvent::Normal};

}  // namespace

// ---- CWorkerEvents ----

void CWorkerEvents::Set(WorkerEvent event) {
    {
        std::lock_guard lock(m_mutex);
        m_abSet[Slot(event)] = true;
    }
    m_changed.notify_all();
}

void CWorkerEvents::Reset(WorkerEvent event) {
    std::lock_guard lock(m_mutex);
    m_abSet[Slot(event)] = false;
}

bool CWorkerEvents::IsSet(WorkerEvent event) const {
    std::lock_guard lock(m_mutex);
    return m_abSet[Slot(event)];
}

std::optional<WorkerEvent> CWorkerEvents::FirstSet() const {
    for (WorkerEvent event : kByPriority) {
        if (m_abSet[Slot(event)]) return event;
    }
    return std::nullopt;
}

std::optional<WorkerEvent> CWorkerEvents::WaitAny(std::chrono::milliseconds timeout) {
    std::unique_lock lock(m_mutex);
    m_changed.wait_for(lock, timeout, [this] { return FirstSet().has_value(); });
    return FirstSet();
}

// ---- CLinkWorker ----

CLinkWorker::CLinkWorker(CHidLink& link) : m_link(link) {}

CLinkWorker::~CLinkWorker() {
    StopLink();
}

void CLinkWorker::StartLink(bool upgrade) {
    g_bReplyError = false;
    if (!Exists()) {
        m_events = std::make_unique<CWorkerEvents>();
        m_events->Set(upgrade || g_bUpgrading ? WorkerEvent::Upgrade : WorkerEvent::Normal);
        m_bStopRequested = false;
        // Alive from before the thread runs, so that a StopLink right after
        // this waits for it instead of finding it "already ended".
        m_bAlive = true;
        m_thread = std::thread([this] { Run(); });
    }
    g_bDeviceOpen = true;
}

void CLinkWorker::RequestStop() {
    if (!Exists()) return;
    m_bStopRequested = true;
    m_events->Set(WorkerEvent::Stop);
}

// A normal cycle ends at the latest when a read wait expires after the cycle
// limit; anything longer is a device that keeps a read blocked.
std::chrono::steady_clock::duration CLinkWorker::LongestCycle() const {
    const LinkTimings& t = m_link.Timings();
    return t.cycleLimit + t.readWait + t.writeWait * 8 + t.normalCyclePause;
}

void CLinkWorker::StopLink() {
    if (!Exists()) return;
    RequestStop();
    if (!WaitUntilEnded(LongestCycle())) m_link.AbortIo();
    m_thread.join();
    m_events.reset();
    g_bDeviceOpen = false;
}

bool CLinkWorker::WaitUntilEnded(std::chrono::steady_clock::duration limit) {
    std::unique_lock lock(m_aliveMutex);
    return m_aliveChanged.wait_for(lock, limit, [this] { return !m_bAlive; });
}

void CLinkWorker::Run() {
    for (;;) {
        const std::optional<WorkerEvent> event =
            m_events->WaitAny(m_link.Timings().workerEventWait);
        if (!event) continue;
        switch (*event) {
            case WorkerEvent::Stop: {
                std::lock_guard lock(m_aliveMutex);
                m_bAlive = false;
                m_aliveChanged.notify_all();
                return;
            }
            case WorkerEvent::Upgrade:
                RunUpgrade();
                break;
            case WorkerEvent::Normal:
                RunNormal();
                break;
        }
    }
}

// No lock and no pause: the update's steps wait for their replies themselves
// and may post to the user interface while it waits for g_csModel.
void CLinkWorker::RunUpgrade() {
    IUpgradeCycle* cycle = m_pUpgradeCycle;
    if (g_bUpgradeFinished || cycle == nullptr) {
        m_events->Reset(WorkerEvent::Upgrade);
        return;
    }
    m_link.MarkCycleStart();
    cycle->RunUpgradeCycle(m_link, m_bStopRequested);
}

// The pause is taken with the lock held: it paces the polling and leaves the
// user-interface side a gap only between two cycles. In that gap whoever
// waits for the lock gets it; with nobody waiting the next cycle starts at
// once.
void CLinkWorker::RunNormal() {
    {
        std::lock_guard lock(g_csModel);
        if (!g_bReplyError) {
            m_link.MarkCycleStart();
            m_link.NormalCycle();
        }
        std::this_thread::sleep_for(m_link.Timings().normalCyclePause);
    }
    g_csModel.HandOver(kHandOverLimit);
}
