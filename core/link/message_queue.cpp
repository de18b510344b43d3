#include "link/message_queue.h"

#include <algorithm>

void CMessageQueue::Post(unsigned msg, std::uintptr_t wParam, std::intptr_t lParam) {
    PostTo(MessageReceiver::MainView, msg, wParam, lParam);
}

void CMessageQueue::PostTo(MessageReceiver receiver, unsigned msg, std::uintptr_t wParam,
                           std::intptr_t lParam) {
    std::function<void()> wake;
    {
        std::lock_guard lock(m_mutex);
        m_messages.push_back({msg, wParam, lParam, receiver});
        if (m_wake && !m_bWakeOutstanding) {
            m_bWakeOutstanding = true;
            wake = m_wake;
        }
    }
    m_posted.notify_one();
    if (wake) wake();
}

void CMessageQueue::SetWakeHook(std::function<void()> wake) {
    std::lock_guard lock(m_mutex);
    m_wake = std::move(wake);
    m_bWakeOutstanding = false;
}

std::optional<UiMessage> CMessageQueue::Wait(Clock::duration timeout) {
    std::unique_lock lock(m_mutex);
    if (!m_posted.wait_for(lock, timeout, [this] { return !m_messages.empty(); })) {
        return std::nullopt;
    }
    UiMessage message = m_messages.front();
    m_messages.pop_front();
    return message;
}

CMessageQueue::Clock::duration CMessageQueue::UntilNextStep(Clock::duration timeout) const {
    const std::optional<Clock::time_point> due = m_steps.NextDue();
    if (!due) return timeout;
    return std::min(std::max(*due - Clock::now(), Clock::duration::zero()), timeout);
}

bool CMessageQueue::WaitAndDispatch(const Handler& handler, Clock::duration timeout) {
    m_steps.RunDue();
    const std::optional<UiMessage> message = Wait(UntilNextStep(timeout));
    if (message) handler(*message);
    m_steps.RunDue();
    return message.has_value();
}

bool CMessageQueue::RunUntil(const Handler& handler, const std::function<bool()>& condition,
                             Clock::time_point deadline, Clock::duration recheck) {
    while (!condition()) {
        const Clock::time_point now = Clock::now();
        if (now >= deadline) return false;
        WaitAndDispatch(handler, std::min(deadline - now, recheck));
    }
    return true;
}

std::size_t CMessageQueue::DispatchPending(const Handler& handler) {
    // Messages the handlers post meanwhile wait for the next call (and wake it).
    m_steps.RunDue();
    std::size_t queued = 0;
    {
        std::lock_guard lock(m_mutex);
        m_bWakeOutstanding = false;
        queued = m_messages.size();
    }
    std::size_t count = 0;
    while (count < queued && WaitAndDispatch(handler, Clock::duration::zero()))
        ++count;
    return count;
}

std::size_t CMessageQueue::Size() const {
    std::lock_guard lock(m_mutex);
    return m_messages.size();
}

void CMessageQueue::Clear() {
    std::lock_guard lock(m_mutex);
    m_messages.clear();
}
