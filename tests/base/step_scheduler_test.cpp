#include "base/step_scheduler.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

using namespace std::chrono_literals;
using Clock = CStepQueue::Clock;

namespace {

// Far enough ahead that every step asked for in a test is due.
Clock::time_point Later() {
    return Clock::now() + 1h;
}

}  // namespace

TEST(StepQueue, RunsNothingBeforeItIsDueAndSaysWhenToWake) {
    CStepQueue steps;
    bool ran = false;
    const Clock::time_point before = Clock::now();
    steps.After(50ms, [&] { ran = true; });
    EXPECT_FALSE(ran) << "never run inside After";

    EXPECT_EQ(steps.RunDue(before), 0u);
    EXPECT_FALSE(ran);
    ASSERT_TRUE(steps.NextDue().has_value());
    EXPECT_GE(*steps.NextDue(), before + 50ms);
    EXPECT_LE(*steps.NextDue(), Clock::now() + 50ms);

    EXPECT_EQ(steps.RunDue(Later()), 1u);
    EXPECT_TRUE(ran);
    EXPECT_FALSE(steps.NextDue().has_value());
}

TEST(StepQueue, RunsEarliestFirstAndTiesInTheOrderAskedFor) {
    CStepQueue steps;
    std::string order;
    steps.After(30ms, [&] { order += 'c'; });
    steps.After(10ms, [&] { order += 'a'; });
    steps.After(20ms, [&] { order += 'b'; });
    steps.After(0ms, [&] { order += '1'; });
    steps.After(0ms, [&] { order += '2'; });
    steps.After(-5ms, [&] { order += '3'; });  // a negative delay counts as none
    EXPECT_EQ(steps.RunDue(Later()), 6u);
    EXPECT_EQ(order, "123abc");
}

// A step that keeps asking for itself (a retry) must not keep one call
// running: the loop gets to its messages between two retries.
TEST(StepQueue, AStepAskedForWhileRunningWaitsForTheNextCall) {
    CStepQueue steps;
    int runs = 0;
    std::function<void()> retry = [&] {
        ++runs;
        steps.After(0ms, retry);
    };
    steps.After(0ms, retry);
    EXPECT_EQ(steps.RunDue(Later()), 1u);
    EXPECT_EQ(runs, 1);
    EXPECT_EQ(steps.Size(), 1u);
    EXPECT_EQ(steps.RunDue(Later()), 1u);
    EXPECT_EQ(runs, 2);
    steps.Clear();
    EXPECT_EQ(steps.RunDue(Later()), 0u);
    EXPECT_EQ(runs, 2);
}

TEST(StepGuard, DropsItsStepsWhenCancelledOrGone) {
    CStepQueue steps;
    std::string ran;
    auto guard = std::make_unique<CStepGuard>(&steps);
    guard->After(0ms, [&] { ran += 'x'; });
    guard->After(5ms, [&] { ran += 'y'; });
    EXPECT_EQ(guard->Pending(), 2);
    guard->Cancel();
    EXPECT_EQ(guard->Pending(), 0);

    guard->After(0ms, [&] { ran += 'a'; });
    guard->After(5ms, [&] { ran += 'b'; });
    steps.After(10ms, [&] { ran += 'c'; });  // asked for without the guard
    steps.RunDue(Clock::now());
    EXPECT_EQ(ran, "a");
    EXPECT_EQ(guard->Pending(), 1);

    // A follow-up handed to someone else is guarded the same way.
    const std::function<void()> followUp = guard->Guarded([&] { ran += 'f'; });
    followUp();
    EXPECT_EQ(ran, "af");

    guard.reset();
    steps.RunDue(Later());
    followUp();
    EXPECT_EQ(ran, "afc");
}
