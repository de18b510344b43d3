// CHidLink's cycles one at a time, on the test's thread, against the virtual
// processor: what is written when, and how a missing or broken reply ends a
// cycle.

#include <thread>

#include "connection/connection_fixture.h"
#include "link/claims.h"
#include "link/vhid_device.h"
#include "protocol/frame_builder.h"

namespace conn_test {
namespace {

using Fault = CVirtualProcessor::Fault;

class HidLinkTest : public ConnectionTest {
protected:
    CHidLink& Link() { return m_manager.Link(); }

    // One cycle as the worker runs it.
    void Cycle() {
        std::lock_guard lock(g_csModel);
        Link().MarkCycleStart();
        Link().NormalCycle();
    }
    int Frames() { return m_processor.GetCounts().frames; }
    int Posted(unsigned msg) {
        DrainPending();
        return Seen(msg);
    }
};

TEST_F(HidLinkTest, EmptyQueueQueuesThePollAndTheNextCycleSendsIt) {
    AddDevice();
    ASSERT_TRUE(Link().OpenFirstMatching()) << Link().LastError();

    Cycle();
    EXPECT_EQ(Frames(), 0) << "nothing is written in the cycle that queues the poll";
    EXPECT_EQ(m_cmd.GetCount(), 1);

    Cycle();
    EXPECT_EQ(m_processor.GetCounts().statusPolls, 1);
    EXPECT_EQ(m_cmd.GetCount(), 0) << "the reply removed the poll";
    EXPECT_EQ(Posted(UM_LINK_FAILED), 0);
}

// Only a reply removes a packet, and only a resend request rewinds it: a
// packet whose reply was lost is read for again, not written again.
TEST_F(HidLinkTest, UnansweredHeadIsNotWrittenAgain) {
    AddDevice();
    ASSERT_TRUE(Link().OpenFirstMatching());
    m_processor.InjectFault(Fault::DropReply, 1);
    {
        std::lock_guard lock(g_csModel);
        m_cmd.PushPacket(MakeSystemRead(SYS_SETTINGS, 0));
    }

    Cycle();
    EXPECT_EQ(Frames(), 1);
    EXPECT_EQ(Posted(UM_LINK_FAILED), 1) << "the read timed out";
    Cycle();
    EXPECT_EQ(Frames(), 1) << "the head went out once";
    EXPECT_EQ(m_cmd.GetCount(), 1);
    EXPECT_EQ(Posted(UM_LINK_FAILED), 2);
}

// A device that keeps sending reports that never make a frame does not keep
// the cycle (and the model lock) forever.
TEST_F(HidLinkTest, ChatterWithoutAFrameEndsAtTheCycleLimit) {
    VhidDevice device(m_busPath, "chatty", kVendorId, kProductId, kDeviceVersion);
    ASSERT_TRUE(device.Start().Ok());
    ASSERT_TRUE(Link().OpenFirstMatching());
    std::atomic<bool> stop{false};
    std::thread chatter([&] {
        while (!stop) {
            device.SendReport(HidReport{});
            std::this_thread::sleep_for(5ms);
        }
    });
    {
        std::lock_guard lock(g_csModel);
        m_cmd.PushPacket(MakeSystemRead(SYS_SETTINGS, 0));
        Link().MarkCycleStart();
        EXPECT_TRUE(Link().WriteHead());
        EXPECT_FALSE(Link().ReadReply());
    }
    stop = true;
    chatter.join();
    EXPECT_EQ(Posted(UM_LINK_FAILED), 1);
}

// An unplugged device fails every read at once: the failure is reported once,
// not once per cycle until the front end gets round to it.
TEST_F(HidLinkTest, GoneDeviceIsReportedOnce) {
    SimServer& server = AddDevice();
    ASSERT_TRUE(Link().OpenFirstMatching());
    server.Unplug();
    {
        std::lock_guard lock(g_csModel);
        m_cmd.PushPacket(MakeSystemRead(SYS_SETTINGS, 0));
    }
    for (int i = 0; i < 5; ++i)
        Cycle();
    EXPECT_EQ(Posted(UM_LINK_FAILED), 1);
}

// The user-interface side closing the link ends a cycle without a word.
TEST_F(HidLinkTest, ClearedDeviceOpenFlagEndsTheCycleQuietly) {
    AddDevice();
    ASSERT_TRUE(Link().OpenFirstMatching());
    {
        std::lock_guard lock(g_csModel);
        m_cmd.PushPacket(MakeSystemRead(SYS_SETTINGS, 0));
    }
    g_bDeviceOpen = false;
    Cycle();
    EXPECT_EQ(Frames(), 0);
    EXPECT_EQ(Posted(UM_LINK_FAILED), 0);
}

TEST_F(HidLinkTest, CloseResetsTheLinkAndDropsTheClaim) {
    SimServer& server = AddDevice();
    ASSERT_TRUE(Link().OpenPath(server.InterfacePath()));
    EXPECT_TRUE(g_bDeviceOpen);
    EXPECT_EQ(g_strDevicePath.Get(), server.InterfacePath());
    EXPECT_FALSE(IsPathFree(server.InterfacePath()));
    Link().InReport().fill(0x5A);

    Link().Close();
    EXPECT_FALSE(Link().IsOpen());
    EXPECT_FALSE(g_bDeviceOpen);
    EXPECT_TRUE(IsPathFree(server.InterfacePath()));
    EXPECT_EQ(Link().InReport(), HidReport{});
}

TEST_F(HidLinkTest, OpenFailuresSayWhy) {
    EXPECT_FALSE(Link().OpenFirstMatching());
    EXPECT_FALSE(Link().LastError().empty());
    EXPECT_FALSE(Link().OpenPath("vhid:" + m_busPath + "/absent.sock"));
    EXPECT_NE(Link().LastError().find("absent.sock"), std::string::npos) << Link().LastError();
    EXPECT_FALSE(g_bDeviceOpen);
}

}  // namespace
}  // namespace conn_test
