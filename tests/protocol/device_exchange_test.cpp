// Request -> reply exchanges against the virtual processor: the queue, the
// frame builders and the reply parser together, as a link cycle runs them.

#include <string>

#include "edits/bulk_ops.h"
#include "image/record_layout.h"
#include "protocol/frame_builder.h"
#include "protocol_fixture.h"
#include "sim/virtual_processor.h"

namespace {

class DeviceExchangeTest : public ProtocolTest {
protected:
    // One normal cycle: write the head (unless already written), then pass
    // every reply report to the parser. True when a frame completed.
    bool Cycle() {
        CSendData* head = m_cmd.PeekHead();
        if (head == nullptr) return false;
        CVirtualProcessor::Report report{};
        std::vector<CVirtualProcessor::Report> replies;
        while (head->FillReport(report.data())) {
            for (const auto& reply : m_device.HandleOutputReport(report).reports) {
                replies.push_back(reply);
            }
        }
        bool completed = false;
        for (const auto& reply : replies) {
            completed = m_cmd.ParseBytes(reply.data() + 1, kReportPayload) || completed;
        }
        return completed;
    }
    // Runs cycles until the queue is empty; false if a cycle got no reply or
    // the head stays queued.
    bool RunQueue() {
        return RunQueueWith([this] { return Cycle(); });
    }

