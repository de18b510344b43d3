// A bus thread and a control thread use the device at the same time.

#include <atomic>
#include <thread>

#include "sim_fixture.h"

namespace {

using Concurrency = SimTest;

TEST_F(Concurrency, PollsSeeSourceChangesMadeFromAnotherThread) {
    // Packets are built here, before the threads start: the builders read the
    // host model, which only its own lock guards.
    const auto poll = MakeItemPacket(BT_POLL, 0, 0);
    const std::vector<BYTE> frame(poll->GetBuffer(), poll->GetBuffer() + poll->GetLength());
    Report report{};
    std::copy(frame.begin(), frame.end(), report.begin() + 1);

    std::atomic<bool> sawLast{false};
    std::thread bus([&] {
        for (int i = 0; i < 20000 && !sawLast; ++i) {
            const auto reply = DecodeReply(m_device.HandleOutputReport(report).reports);
            if (reply && reply->data.size() == 12 && reply->data[11] == 5) sawLast = true;
        }
    });
    for (BYTE source : {1, 2, 0, 5}) {
        m_device.SetActiveSource(source);
        (void)m_device.Memory();
        (void)m_device.GetCounts();
    }
    bus.join();

    EXPECT_TRUE(sawLast);
    EXPECT_EQ(m_device.GetCounts().badFrames, 0);
}

}  // namespace
