// Batches of packets queued by the channel-wide and whole-setting operations.

#include <memory>
#include <numeric>

#include "edits/bulk_ops.h"
#include "model/ktv_data.h"
#include "model/ktv_out_data.h"
#include "protocol/protocol_fixture.h"
#include "response/filter.h"
#include "tables/value_tables.h"

namespace {

struct Sent {
    int command, group, type, index, item;
    bool operator==(const Sent&) const = default;
};

std::ostream& operator<<(std::ostream& os, const Sent& s) {
    return os << "{cmd " << s.command << ", group " << s.group << ", type " << s.type << ", index "
              << s.index << ", item " << s.item << "}";
}

struct QueuedPacket {
    Sent header;
    std::vector<BYTE> payload;
    int progressIndex;
    bool lastOfWrite, lastOfRead, notifyDone;
};

constexpr Sent LevelItem(int channel) {
    return {CMD_WRITE, 0, BT_OUTPUT, channel, kOutItemLevel};
}
constexpr Sent Block(int group, int type, int index) {
    return {CMD_WRITE, group, type, index, 0};
}
constexpr Sent Name(int group) {
    return {CMD_WRITE, group, BT_SYSTEM, SYS_GROUP_NAME, 0};
}

void AppendGroupBlocks(std::vector<Sent>& sent, int group) {
    sent.push_back(Block(group, BT_MUSIC, 2));
    for (int c = 0; c < kOutputCount; ++c)
        sent.push_back(Block(group, BT_OUTPUT, c));
}

void AppendLevelItems(std::vector<Sent>& sent) {
    for (int c = 0; c < kOutputCount; ++c)
        sent.push_back(LevelItem(c));
}

class BulkOpsTest : public ProtocolTest {
protected:
    void SetUp() override {
        ProtocolTest::SetUp();
        m_model = std::make_unique<CKTV_Data>();
    }
    void TearDown() override {
        m_model.reset();
        ProtocolTest::TearDown();
    }

    // Takes every queued packet off the queue, in order.
    std::vector<QueuedPacket> Drain() {
        std::vector<QueuedPacket> packets;
        while (CSendData* head = m_cmd.PeekHead()) {
            const BYTE* f = head->GetBuffer();
            packets.push_back(
                {{f[kFrameCommand], f[kFrameGroup], f[kFrameType], f[kFrameIndex], f[kFrameItem]},
                 std::vector<BYTE>(f + kFrameHeaderSize, f + head->GetLength() - 2),
                 head->GetProgressIndex(),
                 head->GetLastOfWrite(),
                 head->GetLastOfRead(),
                 head->GetNotifyDone()});
            m_cmd.PopHead();
        }
        return packets;
    }

    static std::vector<Sent> Headers(const std::vector<QueuedPacket>& packets) {
        std::vector<Sent> headers;
        for (const QueuedPacket& p : packets)
            headers.push_back(p.header);
        return headers;
    }

    static int CountLast(const std::vector<QueuedPacket>& packets) {
        int n = 0;
        for (const QueuedPacket& p : packets)
            n += (p.lastOfWrite || p.lastOfRead) ? 1 : 0;
        return n;
    }

    CKTV_OutData& Out(int c) { return *m_model->GetOutput(c); }

