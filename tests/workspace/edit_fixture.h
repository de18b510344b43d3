#pragma once
// A fresh model over start-up images, every channel its own link group, an
// empty command queue and a recording message sink; offline unless a test
// goes online.

#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "base/globals.h"
#include "base/messages.h"
#include "model/ktv_data.h"
#include "model/ktv_out_data.h"
#include "model/param_image.h"
#include "model/startup_contents.h"
#include "protocol/frame_format.h"
#include "protocol/ktv_command.h"
#include "workspace/edits.h"

class CountingSink : public IMessageSink {
public:
    void Post(unsigned msg, std::uintptr_t, std::intptr_t) override {
        std::lock_guard lock(m_mutex);
        m_messages.push_back(msg);
    }
    std::vector<unsigned> Taken() {
        std::lock_guard lock(m_mutex);
        return std::exchange(m_messages, {});
    }

private:
    std::mutex m_mutex;
    std::vector<unsigned> m_messages;
};

using KeyValues = std::vector<std::pair<std::string, std::string>>;

class EditTest : public ::testing::Test {
protected:
    void SetUp() override {
        g_bOnline = false;
        g_bChinese = false;
        g_bSendSysSettings = false;
        g_bSendInputLevels = false;
        InitStartupContents();
        model = std::make_unique<CKTV_Data>();
        model->LoadFromImage(g_CurImage, kLoadModeCurrent);
        g_pMessageSink = &sink;
    }
    void TearDown() override {
        g_pMessageSink = nullptr;
        g_bOnline = false;
        model.reset();
    }

    // Parses and applies a command; the errors of whichever step refused it.
    std::vector<std::string> Set(const KeyValues& pairs, bool connected = false) {
        ParsedEdits parsed = ParseEdits(pairs);
        if (!parsed.ok()) return parsed.errors;
        return ApplyEdits(*model, cmd, connected, parsed.edits).errors;
    }
    void SetOk(const KeyValues& pairs, bool connected = false) {
        const std::vector<std::string> errors = Set(pairs, connected);
        ASSERT_TRUE(errors.empty()) << errors.front();
    }
    std::string Get(const std::string& key) {
        const ValueText v = GetValue(*model, key);
        EXPECT_TRUE(v.ok) << key << ": " << v.error;
        return v.text;
    }
    void Link(std::initializer_list<int> channels) {
        const int group = *channels.begin();
        for (int c : channels)
            g_anLinkGroup[c] = group;
    }

    CKTV_OutData& Out(int c) { return *model->GetOutput(c); }
    BYTE* Slot(int c) { return g_CurImage.data() + OutSlotOffset(c); }

    std::unique_ptr<CKTV_Data> model;
    CKTVCommand cmd;
    CountingSink sink;
};

// What a queued request frame addresses.
struct FrameAddress {
    BYTE command;
    BYTE type;
    BYTE index;
    BYTE item;
    bool operator==(const FrameAddress&) const = default;
};

inline std::ostream& operator<<(std::ostream& os, const FrameAddress& a) {
    return os << "{cmd " << std::hex << int(a.command) << std::dec << ", type " << int(a.type)
              << ", index " << int(a.index) << ", item " << int(a.item) << "}";
}

inline FrameAddress AddressOf(const CSendData& packet) {
    const BYTE* f = packet.GetBuffer();
    return {f[kFrameCommand], f[kFrameType], f[kFrameIndex], f[kFrameItem]};
}

// Every packet in the queue, head first; the queue is emptied.
inline std::vector<FrameAddress> DrainQueue(CKTVCommand& cmd) {
    std::vector<FrameAddress> queued;
    while (CSendData* head = cmd.PeekHead()) {
        queued.push_back(AddressOf(*head));
        cmd.PopHead();
    }
    return queued;
}
