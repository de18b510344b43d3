// Injected faults: what the host sees, and whether the request took effect.

#include "sim_fixture.h"

namespace {

using Fault = CVirtualProcessor::Fault;

struct FaultCase {
    const char* name;
    Fault fault;
    bool reportsExpected;   // does anything come back at all
    BYTE command;           // reply command when something comes back
    bool hostAcceptsReply;  // the host's parser takes the frame
    bool writeApplied;
    BusEvent busEvent;
    friend void PrintTo(const FaultCase& c, std::ostream* os) { *os << c.name; }
};

class FaultOnAWrite : public SimTest, public ::testing::WithParamInterface<FaultCase> {};

TEST_P(FaultOnAWrite, ShowsAsExpected) {
    const FaultCase& c = GetParam();
    g_CurImage[OutSlotOffset(0) + 250] = 42;  // gain of channel 0
    m_device.InjectFault(c.fault);

    const auto out = Send(MakeItemPacket(BT_OUTPUT, 0, kOutItemLevel));

    EXPECT_EQ(!out.reports.empty(), c.reportsExpected);
    if (c.reportsExpected) {
        const auto reply = DecodeReply(out.reports);
        ASSERT_TRUE(reply.has_value());
        EXPECT_EQ(reply->command, c.command);
        bool accepted = false;
        for (const Report& r : out.reports)
            accepted = m_cmd.ParseBytes(r.data() + 1, kReportPayload) || accepted;
        EXPECT_EQ(accepted, c.hostAcceptsReply);
    }
    EXPECT_EQ(m_device.CurrentImage()[OutSlotOffset(0) + 250] == 42, c.writeApplied);
    EXPECT_EQ(out.busEvent, c.busEvent);

    // Each fault fires once: the same request is answered normally afterwards.
    m_cmd.ResetParser();
    EXPECT_EQ(Exchange(MakeItemPacket(BT_OUTPUT, 0, kOutItemLevel)).command, REPLY_ACK);
}

INSTANTIATE_TEST_SUITE_P(Sim, FaultOnAWrite,
                         ::testing::Values(FaultCase{"DropReply", Fault::DropReply, false, 0, false,
                                                     true, BusEvent::None},
                                           FaultCase{"CorruptCheck", Fault::CorruptCheck, true,
                                                     REPLY_ACK, false, true, BusEvent::None},
                                           FaultCase{"ResendRequest", Fault::ResendRequest, true,
                                                     REPLY_RESEND, true, false, BusEvent::None},
                                           FaultCase{"Unplug", Fault::Unplug, true, REPLY_ACK, true,
                                                     true, BusEvent::LeaveForGood}),
                         [](const auto& info) { return std::string(info.param.name); });

using FaultInjection = SimTest;

TEST_F(FaultInjection, NthCountsOnlyMatchingRequests) {
    m_device.InjectFault(Fault::EmptyDataReply, 2);  // the second read

    EXPECT_EQ(Exchange(MakeSystemRead(SYS_STATUS, 0)).data.size(), 12u);
    EXPECT_EQ(Exchange(MakeItemPacket(BT_OUTPUT, 1, 0)).command, REPLY_ACK);  // a write
    const auto empty = Exchange(MakeReadRequest(2, BT_OUTPUT, 0, true, true));
    EXPECT_EQ(Exchange(MakeSystemRead(SYS_STATUS, 0)).data.size(), 12u);

    EXPECT_EQ(empty.command, REPLY_DATA);
    EXPECT_EQ(empty.group, 2);
    EXPECT_TRUE(empty.data.empty());
    EXPECT_EQ(m_device.GetCounts().recalls, 0);  // the read was not served
}

TEST_F(FaultInjection, EmptyDataReplyMakesTheHostReportTheError) {
    m_device.InjectFault(Fault::EmptyDataReply);
    m_cmd.PushPacket(MakeSystemRead(SYS_IDENTIFY, 0));

    Pump(1);

    EXPECT_TRUE(g_bReplyError.load());
}

TEST_F(FaultInjection, ClearFaultsDisarmsEverything) {
    m_device.InjectFault(Fault::DropReply);
    m_device.SetStayAwayAfterBoot(true);
    m_device.ClearFaults();

    EXPECT_EQ(Exchange(MakeSystemRead(SYS_STATUS, 0)).command, REPLY_DATA);
    EXPECT_EQ(m_device.GetCounts().droppedReplies, 0);
}

TEST_F(FaultInjection, RequestLogRecordsWhatWasSent) {
    Send(MakeItemPacket(BT_OUTPUT, 3, kOutItemXover));
    Send(MakeReadRequest(4, BT_MUSIC, 2, false, true));
    Send(MakeSystemWrite(SYS_GROUP_NAME, 6));

    const auto log = m_device.RequestLog();
    ASSERT_EQ(log.size(), 3u);
    auto fields = [](const CVirtualProcessor::RequestLogEntry& e) {
        return std::vector<int>{e.command, e.group, e.type, e.index, e.item, e.payloadLength};
    };
    EXPECT_EQ(fields(log[0]), (std::vector<int>{CMD_WRITE, 0, BT_OUTPUT, 3, kOutItemXover, 8}));
    EXPECT_EQ(fields(log[1]), (std::vector<int>{CMD_READ, 4, BT_MUSIC, 2, kItemStoredGroup, 8}));
    EXPECT_EQ(fields(log[2]), (std::vector<int>{CMD_WRITE, 6, BT_SYSTEM, SYS_GROUP_NAME, 0, 16}));
    const auto counts = m_device.GetCounts();
    EXPECT_EQ(counts.frames, 3);
    EXPECT_EQ(counts.itemWrites, 1);
    EXPECT_EQ(counts.blockReads, 1);
    EXPECT_EQ(counts.systemWrites, 1);
    EXPECT_EQ(counts.acks, 2);
    EXPECT_EQ(counts.dataReplies, 1);
}

}  // namespace
