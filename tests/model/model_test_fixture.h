#pragma once
// A fresh model over start-up images for every test, offline, with the
// posted messages recorded.

#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "base/globals.h"
#include "base/messages.h"
#include "base/texts.h"
#include "model/ktv_data.h"
#include "model/startup_contents.h"
#include "protocol/frame_format.h"
#include "support/recording_sink.h"

using test_support::PostedMessage;
using test_support::RecordingSink;

class ModelTest : public ::testing::Test {
protected:
    void SetUp() override {
        g_bOnline = false;
        g_bChinese = false;
        g_bSendSysSettings = false;
        g_bSendInputLevels = false;
        InitStartupContents();
        model = std::make_unique<CKTV_Data>();
        g_pMessageSink = &sink;
    }
    void TearDown() override {
        g_pMessageSink = nullptr;
        g_bOnline = false;
        model.reset();
    }

    CKTV_OutData& Out(int c) { return *model->GetOutput(c); }
    BYTE* Slot(int c) { return g_CurImage.data() + OutSlotOffset(c); }

    // Messages asking for the "char Len error!" box.
    int CharLenMessages() {
        int n = 0;
        for (const PostedMessage& m : sink.Taken()) {
            if (m.msg == UM_SHOW_MESSAGE &&
                m.wParam == static_cast<std::uintptr_t>(TextId::CharLenError)) {
                ++n;
            }
        }
        return n;
    }

    std::unique_ptr<CKTV_Data> model;
    RecordingSink sink;
};

// What a request frame addresses, for comparing pump output.
struct FrameAddress {
    BYTE command;
    BYTE type;
    BYTE index;
    BYTE item;
    bool operator==(const FrameAddress&) const = default;
};

inline FrameAddress AddressOf(const CSendData& packet) {
    const BYTE* f = packet.GetBuffer();
    return {f[kFrameCommand], f[kFrameType], f[kFrameIndex], f[kFrameItem]};
}

inline void PrintTo(const FrameAddress& a, std::ostream* os) {
    *os << "{cmd " << std::hex << int(a.command) << std::dec << ", type " << int(a.type)
        << ", index " << int(a.index) << ", item " << int(a.item) << "}";
}

inline const BYTE* PayloadOf(const CSendData& packet) {
    return packet.GetBuffer() + kFrameHeaderSize;
}

constexpr FrameAddress kIdlePoll{CMD_READ, BT_SYSTEM, SYS_STATUS, 0};
