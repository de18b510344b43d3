#pragma once
// CMessageQueue: the message sink every front end drains. Any thread posts;
// the front end's own thread dispatches the messages to its handlers, in
// order. A front end with an event loop gives a wake hook and drains when it
// is called. One without (the command-line tool, tests) waits on the queue,
// which is then that thread's event loop too: the steps asked for through
// Steps() run between messages when they are due, and no wait outlasts the
// next one.

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <optional>

#include "base/messages.h"
#include "base/step_scheduler.h"

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
    // Runs the due steps, waits up to the time-out (or until the next step
    // is due) for one message and hands it to the handler, then runs the
    // steps due by then; false when no message came.
    bool WaitAndDispatch(const Handler& handler, Clock::duration timeout);
    // Dispatches messages until the condition holds or the dead-line passes;
    // the result is the condition's last value. The condition is checked
    // after every message and at least every `recheck`, so it may also watch
    // what changes without a message.
    bool RunUntil(const Handler& handler, const std::function<bool()>& condition,
                  Clock::time_point deadline,
                  Clock::duration recheck = std::chrono::milliseconds(10));
    // Dispatches what is queued now, and runs the due steps, without
    // waiting; the number of messages dispatched.
    std::size_t DispatchPending(const Handler& handler);

    // The scheduler of this loop, for the core's waits.
    CStepQueue& Steps() { return m_steps; }

    std::size_t Size() const;
    // Drops the queued messages (not the steps).
    void Clear();

private:
    Clock::duration UntilNextStep(Clock::duration timeout) const;

    mutable std::mutex m_mutex;
    std::condition_variable m_posted;
    std::deque<UiMessage> m_messages;
    CStepQueue m_steps;
    std::function<void()> m_wake;
    bool m_bWakeOutstanding = false;
};
