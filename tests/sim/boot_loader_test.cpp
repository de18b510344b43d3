// Firmware updates through the device's loaders: the step sequence, the
// checksum, the 0xFF fill of the last block, and steps out of order.

#include "sim_fixture.h"

namespace {

using sim::FirmwareTarget;
using Bytes = std::vector<BYTE>;

constexpr int kBlock = 48;

std::unique_ptr<CSendData> Step(BYTE code, const Bytes& payload) {
    return MakeFramePacket({CMD_WRITE, 0, BT_SYSTEM, code, 0, 0}, payload.data(),
                           static_cast<int>(payload.size()));
}

Bytes ImageOf(int n, BYTE lastByte) {
    Bytes image(n);
    Pattern(image.begin(), n, 0x11);
    image.back() = lastByte;
    return image;
}

// Written out rather than shared with the device code, so that both cannot be
// wrong the same way: 0x12 XOR bytes 4..end.
BYTE ChecksumOf(const Bytes& image) {
    BYTE sum = 0x12;
    for (size_t i = 4; i < image.size(); ++i)
        sum ^= image[i];
    return sum;
}

// The image's 48-byte blocks, the last one filled with 0xFF.
std::vector<Bytes> BlocksOf(const Bytes& image) {
    std::vector<Bytes> blocks;
    for (size_t at = 0; at < image.size(); at += kBlock) {
        Bytes block(image.begin() + at, image.begin() + std::min(image.size(), at + kBlock));
        block.resize(kBlock, 0xFF);
        blocks.push_back(block);
    }
    return blocks;
}

class BootLoader : public SimTest {
protected:
    // Sends one step; the reply's command, or 0 when nothing came back.
    BYTE StepReply(BYTE code, const Bytes& payload, BusEvent* event = nullptr) {
        const auto out = Send(Step(code, payload));
        if (event) *event = out.busEvent;
        const auto reply = DecodeReply(out.reports);
        if (!reply) return 0;
        EXPECT_TRUE(reply->checkOk);
        EXPECT_EQ(reply->index, code);
        return reply->command;
    }
    bool Boot() { return StepReply(UPG_BOOT, Bytes(16, 0)) == REPLY_ACK; }
    // B1 and the blocks; true when each was acknowledged.
    bool SendImage(const Bytes& image, BYTE start, BYTE block) {
        bool ok = StepReply(start, Bytes(4, image[0])) == REPLY_ACK;
        for (const Bytes& b : BlocksOf(image))
            ok = StepReply(block, b) == REPLY_ACK && ok;
        return ok;
    }
};

TEST_F(BootLoader, ProcessorImageOfHundredBytesArrivesIntact) {
    const Bytes image = ImageOf(100, 0x5C);
    Report search{};
    for (int i = 1; i < kReportSize; ++i)
        search[i] = (i % 2) ? kSearchPatternA : kSearchPatternB;

    EXPECT_TRUE(m_device.HandleOutputReport(search).reports.empty());
    BusEvent event = BusEvent::None;
    EXPECT_EQ(StepReply(UPG_BOOT, Bytes(16, 0), &event), REPLY_ACK);
    EXPECT_EQ(event, BusEvent::LeaveAndReturn);
    EXPECT_TRUE(m_device.InBootLoader());
    m_device.ResetLink();  // the host reopens the device

    EXPECT_EQ(StepReply(UPG_START, Bytes(4, image[0])), REPLY_ACK);
    const auto blocks = BlocksOf(image);
    ASSERT_EQ(blocks.size(), 3u);
    for (const Bytes& block : blocks)
        EXPECT_EQ(StepReply(UPG_BLOCK, block), REPLY_ACK);
    EXPECT_EQ(StepReply(UPG_END, {ChecksumOf(image)}, &event), REPLY_ACK);
    EXPECT_EQ(event, BusEvent::None);

    const auto installed = m_device.LastInstalledImage();
    ASSERT_TRUE(installed.has_value());
    EXPECT_EQ(installed->bytes, image);
    EXPECT_EQ(installed->Length(), 100u);
    EXPECT_EQ(installed->checksum, ChecksumOf(image));
    EXPECT_FALSE(m_device.InBootLoader());
    EXPECT_EQ(m_device.GetCounts().upgradeSteps, 6);
}

TEST_F(BootLoader, WrongChecksumIsRefusedWithoutAReply) {
    const Bytes image = ImageOf(100, 0x5C);
    ASSERT_TRUE(Boot());
    ASSERT_TRUE(SendImage(image, UPG_START, UPG_BLOCK));

    EXPECT_EQ(StepReply(UPG_END, {static_cast<BYTE>(ChecksumOf(image) ^ 0x01)}), 0);

    EXPECT_FALSE(m_device.LastInstalledImage().has_value());
    EXPECT_TRUE(m_device.InBootLoader());  // the loader waits for another try
    // It takes the image on the next try, from the start step.
    ASSERT_TRUE(SendImage(image, UPG_START, UPG_BLOCK));
    EXPECT_EQ(StepReply(UPG_END, {ChecksumOf(image)}), REPLY_ACK);
    EXPECT_EQ(m_device.LastInstalledImage()->bytes, image);
}

// The fill is told apart from image bytes by the checksum, as far as it can be.
struct FillCase {
    const char* name;
    int length;
    BYTE lastByte;
    friend void PrintTo(const FillCase& c, std::ostream* os) { *os << c.name; }
};

class FillOfTheLastBlock : public BootLoader, public ::testing::WithParamInterface<FillCase> {};

TEST_P(FillOfTheLastBlock, IsNotPartOfTheInstalledImage) {
    const Bytes image = ImageOf(GetParam().length, GetParam().lastByte);
    ASSERT_TRUE(Boot());
    ASSERT_TRUE(SendImage(image, UPG_START, UPG_BLOCK));
    ASSERT_EQ(StepReply(UPG_END, {ChecksumOf(image)}), REPLY_ACK);
    EXPECT_EQ(m_device.LastInstalledImage()->bytes, image);
}

INSTANTIATE_TEST_SUITE_P(Sim, FillOfTheLastBlock,
                         ::testing::Values(FillCase{"NoFill", 96, 0x01},
                                           FillCase{"OneByteInLastBlock", 97, 0x02},
                                           FillCase{"EndsInOneFF", 98, 0xFF},
                                           FillCase{"FullLastBlockEndingInFF", 144, 0xFF}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(BootLoader, LostBlockReplyKeepsTheBlock) {
    const Bytes image = ImageOf(100, 0x5C);
    m_device.InjectFault(CVirtualProcessor::Fault::DropBlockReply, 2);
    ASSERT_TRUE(Boot());
    ASSERT_EQ(StepReply(UPG_START, Bytes(4, image[0])), REPLY_ACK);
    const auto blocks = BlocksOf(image);

    EXPECT_EQ(StepReply(UPG_BLOCK, blocks[0]), REPLY_ACK);
    EXPECT_EQ(StepReply(UPG_BLOCK, blocks[1]), 0);
    EXPECT_EQ(StepReply(UPG_BLOCK, blocks[2]), REPLY_ACK);
    EXPECT_EQ(StepReply(UPG_END, {ChecksumOf(image)}), REPLY_ACK);
    EXPECT_EQ(m_device.LastInstalledImage()->bytes, image);
}

TEST_F(BootLoader, StayingAwayAfterBootIsALeaveForGood) {
    m_device.SetStayAwayAfterBoot(true);
    BusEvent event = BusEvent::None;
    EXPECT_EQ(StepReply(UPG_BOOT, Bytes(16, 0), &event), REPLY_ACK);
    EXPECT_EQ(event, BusEvent::LeaveForGood);
}

TEST_F(BootLoader, ControllerImageNeedsNoRestart) {
    const Bytes image = ImageOf(96, 0x33);
    BusEvent event = BusEvent::None;
    EXPECT_EQ(StepReply(UPG_CTRL_BEGIN1, Bytes(16, 0), &event), REPLY_ACK);
    EXPECT_EQ(StepReply(UPG_CTRL_BEGIN2, Bytes(16, 0)), REPLY_ACK);
    for (const Bytes& block : BlocksOf(image))
        EXPECT_EQ(StepReply(UPG_CTRL_BLOCK, block), REPLY_ACK);
    EXPECT_EQ(StepReply(UPG_CTRL_END, {ChecksumOf(image)}), REPLY_ACK);

    EXPECT_EQ(event, BusEvent::None);
    ASSERT_TRUE(m_device.LastInstalledImage(FirmwareTarget::Controller).has_value());
    EXPECT_EQ(m_device.LastInstalledImage(FirmwareTarget::Controller)->bytes, image);
    EXPECT_FALSE(m_device.LastInstalledImage(FirmwareTarget::Processor).has_value());
}

// Steps out of order are not understood: an empty data reply.
struct SequenceCase {
    const char* name;
    std::vector<BYTE> before;  // steps acknowledged first (payloads of their usual size)
    BYTE step;
    Bytes payload;
    friend void PrintTo(const SequenceCase& c, std::ostream* os) { *os << c.name; }
};

class StepsOutOfSequence : public BootLoader, public ::testing::WithParamInterface<SequenceCase> {};

TEST_P(StepsOutOfSequence, AreNotUnderstood) {
    for (BYTE code : GetParam().before) {
        const Bytes payload(code == UPG_START ? 4 : 16, code == UPG_START ? 7 : 0);
        ASSERT_EQ(StepReply(code, payload), REPLY_ACK);
    }
    const auto reply = DecodeReply(Send(Step(GetParam().step, GetParam().payload)).reports);
    ASSERT_TRUE(reply.has_value());
    EXPECT_EQ(reply->command, REPLY_DATA);
    EXPECT_TRUE(reply->data.empty());
}

INSTANTIATE_TEST_SUITE_P(
    Sim, StepsOutOfSequence,
    ::testing::Values(SequenceCase{"StartWithoutBoot", {}, UPG_START, Bytes(4, 7)},
                      SequenceCase{"BlockBeforeStart", {UPG_BOOT}, UPG_BLOCK, Bytes(48, 1)},
                      SequenceCase{"EndBeforeStart", {UPG_BOOT}, UPG_END, Bytes(1, 0x12)},
                      SequenceCase{
                          "StartWithFirstFourBytes", {UPG_BOOT}, UPG_START, Bytes{1, 2, 3, 4}},
                      SequenceCase{"ShortBlock", {UPG_BOOT, UPG_START}, UPG_BLOCK, Bytes(47, 1)},
                      SequenceCase{"ControllerBlockWithoutBegin", {}, UPG_CTRL_BLOCK, Bytes(48, 1)},
                      SequenceCase{"SecondBeginFirst", {}, UPG_CTRL_BEGIN2, Bytes(16, 0)}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
