// How the device takes request frames out of output reports, and what it
// answers to frames that do not check out.

#include "sim_fixture.h"

namespace {

using RequestAssembly = SimTest;

TEST_F(RequestAssembly, FrameSpreadOverReportsIsAnsweredByTheLastReport) {
    Pattern(g_CurImage.begin() + OutSlotOffset(1), kOutBlockSize, 3);
    auto packet = MakeBlockPacket(0, BT_OUTPUT, 1, true, true);
    ASSERT_EQ(packet->GetLength(), 312);

    Report report{};
    std::vector<size_t> replyReports;
    while (packet->FillReport(report.data()))
        replyReports.push_back(m_device.HandleOutputReport(report).reports.size());

    EXPECT_EQ(replyReports, (std::vector<size_t>{0, 0, 0, 0, 1}));
    EXPECT_EQ(OutBlockOf(m_device.CurrentImage(), 1), OutBlockOf(g_CurImage, 1));
}

TEST_F(RequestAssembly, SearchPatternIsIgnored) {
    Report search{};
    for (int i = 1; i < kReportSize; ++i)
        search[i] = (i % 2) ? kSearchPatternA : kSearchPatternB;
    const auto before = m_device.Memory();

    EXPECT_TRUE(m_device.HandleOutputReport(search).reports.empty());
    EXPECT_TRUE(m_device.HandleOutputReport(Report{}).reports.empty());  // padding alone

    EXPECT_EQ(m_device.GetCounts().searchReports, 1);
    EXPECT_EQ(m_device.GetCounts().frames, 0);
    EXPECT_EQ(m_device.Memory(), before);
}

// A damaged frame is not applied; the device asks for it again.
struct DamageCase {
    const char* name;
    int offsetFromEnd;  // byte to change, counted back from the last frame byte
    BYTE mask;
    friend void PrintTo(const DamageCase& c, std::ostream* os) { *os << c.name; }
};

class DamagedFrames : public SimTest, public ::testing::WithParamInterface<DamageCase> {};

TEST_P(DamagedFrames, AreAnsweredWithAResendRequestAndNotApplied) {
    g_CurImage[OutSlotOffset(2) + 248] = 0;
    auto packet = MakeItemPacket(BT_OUTPUT, 2, kOutItemLevel);
    BYTE* frame = packet->GetBuffer();
    frame[packet->GetLength() - 1 - GetParam().offsetFromEnd] ^= GetParam().mask;
    const auto before = m_device.Memory();

    const auto reply = DecodeReply(Send(packet).reports);

    ASSERT_TRUE(reply.has_value());
    EXPECT_TRUE(reply->checkOk);
    EXPECT_EQ(reply->command, REPLY_RESEND);
    EXPECT_EQ(m_device.Memory(), before);
    EXPECT_EQ(m_device.GetCounts().badFrames, 1);
    EXPECT_EQ(m_device.GetCounts().frames, 0);
}

INSTANTIATE_TEST_SUITE_P(Sim, DamagedFrames,
                         ::testing::Values(DamageCase{"CheckByte", 1, 0x01},
                                           DamageCase{"EndByte", 0, 0x01},
                                           DamageCase{"PayloadByte", 9, 0x80}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(RequestAssembly, ImpossibleLengthIsRefusedAtTheHeaderAndTheNextFrameStillWorks) {
    auto packet = MakeSystemRead(SYS_IDENTIFY, 0);
    PutWord(packet->GetBuffer() + kFrameLength, 0x7FFF);

    const auto refused = DecodeReply(Send(packet).reports);
    ASSERT_TRUE(refused.has_value());
    EXPECT_EQ(refused->command, REPLY_RESEND);

    const auto answered = Exchange(MakeSystemRead(SYS_IDENTIFY, 0));
    EXPECT_EQ(answered.command, REPLY_DATA);
    EXPECT_EQ(answered.data.size(), 17u);
}

TEST_F(RequestAssembly, ResetLinkForgetsAHalfReceivedFrame) {
    auto block = MakeBlockPacket(0, BT_OUTPUT, 0, true, true);
    Report report{};
    ASSERT_TRUE(block->FillReport(report.data()));
    m_device.HandleOutputReport(report);  // only the first of five reports

    m_device.ResetLink();

    EXPECT_EQ(Exchange(MakeSystemRead(SYS_STATUS, 0)).command, REPLY_DATA);
    EXPECT_EQ(m_device.GetCounts().badFrames, 0);
}

TEST_F(RequestAssembly, LongReplyIsSplitOverZeroPaddedReports) {
    const auto out = Send(MakeReadRequest(0, BT_OUTPUT, 0, true, true));

    // 3 preamble bytes + 13 + 296 = 312 bytes: five reports, the last one with 56.
    ASSERT_EQ(out.reports.size(), 5u);
    const Report& last = out.reports.back();
    EXPECT_EQ(last[56], kFrameEnd);
    EXPECT_TRUE(std::all_of(last.begin() + 57, last.end(), [](BYTE b) { return b == 0; }));
}

}  // namespace
