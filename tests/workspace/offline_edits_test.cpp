// Edits made offline meet a device that connects: the user keeps the
// window's setting (it is written to the device) or the device's (the
// read-all replaces the window's); without offline edits nobody is asked.

#include "workspace/offline_edits.h"

#include <gtest/gtest.h>

#include <mutex>

#include "image/record_layout.h"
#include "model/ktv_data.h"
#include "model/ktv_out_data.h"
#include "support/session_host.h"

namespace {

using test_support::SessionHost;

class OfflineEditsTest : public ::testing::Test {
protected:
    OfflineEditsTest() {
        host.Manager().SetBeforeReadAll([this] {
            edits.BeforeReadAll([this] {
                ++asked;
                return answer;
            });
        });
        host.AddDevice();
    }
    ~OfflineEditsTest() override { host.Manager().SetBeforeReadAll({}); }

    void SetGain(int channel, short gain) {
        std::lock_guard lock(g_csModel);
        host.Model().GetOutput(channel)->SetGain(gain);
    }
    int WindowGain(int channel) {
        std::lock_guard lock(g_csModel);
        return host.Model().GetOutput(channel)->GetGain();
    }
    int DeviceGain(int channel) {
        return host.processor.CurrentImage()[OutSlotOffset(channel) + kOutGain];
    }

    SessionHost host;
    COfflineEdits edits{host.Session()};
    OfflineChoice answer = OfflineChoice::KeepDevice;
    int asked = 0;
};

TEST_F(OfflineEditsTest, WhatStaysIsWhatTheUserChose) {
    struct Case {
        const char* name;
        bool edited;
        OfflineChoice answer;
        int asked;
        bool windowKept;
    };
    const Case cases[] = {
        {"no offline edit", false, OfflineChoice::SendWindow, 0, false},
        {"keep the device's", true, OfflineChoice::KeepDevice, 1, false},
        {"send the window's", true, OfflineChoice::SendWindow, 1, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const int deviceBefore = DeviceGain(2);
        const short typed = static_cast<short>(deviceBefore == 17 ? 18 : 17);
        if (c.edited) SetGain(2, typed);
        answer = c.answer;
        asked = 0;
        ASSERT_TRUE(host.ConnectOnline());
        EXPECT_EQ(asked, c.asked);
        const int expected = c.windowKept ? typed : deviceBefore;
        EXPECT_EQ(WindowGain(2), expected);
        EXPECT_EQ(DeviceGain(2), expected);
        // Online edits and what the device sent are in sync: a reconnect
        // asks nothing.
        edits.MarkInSync();
        host.Manager().OnConnectButton();
        ASSERT_TRUE(host.RunUntilState(ConnectionState::Disconnected));
        EXPECT_FALSE(edits.WindowChanged());
    }
}

}  // namespace
