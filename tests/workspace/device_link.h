#pragma once
// The link worker played in-process against the virtual processor: the
// pump's packet when the queue is empty, written in reports, the device's
// replies fed back to the parser. Free of any test framework, so that the
// presenter tests and the widget tests share it.

#include <mutex>
#include <vector>

#include "base/globals.h"
#include "edits/edits.h"
#include "image/param_image.h"
#include "image/record_layout.h"
#include "model/ktv_data.h"
#include "protocol/frame_format.h"
#include "protocol/ktv_command.h"
#include "sim/virtual_processor.h"
#include "workspace/offline_host.h"
#include "workspace/workspace_host.h"

// Exchanges until nothing is pending (at most `limit`); how many it took.
inline int RunLinkUntilIdle(CKTV_Data& model, CKTVCommand& cmd, CVirtualProcessor& device,
                            int limit = 2000) {
    int exchanges = 0;
    for (; exchanges < limit && !NothingPending(model, cmd); ++exchanges) {
        std::lock_guard lock(g_csModel);
        if (cmd.GetCount() == 0) cmd.PushPacket(model.NextPendingChange());
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

// The virtual processor takes the host's current image and system settings.
inline void SeedDevice(CVirtualProcessor& device) {
    sim::DeviceMemory memory = device.Memory();
    memory.current = g_CurImage;
    memory.sysSettings = g_SysSettings;
    device.SetMemory(memory);
}

// The slot bytes of output channel c that travel.
inline std::vector<BYTE> OutSlotBytes(const ParamImage& image, int c) {
    const BYTE* slot = image.data() + OutSlotOffset(c);
    return std::vector<BYTE>(slot, slot + kOutBlockSize);
}

// The offline host with a virtual processor holding the same settings,
// online.
class VirtualDeviceHost : public OfflineHost {
public:
    VirtualDeviceHost() {
        Command().ClearQueue();
        SeedDevice(m_device);
        g_bOnline = true;
    }
    ~VirtualDeviceHost() override { g_bOnline = false; }

    bool IsConnected() const override { return true; }

    int RunLinkUntilIdle() { return ::RunLinkUntilIdle(Model(), Command(), m_device); }
    std::vector<BYTE> DeviceSlot(int c) const { return OutSlotBytes(m_device.CurrentImage(), c); }
    CVirtualProcessor& Device() { return m_device; }

private:
    CVirtualProcessor m_device;
};
