#pragma once
// A virtual processor that starts with the host's settings, and the link
// worker played in-process: the pump's packet when the queue is empty,
// written in reports, the device's replies fed back to the parser. Online.
// Also the workspace host the presenters work on.

#include <gtest/gtest.h>

#include <mutex>
#include <vector>

#include "image/param_image.h"
#include "image/record_layout.h"
#include "sim/virtual_processor.h"
#include "workspace/edit_fixture.h"
#include "workspace/workspace_host.h"

class DeviceTest : public EditTest, public IWorkspaceHost {
protected:
    void SetUp() override {
        EditTest::SetUp();
        sim::DeviceMemory memory = device.Memory();
        memory.current = g_CurImage;
        memory.sysSettings = g_SysSettings;
        device.SetMemory(memory);
        g_bOnline = true;
    }

    // IWorkspaceHost
    CKTV_Data& Model() override { return *model; }
    CKTVCommand& Command() override { return cmd; }
    bool IsConnected() const override { return g_bOnline; }

    // At most `limit` exchanges; returns how many there were.
    int RunLinkUntilIdle(int limit = 2000) {
        int exchanges = 0;
        for (; exchanges < limit && !NothingPending(*model, cmd); ++exchanges) {
            std::lock_guard lock(g_csModel);
            if (cmd.GetCount() == 0) cmd.PushPacket(model->NextPendingChange());
            CSendData* head = cmd.PeekHead();
            std::vector<CVirtualProcessor::Report> replies;
            CVirtualProcessor::Report report{};
            while (head->FillReport(report.data())) {
                const CVirtualProcessor::Output out = device.HandleOutputReport(report);
                replies.insert(replies.end(), out.reports.begin(), out.reports.end());
            }
            for (const CVirtualProcessor::Report& r : replies)
                cmd.ParseBytes(r.data() + 1, kReportPayload);
        }
        return exchanges;
    }

    std::vector<BYTE> DeviceSlot(int c) {
        const ParamImage image = device.CurrentImage();
        const BYTE* slot = image.data() + OutSlotOffset(c);
        return std::vector<BYTE>(slot, slot + kOutBlockSize);
    }
    std::vector<BYTE> HostSlot(int c) {
        return std::vector<BYTE>(Slot(c), Slot(c) + kOutBlockSize);
    }

    CVirtualProcessor device;
};
