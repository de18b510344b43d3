// The link worker's events and lifecycle, and the front end's message queue.

#include <thread>

#include "connection/connection_fixture.h"

namespace conn_test {
namespace {

struct EventCase {
    std::vector<WorkerEvent> set;
    std::optional<WorkerEvent> wins;
};

// Stop wins over upgrade, upgrade over normal; events stay set until reset.
TEST(WorkerEventsTest, FirstSetEventInPriorityOrderWins) {
    const EventCase cases[] = {
        {{}, std::nullopt},
        {{WorkerEvent::Normal}, WorkerEvent::Normal},
        {{WorkerEvent::Normal, WorkerEvent::Upgrade}, WorkerEvent::Upgrade},
        {{WorkerEvent::Upgrade, WorkerEvent::Stop}, WorkerEvent::Stop},
        {{WorkerEvent::Normal, WorkerEvent::Stop, WorkerEvent::Upgrade}, WorkerEvent::Stop},
    };
    for (const EventCase& c : cases) {
        CWorkerEvents events;
        for (WorkerEvent e : c.set)
            events.Set(e);
        EXPECT_EQ(events.WaitAny(1ms), c.wins) << c.set.size() << " set";
        EXPECT_EQ(events.WaitAny(1ms), c.wins) << "manual reset: still set";
    }
}

TEST(WorkerEventsTest, WaitEndsWhenAnotherThreadSetsAnEvent) {
    CWorkerEvents events;
    std::thread setter([&] {
        std::this_thread::sleep_for(5ms);
        events.Set(WorkerEvent::Normal);
    });
    EXPECT_EQ(events.WaitAny(kGenerousWait), WorkerEvent::Normal);
    setter.join();
    events.Reset(WorkerEvent::Normal);
    EXPECT_FALSE(events.IsSet(WorkerEvent::Normal));
}

class CountingUpgradeCycle : public IUpgradeCycle {
public:
    void RunUpgradeCycle(CHidLink&, const std::atomic<bool>&) override {
        ++cycles;
        std::this_thread::sleep_for(1ms);
    }
    std::atomic<int> cycles{0};
};

using LinkWorkerTest = ConnectionTest;

TEST_F(LinkWorkerTest, StartAndStopSetTheLinkFlags) {
    CLinkWorker& worker = m_manager.Worker();
    g_bReplyError = true;
    worker.StartLink(false);
    EXPECT_TRUE(worker.Exists());
    EXPECT_TRUE(g_bDeviceOpen);
    EXPECT_FALSE(g_bReplyError);
    EXPECT_TRUE(worker.Events()->IsSet(WorkerEvent::Normal));

    worker.StartLink(true);  // an existing worker is left as it is
    EXPECT_FALSE(worker.Events()->IsSet(WorkerEvent::Upgrade));

    worker.StopLink();
    EXPECT_FALSE(worker.Exists());
    EXPECT_FALSE(worker.IsAlive());
    EXPECT_FALSE(g_bDeviceOpen);
    worker.StopLink();  // nothing to stop
}

// Upgrade cycles run back to back through the hook until the update has
// finished; then the upgrade event is reset and the worker idles.
TEST_F(LinkWorkerTest, UpgradeCyclesRunUntilTheUpdateHasFinished) {
    CLinkWorker& worker = m_manager.Worker();
    CountingUpgradeCycle hook;
    worker.SetUpgradeCycle(&hook);
    g_bUpgrading = true;
    worker.StartLink(true);
    EXPECT_TRUE(RunUntil([&] { return hook.cycles >= 3; }));

    g_bUpgradeFinished = true;
    EXPECT_TRUE(RunUntil([&] { return !worker.Events()->IsSet(WorkerEvent::Upgrade); }));
    const int cycles = hook.cycles;
    worker.StopLink();
    EXPECT_EQ(hook.cycles, cycles);
}

TEST_F(LinkWorkerTest, UpgradeWithoutAHookIsNotRun) {
    CLinkWorker& worker = m_manager.Worker();
    worker.StartLink(true);
    EXPECT_TRUE(RunUntil([&] { return !worker.Events()->IsSet(WorkerEvent::Upgrade); }));
    worker.StopLink();
}

TEST(MessageQueueTest, MessagesFromManyThreadsArriveInOrderPerThread) {
    CMessageQueue queue;
    constexpr int kPerThread = 200;
    std::vector<std::thread> posters;
    for (unsigned t = 0; t < 3; ++t) {
        posters.emplace_back([&queue, t] {
            for (int i = 0; i < kPerThread; ++i)
                queue.Post(t, static_cast<std::uintptr_t>(i), 0);
        });
    }
    std::vector<int> next(3, 0);
    int received = 0;
    const bool all = queue.RunUntil(
        [&](const UiMessage& m) {
            EXPECT_EQ(static_cast<int>(m.wParam), next[m.msg]++);
            ++received;
        },
        [&] { return received == 3 * kPerThread; }, CMessageQueue::Clock::now() + kGenerousWait);
    for (auto& poster : posters)
        poster.join();
    EXPECT_TRUE(all);
    EXPECT_EQ(queue.Size(), 0u);
}

TEST(MessageQueueTest, RunUntilGivesUpAtTheDeadline) {
    CMessageQueue queue;
    const bool met = queue.RunUntil([](const UiMessage&) {}, [] { return false; },
                                    CMessageQueue::Clock::now() + 5ms);
    EXPECT_FALSE(met);
}

// A handler that posts again must not keep one drain going for ever.
TEST(MessageQueueTest, DispatchPendingLeavesWhatHandlersPostForLater) {
    CMessageQueue queue;
    queue.Post(1, 0, 0);
    queue.Post(2, 0, 0);
    int handled = 0;
    const auto repost = [&](const UiMessage& m) {
        ++handled;
        queue.Post(m.msg, 0, 0);
    };
    EXPECT_EQ(queue.DispatchPending(repost), 2u);
    EXPECT_EQ(handled, 2);
    EXPECT_EQ(queue.Size(), 2u);
}

// The queue is the loop that drives the core's steps: they run in the order
// they fall due, between messages, and a wait does not sleep past the next one.
TEST(MessageQueueTest, StepsRunBetweenMessagesAndEndTheWaitWhenDue) {
    CMessageQueue queue;
    std::string seen;
    const auto record = [&](const UiMessage& m) { seen += static_cast<char>(m.msg); };
    queue.Post('m', 0, 0);
    queue.Steps().After(0ms, [&] {
        seen += 's';
        queue.Post('n', 0, 0);
    });
    EXPECT_EQ(queue.DispatchPending(record), 2u);
    EXPECT_EQ(seen, "smn");

    // A chain of steps with no message at all: with the recheck as long as
    // the whole wait, only waits bounded by the next step let it finish.
    int chained = 0;
    std::function<void()> next = [&] {
        if (++chained < 3) queue.Steps().After(1ms, next);
    };
    queue.Steps().After(1ms, next);
    const auto start = CMessageQueue::Clock::now();
    EXPECT_TRUE(queue.RunUntil(
        record, [&] { return chained == 3; }, start + kGenerousWait, kGenerousWait));
    EXPECT_LT(CMessageQueue::Clock::now() - start, kGenerousWait);
}

}  // namespace
}  // namespace conn_test
