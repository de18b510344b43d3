#pragma once
// CLinkWorker: the one thread that talks to the device while a link is up.
// It waits on three manual-reset events (stop, upgrade, normal); while one
// stays set it runs that kind of cycle back to back. Normal cycles hold
// g_csModel for the whole write/read and the pause after it, so the queue
// never changes in the middle of a cycle and a batch queued by the
// user-interface side is never interleaved with polling. Between two cycles
// the worker hands the lock over to whoever waits for it.

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>

#include "link/upgrade_hook.h"

class CHidLink;

enum class WorkerEvent { Stop, Upgrade, Normal };

// Three manual-reset events; a wait reports the first set one in the order
// stop, upgrade, normal.
class CWorkerEvents {
public:
    void Set(WorkerEvent event);
    void Reset(WorkerEvent event);
    bool IsSet(WorkerEvent event) const;
    // The winning set event, or nothing when none was set within the time-out.
    std::optional<WorkerEvent> WaitAny(std::chrono::milliseconds timeout);

private:
    std::optional<WorkerEvent> FirstSet() const;

    mutable std::mutex m_mutex;
    std::condition_variable m_changed;
    bool m_abSet[3] = {false, false, false};
};

class CLinkWorker {
public:
    explicit CLinkWorker(CHidLink& link);
    ~CLinkWorker();
    CLinkWorker(const CLinkWorker&) = delete;
    CLinkWorker& operator=(const CLinkWorker&) = delete;

    // The update's cycle; without one an upgrade event is simply reset.
    void SetUpgradeCycle(IUpgradeCycle* cycle) { m_pUpgradeCycle = cycle; }

    // Clears g_bReplyError; without a worker creates one whose first event is
    // upgrade (when `upgrade` or g_bUpgrading is set) or normal; an existing
    // worker is left as it is. Sets g_bDeviceOpen in both cases.
    void StartLink(bool upgrade);
    // Sets stop until the worker has ended and clears g_bDeviceOpen. A
    // worker stuck in a read longer than a whole cycle may take is cut short
    // by aborting the link's I/O. Does nothing without a worker.
    void StopLink();

    // StopLink in steps, for a thread that must not wait for the worker's
    // cycle to end: RequestStop, then poll HasEnded (AbortIo on the link
    // once LongestCycle has passed), then StopLink, which returns at once.
    void RequestStop();
    // No worker, or its thread has left its loop.
    bool HasEnded() const { return !Exists() || !m_bAlive; }
    // The longest a normal cycle may run before its read is cut short.
    std::chrono::steady_clock::duration LongestCycle() const;

    bool Exists() const { return m_thread.joinable(); }
    bool IsAlive() const { return m_bAlive; }
    // Lets the update switch an existing worker between kinds of cycle.
    CWorkerEvents* Events() { return m_events.get(); }

private:
    void Run();
    void RunUpgrade();
    void RunNormal();
    bool WaitUntilEnded(std::chrono::steady_clock::duration limit);

    CHidLink& m_link;
    std::atomic<IUpgradeCycle*> m_pUpgradeCycle{nullptr};
    std::unique_ptr<CWorkerEvents> m_events;
    std::thread m_thread;
    std::atomic<bool> m_bAlive{false};
    std::atomic<bool> m_bStopRequested{false};
    std::mutex m_aliveMutex;
    std::condition_variable m_aliveChanged;
};
