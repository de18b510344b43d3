#include "link/hid_link.h"

#include <thread>

#include "base/globals.h"
#include "base/messages.h"
#include "link/claims.h"
#include "link/model_interface.h"
#include "protocol/frame_builder.h"
#include "protocol/ktv_command.h"

CDevicePath g_strDevicePath;

std::string CDevicePath::Get() const {
    std::lock_guard lock(m_mutex);
    return m_strPath;
}

void CDevicePath::Set(std::string path) {
    std::lock_guard lock(m_mutex);
    m_strPath = std::move(path);
}

CHidLink::CHidLink(const HidBackendRegistry& registry, CKTVCommand& command, ILinkModel* model,
                   const LinkTimings& timings)
    : m_registry(registry), m_command(command), m_pModel(model), m_timings(timings) {}

CHidLink::~CHidLink() {
    if (IsOpen()) Close();
}

// ---- Opening and closing ----

bool CHidLink::OpenFirstMatching() {
    if (IsOpen()) Close();
    g_bDeviceOpen = false;
    const auto info = m_registry.FirstMatching();
    if (!info) {
        m_strLastError = "no TQR-905 processor found";
        return false;
    }
    if (!OpenExclusive(info->strPath)) return false;
    g_strDevicePath.Set(info->strPath);
    return true;
}

bool CHidLink::OpenPath(const std::string& path) {
    if (IsOpen()) Close();
    g_bDeviceOpen = false;
    if (!OpenExclusive(path)) return false;
    g_strDevicePath.Set(path);
    return true;
}

// The claim comes first: a path another copy has claimed is not even opened
// for a moment, since its device may be restarting into its loader for that
// copy's update, which then has to find it free.
bool CHidLink::OpenExclusive(const std::string& path) {
    std::string why;
    if (!ClaimPath(path, &why)) {
        m_strLastError = "unable to open " + path + ": " + why;
        return false;
    }
    auto device = m_registry.Open(path);
    if (!device) {
        ReleasePath(path);
        m_strLastError = device.ErrorText();
        return false;
    }
    {
        std::lock_guard lock(m_deviceMutex);
        m_device = std::move(device.Value());
    }
    m_bDeviceFailed = false;
    m_strLastError.clear();
    m_abOutReport.fill(0);
    m_abInReport.fill(0);
    g_bDeviceOpen = true;
    return true;
}

void CHidLink::Close() {
    {
        std::lock_guard lock(m_deviceMutex);
        if (m_device) m_device->Close();
        m_device.reset();
    }
    m_abOutReport.fill(0);
    m_abInReport.fill(0);
    g_bDeviceOpen = false;
    m_bDeviceFailed = false;
    ReleasePath(g_strDevicePath.Get());
}

void CHidLink::AbortIo() {
    std::lock_guard lock(m_deviceMutex);
    if (m_device) m_device->Abort();
}

// ---- Report I/O ----

namespace {

IoResult LinkClosed() {
    return {IoStatus::Gone, "link closed"};
}

}  // namespace

// A failed write is not reported here: the read that follows finds the
// device gone. The update writes to a device that may be restarting, where a
// failure is expected and only a missing reply counts.
IoResult CHidLink::WriteOutReport(std::chrono::milliseconds timeout) {
    if (!m_device || m_bDeviceFailed) return LinkClosed();
    return m_device->WriteReport(m_abOutReport, timeout);
}

IoResult CHidLink::ReadInReport(std::chrono::milliseconds timeout) {
    if (!m_device || m_bDeviceFailed) return LinkClosed();
    IoResult result = m_device->ReadReport(m_abInReport, timeout);
    if (!result.Ok() && result.eStatus != IoStatus::Timeout) MarkDeviceFailed(result);
    return result;
}

// A device that is gone or whose handle broke answers every later call at
// once with the same failure; the first one is reported, the rest are not,
// so the worker does not flood the front end until the link is closed.
void CHidLink::MarkDeviceFailed(const IoResult& result) {
    if (m_bDeviceFailed) return;
    m_bDeviceFailed = true;
    if (result.eStatus != IoStatus::Aborted) PostLinkFailed();
}

bool CHidLink::FeedInReport() {
    BYTE* payload = m_abInReport.data() + 1;
    const bool complete = m_command.ParseBytes(payload, kReportPayload);
    std::fill(payload, payload + kReportPayload, BYTE{0});
    return complete;
}

void CHidLink::PostLinkFailed() const {
    if (g_bDeviceOpen) PostUiMessage(UM_LINK_FAILED);
}

// ---- The normal cycle ----

void CHidLink::NormalCycle() {
    if (WriteHead()) ReadReply();
}

bool CHidLink::WriteHead() {
    if (!m_device || !g_bDeviceOpen) return false;
    CSendData* head = m_command.PeekHead();
    if (head == nullptr) {
        std::unique_ptr<CSendData> next =
            m_pModel != nullptr ? m_pModel->NextPendingChange() : nullptr;
        m_command.PushPacket(next ? std::move(next) : MakeItemPacket(BT_POLL, 0, 0));
        return false;
    }
    // Write results are not examined: a lost report shows up as a missing reply.
    while (head->FillReport(m_abOutReport.data())) {
        [[maybe_unused]] const IoResult written = WriteOutReport(m_timings.writeWait);
        if (!g_bDeviceOpen) return false;
    }
    return true;
}

bool CHidLink::ReadReply() {
    for (;;) {
        if (!g_bDeviceOpen) return false;
        const IoResult read = ReadInReport(m_timings.readWait);
        switch (read.eStatus) {
            case IoStatus::Ok:
                if (FeedInReport()) return true;
                break;
            case IoStatus::Timeout:
                PostLinkFailed();
                return true;
            default:  // gone, aborted or broken: reported once, nothing more to read
                return false;
        }
        if (CycleOverdue()) {
            std::this_thread::sleep_for(m_timings.normalCyclePause);
            PostLinkFailed();
            return false;
        }
    }
}

bool CHidLink::CycleOverdue() const {
    return SinceCycleStart() > m_timings.cycleLimit;
}
