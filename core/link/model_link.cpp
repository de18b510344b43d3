#include "link/model_link.h"

#include "base/globals.h"
#include "model/ktv_data.h"

std::unique_ptr<CSendData> CModelLink::NextPendingChange() {
    return m_model.NextPendingChange();
}

// The pump's two marks for the system blocks live outside the records; they
// go with the records' marks, or a mark made offline would be sent to the
// next device connected.
void CModelLink::ClearPending() {
    m_model.ClearPending();
    g_bSendSysSettings = false;
    g_bSendInputLevels = false;
}

void CModelLink::LoadCurrentImage(int group) {
    m_model.LoadFromImage(g_CurImage, group);
}
