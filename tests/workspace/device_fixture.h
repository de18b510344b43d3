#pragma once
// A virtual processor that starts with the host's settings, and the link
// worker played in-process: the pump's packet when the queue is empty,
// written in reports, the device's replies fed back to the parser. Online.
// Also the workspace host the presenters work on.

#include <gtest/gtest.h>

#include <vector>

#include "image/param_image.h"
#include "image/record_layout.h"
#include "sim/virtual_processor.h"
#include "workspace/device_link.h"
#include "workspace/edit_fixture.h"
#include "workspace/workspace_host.h"

class DeviceTest : public EditTest, public IWorkspaceHost {
protected:
    void SetUp() override {
        EditTest::SetUp();
        SeedDevice(device);
        g_bOnline = true;
    }

    // IWorkspaceHost
    CKTV_Data& Model() override { return *model; }
    CKTVCommand& Command() override { return cmd; }
    bool IsConnected() const override { return g_bOnline; }

    // At most `limit` exchanges; returns how many there were.
    int RunLinkUntilIdle(int limit = 2000) {
        return ::RunLinkUntilIdle(*model, cmd, device, limit);
    }
    std::vector<BYTE> DeviceSlot(int c) { return OutSlotBytes(device.CurrentImage(), c); }
    std::vector<BYTE> HostSlot(int c) { return OutSlotBytes(g_CurImage, c); }

    CVirtualProcessor device;
};
