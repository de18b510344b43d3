#include "workspace/offline_edits.h"

#include <mutex>

#include "base/globals.h"
#include "model/ktv_data.h"
#include "protocol/frame_format.h"
#include "edits/bulk_ops.h"
#include "workspace/workspace_host.h"

COfflineEdits::COfflineEdits(IWorkspaceHost& host) : m_host(host) {
    MarkInSync();
}

// Every record written into the current image first: some edits change a
// record and leave its image slot to the next send.
COfflineEdits::Setting COfflineEdits::Current() {
    std::lock_guard lock(g_csModel);
    m_host.Model().WriteAllToImage();
    return {g_CurImage, g_SysSettings};
}

void COfflineEdits::MarkInSync() {
    m_inSync = Current();
}

bool COfflineEdits::WindowChanged() {
    return !(Current() == m_inSync);
}

void COfflineEdits::BeforeReadAll(const std::function<OfflineChoice()>& ask) {
    if (!WindowChanged() || !ask) return;
    if (ask() != OfflineChoice::SendWindow || !m_host.IsConnected()) return;
    QueueWriteGroup(m_host.Command(), 0, true, &m_host.Model());
    QueueSystemWrite(m_host.Command(), SYS_SETTINGS, 0, true);
}
