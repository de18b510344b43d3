#include "link/model_link.h"

#include "model/ktv_data.h"

std::unique_ptr<CSendData> CModelLink::NextPendingChange() {
    return m_model.NextPendingChange();
}

void CModelLink::ClearPending() {
    m_model.ClearPending();
}

void CModelLink::LoadCurrentImage(int group) {
    m_model.LoadFromImage(g_CurImage, group);
}
