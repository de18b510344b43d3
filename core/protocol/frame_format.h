#pragma once
// The request and reply frames exchanged with the processor. Both sides of the
// link (the protocol code and the virtual processor) use these names.

#include "base/types.h"

// Request frame: A2 A2 A2 A3, header, payload, check, AA.
constexpr BYTE kPreambleByte = 0xA2;
constexpr BYTE kFrameStart = 0xA3;
constexpr BYTE kFrameEnd = 0xAA;
constexpr int kPreambleLength = 3;

constexpr int kFrameCommand = 4;
constexpr int kFrameDeviceId = 5;
constexpr int kFrameGroup = 6;
constexpr int kFrameType = 7;
constexpr int kFrameIndex = 8;
constexpr int kFrameItem = 9;
constexpr int kFrameLink = 10;
constexpr int kFrameReserved = 11;
constexpr int kFrameLength = 12;  // 16-bit payload length
constexpr int kFrameHeaderSize = 14;
constexpr int kFrameOverhead = 16;  // header, check byte and end byte

constexpr BYTE CMD_WRITE = 0xB3;
constexpr BYTE CMD_READ = 0xB4;

// Block types
constexpr BYTE BT_MIC = 1;
constexpr BYTE BT_MUSIC = 2;
constexpr BYTE BT_OUTPUT = 3;
constexpr BYTE BT_SYSTEM = 4;
constexpr BYTE BT_POLL = 7;
constexpr BYTE BT_EFFECT = 10;

// Item byte of a read that asks for the addressed group's own data.
constexpr BYTE kItemStoredGroup = 0xAB;

// System codes (block type 4, code in the index byte)
constexpr BYTE SYS_STATUS = 0x03;
constexpr BYTE SYS_LIMITER = 0x40;
constexpr BYTE SYS_GROUP_NAME = 0x86;
constexpr BYTE SYS_IDENTIFY = 0x88;
constexpr BYTE SYS_FACTORY_RESET = 0x89;
constexpr BYTE SYS_SETTINGS = 0x90;
constexpr BYTE SYS_SPEAKER_ROLES = 0x91;
constexpr BYTE SYS_INPUT_LEVELS = 0x92;

// Payloads: a block is also addressed as 8-byte items; reads carry 8 zero bytes.
constexpr int kItemSize = 8;
constexpr int kReadPayloadSize = 8;

// Items of an output channel block.
constexpr int kOutItemLastBand = 30;  // items 0..30: the equalizer bands
constexpr int kOutItemLevel = 31;     // output switch, phase, gain, delay, eq mode
constexpr int kOutItemXover = 32;
constexpr int kOutItemMixLow = 33;
constexpr int kOutItemMixHigh = 34;
constexpr int kOutItemLimiter = 35;
constexpr int kOutItemName = 36;

// System item payloads.
constexpr int kNameChars = 15;           // group name characters; the write adds a 0
constexpr int kFactoryResetPayload = 7;  // zero bytes of the 0x89 write
constexpr int kIdentificationBytes = 17;
constexpr int kStatusDataSize = 12;
constexpr int kStatusSourceByte = 11;  // active input source in the status reply

// Reply frame, offsets after the three preamble bytes.
constexpr int kReplyStart = 0;
constexpr int kReplyCommand = 1;
constexpr int kReplyDeviceId = 2;
constexpr int kReplyGroup = 3;
constexpr int kReplyType = 4;
constexpr int kReplyIndex = 5;
constexpr int kReplyStoreFlag = 6;
constexpr int kReplyLength = 9;  // 16-bit data length
constexpr int kReplyData = 11;
constexpr int kReplyOverhead = 13;  // frame length = data length + 13

constexpr BYTE REPLY_ACK = 0x64;
constexpr BYTE REPLY_RESEND = 0x65;
constexpr BYTE REPLY_DATA = 0x66;

constexpr bool IsReplyCommand(int command) {
    return command == REPLY_ACK || command == REPLY_RESEND || command == REPLY_DATA;
}

// A frame may also start with this byte instead of the three preamble bytes.
constexpr BYTE kReplyAltStart = 0xEE;

// Firmware update step codes (system type, code in the index byte)
constexpr BYTE UPG_BOOT = 0xB0;
constexpr BYTE UPG_START = 0xB1;
constexpr BYTE UPG_BLOCK = 0xB2;
constexpr BYTE UPG_END = 0xB3;
constexpr BYTE UPG_CTRL_BEGIN1 = 0xE0;
constexpr BYTE UPG_CTRL_BEGIN2 = 0xE1;
constexpr BYTE UPG_CTRL_BLOCK = 0xE2;
constexpr BYTE UPG_CTRL_END = 0xE3;
constexpr BYTE UPG_SEARCH = 0xFF;
constexpr int kUpgradeBlockBytes = 48;
// The device-search report: bytes 1..64 alternate these two, starting with the first.
constexpr BYTE kSearchPatternA = 0x43;
constexpr BYTE kSearchPatternB = 0x11;

// USB reports: byte 0 is the report id (0), bytes 1..64 carry frame bytes.
constexpr int kReportSize = 65;
constexpr int kReportPayload = 64;

// USB identity of the processor.
constexpr unsigned kVendorId = 0x0483;
constexpr unsigned kProductId = 0x5750;
constexpr unsigned kDeviceVersion = 0x0200;

// The identification; only the first 15 characters are compared.
constexpr const char kDeviceIdentification[] = "TQR-905-31EQ-V3.0";
constexpr int kIdentificationCompared = 15;

// XOR of n bytes.
inline BYTE XorBytes(const BYTE* p, int n) {
    BYTE x = 0;
    for (int i = 0; i < n; ++i)
        x ^= p[i];
    return x;
}
