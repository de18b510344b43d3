#pragma once
// Fixture of the virtual processor tests: a device, the host's start-up model,
// and helpers that send host packets to the device and read its replies, in
// the report pieces the link uses.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

#include "base/globals.h"
#include "base/messages.h"
#include "image/param_image.h"
#include "protocol/frame_builder.h"
#include "protocol/frame_format.h"
#include "protocol/ktv_command.h"
#include "protocol/protocol_fixture.h"
#include "sim/virtual_processor.h"

using Report = CVirtualProcessor::Report;
using BusEvent = CVirtualProcessor::BusEvent;

// A reply frame as read back from the device's input reports.
struct DecodedReply {
    BYTE command = 0;
    BYTE group = 0;
    BYTE type = 0;
    BYTE index = 0;
    BYTE storeFlag = 0;
    std::vector<BYTE> data;
    bool checkOk = false;  // check byte and end byte
};

// Bytes 1..64 of each report, in order.
inline std::vector<BYTE> ReportBytes(const std::vector<Report>& reports) {
    std::vector<BYTE> bytes;
    for (const Report& r : reports) {
        EXPECT_EQ(r[0], 0) << "report id";
        bytes.insert(bytes.end(), r.begin() + 1, r.end());
    }
    return bytes;
}

// Decodes the reply that starts the reports: A2 A2 A2, then the frame.
inline std::optional<DecodedReply> DecodeReply(const std::vector<Report>& reports) {
    const std::vector<BYTE> bytes = ReportBytes(reports);
    const size_t header = kPreambleLength + kReplyData;
    if (bytes.size() < header + 2) return std::nullopt;
    if (!std::all_of(bytes.begin(), bytes.begin() + kPreambleLength,
                     [](BYTE b) { return b == kPreambleByte; }))
        return std::nullopt;
    const BYTE* frame = bytes.data() + kPreambleLength;
    const size_t length = GetWord(frame + kReplyLength);
    if (kPreambleLength + kReplyOverhead + length > bytes.size()) return std::nullopt;
    DecodedReply reply;
    reply.command = frame[kReplyCommand];
    reply.group = frame[kReplyGroup];
    reply.type = frame[kReplyType];
    reply.index = frame[kReplyIndex];
    reply.storeFlag = frame[kReplyStoreFlag];
    reply.data.assign(frame + kReplyData, frame + kReplyData + length);
    const int checked = kReplyData - kReplyCommand + static_cast<int>(length);
    reply.checkOk = XorBytes(frame + kReplyCommand, checked) == frame[kReplyData + length] &&
                    frame[kReplyData + length + 1] == kFrameEnd;
    return reply;
}

// The host side is the protocol tests' fixture: a known model state, a
// command queue and a recording message sink.
class SimTest : public ProtocolTest {
protected:
    // Cuts a packet into output reports as the link does and hands each to the
    // device; the device's reports and the last bus event come back.
    CVirtualProcessor::Output Send(CSendData& packet) {
        CVirtualProcessor::Output all;
        Report report{};
        while (packet.FillReport(report.data())) {
            auto out = m_device.HandleOutputReport(report);
            all.reports.insert(all.reports.end(), out.reports.begin(), out.reports.end());
            if (out.busEvent != BusEvent::None) all.busEvent = out.busEvent;
        }
        return all;
    }
    CVirtualProcessor::Output Send(const std::unique_ptr<CSendData>& packet) {
        EXPECT_NE(packet, nullptr);
        return Send(*packet);
    }

    // Sends a packet and decodes the one reply it must get.
    DecodedReply Exchange(const std::unique_ptr<CSendData>& packet) {
        const auto out = Send(packet);
        const auto reply = DecodeReply(out.reports);
        EXPECT_TRUE(reply.has_value()) << "no reply";
        EXPECT_TRUE(reply && reply->checkOk);
        return reply.value_or(DecodedReply{});
    }

    // Runs the host's queue against the device until it is empty, as link
    // cycles would; false when a packet got no usable reply.
    bool Pump(int limit = 200) {
        for (int i = 0; i < limit && m_cmd.GetCount() > 0; ++i) {
            const auto out = Send(*m_cmd.PeekHead());
            bool completed = false;
            for (const Report& r : out.reports)
                completed = m_cmd.ParseBytes(r.data() + 1, kReportPayload) || completed;
            if (!completed) return false;
        }
        return m_cmd.GetCount() == 0;
    }

    CVirtualProcessor m_device;
};

// Slot bytes of output channel c that travel (296 of the 298).
inline std::vector<BYTE> OutBlockOf(const ParamImage& image, int channel) {
    return {image.begin() + OutSlotOffset(channel),
            image.begin() + OutSlotOffset(channel) + kOutBlockSize};
}

inline std::vector<BYTE> Bytes(const ParamImage& image, int offset, int n) {
    return {image.begin() + offset, image.begin() + offset + n};
}

// Fills n bytes with a recognisable pattern starting at `seed`.
template <typename It>
void Pattern(It first, int n, int seed) {
    for (int i = 0; i < n; ++i)
        first[i] = static_cast<BYTE>(seed + 7 * i);
}
