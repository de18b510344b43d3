#pragma once
// Waits that a front end performs itself (the pause before a disconnected
// device is closed, the search for a device to update) are steps that its
// event loop runs later, never sleeps on its user-interface thread. The core
// asks for them through IStepScheduler:
//   - the desktop application implements it with single-shot timers on its
//     event loop (QTimer::singleShot with a context object);
//   - the command-line tool and the tests use CStepQueue, which the loop that
//     drains their messages drives (CMessageQueue does so by itself).
// CStepGuard lets an owner drop the steps it asked for when it goes away or
// moves on.

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <vector>

class IStepScheduler {
public:
    virtual ~IStepScheduler() = default;
    // Runs `step` on the user-interface thread once `delay` has passed; never
    // from inside this call, even for a zero delay. Steps due at the same
    // time run in the order they were asked for. Called on the
    // user-interface thread.
    virtual void After(std::chrono::milliseconds delay, std::function<void()> step) = 0;
};

// A timer queue driven by its owner's loop: RunDue runs what is due, NextDue
// says how long the loop may sleep.
class CStepQueue final : public IStepScheduler {
public:
    using Clock = std::chrono::steady_clock;

    void After(std::chrono::milliseconds delay, std::function<void()> step) override;

    // Runs every step due at `now`, earliest first, and returns how many ran.
    // A step asked for while this runs waits for a later call, even when it
    // is already due, so that one call always ends.
    std::size_t RunDue(Clock::time_point now = Clock::now());
    // When the earliest waiting step is due; nothing when none waits.
    std::optional<Clock::time_point> NextDue() const;
    std::size_t Size() const;
    // Forgets every waiting step without running it (those a running RunDue
    // has taken already still run).
    void Clear();

private:
    struct Entry {
        Clock::time_point due;
        std::uint64_t nSeq;  // ties run in the order they were asked for
        std::function<void()> step;
    };
    static bool Later(const Entry& a, const Entry& b);

    mutable std::mutex m_mutex;
    std::vector<Entry> m_heap;  // a min-heap on (due, nSeq)
    std::uint64_t m_nNextSeq = 0;
};

// The steps one owner asked for. Cancel() and the destructor drop those not
// yet run, so a step never runs for an owner that is gone or for a sequence
// that a newer one replaced. The scheduler must outlive the guard's steps or
// drop them itself. Without a scheduler the guard only guards (Guarded).
class CStepGuard {
public:
    explicit CStepGuard(IStepScheduler* scheduler = nullptr);
    ~CStepGuard();
    CStepGuard(const CStepGuard&) = delete;
    CStepGuard& operator=(const CStepGuard&) = delete;

    // Only with a scheduler.
    void After(std::chrono::milliseconds delay, std::function<void()> step);
    // `step` wrapped so that it does nothing once the guard is cancelled or
    // gone: for a follow-up that someone else runs later.
    std::function<void()> Guarded(std::function<void()> step) const;
    void Cancel();
    // Steps asked for through this guard that have neither run nor been cancelled.
    int Pending() const;
    IStepScheduler* Scheduler() const { return m_pScheduler; }

private:
    struct Token {
        int nPending = 0;
    };

    IStepScheduler* m_pScheduler;
    std::shared_ptr<Token> m_token;
};
