#include "sim/request_frames.h"

#include <algorithm>

namespace sim {

std::span<const BYTE> RequestFrame::Payload() const {
    if (!valid) return {};
    return std::span(bytes).subspan(kFrameHeaderSize, PayloadLength());
}

std::vector<RequestFrame> CRequestAssembler::Feed(std::span<const BYTE> bytes) {
    std::vector<RequestFrame> frames;
    for (BYTE b : bytes) {
        if (!m_bInFrame) {
            Scan(b);
            continue;
        }
        RequestFrame done;
        if (Collect(b, done)) frames.push_back(std::move(done));
    }
    return frames;
}

void CRequestAssembler::Reset() {
    m_frame.clear();
    m_nPreamble = 0;
    m_bInFrame = false;
}

void CRequestAssembler::Scan(BYTE b) {
    if (b == kPreambleByte) {
        ++m_nPreamble;
        return;
    }
    if (b == kFrameStart && m_nPreamble >= kPreambleLength) {
        m_frame.assign(kPreambleLength, kPreambleByte);
        m_frame.push_back(kFrameStart);
        m_bInFrame = true;
    }
    m_nPreamble = 0;
}

// Appends one byte; true when the frame is complete (good or not) in `done`.
bool CRequestAssembler::Collect(BYTE b, RequestFrame& done) {
    m_frame.push_back(b);
    const int have = static_cast<int>(m_frame.size());
    if (have < kFrameHeaderSize) return false;
    const int payload = GetWord(&m_frame[kFrameLength]);
    // A length no request has cannot be trusted to find the end of the frame:
    // give up on it at the header rather than swallow the frames that follow.
    const bool lengthOk = payload <= kMaxRequestPayload;
    if (lengthOk && have < payload + kFrameOverhead) return false;

    done.bytes = std::move(m_frame);
    done.valid = lengthOk && done.bytes.back() == kFrameEnd &&
                 XorBytes(&done.bytes[kFrameCommand], kFrameHeaderSize - kFrameCommand + payload) ==
                     done.bytes[kFrameHeaderSize + payload];
    Reset();
    return true;
}

bool IsSearchPattern(const Report& report) {
    for (int i = 1; i < kReportSize; ++i) {
        const BYTE expected = (i % 2 == 1) ? kSearchPatternA : kSearchPatternB;
        if (report[i] != expected) return false;
    }
    return true;
}

std::vector<BYTE> BuildReplyWire(const ReplyHeader& header, std::span<const BYTE> data) {
    const size_t start = kPreambleLength;
    std::vector<BYTE> wire(start + kReplyOverhead + data.size(), 0);
    std::fill_n(wire.begin(), start, kPreambleByte);
    BYTE* frame = wire.data() + start;
    frame[kReplyStart] = kFrameStart;
    frame[kReplyCommand] = header.command;
    frame[kReplyDeviceId] = header.deviceId;
    frame[kReplyGroup] = header.group;
    frame[kReplyType] = header.type;
    frame[kReplyIndex] = header.index;
    frame[kReplyStoreFlag] = header.storeFlag;
    PutWord(frame + kReplyLength, static_cast<unsigned>(data.size()));
    std::copy(data.begin(), data.end(), frame + kReplyData);
    const int checked = kReplyData - kReplyCommand + static_cast<int>(data.size());
    frame[kReplyData + data.size()] = XorBytes(frame + kReplyCommand, checked);
    frame[kReplyData + data.size() + 1] = kFrameEnd;
    return wire;
}

std::vector<Report> CutIntoReports(std::span<const BYTE> wire) {
    std::vector<Report> reports;
    for (size_t at = 0; at < wire.size(); at += kReportPayload) {
        Report report{};
        const size_t n = std::min<size_t>(kReportPayload, wire.size() - at);
        std::copy_n(wire.begin() + at, n, report.begin() + 1);
        reports.push_back(report);
    }
    return reports;
}

}  // namespace sim
