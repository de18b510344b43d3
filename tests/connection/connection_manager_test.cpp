// The connection manager against the virtual processor on a virtual bus:
// how the link comes up, is identified, read, kept and dropped, and what the
// user is told each time.

#include <cstdio>
#include <cstring>
#include <thread>

#include "connection/connection_fixture.h"
#include "image/record_layout.h"
#include "link/claims.h"
#include "link/vhid_device.h"
#include "protocol/frame_builder.h"
#include "support/device_state.h"

namespace conn_test {
namespace {

using Fault = CVirtualProcessor::Fault;
using test_support::DeviceState;
using test_support::Differences;
using test_support::HostState;
using test_support::StateOf;

std::vector<BYTE> Slice(const ParamImage& image, int offset, int n) {
    return {image.begin() + offset, image.begin() + offset + n};
}

// A processor whose memory differs from the host's start-up contents in every
// area the read-all fetches, so that a copy cannot pass by accident.
void MakeDistinctMemory(CVirtualProcessor& processor) {
    sim::DeviceMemory memory = processor.Memory();
    for (int channel = 0; channel < kOutputCount; ++channel) {
        PutWord(memory.current.data() + OutSlotOffset(channel) + kOutGain, 10 + channel);
    }
    memory.current[kImageMusicOffset + 1] ^= 0x05;
    std::memcpy(memory.groups[2].data(), "Door speakers  ", kNameChars);
    memory.sysSettings[kSysMasterVolume] = 42;
    memory.inputLevels[3] = 7;
    memory.speakerRoles[1] = 9;
    processor.SetMemory(memory);
}

TEST_F(ConnectionTest, StartUpWithoutDeviceIsSilent) {
    ASSERT_TRUE(m_manager.StartWatching());
    PostUiMessage(UM_AUTO_CONNECT);
    DrainPending();

    EXPECT_EQ(Seen(UM_AUTO_CONNECT), 1);
    EXPECT_EQ(m_manager.State(), ConnectionState::Disconnected);
    EXPECT_TRUE(Shown().empty());
    EXPECT_FALSE(g_bOnline);
}

// Plugging the device in connects it and reads it without a click; the model
// then holds what the device holds, byte for byte.
TEST_F(ConnectionTest, ArrivalConnectsAndReadsAll) {
    ASSERT_TRUE(m_manager.StartWatching());
    PostUiMessage(UM_AUTO_CONNECT);
    DrainPending();
    MakeDistinctMemory(m_processor);
    SimServer& server = AddDevice();

    ASSERT_TRUE(RunUntilState(ConnectionState::Online));
    EXPECT_TRUE(g_bOnline);
    EXPECT_EQ(g_strDevicePath.Get(), server.InterfacePath());
    EXPECT_FALSE(IsPathFree(server.InterfacePath())) << "an auto-connected path is claimed";
    EXPECT_TRUE(Shown().empty());
    EXPECT_FALSE(m_manager.IsTransferShown()) << "the read-all's transfer dialog is hidden again";
    EXPECT_EQ(m_states.states, (std::vector{ConnectionState::Connecting, ConnectionState::Reading,
                                            ConnectionState::Online}));

    const DeviceState host = HostState();
    const DeviceState device = StateOf(m_processor.Memory());
    EXPECT_EQ(host, device) << ::testing::PrintToString(Differences(host, device));
}

// Only a device with the processor's identity is opened on arrival.
TEST_F(ConnectionTest, ArrivalOfAnotherHidDeviceIsIgnored) {
    ASSERT_TRUE(m_manager.StartWatching());
    VhidDevice other(m_busPath, "keyboard", kVendorId, kProductId, kDeviceVersion + 1);
    ASSERT_TRUE(other.Start().Ok());

    ASSERT_TRUE(RunUntil([&] { return Seen(UM_DEVICE_CHANGE) > 0 && m_queue.Size() == 0; }));
    EXPECT_EQ(m_manager.State(), ConnectionState::Disconnected);
    EXPECT_FALSE(other.HasSession());
}

struct IdentityCase {
    const char* text;
    bool accepted;
};

class IdentificationTest : public ConnectionTest,
                           public ::testing::WithParamInterface<IdentityCase> {};

// Only the first fifteen characters are compared; a mismatch there is
// dropped without a word and the stale identification blanked.
TEST_P(IdentificationTest, FirstFifteenCharactersDecide) {
    m_processor.SetIdentification(GetParam().text);
    AddDevice();
    m_manager.OnConnectButton();

    if (GetParam().accepted) {
        ASSERT_TRUE(RunUntilState(ConnectionState::Online));
        EXPECT_EQ(m_processor.GetCounts().blockReads, 1 + kOutputCount);
    } else {
        ASSERT_TRUE(RunUntil([&] { return Seen(UM_DEVICE_ID) > 0 && !m_manager.IsConnected(); }));
        std::array<BYTE, kDeviceModelSize> blank;
        blank.fill(' ');
        EXPECT_EQ(g_DeviceModel, blank);
        EXPECT_EQ(m_processor.GetCounts().blockReads, 0) << "no read-all for another model";
        EXPECT_EQ(m_cmd.GetCount(), 0);
        EXPECT_FALSE(g_bOnline);
    }
    EXPECT_TRUE(Shown().empty());
}

INSTANTIATE_TEST_SUITE_P(
    Identities, IdentificationTest,
    ::testing::Values(IdentityCase{"TQR-905-31EQ-V3.0", true},
                      IdentityCase{"TQR-905-31EQ-V3.9", true},   // minor version: 16th on
                      IdentityCase{"TQR-905-31EQ-V3", true},     // nothing after the 15th
                      IdentityCase{"TQR-905-31EQ-V2.0", false},  // older major version
                      IdentityCase{"tqr-905-31EQ-V3.0", false},  // case counts
                      IdentityCase{"TQR-905-31EQ-V", false}));   // too short

TEST_F(ConnectionTest, ConnectButtonToggles) {
    SimServer& server = AddDevice();
    ConnectOnline();

    DisconnectWithButton();
    EXPECT_FALSE(g_bOnline);
    EXPECT_FALSE(g_bDeviceOpen);
    EXPECT_TRUE(IsPathFree(server.InterfacePath())) << "the claim goes with the link";

    ConnectOnline();
    EXPECT_TRUE(Shown().empty());
}

TEST_F(ConnectionTest, ConnectButtonWithoutDeviceSaysUnableToConnect) {
    m_manager.OnConnectButton();
    DrainPending();
    EXPECT_EQ(Shown(), std::vector{TextId::UnableToConnect});
    EXPECT_EQ(m_manager.State(), ConnectionState::Disconnected);
}

TEST_F(ConnectionTest, RemovalWhileOnlineSaysUnableToConnect) {
    ASSERT_TRUE(m_manager.StartWatching());
    SimServer& server = AddDevice();
    ASSERT_TRUE(RunUntilState(ConnectionState::Online));

    const int before = Seen(UM_DEVICE_CHANGE);
    server.Unplug();
    ASSERT_TRUE(RunUntil([&] { return !Shown().empty(); }));
    EXPECT_EQ(m_manager.State(), ConnectionState::Disconnected);
    EXPECT_FALSE(g_bOnline);
    // Whichever noticed first (the removal or the worker), it is told once.
    ASSERT_TRUE(RunUntil([&] { return Seen(UM_DEVICE_CHANGE) > before; }));
    DrainPending();
    EXPECT_EQ(Shown(), std::vector{TextId::UnableToConnect});
}

// Stands in for the firmware update's cycle: the device is away, nothing to do.
class IdleUpgradeCycle : public IUpgradeCycle {
public:
    void RunUpgradeCycle(CHidLink&, const std::atomic<bool>&) override {
        std::this_thread::sleep_for(2ms);
    }
};

struct RemovalCase {
    int lastCommand;
    bool reported;
};

class RemovalDuringUpdateTest : public ConnectionTest,
                                public ::testing::WithParamInterface<RemovalCase> {};

// After the boot command or the device search the device restarts into its
// loader and leaves the bus: expected, so nothing is shown and the link stays.
TEST_P(RemovalDuringUpdateTest, OnlyBootAndSearchExcuseARemoval) {
    ASSERT_TRUE(m_manager.StartWatching());
    SimServer& server = AddDevice();
    ASSERT_TRUE(RunUntilState(ConnectionState::Online));
    IdleUpgradeCycle idle;
    m_manager.StopLink();
    m_manager.Worker().SetUpgradeCycle(&idle);
    g_bUpgrading = true;
    m_manager.StartLink(true);
    g_nLastUpgradeCommand = GetParam().lastCommand;

    const int before = Seen(UM_DEVICE_CHANGE);
    server.Unplug();
    ASSERT_TRUE(
        RunUntil([&] { return Seen(UM_DEVICE_CHANGE) > before && !m_manager.IsDisconnecting(); }));
    DrainPending();

    if (GetParam().reported) {
        EXPECT_EQ(Shown(), std::vector{TextId::UnableToConnect});
        EXPECT_EQ(m_manager.State(), ConnectionState::Disconnected);
        EXPECT_FALSE(g_bUpgrading);
    } else {
        EXPECT_TRUE(Shown().empty());
        EXPECT_EQ(m_manager.State(), ConnectionState::Upgrading);
        EXPECT_TRUE(g_bDeviceOpen);
    }
    m_manager.StopLink();
    g_bUpgrading = false;
}

INSTANTIATE_TEST_SUITE_P(LastCommands, RemovalDuringUpdateTest,
                         ::testing::Values(RemovalCase{UPG_BOOT, false},
                                           RemovalCase{UPG_SEARCH, false},
                                           RemovalCase{UPG_BLOCK, true}, RemovalCase{0, true}));

// A device that stops answering: the read times out, the link is dropped,
// every queued packet is gone and the user is told.
TEST_F(ConnectionTest, SilentDeviceEndsInLinkFailureWithEmptyQueue) {
    AddDevice();
    ConnectOnline();
    {
        std::lock_guard lock(g_csModel);
        m_processor.InjectFault(Fault::DropReply, 1);
        m_cmd.PushPacket(MakeSystemRead(SYS_SETTINGS, 0));
        m_cmd.PushPacket(MakeSystemRead(SYS_INPUT_LEVELS, 0));
    }

    ASSERT_TRUE(RunUntil([&] {
        return Seen(UM_LINK_FAILED) > 0 && m_manager.State() == ConnectionState::Disconnected;
    }));
    EXPECT_EQ(m_cmd.GetCount(), 0);
    EXPECT_FALSE(g_bOnline);
    DrainPending();
    EXPECT_EQ(Shown(), std::vector{TextId::UnableToConnect});
}

TEST_F(ConnectionTest, EmptyDataReplyClosesTheLinkAskingForAFirmwareUpdate) {
    AddDevice();
    m_processor.InjectFault(Fault::EmptyDataReply, 1);  // the identification read
    m_manager.OnConnectButton();

    ASSERT_TRUE(RunUntil([&] { return !Shown().empty(); }));
    EXPECT_EQ(Shown(), std::vector{TextId::EmptyReply});
    EXPECT_STREQ(TextIn(TextId::EmptyReply, false), "Please Update the Firmware!");
    EXPECT_EQ(m_manager.State(), ConnectionState::Disconnected);
    EXPECT_FALSE(g_bDeviceOpen);
}

// The session is exclusive: nobody else gets the device while the link holds
// it, and a device held elsewhere is not connected, even when the next one
// enumerated is free.
TEST_F(ConnectionTest, SecondClientIsRefused) {
    SimServer& first = AddDevice("a");
    SimServer& second = AddDevice("b");
    VhidBackend backend(m_busPath);

    ConnectOnline();
    EXPECT_EQ(g_strDevicePath.Get(), first.InterfacePath());
    EXPECT_FALSE(backend.Open(first.InterfacePath()).Ok());
    DisconnectWithButton();

    auto holder = backend.Open(first.InterfacePath());
    ASSERT_TRUE(holder.Ok()) << holder.ErrorText();
    m_manager.OnConnectButton();
    DrainPending();
    EXPECT_EQ(m_manager.State(), ConnectionState::Disconnected);
    EXPECT_EQ(Shown(), std::vector{TextId::UnableToConnect});
    EXPECT_FALSE(second.HasSession());
    holder.Value()->Close();
}

// The pause before a disconnected device is closed is a step of the front
// end's loop: here it lasts an hour, so nothing but the loop running that step
// can close the device.
class SteppedDisconnectTest : public ConnectionTest {
protected:
    static LinkTimings HourLongPause() {
        LinkTimings t = ShortTimings();
        t.disconnectWait = std::chrono::hours(1);
        return t;
    }
    SteppedDisconnectTest() : ConnectionTest(HourLongPause()) {}

