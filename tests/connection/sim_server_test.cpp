// SimServer: the virtual processor on the bus, with its state file, repeated
// faults and the boot loader's leave-and-return.

#include <filesystem>

#include "connection/connection_fixture.h"
#include "image/record_layout.h"
#include "protocol/frame_builder.h"

namespace conn_test {
namespace {

class SimServerTest : public ConnectionTest {
protected:
    SimServer& AddServer(SimServerOptions options) {
        options.latencyMs = 0;
        return m_host.AddServer(options, m_processor);
    }
};

// A change the host sends is in the state file shortly after, and a new
// device started from that file holds it.
TEST_F(SimServerTest, StateFileKeepsWhatTheHostWrote) {
    SimServerOptions options;
    options.stateFile = m_claimsPath + "/device.state";
    options.saveDelay = 5ms;
    AddServer(options);
    ConnectOnline();
    const int gainAt = OutSlotOffset(1) + kOutGain;
    const int gain = GetWord(m_processor.CurrentImage().data() + gainAt) + 7;
    {
        std::lock_guard lock(g_csModel);
        m_model.GetOutput(1)->SetGain(static_cast<short>(gain));
    }

    CVirtualProcessor restarted;
    const auto savedGain = [&] {
        return std::filesystem::exists(options.stateFile) &&
               restarted.LoadState(options.stateFile) &&
               GetWord(restarted.CurrentImage().data() + gainAt) == gain;
    };
    ASSERT_TRUE(RunUntil(savedGain));
    SimServer again(restarted, options);
    EXPECT_TRUE(again.LoadState().Ok());
}

TEST_F(SimServerTest, RefusedStateFileIsNeitherUsedNorOverwritten) {
    SimServerOptions options;
    options.stateFile = m_claimsPath + "/broken.state";
    {
        std::FILE* file = std::fopen(options.stateFile.c_str(), "w");
        ASSERT_NE(file, nullptr);
        std::fputs("not a state file", file);
        std::fclose(file);
    }
    SimServer server(m_processor, options);
    EXPECT_FALSE(server.LoadState().Ok());
    server.SetActiveSource(2);
    EXPECT_FALSE(server.SaveState());
    EXPECT_EQ(std::filesystem::file_size(options.stateFile), 16u);
}

// Every third request asks to be sent again: the host writes it again each
// time and still reads the device out completely, without a failure.
TEST_F(SimServerTest, RepeatedResendRequestsAreRidden) {
    SimServerOptions options;
    options.faults.resendEvery = 3;
    AddServer(options);
    ConnectOnline();
    EXPECT_GE(m_processor.GetCounts().resendReplies, 5);
    EXPECT_TRUE(Shown().empty());
}

// After the boot command the device answers, leaves the bus and comes back at
// the same path with the same identity.
TEST_F(SimServerTest, BootCommandLeavesTheBusAndComesBack) {
    SimServerOptions options;
    options.rebootAway = 20ms;
    SimServer& server = AddServer(options);
    CHidLink& link = m_manager.Link();
    ASSERT_TRUE(link.OpenFirstMatching());
    const BYTE zeros[16] = {};
    {
        std::lock_guard lock(g_csModel);
        m_cmd.PushPacket(MakeFramePacket({CMD_WRITE, 0, BT_SYSTEM, UPG_BOOT, 0, 0}, zeros, 16));
        link.MarkCycleStart();
        link.NormalCycle();
    }
    EXPECT_EQ(m_cmd.GetCount(), 0) << "the boot step was answered";
    EXPECT_EQ(link.ReadInReport(1s).eStatus, IoStatus::Gone);
    link.Close();

    ASSERT_TRUE(RunUntil([&] { return server.IsPlugged() && link.OpenFirstMatching(); }));
    EXPECT_EQ(g_strDevicePath.Get(), server.InterfacePath());
    EXPECT_TRUE(m_processor.InBootLoader());
}

}  // namespace
}  // namespace conn_test
