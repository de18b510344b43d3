#pragma once
// The device side of the wire: request frames assembled from the bytes of
// output reports, and reply frames cut into input reports.

#include <array>
#include <span>
#include <vector>

#include "base/types.h"
#include "protocol/frame_format.h"

namespace sim {

using Report = std::array<BYTE, kReportSize>;

// The largest payload a request carries (a whole output block).
constexpr int kMaxRequestPayload = 296;

// One request frame, from A2 A2 A2 A3 to the end byte.
struct RequestFrame {
    std::vector<BYTE> bytes;
    bool valid = false;  // start, check byte, end byte and length all good

    BYTE Command() const { return bytes[kFrameCommand]; }
    BYTE DeviceId() const { return bytes[kFrameDeviceId]; }
    BYTE Group() const { return bytes[kFrameGroup]; }
    BYTE Type() const { return bytes[kFrameType]; }
    BYTE Index() const { return bytes[kFrameIndex]; }
    BYTE Item() const { return bytes[kFrameItem]; }
    BYTE Link() const { return bytes[kFrameLink]; }
    int PayloadLength() const { return GetWord(&bytes[kFrameLength]); }
    // Empty for a frame that failed its checks.
    std::span<const BYTE> Payload() const;
};

// Collects request frames from the byte stream of output reports. Bytes
// outside a frame (the zero padding of a last report, a search pattern) are
// skipped until the next A2 A2 A2 A3.
class CRequestAssembler {
public:
    // Feeds bytes 1..64 of one report; returns the frames completed by them.
    std::vector<RequestFrame> Feed(std::span<const BYTE> bytes);
    // Forgets a half-received frame.
    void Reset();
    bool InFrame() const { return m_bInFrame; }

private:
    void Scan(BYTE b);
    bool Collect(BYTE b, RequestFrame& done);

    std::vector<BYTE> m_frame;
    int m_nPreamble = 0;
    bool m_bInFrame = false;
};

// True when bytes 1..64 of the report are the device-search pattern.
bool IsSearchPattern(const Report& report);

// Reply header fields; the device echoes the request's group, type and index
// and puts the request's item byte into the store flag.
struct ReplyHeader {
    BYTE command = REPLY_ACK;
    BYTE deviceId = 1;
    BYTE group = 0;
    BYTE type = 0;
    BYTE index = 0;
    BYTE storeFlag = 0;
};

// A2 A2 A2 followed by the reply frame (L + 13 bytes).
std::vector<BYTE> BuildReplyWire(const ReplyHeader& header, std::span<const BYTE> data);
// Index of the check byte inside a wire built by BuildReplyWire.
inline size_t ReplyCheckIndex(const std::vector<BYTE>& wire) {
    return wire.size() - 2;
}
// Cuts wire bytes into 65-byte input reports (byte 0 = 0, zero padded).
std::vector<Report> CutIntoReports(std::span<const BYTE> wire);

}  // namespace sim
