// The step packets of an update, in the order and grouping the writer queues
// them, and what each answered step shows.

#include "firmware_fixture.h"
#include "protocol/ktv_command.h"
#include "protocol/protocol_fixture.h"

namespace {

struct SentStep {
    int code;
    std::vector<BYTE> payload;
};
// The packets of one NextUpgradePacket call.
using StepBatch = std::vector<SentStep>;

class UpgradeStepsTest : public FirmwareTest {
protected:
    // Runs the packet source as the writer does, taking every queued packet
    // off as if the device had answered it, until nothing more is queued.
    std::vector<StepBatch> Drain() {
        std::vector<StepBatch> batches;
        for (;;) {
            NextUpgradePacket(m_state, m_queue);
            if (m_queue.GetCount() == 0) return batches;
            StepBatch batch;
            while (CSendData* head = m_queue.PeekHead()) {
                CheckFrame(*head);
                batch.push_back({head->GetUpgradeCode(), Payload(*head)});
                m_queue.PopHead();
            }
            batches.push_back(batch);
        }
    }

    static std::vector<BYTE> Payload(const CSendData& packet) {
        const BYTE* frame = packet.GetBuffer();
        const int n = GetWord(frame + kFrameLength);
        return std::vector<BYTE>(frame + kFrameHeaderSize, frame + kFrameHeaderSize + n);
    }

    // The header every step frame has, whatever device id the settings use.
    void CheckFrame(const CSendData& packet) {
        const BYTE* f = packet.GetBuffer();
        const int n = GetWord(f + kFrameLength);
        SCOPED_TRACE(packet.GetUpgradeCode());
        EXPECT_EQ(packet.GetLength(), n + kFrameOverhead);
        EXPECT_EQ((std::vector<BYTE>(f, f + 4)), (std::vector<BYTE>{0xA2, 0xA2, 0xA2, 0xA3}));
        EXPECT_EQ(f[kFrameCommand], 0xB3);
        EXPECT_EQ(f[kFrameDeviceId], 1);
        EXPECT_EQ(f[kFrameGroup], 0);
        EXPECT_EQ(f[kFrameType], 4);
        EXPECT_EQ(f[kFrameIndex], packet.GetUpgradeCode());
        EXPECT_EQ(f[kFrameItem], 0);
        EXPECT_EQ(f[kFrameLink], 0);
        EXPECT_EQ(f[packet.GetLength() - 2], XorBytes(f + 4, packet.GetLength() - 6));
        EXPECT_EQ(f[packet.GetLength() - 1], 0xAA);
        EXPECT_NE(packet.GetProgressIndex(), 0);
    }

    void Load(const char* name, const std::vector<BYTE>& image) {
        ASSERT_TRUE(LoadUpgradeFile(WriteFile(name, image), m_state).bOk);
    }

    static std::vector<std::vector<int>> Codes(const std::vector<StepBatch>& batches) {
        std::vector<std::vector<int>> codes;
        for (const StepBatch& batch : batches) {
            codes.emplace_back();
            for (const SentStep& step : batch)
                codes.back().push_back(step.code);
        }
        return codes;
    }

    static std::vector<BYTE> Slice(const std::vector<BYTE>& bytes, size_t from, size_t n) {
        return std::vector<BYTE>(bytes.begin() + from, bytes.begin() + from + n);
    }

