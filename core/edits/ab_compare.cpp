#include "edits/ab_compare.h"

#include <mutex>

#include "base/globals.h"
#include "edits/bulk_ops.h"
#include "model/ktv_data.h"

bool CABCompare::Press(CKTV_Data& model, CKTVCommand& cmd, bool connected) {
    std::lock_guard lock(g_csModel);
    model.WriteAllToImage();
    if (m_live < 0) {
        m_slots = {g_CurImage, g_CurImage};
        m_live = 1;
        return false;
    }
    m_slots[static_cast<std::size_t>(m_live)] = g_CurImage;
    m_live = 1 - m_live;
    const ParamImage playing = g_CurImage;
    g_CurImage = m_slots[static_cast<std::size_t>(m_live)];
    model.LoadFromImage(g_CurImage, kLoadModeFile);
    QueueSettingDifferences(cmd, playing, connected);
    return true;
}