    std::unique_ptr<CKTV_Data> m_model;
};

TEST_F(BulkOpsTest, SendEverythingMutesTheCurrentSettingsAndSendsSixGroups) {
    for (int c = 0; c < kOutputCount; ++c)
        g_CurImage[OutSlotOffset(c) + kOutOutputOn] = c % 2;

    ASSERT_TRUE(QueueSendEverything(m_cmd, true));
    const std::vector<QueuedPacket> packets = Drain();

    std::vector<Sent> expected;
    AppendLevelItems(expected);
    AppendGroupBlocks(expected, 0);
    expected.push_back({CMD_WRITE, 0, BT_SYSTEM, SYS_LIMITER, 0});
    AppendLevelItems(expected);
    for (int g = 1; g <= kDeviceGroupCount; ++g) {
        expected.push_back(Name(g));
        AppendGroupBlocks(expected, g);
    }
    ASSERT_EQ(Headers(packets), expected);
    ASSERT_EQ(packets.size(), 68u);

    for (int c = 0; c < kOutputCount; ++c) {
        SCOPED_TRACE(c);
        EXPECT_EQ(packets[c].payload[0], 0) << "muted level item";
        EXPECT_EQ(packets[7 + c].payload[kOutOutputOn], 0) << "block sent muted";
        EXPECT_EQ(packets[14 + c].payload[0], c % 2) << "restored level item";
        EXPECT_EQ(g_CurImage[OutSlotOffset(c) + kOutOutputOn], c % 2);
    }

    std::vector<int> indexes;
    for (const QueuedPacket& p : packets)
        indexes.push_back(p.progressIndex);
    std::vector<int> expectedIndexes(68);
    std::iota(expectedIndexes.begin(), expectedIndexes.begin() + 13, 0);
    expectedIndexes[13] = 0;  // the limiter write is not numbered
    std::iota(expectedIndexes.begin() + 14, expectedIndexes.end(), 13);
    EXPECT_EQ(indexes, expectedIndexes);
    EXPECT_TRUE(packets.back().lastOfWrite);
    EXPECT_EQ(CountLast(packets), 1);
    EXPECT_EQ(m_sink.Messages(), (std::vector<PostedMessage>{{UM_TRANSFER_START, 66, 0}}));
}

TEST_F(BulkOpsTest, SendEverythingEndsWithOneTransferDoneWhenAnswered) {
    ASSERT_TRUE(QueueSendEverything(m_cmd, true));
    ASSERT_TRUE(AcknowledgeAll());
    EXPECT_EQ(m_sink.Only(UM_TRANSFER_DONE),
              (std::vector<PostedMessage>{{UM_TRANSFER_DONE, 0, 1}}));
    EXPECT_EQ(m_sink.Only(UM_TRANSFER_PROGRESS).size(), 66u);
}

TEST_F(BulkOpsTest, WriteGroupMutedEndsWithTheRestoredLevelItems) {
    g_CurImage[OutSlotOffset(3) + kOutOutputOn] = 1;
    ASSERT_TRUE(QueueWriteGroup(m_cmd, 0, true, nullptr));
    const std::vector<QueuedPacket> packets = Drain();

    std::vector<Sent> expected;
    AppendLevelItems(expected);
    expected.push_back(Name(0));
    AppendGroupBlocks(expected, 0);
    AppendLevelItems(expected);
    ASSERT_EQ(Headers(packets), expected);
    EXPECT_EQ(packets[3].payload[0], 0);
    EXPECT_EQ(packets[7 + 1 + 3].payload[kOutOutputOn], 0);
    EXPECT_EQ(packets[14 + 3].payload[0], 1);
    EXPECT_TRUE(packets.back().lastOfWrite);
    EXPECT_EQ(packets.back().progressIndex, 19);
    EXPECT_EQ(CountLast(packets), 1);
}

TEST_F(BulkOpsTest, WriteGroupFromTheRecordsSendsWhatTheRecordsHold) {
    Out(2).SetGain(45);
    ASSERT_TRUE(QueueWriteGroup(m_cmd, 3, true, m_model.get()));
    const std::vector<QueuedPacket> packets = Drain();

    std::vector<Sent> expected{Name(3)};
    AppendGroupBlocks(expected, 3);
    ASSERT_EQ(Headers(packets), expected);
    EXPECT_EQ(GetWord(&packets[1 + 1 + 2].payload[kOutGain]), 45);
    EXPECT_EQ(packets[1].payload[kInByte75], 1) << "a block stored into a group holds data";
    EXPECT_TRUE(packets.back().lastOfWrite);
    EXPECT_EQ(packets.back().progressIndex, 7);
    EXPECT_EQ(CountLast(packets), 1);
}

TEST_F(BulkOpsTest, ReadGroupRecallsItAsTheCurrentSettings) {
    ASSERT_TRUE(QueueReadGroup(m_cmd, 3, true));
    EXPECT_FALSE(g_bOnline);
    const std::vector<QueuedPacket> packets = Drain();
    std::vector<Sent> expected{{CMD_READ, 3, BT_MUSIC, 2, 0}};
    for (int c = 0; c < kOutputCount; ++c)
        expected.push_back({CMD_READ, 3, BT_OUTPUT, c, 0});
    ASSERT_EQ(Headers(packets), expected);
    EXPECT_TRUE(packets.back().lastOfRead);
    EXPECT_EQ(packets.back().progressIndex, 6);
    EXPECT_EQ(m_sink.Messages(), (std::vector<PostedMessage>{{UM_TRANSFER_START, 6, 0}}));
}

TEST_F(BulkOpsTest, ReadStoredGroupsAsksForEachGroupsOwnData) {
    ASSERT_TRUE(QueueReadStoredGroups(m_cmd, true));
    EXPECT_TRUE(g_bOnline);
    const std::vector<QueuedPacket> packets = Drain();
    std::vector<Sent> expected;
    for (int g = 1; g <= kDeviceGroupCount; ++g) {
        expected.push_back({CMD_READ, g, BT_MUSIC, 2, kItemStoredGroup});
        for (int c = 0; c < kOutputCount; ++c) {
            expected.push_back({CMD_READ, g, BT_OUTPUT, c, kItemStoredGroup});
        }
    }
    ASSERT_EQ(Headers(packets), expected);
    EXPECT_TRUE(packets.back().lastOfRead);
    EXPECT_EQ(packets.back().progressIndex, 41);
    EXPECT_EQ(CountLast(packets), 1);
}

TEST_F(BulkOpsTest, NothingIsQueuedWithoutALink) {
    const PostedMessage unableToConnect{UM_SHOW_MESSAGE,
                                        static_cast<std::uintptr_t>(TextId::UnableToConnect), 0};
    OutputStates states{};
    const struct {
        const char* name;
        std::function<bool()> run;
        bool reported;
    } rows[] = {
        {"write group", [&] { return QueueWriteGroup(m_cmd, 0, false, nullptr); }, true},
        {"read group", [&] { return QueueReadGroup(m_cmd, 0, false); }, true},
        {"read stored groups", [&] { return QueueReadStoredGroups(m_cmd, false); }, true},
        {"send everything", [&] { return QueueSendEverything(m_cmd, false); }, false},
        {"mute all", [&] { return MuteAllOutputs(m_cmd, true, false, states); }, false},
        {"send channel muted", [&] { return SendChannelMuted(m_cmd, 0, false, false); }, false},
        {"system write", [&] { return QueueSystemWrite(m_cmd, SYS_SETTINGS, 0, false); }, false},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        m_sink.Clear();
        EXPECT_FALSE(row.run());
        EXPECT_EQ(m_cmd.GetCount(), 0);
        EXPECT_EQ(m_sink.Messages(), row.reported ? std::vector<PostedMessage>{unableToConnect}
                                                  : std::vector<PostedMessage>{});
    }
}

TEST_F(BulkOpsTest, MuteAllRemembersAndRestoresEachOutput) {
    for (int c = 0; c < kOutputCount; ++c)
        Out(c).SetOutputOn(c == 1 || c == 4);
    OutputStates states{};

    ASSERT_TRUE(MuteAllOutputs(m_cmd, true, true, states));
    std::vector<QueuedPacket> packets = Drain();
    ASSERT_EQ(packets.size(), 6u);
    for (int c = 0; c < kOutputCount; ++c) {
        SCOPED_TRACE(c);
        EXPECT_EQ(packets[c].header, LevelItem(c));
        EXPECT_EQ(packets[c].payload[0], 0);
        EXPECT_EQ(Out(c).GetOutputOn(), 0);
        EXPECT_FALSE(Out(c).IsLevelPending()) << "already on its way";
    }

    ASSERT_TRUE(MuteAllOutputs(m_cmd, false, true, states));
    packets = Drain();
    ASSERT_EQ(packets.size(), 6u);
    for (int c = 0; c < kOutputCount; ++c) {
        SCOPED_TRACE(c);
        EXPECT_EQ(packets[c].payload[0], (c == 1 || c == 4) ? 1 : 0);
        EXPECT_EQ(Out(c).GetOutputOn(), (c == 1 || c == 4) ? 1 : 0);
        EXPECT_FALSE(Out(c).IsLevelPending());
        EXPECT_EQ(packets[c].progressIndex, 0);
    }
}

TEST_F(BulkOpsTest, ChannelSentMutedIsSilencedAroundItsBlock) {
    Out(2).SetOutputOn(1);
    ASSERT_TRUE(SendChannelMuted(m_cmd, 2, true, true));
    const std::vector<QueuedPacket> packets = Drain();
    ASSERT_EQ(Headers(packets),
              (std::vector<Sent>{LevelItem(2), Block(0, BT_OUTPUT, 2), LevelItem(2)}));
    EXPECT_EQ(packets[0].payload[0], 0);
    EXPECT_EQ(packets[1].payload[kOutOutputOn], 0);
    EXPECT_TRUE(packets[1].notifyDone);
    EXPECT_EQ(packets[2].payload[0], 1);
    EXPECT_EQ(Out(2).GetOutputOn(), 1);
    EXPECT_FALSE(Out(2).IsLevelPending());
    EXPECT_TRUE(m_sink.Messages().empty()) << "no transfer dialog";
}

TEST_F(BulkOpsTest, CopyChannelCopiesAlwaysAndSendsOnlyWithALink) {
    Out(0).SetGain(33);
    Out(0).GetBand(5)->SetFreq(777, false);

    CopyChannel(m_cmd, 0, 1, false, true);
    EXPECT_EQ(Out(1).GetGain(), 33);
    EXPECT_EQ(Out(1).GetBand(5)->GetFreq(), 777);
    EXPECT_EQ(m_cmd.GetCount(), 0);
    EXPECT_TRUE(m_sink.Messages().empty());

    CopyChannel(m_cmd, 0, 1, true, true);
    const std::vector<QueuedPacket> packets = Drain();
    ASSERT_EQ(Headers(packets), (std::vector<Sent>{Block(0, BT_OUTPUT, 1)}));
    EXPECT_EQ(GetWord(&packets[0].payload[kOutGain]), 33);
    EXPECT_TRUE(packets[0].notifyDone);
    EXPECT_EQ(m_sink.Only(UM_TRANSFER_START).size(), 1u);
}

TEST_F(BulkOpsTest, EqResetPutsEveryBandOnItsIsoFrequency) {
    Out(3).GetBand(17)->SetFreq(1234, false);
    ResetChannelEq(m_cmd, 3, true, false);
    const std::vector<QueuedPacket> packets = Drain();
    ASSERT_EQ(Headers(packets), (std::vector<Sent>{Block(0, BT_OUTPUT, 3)}));
    for (int band = 0; band < kOutBandCount; ++band) {
        SCOPED_TRACE(band);
        EXPECT_EQ(Out(3).GetBand(band)->GetFreq(), kIsoBandFreq[band]);
        EXPECT_EQ(GetWord(&packets[0].payload[band * kBandRecordSize + kBandFreq]),
                  kIsoBandFreq[band]);
    }
    EXPECT_FALSE(packets[0].notifyDone);
    EXPECT_TRUE(m_sink.Messages().empty());
}

TEST_F(BulkOpsTest, SystemWriteAndIdentificationAreQueuedUnnumbered) {
    ASSERT_TRUE(QueueSystemWrite(m_cmd, SYS_SPEAKER_ROLES, 0, true));
    ASSERT_TRUE(QueueIdentify(m_cmd));
    const std::vector<QueuedPacket> packets = Drain();
    ASSERT_EQ(Headers(packets), (std::vector<Sent>{{CMD_WRITE, 0, BT_SYSTEM, SYS_SPEAKER_ROLES, 0},
                                                   {CMD_READ, 0, BT_SYSTEM, SYS_IDENTIFY, 0}}));
    EXPECT_EQ(packets[0].progressIndex, 0);
    EXPECT_EQ(packets[1].progressIndex, 0);
}

}  // namespace
