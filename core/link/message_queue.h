#pragma once
// CMessageQueue: the message sink every front end drains. Any thread posts;
// the front end's own thread dispatches the messages to its handlers, in
// order. A front end without a window system waits on the queue (RunUntil);
// one with an event loop gives a wake hook and drains when it is called.

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <optional>

#include "base/messages.h"

struct UiMessage {
    unsigned msg = 0;
    std::uintptr_t wParam = 0;
    std::intptr_t lParam = 0;
    MessageReceiver receiver = MessageReceiver::MainView;
};

class CMessageQueue : public IMessageSink {
public:
    using Clock = std::chrono::steady_clock;
    using Handler = std::function<void(const UiMessage&)>;

    void Post(unsigned msg, std::uintptr_t wParam, std::intptr_t lParam) override;
    void PostTo(MessageReceiver receiver, unsigned msg, std::uintptr_t wParam,
                std::intptr_t lParam) override;

    // Called on the posting thread when a message arrives and no wake is
    // outstanding: the front end schedules one drain from it (it must not
    // block or dispatch). A wake is outstanding from the call until the next
    // DispatchPending begins, so messages posted meanwhile ride on it.
    void SetWakeHook(std::function<void()> wake);

    // The oldest message, waiting for one up to the time-out.
    std::optional<UiMessage> Wait(Clock::duration timeout);
    // Waits up to the time-out for one message and hands it to the handler;
    // false when none came.
    bool WaitAndDispatch(const Handler& handler, Clock::duration timeout);
    // Dispatches messages until the condition holds or the dead-line passes;
    // the result is the condition's last value. The condition is checked
    // after every message and at least every `recheck`, so it may also watch
    // what changes without a message.
    bool RunUntil(const Handler& handler, const std::function<bool()>& condition,
                  Clock::time_point deadline,
                  Clock::duration recheck = std::chrono::milliseconds(10));
    // Dispatches what is queued now without waiting; the number dispatched.
    std::size_t DispatchPending(const Handler& handler);

    std::size_t Size() const;
    void Clear();

private:
    mutable std::mutex m_mutex;
    std::condition_variable m_posted;
    std::deque<UiMessage> m_messages;
    std::function<void()> m_wake;
    bool m_bWakeOutstanding = false;
};
