#include "base/model_lock.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <future>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

using namespace std::chrono_literals;

namespace {

// A mutex on a slow scheduler: a thread woken by the release runs only
// `lateBy` later, and whoever takes the mutex in the meantime keeps it.
class LateWakeMutex {
public:
    static inline std::atomic<std::chrono::milliseconds> lateBy{0ms};

    void lock() {
        std::unique_lock state(m_state);
        while (m_bHeld) {
            m_released.wait(state, [this] { return !m_bHeld; });
            state.unlock();
            std::this_thread::sleep_for(lateBy.load());
            state.lock();
        }
        m_bHeld = true;
    }
    bool try_lock() {
        std::lock_guard state(m_state);
        if (m_bHeld) return false;
        m_bHeld = true;
        return true;
    }
    void unlock() {
        {
            std::lock_guard state(m_state);
            m_bHeld = false;
        }
        m_released.notify_all();
    }

private:
    std::mutex m_state;
    std::condition_variable m_released;
    bool m_bHeld = false;
};

using SlowLock = BasicModelLock<LateWakeMutex>;

// The link worker's rhythm: hold the lock through a cycle, release it, hand
// it over, take it again. Counts the cycles it finished.
class Cycler {
public:
    Cycler(SlowLock& lock, std::chrono::steady_clock::duration handOverLimit)
        : m_lock(lock), m_limit(handOverLimit) {
        m_thread = std::thread([this] { Run(); });
    }
    ~Cycler() {
        m_bStop = true;
        m_thread.join();
    }
    int Done() const { return m_nDone; }
    int HandOversMissed() const { return m_nMissed; }

private:
    void Run() {
        while (!m_bStop) {
            {
                std::lock_guard hold(m_lock);
                std::this_thread::sleep_for(3ms);
                ++m_nDone;
            }
            if (!m_lock.HandOver(m_limit)) ++m_nMissed;
        }
    }

    SlowLock& m_lock;
    std::chrono::steady_clock::duration m_limit;
    std::atomic<bool> m_bStop{false};
    std::atomic<int> m_nDone{0};
    std::atomic<int> m_nMissed{0};
    std::thread m_thread;
};

// Waits until somebody else holds the lock.
void UntilHeldElsewhere(SlowLock& lock) {
    while (lock.try_lock()) {
        lock.unlock();
        std::this_thread::yield();
    }
}

// What the threads of a test did, in the order they did it.
class EventLog {
public:
    void Note(const char* what) {
        std::lock_guard l(m_mutex);
        m_events.emplace_back(what);
    }
    std::vector<std::string> Taken() {
        std::lock_guard l(m_mutex);
        return m_events;
    }

private:
    std::mutex m_mutex;
    std::vector<std::string> m_events;
};

}  // namespace

TEST(ModelLock, AWaiterWokenLateStillGetsTheLockAtTheNextGap) {
    LateWakeMutex::lateBy = 30ms;  // ten cycles of the holder
    struct Case {
        int waiters;
    };
    for (const Case c : {Case{1}, Case{3}}) {
        SCOPED_TRACE("waiters " + std::to_string(c.waiters));
        SlowLock lock;
        Cycler cycler(lock, 1h);
        std::vector<std::future<int>> passed;  // most cycles one waiter saw pass
        for (int w = 0; w < c.waiters; ++w) {
            passed.push_back(std::async(std::launch::async, [&] {
                int most = 0;
                for (int ask = 0; ask < 4; ++ask) {
                    UntilHeldElsewhere(lock);
                    const int before = cycler.Done();
                    std::lock_guard take(lock);
                    most = std::max(most, cycler.Done() - before);
                }
                return most;
            }));
        }
        for (std::future<int>& p : passed)
            EXPECT_LE(p.get(), 1) << "a waiter sat out a whole cycle after the one it asked in";
        EXPECT_EQ(cycler.HandOversMissed(), 0);
    }
}

TEST(ModelLock, HandOverCostsNothingWhenNobodyWaits) {
    SlowLock lock;
    {
        std::lock_guard outer(lock);
        std::lock_guard inner(lock);  // the holder taking it again is no waiter
        EXPECT_EQ(lock.Waiting(), 0);
    }
    // An hour's limit: waiting for anybody here would hang the test.
    EXPECT_TRUE(lock.HandOver(1h));
    EXPECT_TRUE(lock.try_lock()) << "released as often as taken";
    lock.unlock();
}

TEST(ModelLock, AWaiterTheSchedulerRunsTooLateIsLeftForALaterGap) {
    LateWakeMutex::lateBy = 300ms;
    SlowLock lock;
    EventLog events;
    const auto note = [&](const char* what) { events.Note(what); };
    lock.lock();
    std::thread waiter([&] {
        std::lock_guard take(lock);
        note("waiter");
    });
    while (lock.Waiting() == 0)
        std::this_thread::yield();
    lock.unlock();
    EXPECT_FALSE(lock.HandOver(1ms)) << "the waiter had not run yet";
    {
        std::lock_guard again(lock);
        note("holder again");
    }
    waiter.join();
    EXPECT_EQ(events.Taken(), (std::vector<std::string>{"holder again", "waiter"}));
    EXPECT_EQ(lock.Waiting(), 0);
}

TEST(ModelLock, ARequestIsCalledAtTheReleaseAndTheHolderWaitsForItsTake) {
    LateWakeMutex::lateBy = 0ms;
    SlowLock lock;
    EventLog events;
    const auto note = [&](const char* what) { events.Note(what); };
    std::promise<void> readyCalled;
    std::future<void> woken = readyCalled.get_future();
    SlowLock::GapRequest request(lock, [&] {
        note("ready");
        readyCalled.set_value();
    });

    std::promise<void> holding;
    std::thread holder([&] {
        {
            std::lock_guard hold(lock);
            holding.set_value();
            std::this_thread::sleep_for(20ms);
            note("released");
        }
        EXPECT_TRUE(lock.HandOver(1h));
        note("handed over");
    });
    holding.get_future().wait();
    request.Ask();
    EXPECT_TRUE(request.Asked());
    EXPECT_EQ(lock.Waiting(), 1);
    woken.wait();
    {
        std::lock_guard take(lock);
        note("taken");
        request.Withdraw();
        std::this_thread::sleep_for(5ms);  // the holder must still be waiting
    }
    holder.join();
    EXPECT_EQ(events.Taken(),
              (std::vector<std::string>{"released", "ready", "taken", "handed over"}));
    EXPECT_FALSE(request.Asked());
    EXPECT_EQ(lock.Waiting(), 0);
}

TEST(ModelLock, ARequestAskedWhileTheLockIsFreeIsReadyAtOnceAndGoneWithItsOwner) {
    SlowLock lock;
    int calls = 0;
    {
        SlowLock::GapRequest request(lock, [&] { ++calls; });
        request.Ask();
        EXPECT_EQ(calls, 1);
        request.Ask();  // still asked: not called again
        EXPECT_EQ(calls, 1);
        // Never taken: its owner goes away instead.
    }
    EXPECT_EQ(lock.Waiting(), 0);
    EXPECT_TRUE(lock.HandOver(1h));
    { std::lock_guard take(lock); }  // a release calls nobody
    EXPECT_EQ(calls, 1);
}
