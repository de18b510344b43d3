#pragma once
// The A/B comparison: two whole settings (parameter images), one of which
// plays. The first press copies the current setting into both slots and
// makes B the live one; each later press keeps the current setting in the
// live slot and switches to the other, sending only what differs.

#include <array>

#include "image/param_image.h"

class CKTV_Data;
class CKTVCommand;

class CABCompare {
public:
    bool Active() const { return m_live >= 0; }
    // 'A' or 'B' while active; 0 before the first press.
    char LiveSlot() const { return m_live < 0 ? char{0} : static_cast<char>('A' + m_live); }
    // Returns true when the current setting was switched (every press but
    // the first). The records and the current image take the other slot's
    // setting; with a link, what differs from the setting that played is
    // queued (QueueSettingDifferences). Takes g_csModel.
    bool Press(CKTV_Data& model, CKTVCommand& cmd, bool connected);
    // Back to before the first press.
    void Reset() { m_live = -1; }

private:
    std::array<ParamImage, 2> m_slots{};
    int m_live = -1;
};
