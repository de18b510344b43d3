// Cutting the reply stream into frames, verifying them, and what each reply
// does to the queue and the model.

#include <cstring>
#include <string>

#include "protocol/frame_builder.h"
#include "protocol_fixture.h"

namespace {

using Bytes = std::vector<BYTE>;

Bytes Pattern(int n, BYTE seed) {
    Bytes data(static_cast<size_t>(n));
    for (int i = 0; i < n; ++i)
        data[i] = static_cast<BYTE>(seed + i * 13);
    return data;
}

Bytes Prefix(const Bytes& bytes, size_t n) {
    return Bytes(bytes.begin(), bytes.begin() + n);
}

Bytes Concat(Bytes a, const Bytes& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

class ReplyParserTest : public ProtocolTest {
protected:
    // Three numbered packets, the head already written out.
    void QueueThreeAndWriteHead() {
        for (int code : {SYS_SETTINGS, SYS_INPUT_LEVELS, SYS_SPEAKER_ROLES}) {
            m_cmd.PushPacket(MakeSystemRead(code, 0));
        }
        WriteHead();
    }
    int HeadIndex() { return m_cmd.PeekHead()->GetBuffer()[kFrameIndex]; }
};

TEST_F(ReplyParserTest, FrameStarts) {
    const Bytes ack = AckBytes();
    const Bytes body(ack.begin() + kPreambleLength, ack.end());
    const struct {
        const char* name;
        Bytes bytes;
        bool accepted;
    } rows[] = {
        {"three preamble bytes then the frame", ack, true},
        {"noise before the preamble", Concat({0x00, 0x55, 0xA2, 0x17}, ack), true},
        {"0xEE starts a frame without a preamble",
         Concat({0xEE}, Bytes(body.begin() + 1, body.end())), true},
        {"four preamble bytes", Concat({0xA2}, ack), false},
        {"two preamble bytes", Bytes(ack.begin() + 1, ack.end()), false},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        SetUp();
        m_cmd.ClearQueue();
        QueueThreeAndWriteHead();
        EXPECT_EQ(Feed(row.bytes), row.accepted);
        EXPECT_EQ(m_cmd.GetCount(), row.accepted ? 2 : 3);
    }
}

TEST_F(ReplyParserTest, FrameSplitAcrossReportsCompletesOnTheLast) {
    QueueThreeAndWriteHead();
    const Bytes reply = ReplyBytes(REPLY_DATA, 0, BT_SYSTEM, SYS_SETTINGS, 0, Pattern(8, 1));
    EXPECT_FALSE(m_cmd.ParseBytes(reply.data(), 9));
    EXPECT_FALSE(m_cmd.ParseBytes(reply.data() + 9, 6));
    EXPECT_TRUE(m_cmd.ParseBytes(reply.data() + 15, static_cast<int>(reply.size()) - 15));
    EXPECT_EQ(Bytes(g_SysSettings.begin(), g_SysSettings.end()), Pattern(8, 1));
    EXPECT_EQ(m_cmd.GetCount(), 2);
}

TEST_F(ReplyParserTest, LongestReplyCompletesOverFiveReports) {
    m_cmd.PushPacket(MakeReadRequest(0, BT_OUTPUT, 2, true, true));
    WriteHead();
    const Bytes data = Pattern(kOutBlockSize, 3);
    EXPECT_TRUE(Feed(ReplyBytes(REPLY_DATA, 0, BT_OUTPUT, 2, kItemStoredGroup, data)));
    EXPECT_EQ(Bytes(g_CurImage.begin() + OutSlotOffset(2),
                    g_CurImage.begin() + OutSlotOffset(2) + kOutBlockSize),
              data);
    EXPECT_EQ(m_cmd.GetCount(), 0);
}

TEST_F(ReplyParserTest, DamagedFramesAreDroppedAndTheHeadStays) {
    const struct {
        const char* name;
        int damagedFromEnd;  // 1: end byte, 2: check byte
        BYTE value;
    } rows[] = {
        {"end byte 0xAB instead of 0xAA", 1, 0xAB},
        {"check byte off by one bit", 2, 0x01},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        SetUp();
        m_cmd.ClearQueue();
        QueueThreeAndWriteHead();
        Bytes reply = ReplyBytes(REPLY_DATA, 0, BT_SYSTEM, SYS_SETTINGS, 0, Pattern(8, 1));
        if (row.damagedFromEnd == 1) {
            reply.back() = row.value;
        } else {
            reply[reply.size() - 2] ^= row.value;
        }
        EXPECT_FALSE(Feed(reply));
        EXPECT_EQ(m_cmd.GetCount(), 3);
        EXPECT_EQ(HeadIndex(), SYS_SETTINGS);
        EXPECT_EQ(g_SysSettings[0], 0) << "nothing stored";
        EXPECT_TRUE(m_sink.Messages().empty());
        EXPECT_TRUE(Feed(AckBytes())) << "the next reply is read normally";
    }
}

TEST_F(ReplyParserTest, AcknowledgeRemovesExactlyTheHead) {
    QueueThreeAndWriteHead();
    EXPECT_TRUE(Feed(AckBytes()));
    EXPECT_EQ(m_cmd.GetCount(), 2);
    EXPECT_EQ(HeadIndex(), SYS_INPUT_LEVELS);
}

TEST_F(ReplyParserTest, AcknowledgeOnAnEmptyQueueIsHarmless) {
    EXPECT_TRUE(Feed(AckBytes()));
    EXPECT_EQ(m_cmd.GetCount(), 0);
}

TEST_F(ReplyParserTest, ResendRequestWritesTheWholeHeadAgain) {
    m_cmd.PushPacket(MakeBlockPacket(0, BT_OUTPUT, 0, true, true));
    EXPECT_EQ(WriteHead(), 5);
    EXPECT_EQ(WriteHead(), 0) << "a written head is not written again";
    EXPECT_TRUE(Feed(ResendBytes()));
    EXPECT_EQ(m_cmd.GetCount(), 1);
    EXPECT_EQ(WriteHead(), 5);
}

TEST_F(ReplyParserTest, EmptyDataReplyIsReportedAndKeepsTheHead) {
    QueueThreeAndWriteHead();
    EXPECT_TRUE(Feed(ReplyBytes(REPLY_DATA, 0, BT_SYSTEM, SYS_SETTINGS, 0, {})));
    EXPECT_TRUE(g_bReplyError);
    EXPECT_EQ(m_sink.Messages(), (std::vector<PostedMessage>{{UM_EMPTY_REPLY, 0, 0}}));
    EXPECT_EQ(m_cmd.GetCount(), 3);
}

TEST_F(ReplyParserTest, LastReadAllReplyEndsTheTransferBeforeTheModelLoads) {
    m_cmd.QueueReadAll(true);
    m_sink.Clear();
    const auto answer = [this] {
        WriteHead();
        const BYTE* frame = m_cmd.PeekHead()->GetBuffer();
        const int type = frame[kFrameType];
        const int length =
            type == BT_SYSTEM ? 8 : (type == BT_MUSIC ? kInputBlockSize : kOutBlockSize);
        return Feed(ReplyBytes(REPLY_DATA, frame[kFrameGroup], type, frame[kFrameIndex],
                               frame[kFrameItem], Pattern(length, 0)));
    };
    ASSERT_TRUE(RunQueueWith(answer, 1));
    m_sink.Clear();
    WriteHead();
    ASSERT_TRUE(
        Feed(ReplyBytes(REPLY_DATA, 0, BT_OUTPUT, 5, kItemStoredGroup, Pattern(kOutBlockSize, 9))));
    EXPECT_EQ(m_sink.Messages(), (std::vector<PostedMessage>{{UM_TRANSFER_PROGRESS, 15, 0},
                                                             {UM_TRANSFER_DONE, 0, 0},
                                                             {UM_OUTPUTS_LOADED, 0, 0}}));
    EXPECT_EQ(m_cmd.GetCount(), 0);
}

struct BlockReplyRow {
    const char* name;
    int type, index, group, storeFlag;
    BYTE* destination;
    int length;
    std::vector<PostedMessage> messages;
};

TEST_F(ReplyParserTest, BlockRepliesAreStoredWhereTheirGroupAndFlagSay) {
    const BlockReplyRow rows[] = {
        {"microphone block, current",
         BT_MIC,
         0,
         0,
         0xAB,
         g_CurImage.data() + kImageMicOffset,
         kInputBlockSize,
         {}},
        {"music block of group 3",
         BT_MUSIC,
         2,
         3,
         0xAB,
         g_GroupImages[2].data() + kImageMusicOffset,
         kInputBlockSize,
         {}},
        {"output 1 of group 2",
         BT_OUTPUT,
         1,
         2,
         0xAB,
         g_GroupImages[1].data() + OutSlotOffset(1),
         kOutBlockSize,
         {}},
        {"output 1 of group 2 answered as current",
         BT_OUTPUT,
         1,
         2,
         0,
         g_CurImage.data() + OutSlotOffset(1),
         kOutBlockSize,
         {}},
        {"a whole 298-byte slot",
         BT_OUTPUT,
         0,
         0,
         0xAB,
         g_CurImage.data() + OutSlotOffset(0),
         kOutSlotSize,
         {}},
        {"last output of group 6 ends a collect",
         BT_OUTPUT,
         5,
         6,
         0xAB,
         g_GroupImages[5].data() + OutSlotOffset(5),
         kOutBlockSize,
         {{UM_GROUP6_LOADED, 6, 0}}},
        {"last output of group 4 stored",
         BT_OUTPUT,
         5,
         4,
         0xAB,
         g_GroupImages[3].data() + OutSlotOffset(5),
         kOutBlockSize,
         {}},
        {"last output of group 4 recalled as current",
         BT_OUTPUT,
         5,
         4,
         0x00,
         g_CurImage.data() + OutSlotOffset(5),
         kOutBlockSize,
         {{UM_OUTPUTS_LOADED, 4, 0}}},
        {"effect of stored group 20",
         BT_EFFECT,
         0,
         20,
         0xAB,
         g_GroupImages[19].data() + kImageEffectOffset,
         kEffectBlockSize,
         {}},
        {"effect of source record 22",
         BT_EFFECT,
         0,
         22,
         0xAB,
         g_SourceRecords[1].data() + kSourceRecordEffectOffset,
         kEffectBlockSize,
         {}},
        {"effect of source record 22 recalled as current",
         BT_EFFECT,
         0,
         22,
         0x00,
         g_CurImage.data() + kImageEffectOffset,
         kEffectBlockSize,
         {{UM_EFFECT_LOADED, 22, 0}}},
    };
    for (const BlockReplyRow& row : rows) {
        SCOPED_TRACE(row.name);
        SetUp();
        m_cmd.ClearQueue();
        m_cmd.PushPacket(MakeSystemRead(SYS_STATUS, 0));
        WriteHead();
        const Bytes data = Pattern(row.length, 0x40);
        EXPECT_TRUE(
            Feed(ReplyBytes(REPLY_DATA, row.group, row.type, row.index, row.storeFlag, data)));
        EXPECT_EQ(Bytes(row.destination, row.destination + row.length), data);
        EXPECT_EQ(m_sink.Messages(), row.messages);
        EXPECT_EQ(m_cmd.GetCount(), 0);
    }
}

TEST_F(ReplyParserTest, SystemItemRepliesFillTheirBlocks) {
    const struct {
        const char* name;
        int code;
        BYTE* destination;
        int length;
        std::vector<PostedMessage> messages;
    } rows[] = {
        {"limiter", SYS_LIMITER, g_LimiterSettings.data(), 8, {{UM_SYSTEM64_LOADED, 0, 0}}},
        {"system settings", SYS_SETTINGS, g_SysSettings.data(), 8, {}},
        {"speaker roles", SYS_SPEAKER_ROLES, g_SpeakerRoles.data(), 12, {}},
        {"input levels", SYS_INPUT_LEVELS, g_InputLevels.data(), 8, {}},
        {"identification", SYS_IDENTIFY, g_DeviceModel.data(), 17, {{UM_DEVICE_ID, 0, 0}}},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        SetUp();
        m_cmd.ClearQueue();
        m_cmd.PushPacket(MakeSystemRead(row.code, 0));
        WriteHead();
        const Bytes data = Pattern(row.length, 0x21);
        EXPECT_TRUE(Feed(ReplyBytes(REPLY_DATA, 0, BT_SYSTEM, row.code, 0, data)));
        EXPECT_EQ(Bytes(row.destination, row.destination + row.length), data);
        EXPECT_EQ(m_sink.Messages(), row.messages);
        EXPECT_EQ(m_cmd.GetCount(), 0);
    }
}

TEST_F(ReplyParserTest, ShortIdentificationLeavesNoEarlierDeviceBehind) {
    std::memcpy(g_DeviceModel.data(), kDeviceIdentification, kIdentificationBytes);
    const std::string shortId = "TQR-905";
    EXPECT_TRUE(Feed(ReplyBytes(REPLY_DATA, 0, BT_SYSTEM, SYS_IDENTIFY, 0,
                                Bytes(shortId.begin(), shortId.end()))));
    EXPECT_EQ(std::string(g_DeviceModel.begin(), g_DeviceModel.begin() + kIdentificationBytes),
              "TQR-905          ");
}

TEST_F(ReplyParserTest, GroupNameKeepsThirteenLettersAndTwoSpaces) {
    const std::string name = "ABCDEFGHIJKLMNO";
    for (int group : {0, 2}) {
        SCOPED_TRACE(group);
        SetUp();
        EXPECT_TRUE(Feed(ReplyBytes(REPLY_DATA, group, BT_SYSTEM, SYS_GROUP_NAME, 0,
                                    Bytes(name.begin(), name.end()))));
        const ParamImage& image = group == 0 ? g_CurImage : g_GroupImages[group - 1];
        EXPECT_EQ(std::string(image.begin(), image.begin() + 16),
                  std::string("ABCDEFGHIJKLM  ") + '\0');
        EXPECT_EQ(m_sink.Messages(), (std::vector<PostedMessage>{{UM_NAME_LOADED, 0, 0}}));
    }
}

TEST_F(ReplyParserTest, StatusPollReportsAnotherSource) {
    const struct {
        int shown;
        BYTE reported;
        std::vector<PostedMessage> messages;
    } rows[] = {
        {0, 5, {{UM_SOURCE_CHANGED, 3, 0}}}, {3, 5, {}}, {0, 3, {{UM_SOURCE_CHANGED, 3, 0}}},
        {0, 2, {{UM_SOURCE_CHANGED, 2, 0}}}, {1, 1, {}},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(testing::Message()
                     << "shown " << row.shown << " reported " << int{row.reported});
        SetUp();
        m_cmd.SetShownSource(row.shown);
        m_cmd.PushPacket(MakeItemPacket(BT_POLL, 0, 0));
        WriteHead();
        Bytes status(kStatusDataSize, 0);
        status[kStatusSourceByte] = row.reported;
        EXPECT_TRUE(Feed(ReplyBytes(REPLY_DATA, 0, BT_SYSTEM, SYS_STATUS, 0, status)));
        EXPECT_EQ(m_sink.Messages(), row.messages);
        EXPECT_EQ(m_cmd.GetCount(), 0);
    }
}

TEST_F(ReplyParserTest, UnusableFramesAreDroppedWithoutJammingTheParser) {
    const struct {
        const char* name;
        Bytes bytes;
    } rows[] = {
        {"length beyond the frame buffer, header only",
         Prefix(ReplyBytes(REPLY_DATA, 0, BT_OUTPUT, 0, 0xAB, Bytes(400, 1)), 16)},
        {"unknown command", ReplyBytes(0x67, 0, 0, 0, 0, {})},
        {"unknown block type", ReplyBytes(REPLY_DATA, 0, 5, 0, 0xAB, Pattern(8, 0))},
        {"poll type in a reply", ReplyBytes(REPLY_DATA, 0, BT_POLL, 0, 0xAB, Pattern(8, 0))},
        {"output block longer than its slot",
         ReplyBytes(REPLY_DATA, 0, BT_OUTPUT, 1, 0xAB, Pattern(kOutSlotSize + 1, 0))},
        {"output channel 6", ReplyBytes(REPLY_DATA, 0, BT_OUTPUT, 6, 0xAB, Pattern(8, 0))},
        {"microphone 1", ReplyBytes(REPLY_DATA, 0, BT_MIC, 1, 0xAB, Pattern(8, 0))},
        {"music block longer than its area",
         ReplyBytes(REPLY_DATA, 0, BT_MUSIC, 2, 0xAB, Pattern(kInputBlockSize + 1, 0))},
        {"effect block longer than its area",
         ReplyBytes(REPLY_DATA, 22, BT_EFFECT, 0, 0xAB, Pattern(kEffectBlockSize + 1, 0))},
        {"output block of group 21", ReplyBytes(REPLY_DATA, 21, BT_OUTPUT, 0, 0xAB, Pattern(8, 0))},
        {"effect block of group 41", ReplyBytes(REPLY_DATA, 41, BT_EFFECT, 0, 0xAB, Pattern(8, 0))},
        {"system settings longer than the block",
         ReplyBytes(REPLY_DATA, 0, BT_SYSTEM, SYS_SETTINGS, 0, Pattern(kSysSettingsSize + 1, 0))},
        {"limiter longer than the block",
         ReplyBytes(REPLY_DATA, 0, BT_SYSTEM, SYS_LIMITER, 0, Pattern(17, 0))},
        {"name of group 30",
         ReplyBytes(REPLY_DATA, 30, BT_SYSTEM, SYS_GROUP_NAME, 0, Pattern(15, 0))},
    };
    const ParamImage imageBefore = g_CurImage;
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        m_cmd.ClearQueue();
        m_sink.Clear();
        QueueThreeAndWriteHead();
        EXPECT_FALSE(Feed(row.bytes));
        EXPECT_EQ(m_cmd.GetCount(), 3);
        EXPECT_TRUE(m_sink.Messages().empty());
        EXPECT_TRUE(g_CurImage == imageBefore);
        EXPECT_TRUE(Feed(AckBytes())) << "a following valid frame is still accepted";
        EXPECT_EQ(m_cmd.GetCount(), 2);
    }
}

TEST_F(ReplyParserTest, ClearQueueForgetsAHalfReceivedFrame) {
    QueueThreeAndWriteHead();
    const Bytes ack = AckBytes();
    EXPECT_FALSE(m_cmd.ParseBytes(ack.data(), 8));
    m_cmd.ClearQueue();
    QueueThreeAndWriteHead();
    EXPECT_TRUE(Feed(ack));
    EXPECT_EQ(m_cmd.GetCount(), 2);
}

}  // namespace
