#pragma once
// Builders of the request frames. They read the parameter images and system
// blocks of image/param_image.h, so callers hold g_csModel. Each returns a new
// packet owning its frame, or null when the block it names does not exist
// (a channel outside 0..5, a group without an image, a type without items);
// CKTVCommand::PushPacket ignores a null packet.

#include <memory>

#include "base/types.h"
#include "protocol/send_data.h"

// The header fields of a request; the preamble, device id, reserved byte,
// length, check byte and end byte are filled in by MakeFramePacket.
struct FrameFields {
    BYTE command = CMD_WRITE;
    BYTE group = 0;
    BYTE type = 0;
    BYTE index = 0;
    BYTE item = 0;
    BYTE link = 0;
};

// Writes the check byte (XOR of the command byte through the last payload
// byte) at length - 2 and the end byte at length - 1 of a frame whose header
// and payload are in place.
void FinishFrame(BYTE* frame, int length);

// A complete frame from header fields and a payload of n bytes (n may be 0).
// Used by every builder below and by the firmware update's step packets.
std::unique_ptr<CSendData> MakeFramePacket(const FrameFields& fields, const BYTE* payload, int n);

// 24-byte write of one 8-byte item of a block of g_CurImage. BT_POLL gives
// the idle status poll instead (a read of system code 3).
std::unique_ptr<CSendData> MakeItemPacket(int type, int index, int item);

// Write of a whole block into `group` (0 = current settings, 1..20 = stored
// group). Source: g_CurImage when fromCurrent, else the stored image of
// `group`; an effect block with both flags false comes from source record
// group - 21.
std::unique_ptr<CSendData> MakeBlockPacket(int group, int type, int index, bool fromCurrent,
                                           bool storedGroup);

// 24-byte read of a whole block; the item byte asks for the group's own data
// (0xAB) unless a stored group is read as current settings.
std::unique_ptr<CSendData> MakeReadRequest(int group, int type, int index, bool fromCurrent,
                                           bool storedGroup);

// 24-byte read of a system item.
std::unique_ptr<CSendData> MakeSystemRead(int code, int group);

// Write of a system item with its payload (0x86: the name of `group`).
// Null for codes that have no write form (status, identification).
std::unique_ptr<CSendData> MakeSystemWrite(int code, int group);

// True when another output channel shares the link group of `channel`.
bool IsChannelLinked(int channel);