    CVirtualProcessor m_device;
};

template <typename Image>
std::vector<BYTE> Area(const Image& image, int offset, int size) {
    return std::vector<BYTE>(image.begin() + offset, image.begin() + offset + size);
}

TEST_F(DeviceExchangeTest, ReadAllFillsTheModelWithTheDevicesSettings) {
    m_cmd.ResetProgressCounter();
    m_cmd.QueueReadAll(true);
    ASSERT_TRUE(RunQueue());

    const sim::DeviceMemory device = m_device.Memory();
    for (int c = 0; c < kOutputCount; ++c) {
        SCOPED_TRACE(c);
        EXPECT_EQ(Area(g_CurImage, OutSlotOffset(c), kOutBlockSize),
                  Area(device.current, OutSlotOffset(c), kOutBlockSize));
    }
    EXPECT_EQ(Area(g_CurImage, kImageMusicOffset, kInputBlockSize),
              Area(device.current, kImageMusicOffset, kInputBlockSize));
    EXPECT_EQ(g_SysSettings, device.sysSettings);
    EXPECT_EQ(g_SpeakerRoles, device.speakerRoles);
    EXPECT_EQ(g_InputLevels, device.inputLevels);
    for (int g = 1; g <= kDeviceGroupCount; ++g) {
        SCOPED_TRACE(g);
        std::vector<BYTE> name = Area(device.groups[g - 1], kImageNameOffset, kNameChars);
        name[13] = name[14] = ' ';
        EXPECT_EQ(Area(g_GroupImages[g - 1], kImageNameOffset, kNameChars), name);
    }
    const std::vector<PostedMessage> messages = m_sink.Messages();
    ASSERT_GE(messages.size(), 2u);
    EXPECT_EQ(messages[messages.size() - 2], (PostedMessage{UM_TRANSFER_DONE, 0, 0}));
    EXPECT_EQ(messages.back(), (PostedMessage{UM_OUTPUTS_LOADED, 0, 0}));
    EXPECT_EQ(m_sink.Only(UM_NAME_LOADED).size(), 6u);
}

TEST_F(DeviceExchangeTest, SendEverythingLeavesTheDeviceHoldingThePcsGroups) {
    for (int g = 1; g <= kDeviceGroupCount; ++g) {
        for (int i = 0; i < kImageSize; ++i)
            g_GroupImages[g - 1][i] = static_cast<BYTE>(i * g);
    }
    g_CurImage[OutSlotOffset(4) + kOutGain] = 42;
    ASSERT_TRUE(QueueSendEverything(m_cmd, true));
    ASSERT_TRUE(RunQueue());

    for (int g = 1; g <= kDeviceGroupCount; ++g) {
        SCOPED_TRACE(g);
        const ParamImage stored = m_device.GroupImage(g);
        for (int c = 0; c < kOutputCount; ++c) {
            EXPECT_EQ(Area(stored, OutSlotOffset(c), kOutBlockSize),
                      Area(g_GroupImages[g - 1], OutSlotOffset(c), kOutBlockSize));
        }
        EXPECT_EQ(Area(stored, kImageNameOffset, kNameChars),
                  Area(g_GroupImages[g - 1], kImageNameOffset, kNameChars));
    }
    EXPECT_EQ(m_device.CurrentImage()[OutSlotOffset(4) + kOutGain], 42);
    EXPECT_EQ(m_sink.Only(UM_TRANSFER_DONE),
              (std::vector<PostedMessage>{{UM_TRANSFER_DONE, 0, 1}}));
}

TEST_F(DeviceExchangeTest, ResendRequestIsAnsweredByWritingThePacketAgain) {
    m_device.InjectFault(CVirtualProcessor::Fault::ResendRequest);
    m_cmd.PushPacket(MakeBlockPacket(0, BT_OUTPUT, 2, true, true));
    EXPECT_TRUE(Cycle()) << "the resend request is a valid frame";
    EXPECT_EQ(m_cmd.GetCount(), 1);
    EXPECT_TRUE(Cycle());
    EXPECT_EQ(m_cmd.GetCount(), 0);
    EXPECT_EQ(m_device.GetCounts().blockWrites, 1);
}

TEST_F(DeviceExchangeTest, CorruptReplyLeavesTheHeadForTheLinkTimeOut) {
    m_device.InjectFault(CVirtualProcessor::Fault::CorruptCheck);
    m_cmd.PushPacket(MakeSystemRead(SYS_SETTINGS, 0));
    EXPECT_FALSE(Cycle());
    EXPECT_EQ(m_cmd.GetCount(), 1);
    EXPECT_FALSE(Cycle()) << "a written head is not written again";
}

TEST_F(DeviceExchangeTest, EmptyDataReplyIsReported) {
    m_device.InjectFault(CVirtualProcessor::Fault::EmptyDataReply);
    m_cmd.PushPacket(MakeSystemRead(SYS_SETTINGS, 0));
    EXPECT_TRUE(Cycle());
    EXPECT_TRUE(g_bReplyError);
    EXPECT_EQ(m_sink.Only(UM_EMPTY_REPLY).size(), 1u);
}

TEST_F(DeviceExchangeTest, IdentificationAndSourceReachTheModel) {
    m_device.SetActiveSource(5);
    ASSERT_TRUE(QueueIdentify(m_cmd));
    m_cmd.PushPacket(MakeItemPacket(BT_POLL, 0, 0));
    ASSERT_TRUE(RunQueue());
    EXPECT_EQ(std::string(g_DeviceModel.begin(), g_DeviceModel.begin() + kIdentificationBytes),
              kDeviceIdentification);
    EXPECT_EQ(m_sink.Messages(),
              (std::vector<PostedMessage>{{UM_DEVICE_ID, 0, 0}, {UM_SOURCE_CHANGED, 3, 0}}));
}

// The link queued its idle poll, then the user picked another source before
// the poll went out: the poll's answer still carries the old source.
TEST_F(DeviceExchangeTest, SourceReportOlderThanAnUnansweredSettingsWriteIsIgnored) {
    struct Case {
        const char* name;
        int queuedWrite;  // system code written after the poll, 0: none
        bool markedForThePump;
        std::vector<PostedMessage> reported;
    };
    const Case cases[] = {
        {"settings write queued", SYS_SETTINGS, false, {}},
        {"settings marked, not yet queued", 0, true, {}},
        {"another system write queued", SYS_INPUT_LEVELS, false, {{UM_SOURCE_CHANGED, 0, 0}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        m_sink.Clear();
        m_device.SetActiveSource(0);
        m_cmd.PushPacket(MakeItemPacket(BT_POLL, 0, 0));
        g_SysSettings[kSysInputSource] = 1;
        m_cmd.SetShownSource(1);
        g_bSendSysSettings = c.markedForThePump;
        if (c.queuedWrite != 0) {
            ASSERT_TRUE(QueueSystemWrite(m_cmd, c.queuedWrite, 0, true));
        }
        ASSERT_TRUE(RunQueue());
        EXPECT_EQ(m_sink.Only(UM_SOURCE_CHANGED), c.reported);
        g_bSendSysSettings = false;
    }
    // With the write answered, a source picked on the device is reported again.
    m_sink.Clear();
    m_device.SetActiveSource(2);
    m_cmd.PushPacket(MakeItemPacket(BT_POLL, 0, 0));
    ASSERT_TRUE(RunQueue());
    EXPECT_EQ(m_sink.Only(UM_SOURCE_CHANGED),
              (std::vector<PostedMessage>{{UM_SOURCE_CHANGED, 2, 0}}));
}

}  // namespace
