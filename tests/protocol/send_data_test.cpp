// Cutting a frame into 65-byte output reports.

#include <numeric>

#include "protocol/send_data.h"
#include "protocol_fixture.h"

namespace {

std::vector<BYTE> Numbered(int n) {
    std::vector<BYTE> frame(static_cast<size_t>(n));
    std::iota(frame.begin(), frame.end(), BYTE{1});
    return frame;
}

// Frame bytes carried by each report, checking the report's layout on the way.
std::vector<int> Reports(CSendData& packet, std::vector<BYTE>& carried) {
    std::vector<int> counts;
    BYTE report[kReportSize];
    std::fill(std::begin(report), std::end(report), BYTE{0xFF});
    while (packet.FillReport(report)) {
        EXPECT_EQ(report[0], 0) << "report id";
        const int before = static_cast<int>(carried.size());
        const int n = std::min(kReportPayload, packet.GetLength() - before);
        carried.insert(carried.end(), report + 1, report + 1 + n);
        for (int i = 1 + n; i < kReportSize; ++i)
            EXPECT_EQ(report[i], 0) << "tail byte " << i;
        counts.push_back(n);
    }
    return counts;
}

TEST(SendDataTest, FramesAreCutIntoSixtyFourBytePieces) {
    const struct {
        int length;
        std::vector<int> pieces;
    } rows[] = {
        {24, {24}}, {64, {64}}, {128, {64, 64}}, {129, {64, 64, 1}}, {312, {64, 64, 64, 64, 56}},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.length);
        const std::vector<BYTE> frame = Numbered(row.length);
        CSendData packet(frame);
        std::vector<BYTE> carried;
        EXPECT_EQ(Reports(packet, carried), row.pieces);
        EXPECT_EQ(carried, frame);
        EXPECT_EQ(packet.GetCursor(), row.length);
    }
}

TEST(SendDataTest, WrittenFrameIsNotWrittenAgainUntilRewound) {
    CSendData packet(Numbered(312));
    std::vector<BYTE> carried;
    Reports(packet, carried);
    BYTE report[kReportSize];
    EXPECT_FALSE(packet.FillReport(report));

    packet.RewindCursor();
    carried.clear();
    EXPECT_EQ(Reports(packet, carried).size(), 5u);
    EXPECT_EQ(carried, Numbered(312));
}

TEST(SendDataTest, LastOfTransferCountsOnlyOnceTheFrameHasLeft) {
    CSendData packet(Numbered(129));
    packet.SetLastOfWrite(true);
    BYTE report[kReportSize];
    packet.FillReport(report);
    packet.FillReport(report);
    EXPECT_FALSE(packet.IsEndOfWrite());
    packet.FillReport(report);
    EXPECT_TRUE(packet.IsEndOfWrite());
    EXPECT_FALSE(packet.IsEndOfRead());
}

TEST(SendDataTest, LengthNeverReachesBeyondTheHeldBytes) {
    CSendData packet(Numbered(24));
    packet.SetLength(1000);
    EXPECT_EQ(packet.GetLength(), 24);
    packet.SetLength(10);
    std::vector<BYTE> carried;
    EXPECT_EQ(Reports(packet, carried), std::vector<int>{10});
}

}  // namespace
