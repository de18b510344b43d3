#pragma once
// The edit fixture with a virtual processor that starts with the host's
// settings, the test playing the link worker in-process, and the host
// interface the workspace presenters work on.

#include <mutex>
#include <vector>

#include "model/param_image.h"
#include "model/record_layout.h"
#include "sim/virtual_processor.h"
#include "workspace/edit_fixture.h"
#include "workspace/workspace_host.h"

// The virtual processor starts with the host's settings; the test plays the
// link worker in-process: the pump's packet when the queue is empty, written
// in reports, the device's reply fed back to the parser.
class DeviceEditTest : public EditTest, public IWorkspaceHost {
protected:
    void SetUp() override {
        EditTest::SetUp();
        sim::DeviceMemory memory = device.Memory();
        memory.current = g_CurImage;
        memory.sysSettings = g_SysSettings;
        device.SetMemory(memory);
        g_bOnline = true;
    }

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

    CKTV_Data& Model() override { return *model; }
    CKTVCommand& Command() override { return cmd; }
    bool IsConnected() const override { return connected; }

    CVirtualProcessor device;
    bool connected = true;
};
