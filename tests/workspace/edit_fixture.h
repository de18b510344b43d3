#pragma once
// A fresh model over start-up images, every channel its own link group, an
// empty command queue and a recording message sink; offline unless a test
// goes online.

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "edits/edits.h"
#include "model/model_test_fixture.h"
#include "protocol/ktv_command.h"

using KeyValues = std::vector<std::pair<std::string, std::string>>;

// The records start from the start-up image, as after loading it.
class EditTest : public ModelTest {
protected:
    void SetUp() override {
        ModelTest::SetUp();
        model->LoadFromImage(g_CurImage, kLoadModeCurrent);
        cmd.ClearQueue();
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

    CKTVCommand cmd;
};

// Every packet in the queue, head first; the queue is emptied.
inline std::vector<FrameAddress> DrainQueue(CKTVCommand& cmd) {
    std::vector<FrameAddress> queued;
    while (CSendData* head = cmd.PeekHead()) {
        queued.push_back(AddressOf(*head));
        cmd.PopHead();
    }
    return queued;
}
