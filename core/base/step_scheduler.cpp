#include "base/step_scheduler.h"

#include <algorithm>
#include <utility>

// ---- CStepQueue ----

bool CStepQueue::Later(const Entry& a, const Entry& b) {
    if (a.due != b.due) return a.due > b.due;
    return a.nSeq > b.nSeq;
}

void CStepQueue::After(std::chrono::milliseconds delay, std::function<void()> step) {
    const Clock::time_point due = Clock::now() + std::max(delay, std::chrono::milliseconds::zero());
    std::lock_guard lock(m_mutex);
    m_heap.push_back({due, m_nNextSeq++, std::move(step)});
    std::push_heap(m_heap.begin(), m_heap.end(), Later);
}

std::size_t CStepQueue::RunDue(Clock::time_point now) {
    std::vector<Entry> due;
    {
        std::lock_guard lock(m_mutex);
        while (!m_heap.empty() && m_heap.front().due <= now) {
            std::pop_heap(m_heap.begin(), m_heap.end(), Later);
            due.push_back(std::move(m_heap.back()));
            m_heap.pop_back();
        }
    }
    // Run without the lock: a step may ask for the next one, which then
    // waits for a later call.
    for (Entry& entry : due) {
        if (entry.step) entry.step();
    }
    return due.size();
}

std::optional<CStepQueue::Clock::time_point> CStepQueue::NextDue() const {
    std::lock_guard lock(m_mutex);
    if (m_heap.empty()) return std::nullopt;
    return m_heap.front().due;
}

std::size_t CStepQueue::Size() const {
    std::lock_guard lock(m_mutex);
    return m_heap.size();
}

void CStepQueue::Clear() {
    std::vector<Entry> dropped;
    {
        std::lock_guard lock(m_mutex);
        dropped.swap(m_heap);
    }
    // The steps' captures are destroyed here, outside the lock.
}

// ---- CStepGuard ----

CStepGuard::CStepGuard(IStepScheduler* scheduler)
    : m_pScheduler(scheduler), m_token(std::make_shared<Token>()) {}

CStepGuard::~CStepGuard() {
    Cancel();
}

void CStepGuard::After(std::chrono::milliseconds delay, std::function<void()> step) {
    if (m_pScheduler == nullptr) return;
    ++m_token->nPending;
    m_pScheduler->After(delay, [weak = std::weak_ptr<Token>(m_token), step = std::move(step)] {
        const std::shared_ptr<Token> token = weak.lock();
        if (!token) return;
        --token->nPending;
        step();
    });
}

std::function<void()> CStepGuard::Guarded(std::function<void()> step) const {
    return [weak = std::weak_ptr<Token>(m_token), step = std::move(step)] {
        if (weak.lock()) step();
    };
}

void CStepGuard::Cancel() {
    m_token = std::make_shared<Token>();
}

int CStepGuard::Pending() const {
    return m_token->nPending;
}
