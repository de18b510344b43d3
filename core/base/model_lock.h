#pragma once
// The model lock: a recursive lock whose holder between two link cycles can
// hand it over to the threads that are waiting for it.
//
// A plain mutex is not fair. The link worker releases the lock after a cycle
// and takes it again a few microseconds later; a thread woken by the release
// that the scheduler does not run within that time finds the lock taken and
// waits a whole second cycle. So the worker, once it has released the lock,
// calls HandOver: when somebody waits, it waits (bounded) until every one of
// them has taken the lock before it goes on; when nobody does, it returns at
// once.
//
// A thread that must not block while it waits (the user-interface thread in
// a drag) asks through a GapRequest instead: it counts as waiting, and the
// next release of the lock calls its `ready`, which wakes it to take the lock
// while the worker waits for it.
//
// `Mutex` is the plain (non-recursive) mutex underneath; tests put one there
// whose woken waiters run late, as on a busy machine.

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <thread>
#include <utility>
#include <vector>

template <class Mutex>
class BasicModelLock {
public:
    BasicModelLock() = default;
    BasicModelLock(const BasicModelLock&) = delete;
    BasicModelLock& operator=(const BasicModelLock&) = delete;

    // ---- Lockable (std::lock_guard, std::unique_lock) ----
    void lock() {
        if (Reenter()) return;
        if (!m_mutex.try_lock()) {
            {
                std::lock_guard gap(m_gapMutex);
                ++m_nWaiting;
            }
            m_mutex.lock();
            Served();
        }
        Own();
    }

    bool try_lock() {
        if (Reenter()) return true;
        if (!m_mutex.try_lock()) return false;
        Own();
        return true;
    }

    void unlock() {
        if (--m_nDepth > 0) return;
        m_owner.store(std::thread::id(), std::memory_order_relaxed);
        m_mutex.unlock();
        if (m_nUncalled.load() > 0) CallRequests();
    }

    // ---- Hand-over ----
    // Called by a thread that has just released the lock and means to take
    // it again: lets every thread waiting for it take it first. Returns true
    // at once when none waits; otherwise when all that wait have taken it
    // (or withdrawn their request), false when `limit` passed first.
    bool HandOver(std::chrono::steady_clock::duration limit) {
        if (m_nWaiting.load() == 0) return true;
        std::unique_lock gap(m_gapMutex);
        return m_served.wait_for(gap, limit, [this] { return m_nWaiting.load() == 0; });
    }

    // Threads blocked in lock() plus requests asked and not yet withdrawn.
    int Waiting() const { return m_nWaiting.load(); }

    // A wish to take the lock at its next release without blocking until
    // then. `ready` runs once per Ask, on the thread that releases the lock
    // (or in Ask when nobody holds it), so it must only wake the asking
    // thread; that thread then takes the lock and calls Withdraw.
    class GapRequest {
    public:
        GapRequest(BasicModelLock& lock, std::function<void()> ready)
            : m_lock(lock), m_ready(std::move(ready)) {
            std::lock_guard gap(m_lock.m_gapMutex);
            m_lock.m_requests.push_back(this);
        }
        // Withdraws: `ready` is never called after this returns.
        ~GapRequest() {
            std::lock_guard gap(m_lock.m_gapMutex);
            WithdrawLocked();
            auto& all = m_lock.m_requests;
            all.erase(std::remove(all.begin(), all.end(), this), all.end());
        }
        GapRequest(const GapRequest&) = delete;
        GapRequest& operator=(const GapRequest&) = delete;

        // Counts as waiting from now on; nothing when already asked.
        void Ask() {
            {
                std::lock_guard gap(m_lock.m_gapMutex);
                if (m_bAsked) return;
                m_bAsked = true;
                m_bCalled = false;
                ++m_lock.m_nWaiting;
                ++m_lock.m_nUncalled;
            }
            // Released between the asker's failed try and now: nobody else
            // will call it until the next release.
            if (m_lock.m_owner.load(std::memory_order_relaxed) == std::thread::id())
                m_lock.CallRequests();
        }
        // The asking thread holds the lock now, or no longer wants it.
        void Withdraw() {
            {
                std::lock_guard gap(m_lock.m_gapMutex);
                WithdrawLocked();
            }
            m_lock.m_served.notify_all();
        }
        bool Asked() const {
            std::lock_guard gap(m_lock.m_gapMutex);
            return m_bAsked;
        }

    private:
        friend class BasicModelLock;

        void WithdrawLocked() {
            if (!m_bAsked) return;
            m_bAsked = false;
            if (!m_bCalled) --m_lock.m_nUncalled;
            --m_lock.m_nWaiting;
        }

        BasicModelLock& m_lock;
        std::function<void()> m_ready;
        bool m_bAsked = false;   // under the lock's m_gapMutex
        bool m_bCalled = false;  // `ready` ran for this Ask
    };

private:
    bool Reenter() {
        if (m_owner.load(std::memory_order_relaxed) != std::this_thread::get_id()) return false;
        ++m_nDepth;
        return true;
    }
    void Own() {
        m_owner.store(std::this_thread::get_id(), std::memory_order_relaxed);
        m_nDepth = 1;
    }
    void Served() {
        {
            std::lock_guard gap(m_gapMutex);
            --m_nWaiting;
        }
        m_served.notify_all();
    }
    void CallRequests() {
        std::lock_guard gap(m_gapMutex);
        for (GapRequest* request : m_requests) {
            if (!request->m_bAsked || request->m_bCalled) continue;
            request->m_bCalled = true;
            --m_nUncalled;
            if (request->m_ready) request->m_ready();
        }
    }

    Mutex m_mutex;
    std::atomic<std::thread::id> m_owner{};
    int m_nDepth = 0;  // only the owner touches it

    mutable std::mutex m_gapMutex;  // guards the requests and the counts' changes
    std::condition_variable m_served;
    std::atomic<int> m_nWaiting{0};
    std::atomic<int> m_nUncalled{0};  // asked requests whose `ready` has not run
    std::vector<GapRequest*> m_requests;
};

using CModelLock = BasicModelLock<std::mutex>;