    // Runs the loop until the worker has ended; the close is then the only
    // step left, an hour away.
    void RunUntilWorkerEnded() {
        ASSERT_TRUE(RunUntil([&] { return !m_manager.Worker().Exists(); }));
        EXPECT_EQ(m_queue.Steps().Size(), 1u);
    }
    void RunThePause() {
        m_queue.Steps().RunDue(CMessageQueue::Clock::now() + std::chrono::hours(2));
        DrainPending();
    }
};

TEST_F(SteppedDisconnectTest, HandlersReturnAtOnceAndTheLoopClosesTheDevice) {
    struct Case {
        const char* name;
        std::function<void(CConnectionManager&)> act;
        std::vector<TextId> shown;
    };
    const Case cases[] = {
        {"connect button", [](CConnectionManager& m) { m.OnConnectButton(); }, {}},
        {"link failure",
         [](CConnectionManager& m) { m.OnLinkFailed(); },
         {TextId::UnableToConnect}},
        {"refused identification",
         [](CConnectionManager& m) {
             {
                 std::lock_guard lock(g_csModel);
                 std::memcpy(g_DeviceModel.data(), "TQR-904-31EQ-V3.0", 17);
             }
             m.OnDeviceId();
         },
         {}},
    };
    SimServer& server = AddDevice();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        m_host.heard.Clear();
        ConnectOnline();

        c.act(m_manager);
        EXPECT_EQ(m_manager.State(), ConnectionState::Disconnecting);
        m_manager.OnConnectButton();  // a second click while it goes down
        m_manager.OnLinkFailed();     // the worker noticing meanwhile
        RunUntilWorkerEnded();
        EXPECT_EQ(m_manager.State(), ConnectionState::Disconnecting);
        EXPECT_TRUE(m_manager.Link().IsOpen());
        EXPECT_FALSE(IsPathFree(server.InterfacePath()));
        EXPECT_TRUE(Shown().empty());

        RunThePause();
        EXPECT_EQ(m_manager.State(), ConnectionState::Disconnected);
        EXPECT_FALSE(m_manager.Link().IsOpen());
        EXPECT_TRUE(IsPathFree(server.InterfacePath()));
        EXPECT_FALSE(g_bOnline);
        EXPECT_EQ(Shown(), c.shown);
        EXPECT_EQ(m_states.states.back(), ConnectionState::Disconnected);
    }
}

// A device plugged in while the link goes down is connected once the old one
// is closed, as it would have been after a blocking pause.
TEST_F(SteppedDisconnectTest, ArrivalDuringThePauseIsTakenAfterTheClose) {
    ASSERT_TRUE(m_manager.StartWatching());
    SimServer& first = AddDevice("a");
    ASSERT_TRUE(RunUntilState(ConnectionState::Online));

    const int before = Seen(UM_DEVICE_CHANGE);
    m_manager.OnConnectButton();
    SimServer& second = AddDevice("b");
    RunUntilWorkerEnded();
    ASSERT_TRUE(RunUntil([&] { return Seen(UM_DEVICE_CHANGE) > before; }));
    EXPECT_FALSE(second.HasSession());

    RunThePause();
    ASSERT_TRUE(RunUntilState(ConnectionState::Online));
    EXPECT_EQ(g_strDevicePath.Get(), second.InterfacePath());
    EXPECT_TRUE(IsPathFree(first.InterfacePath()));
}

// Holds a claim from another process, as a second copy of the program would.
class ForeignClaim {
public:
    explicit ForeignClaim(const std::string& path) {
        const std::string command =
            "flock -x '" + ClaimsDirectory() + "/" + ClaimFileName(path) + "' cat >/dev/null";
        m_pipe = ::popen(command.c_str(), "w");
    }
    ~ForeignClaim() { Release(); }
    bool Started() const { return m_pipe != nullptr; }
    void Release() {
        if (m_pipe != nullptr) ::pclose(m_pipe);
        m_pipe = nullptr;
    }

private:
    FILE* m_pipe = nullptr;
};

TEST_F(ConnectionTest, PathClaimedByAnotherCopyIsNotAutoConnected) {
    ASSERT_TRUE(m_manager.StartWatching());
    SimServer& server = AddDevice();
    server.Unplug();
    ASSERT_TRUE(RunUntil([&] { return Seen(UM_DEVICE_CHANGE) >= 2; }));  // arrival, removal
    ForeignClaim claim(server.InterfacePath());
    ASSERT_TRUE(claim.Started());
    ASSERT_TRUE(RunUntil([&] { return !IsPathFree(server.InterfacePath()); }));

    const int before = Seen(UM_DEVICE_CHANGE);
    ASSERT_TRUE(server.Replug().Ok());
    ASSERT_TRUE(RunUntil([&] { return Seen(UM_DEVICE_CHANGE) > before; }));
    EXPECT_EQ(m_manager.State(), ConnectionState::Disconnected);
    EXPECT_FALSE(server.HasSession());

    // Even asked by path, the link refuses a path another copy claims.
    EXPECT_FALSE(m_manager.ConnectUsb(server.InterfacePath()));
    EXPECT_FALSE(server.HasSession());

    claim.Release();
    server.Unplug();
    ASSERT_TRUE(server.Replug().Ok());
    ASSERT_TRUE(RunUntilState(ConnectionState::Online));
}

// A resend request makes the link write the whole packet again from its first
// byte: a five-report channel block arrives complete the second time.
TEST_F(ConnectionTest, ResendRequestRewritesTheWholePacket) {
    AddDevice();
    ConnectOnline();
    const int channel = 2;
    std::vector<BYTE> block;
    {
        std::lock_guard lock(g_csModel);
        m_cmd.ClearQueue();  // no poll ahead of the block
        BYTE* slot = g_CurImage.data() + OutSlotOffset(channel);
        for (int i = 0; i < kOutBlockSize; ++i)
            slot[i] = static_cast<BYTE>(i * 5 + 1);
        block.assign(slot, slot + kOutBlockSize);
        m_processor.ResetCounts();
        m_processor.InjectFault(Fault::ResendRequest, 1);
        m_cmd.PushPacket(MakeBlockPacket(0, BT_OUTPUT, channel, true, false));
    }

    ASSERT_TRUE(RunUntil([&] {
        return Slice(m_processor.CurrentImage(), OutSlotOffset(channel), kOutBlockSize) == block;
    }));
    const auto counts = m_processor.GetCounts();
    EXPECT_EQ(counts.resendReplies, 1);
    EXPECT_EQ(counts.badFrames, 0) << "the second copy started at the first byte";
    EXPECT_EQ(counts.blockWrites, 1);
    EXPECT_TRUE(Shown().empty());
}

TEST_F(ConnectionTest, PendingEditMadeOnlineReachesTheDevice) {
    AddDevice();
    ConnectOnline();
    const int channel = 3;
    const int gainAt = OutSlotOffset(channel) + kOutGain;
    const int gain = GetWord(m_processor.CurrentImage().data() + gainAt) + 3;
    {
        std::lock_guard lock(g_csModel);
        m_model.GetOutput(channel)->SetGain(static_cast<short>(gain));
    }

    ASSERT_TRUE(
        RunUntil([&] { return GetWord(m_processor.CurrentImage().data() + gainAt) == gain; }));
    EXPECT_EQ(m_processor.GetCounts().itemWrites, 1);
}

// The desktop's master fader asks the pump to send the system block whether
// or not a device is online. Asked offline (or left over from a link that
// went down), it must not reach the next device connected: that would write
// offline values over the device's, ahead of or behind the read-all.
TEST_F(ConnectionTest, SystemBlockMarkedOfflineIsNotSentAtTheNextConnect) {
    AddDevice();
    const auto sendMarks = {&g_bSendSysSettings, &g_bSendInputLevels};
    for (auto* mark : sendMarks)
        *mark = true;
    g_SysSettings[kSysMasterVolume] = 7;
    ConnectOnline();
    const int polls = m_processor.GetCounts().statusPolls;
    ASSERT_TRUE(RunUntil([&] { return m_processor.GetCounts().statusPolls >= polls + 3; }));

    EXPECT_EQ(m_processor.GetCounts().systemWrites, 0);
    for (auto* mark : sendMarks)
        EXPECT_FALSE(*mark);
    DisconnectWithButton();

    // A mark left when the link goes down is dropped with it.
    ConnectOnline();
    g_bSendSysSettings = true;
    DisconnectWithButton();
    EXPECT_FALSE(g_bSendSysSettings);
}

// A band or crossover still stepping toward a far higher frequency when its
// link went down must not be picked up by the next connection: its steps
// would reach that device ahead of the read-all, carrying whatever was edited
// offline meanwhile. Offline the filter holds its target, as any offline
// change does, so that a file saved now keeps what the user set.
TEST_F(ConnectionTest, FrequencyStepsCutByALostLinkAreNotResumed) {
    AddDevice();
    CKTV_OutData& channel = *m_model.GetOutput(1);
    CFilter* const filters[] = {channel.GetBand(0), channel.GetHighPass()};
    {
        std::lock_guard lock(g_csModel);
        g_bOnline = true;  // edited on the link that then went down
        for (CFilter* filter : filters) {
            filter->SetFreq(20, false);
            filter->SetFreq(8000, true);
            ASSERT_NE(filter->GetSentFreq(), 8000) << "starts a run of octave steps";
        }
        g_bOnline = false;
        m_modelLink.ClearPending();
        for (CFilter* filter : filters) {
            EXPECT_FALSE(filter->IsPending());
            EXPECT_EQ(filter->GetSentFreq(), 8000);
        }
        // The steps left undone as a link that goes down leaves them.
        for (CFilter* filter : filters) {
            filter->SetFreq(20, false);
            g_bOnline = true;
            filter->SetFreq(8000, true);
            g_bOnline = false;
        }
    }
    // The identification is answered and the worker polls before the
    // read-all is queued: a step left pending would go out now.
    m_manager.OnConnectButton();
    ASSERT_TRUE(Eventually([this] { return m_processor.GetCounts().statusPolls >= 3; }));
    ASSERT_TRUE(RunUntilState(ConnectionState::Online));
    EXPECT_EQ(m_processor.GetCounts().itemWrites, 0);
}

// The worker takes the model lock for every cycle, back to back; a
// user-interface thread waiting for it must get it between two cycles, not
// after thousands of them.
TEST_F(ConnectionTest, UserInterfaceGetsTheLockBetweenCycles) {
    AddDevice();
    ConnectOnline();
    int longestWait = 0;
    for (int i = 0; i < 50; ++i) {
        const int before = m_processor.GetCounts().frames;
        {
            std::lock_guard lock(g_csModel);
            longestWait = std::max(longestWait, m_processor.GetCounts().frames - before);
        }
        std::this_thread::sleep_for(std::chrono::microseconds(150 * (i % 7)));
    }
    EXPECT_LE(longestWait, 20) << "cycles run while the user-interface thread waited";
}

}  // namespace
}  // namespace conn_test
