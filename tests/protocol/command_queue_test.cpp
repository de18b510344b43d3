// The command queue with its bulk-transfer progress and the read-all.

#include <numeric>

#include "protocol/frame_builder.h"
#include "protocol_fixture.h"

namespace {

class CommandQueueTest : public ProtocolTest {
protected:
    void QueueBulkWrite(int packets) {
        m_cmd.ResetProgressCounter();
        for (int i = 0; i < packets - 1; ++i) {
            m_cmd.PushCounted(MakeBlockPacket(0, BT_OUTPUT, i % kOutputCount, true, true));
        }
        m_cmd.PushLast(MakeBlockPacket(0, BT_OUTPUT, 0, true, true), TransferKind::Write);
        m_cmd.AnnounceTransfer();
    }
};

TEST_F(CommandQueueTest, BulkWriteIsNumberedAndEndsOnce) {
    const int n = 10;
    QueueBulkWrite(n);
    std::vector<int> indexes;
    ASSERT_TRUE(RunQueueWith([&] {
        indexes.push_back(m_cmd.PeekHead()->GetProgressIndex());
        WriteHead();
        return Feed(AckBytes());
    }));
    EXPECT_EQ(indexes, (std::vector<int>{0, 1, 2, 3, 4, 5, 6, 7, 8, 9}));
    EXPECT_EQ(m_sink.Only(UM_TRANSFER_START),
              (std::vector<PostedMessage>{{UM_TRANSFER_START, 9, 0}}));
    EXPECT_EQ(m_sink.Only(UM_TRANSFER_DONE),
              (std::vector<PostedMessage>{{UM_TRANSFER_DONE, 0, 1}}));
    EXPECT_EQ(m_sink.Messages().back(), (PostedMessage{UM_TRANSFER_DONE, 0, 1}));
    EXPECT_EQ(m_sink.Only(UM_TRANSFER_PROGRESS).size(), static_cast<size_t>(n - 1));
}

TEST_F(CommandQueueTest, OnePacketTransferStillEnds) {
    QueueBulkWrite(1);
    ASSERT_TRUE(AcknowledgeAll());
    EXPECT_EQ(m_sink.Only(UM_TRANSFER_DONE),
              (std::vector<PostedMessage>{{UM_TRANSFER_DONE, 0, 1}}));
}

TEST_F(CommandQueueTest, ClearedTransferNeverEnds) {
    QueueBulkWrite(8);
    for (int i = 0; i < 4; ++i) {
        WriteHead();
        ASSERT_TRUE(Feed(AckBytes()));
    }
    m_cmd.ClearQueue();
    EXPECT_EQ(m_cmd.GetCount(), 0);
    EXPECT_EQ(m_cmd.PeekHead(), nullptr);
    EXPECT_FALSE(m_cmd.PopHead());
    EXPECT_TRUE(m_sink.Only(UM_TRANSFER_DONE).empty());
}

TEST_F(CommandQueueTest, PacketMarkedToNotifyEndsItsTransferWhenAnswered) {
    auto packet = MakeBlockPacket(0, BT_OUTPUT, 1, true, true);
    packet->SetNotifyDone(true);
    m_cmd.PushPacket(MakeItemPacket(BT_OUTPUT, 1, kOutItemLevel));
    m_cmd.PushPacket(std::move(packet));
    ASSERT_TRUE(AcknowledgeAll());
    EXPECT_EQ(m_sink.Messages(), (std::vector<PostedMessage>{{UM_TRANSFER_DONE, 0, 0}}));
}

TEST_F(CommandQueueTest, UpgradeRepliesGoToTheUpgradeHook) {
    std::vector<int> codes;
    m_cmd.SetUpgradeReplyHook([&codes](int code) { codes.push_back(code); });
    for (BYTE code : {UPG_BOOT, UPG_START}) {
        auto packet = MakeFramePacket({CMD_WRITE, 0, BT_SYSTEM, code, 0, 0}, nullptr, 0);
        packet->SetUpgradeCode(code);
        packet->SetProgressIndex(1);
        m_cmd.PushPacket(std::move(packet));
    }
    ASSERT_TRUE(AcknowledgeAll());
    EXPECT_EQ(codes, (std::vector<int>{UPG_BOOT, UPG_START}));
    EXPECT_TRUE(m_sink.Messages().empty());
}

TEST_F(CommandQueueTest, PacketTriedTooOftenIsReportedAndQueued) {
    for (int tries : {10, 11}) {
        SCOPED_TRACE(tries);
        SetUp();
        m_cmd.ClearQueue();
        auto packet = MakeItemPacket(BT_POLL, 0, 0);
        packet->SetTries(tries);
        EXPECT_TRUE(m_cmd.PushPacket(std::move(packet)));
        EXPECT_EQ(m_cmd.GetCount(), 1);
        const std::vector<PostedMessage> expected =
            tries > 10
                ? std::vector<PostedMessage>{{UM_SHOW_MESSAGE,
                                              static_cast<std::uintptr_t>(TextId::DataError), 0}}
                : std::vector<PostedMessage>{};
        EXPECT_EQ(m_sink.Messages(), expected);
    }
}

TEST_F(CommandQueueTest, NullPacketIsNotQueued) {
    EXPECT_FALSE(m_cmd.PushPacket(nullptr));
    EXPECT_FALSE(m_cmd.PushCounted(nullptr));
    EXPECT_EQ(m_cmd.GetCount(), 0);
    EXPECT_EQ(m_cmd.GetProgressCounter(), 0);
}

struct QueuedRequest {
    int type, index, group, item;
    bool operator==(const QueuedRequest&) const = default;
};

std::ostream& operator<<(std::ostream& os, const QueuedRequest& r) {
    return os << "{type " << r.type << ", index " << r.index << ", group " << r.group << ", item "
              << r.item << "}";
}

std::vector<QueuedRequest> DrainRequests(CKTVCommand& cmd, std::vector<int>& indexes,
                                         bool& lastMarked) {
    std::vector<QueuedRequest> requests;
    while (CSendData* head = cmd.PeekHead()) {
        const BYTE* f = head->GetBuffer();
        EXPECT_EQ(f[kFrameCommand], CMD_READ);
        requests.push_back({f[kFrameType], f[kFrameIndex], f[kFrameGroup], f[kFrameItem]});
        indexes.push_back(head->GetProgressIndex());
        lastMarked = head->GetLastOfRead();
        cmd.PopHead();
    }
    return requests;
}

TEST_F(CommandQueueTest, ReadAllAsksForSystemItemsNamesAndTheCurrentSettings) {
    m_cmd.ResetProgressCounter();
    m_cmd.QueueReadAll(true);
    EXPECT_FALSE(g_bOnline);
    std::vector<int> indexes;
    bool lastMarked = false;
    const std::vector<QueuedRequest> expected = {
        {BT_SYSTEM, SYS_SETTINGS, 0, 0},
        {BT_SYSTEM, SYS_INPUT_LEVELS, 0, 0},
        {BT_SYSTEM, SYS_SPEAKER_ROLES, 0, 0},
        {BT_SYSTEM, SYS_GROUP_NAME, 1, 0},
        {BT_SYSTEM, SYS_GROUP_NAME, 2, 0},
        {BT_SYSTEM, SYS_GROUP_NAME, 3, 0},
        {BT_SYSTEM, SYS_GROUP_NAME, 4, 0},
        {BT_SYSTEM, SYS_GROUP_NAME, 5, 0},
        {BT_SYSTEM, SYS_GROUP_NAME, 6, 0},
        {BT_MUSIC, 2, 0, 0xAB},
        {BT_OUTPUT, 0, 0, 0xAB},
        {BT_OUTPUT, 1, 0, 0xAB},
        {BT_OUTPUT, 2, 0, 0xAB},
        {BT_OUTPUT, 3, 0, 0xAB},
        {BT_OUTPUT, 4, 0, 0xAB},
        {BT_OUTPUT, 5, 0, 0xAB},
    };
    EXPECT_EQ(DrainRequests(m_cmd, indexes, lastMarked), expected);
    std::vector<int> expectedIndexes(16);
    std::iota(expectedIndexes.begin(), expectedIndexes.end(), 0);
    EXPECT_EQ(indexes, expectedIndexes);
    EXPECT_TRUE(lastMarked);
    EXPECT_EQ(m_sink.Messages(), (std::vector<PostedMessage>{{UM_TRANSFER_START, 15, 0}}));
}

TEST_F(CommandQueueTest, ReadAllWithoutConnectionStopsAfterTheNames) {
    m_cmd.QueueReadAll(false);
    EXPECT_FALSE(g_bOnline);
    EXPECT_EQ(m_cmd.GetCount(), 9);
    EXPECT_EQ(m_sink.Messages(),
              (std::vector<PostedMessage>{
                  {UM_SHOW_MESSAGE, static_cast<std::uintptr_t>(TextId::UnableToConnect), 0}}));
}

}  // namespace