    CKTVCommand m_queue;
};

TEST_F(UpgradeStepsTest, ProcessorImageOf100Bytes) {
    g_nDeviceId = 7;  // the loader is always addressed as device 1
    const std::vector<BYTE> image = PatternImage(100);
    Load("fw.dsp", image);
    EXPECT_EQ(m_state.m_nProgressTotal, 8);

    const std::vector<StepBatch> batches = Drain();
    const std::vector<std::vector<int>> expected = {{0xFF}, {0xB0}, {0xB1},
                                                    {0xB2}, {0xB2}, {0xB2, 0xB3}};
    ASSERT_EQ(Codes(batches), expected);
    EXPECT_EQ(batches[1][0].payload, std::vector<BYTE>(16, 0));
    EXPECT_EQ(batches[2][0].payload, std::vector<BYTE>(4, image[0]));
    EXPECT_EQ(batches[3][0].payload, Slice(image, 0, 48));
    EXPECT_EQ(batches[4][0].payload, Slice(image, 48, 48));
    std::vector<BYTE> last = Slice(image, 96, 4);
    last.resize(48, 0xFF);
    EXPECT_EQ(batches[5][0].payload, last);
    EXPECT_EQ(batches[5][1].payload, std::vector<BYTE>{ExpectedChecksum(image)});
    g_nDeviceId = 1;
}

TEST_F(UpgradeStepsTest, ImageOfWholeBlocksHasNoFill) {
    const std::vector<BYTE> image = PatternImage(96);
    Load("fw.dsp", image);
    const std::vector<StepBatch> batches = Drain();
    const std::vector<std::vector<int>> expected = {{0xFF}, {0xB0}, {0xB1}, {0xB2}, {0xB2, 0xB3}};
    ASSERT_EQ(Codes(batches), expected);
    EXPECT_EQ(batches[3][0].payload, Slice(image, 0, 48));
    EXPECT_EQ(batches[4][0].payload, Slice(image, 48, 48));
}

TEST_F(UpgradeStepsTest, StartStepNamesTheFirstByteFourTimes) {
    Load("fw.dsp", {0x11, 0x22, 0x33, 0x44, 0x55});
    const std::vector<StepBatch> batches = Drain();
    ASSERT_GE(batches.size(), 3u);
    EXPECT_EQ(batches[2][0].code, 0xB1);
    EXPECT_EQ(batches[2][0].payload, (std::vector<BYTE>{0x11, 0x11, 0x11, 0x11}));
}

TEST_F(UpgradeStepsTest, ControllerBeginsTogetherAndEndsWithTheLastBlock) {
    const std::vector<BYTE> image = PatternImage(130);
    Load("hand.contr", image);
    const std::vector<StepBatch> batches = Drain();
    const std::vector<std::vector<int>> expected = {
        {0xFF}, {0xE0, 0xE1}, {0xE2}, {0xE2}, {0xE2, 0xE3}};
    ASSERT_EQ(Codes(batches), expected);
    EXPECT_EQ(batches[1][0].payload, std::vector<BYTE>(16, 0));
    EXPECT_EQ(batches[1][1].payload, std::vector<BYTE>(16, 0));
    std::vector<BYTE> last = Slice(image, 96, 34);
    last.resize(48, 0xFF);
    EXPECT_EQ(batches[4][0].payload, last);
    // The end step carries the checksum of the controller's own image.
    EXPECT_EQ(batches[4][1].payload, std::vector<BYTE>{ExpectedChecksum(image)});
}

TEST_F(UpgradeStepsTest, NothingIsQueuedWhileThePreviousStepIsUnanswered) {
    Load("fw.dsp", PatternImage(100));
    NextUpgradePacket(m_state, m_queue);
    NextUpgradePacket(m_state, m_queue);
    EXPECT_EQ(m_queue.GetCount(), 1);
    EXPECT_EQ(m_queue.PeekHead()->GetUpgradeCode(), 0xFF);
}

// What the answer to each step shows, from a state where the block status
// text has or has not been shown yet.
TEST_F(UpgradeStepsTest, StatusStepOfEachAnswer) {
    struct Case {
        int code;
        bool shownBefore;
        std::vector<TextId> status;
        bool shownAfter;
        bool done;
    };
    const Case cases[] = {
        {0xB0, true, {TextId::UpgradeReady}, false, false},
        {0xB1, true, {}, false, false},
        {0xB2, false, {TextId::UpgradeProgramming}, true, false},
        {0xB2, true, {}, true, false},
        {0xB3, true, {TextId::UpgradeSuccess}, false, true},
        {0xE0, true, {}, true, false},
        {0xE0, false, {}, false, false},
        {0xE1, false, {TextId::ControllerProgramming}, true, false},
        {0xE2, true, {TextId::ControllerUpdateStart}, true, false},
        {0xE3, true, {TextId::ControllerUpdateEnd}, false, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.code);
        m_state.Reset();
        m_state.m_bStatusTextShown = c.shownBefore;
        m_state.m_nProgressPos = 3;
        m_sink.Clear();

        UpgradeStatusStep(m_state, c.code);

        std::vector<TextId> status;
        for (const PostedMessage& m : m_sink.Only(UM_UPGRADE_STATUS))
            status.push_back(static_cast<TextId>(m.wParam));
        EXPECT_EQ(status, c.status);
        EXPECT_EQ(m_state.m_bStatusTextShown, c.shownAfter);
        EXPECT_EQ(m_sink.Only(UM_UPGRADE_PROGRESS),
                  (std::vector<PostedMessage>{{UM_UPGRADE_PROGRESS, 4, 0}}));
        const std::vector<PostedMessage> done = {{UM_UPGRADE_DONE, 0, 179}};
        EXPECT_EQ(m_sink.Only(UM_UPGRADE_DONE), c.done ? done : std::vector<PostedMessage>{});
        EXPECT_EQ(g_bUpgradeFinished.load(), c.code == 0xB3);
    }
}

TEST_F(UpgradeStepsTest, ControllerEndLeavesAPendingProcessorImageRunning) {
    m_state.m_bProcessorLoaded = true;
    UpgradeStatusStep(m_state, 0xE3);
    EXPECT_TRUE(m_sink.Only(UM_UPGRADE_DONE).empty());
}

// The reply parser runs the status step for the answered packet's code.
TEST_F(UpgradeStepsTest, AcknowledgedStepRunsTheStatusStepThroughTheParser) {
    Load("fw.dsp", PatternImage(100));
    m_queue.SetUpgradeReplyHook([this](int code) { UpgradeStatusStep(m_state, code); });
    NextUpgradePacket(m_state, m_queue);
    m_queue.PopHead();  // the search is never answered
    NextUpgradePacket(m_state, m_queue);
    m_sink.Clear();

    const std::vector<BYTE> ack = AckBytes();
    EXPECT_TRUE(m_queue.ParseBytes(ack.data(), static_cast<int>(ack.size())));
    EXPECT_EQ(m_queue.GetCount(), 0);
    EXPECT_EQ(m_sink.Only(UM_UPGRADE_STATUS),
              (std::vector<PostedMessage>{
                  {UM_UPGRADE_STATUS, static_cast<std::uintptr_t>(TextId::UpgradeReady), 0}}));
    EXPECT_EQ(m_sink.Only(UM_UPGRADE_PROGRESS).size(), 1u);
}

}  // namespace
