#pragma once
// Reply frames as the device sends them, for feeding the reply parser in
// tests and benchmarks. Free of any test framework.

#include <algorithm>
#include <vector>

#include "base/types.h"
#include "protocol/frame_format.h"

// A reply as the device sends it: three preamble bytes, then the frame.
inline std::vector<BYTE> ReplyBytes(BYTE command, int group, int type, int index, int storeFlag,
                                    const std::vector<BYTE>& data) {
    const int n = static_cast<int>(data.size());
    std::vector<BYTE> bytes(static_cast<size_t>(kPreambleLength + kReplyOverhead + n), 0);
    std::fill_n(bytes.begin(), kPreambleLength, kPreambleByte);
    BYTE* frame = bytes.data() + kPreambleLength;
    frame[kReplyStart] = kFrameStart;
    frame[kReplyCommand] = command;
    frame[kReplyDeviceId] = 1;
    frame[kReplyGroup] = static_cast<BYTE>(group);
    frame[kReplyType] = static_cast<BYTE>(type);
    frame[kReplyIndex] = static_cast<BYTE>(index);
    frame[kReplyStoreFlag] = static_cast<BYTE>(storeFlag);
    PutWord(&frame[kReplyLength], static_cast<unsigned>(n));
    std::copy(data.begin(), data.end(), frame + kReplyData);
    frame[kReplyData + n] = XorBytes(&frame[kReplyCommand], kReplyData + n - kReplyCommand);
    frame[kReplyData + n + 1] = kFrameEnd;
    return bytes;
}
