#include "workspace/car_presenter.h"

#include <algorithm>
#include <mutex>

#include "base/globals.h"
#include "controls/delay_units.h"
#include "edits/channel_delay.h"
#include "image/param_image.h"
#include "model/ktv_data.h"
#include "workspace/workspace_control.h"
#include "workspace/workspace_host.h"
#include "workspace/workspace_state.h"

namespace {

struct PositionRoles {
    int searched;  // the role a click looks for (0: empty position)
    int shown[3];  // every role drawn here, 0-terminated
};

// By position number (the delay field's).
constexpr PositionRoles kPositions[kCarPositionCount] = {
    {1, {1, 4, 0}},     // front-left high
    {2, {2, 0, 0}},     // front-left mid
    {3, {3, 5, 6}},     // front-left low
    {7, {7, 10, 0}},    // front-right high
    {8, {8, 0, 0}},     // front-right mid
    {9, {9, 11, 12}},   // front-right low
    {13, {13, 0, 0}},   // rear-left high
    {0, {0, 0, 0}},     // empty
    {14, {14, 15, 0}},  // rear-left low
    {16, {16, 0, 0}},   // rear-right high
    {0, {0, 0, 0}},     // empty
    {17, {17, 18, 0}},  // rear-right low
    {22, {22, 0, 0}},   // left subwoofer
    {24, {24, 0, 0}},   // subwoofer
    {23, {23, 0, 0}},   // right subwoofer
    {20, {20, 0, 0}},   // centre low
    {21, {21, 0, 0}},   // centre full
    {19, {19, 0, 0}},   // centre high
};

// The role-table entries the diagram shows: the six channels and the two
// entries after them, which have no channel record.
constexpr int kShownRoleEntries = 8;

// The roles a click looks for at a position that other roles share.
bool SearchesSharedPosition(int role) {
    const int k = PositionOfRole(role);
    return k != kNoPosition && kPositions[k].searched == role && kPositions[k].shown[1] != 0;
}

}  // namespace

int PositionOfRole(int role) {
    if (role <= 0) return kNoPosition;
    for (int k = 0; k < kCarPositionCount; ++k) {
        for (int r : kPositions[k].shown) {
            if (r == role) return k;
        }
    }
    return kNoPosition;
}

int RoleSearchedAt(int position) {
    if (position < 0 || position >= kCarPositionCount) return 0;
    return kPositions[position].searched;
}

int FindChannelByRole(int role, const std::array<BYTE, 12>& roles) {
    if (role <= 0) return kNoChannel;
    if (SearchesSharedPosition(role)) {
        const int k = PositionOfRole(role);
        for (int c = 0; c < kOutputCount; ++c) {
            if (PositionOfRole(roles[c]) == k) return c;
        }
        return kNoChannel;
    }
    for (int c = kOutputCount - 1; c >= 0; --c) {
        if (roles[c] == role) return c;
    }
    return kNoChannel;
}

CCarPresenter::CCarPresenter(IWorkspaceHost& host, IWorkspaceControl& workspace, ICarView& view)
    : m_host(host), m_workspace(workspace), m_view(view) {}

int CCarPresenter::ChannelAt(int position) const {
    std::lock_guard lock(g_csModel);
    return FindChannelByRole(RoleSearchedAt(position), g_SpeakerRoles);
}

void CCarPresenter::OnPositionClicked(int position) {
    const int c = ChannelAt(position);
    if (c != kNoChannel) m_workspace.SelectChannel(c);
}

void CCarPresenter::OnDelayEdited(int position, int samples) {
    const int c = ChannelAt(position);
    if (c == kNoChannel) return;
    SetChannelDelay(std::clamp(samples, 0, kDelayMaxSamples), c);
    if (c != m_workspace.SelectedChannel()) m_workspace.SelectChannel(c);
}

void CCarPresenter::SetChannelDelay(int samples, int channel) {
    int position = kNoPosition;
    {
        std::lock_guard lock(g_csModel);
        CKTV_OutData* record = m_host.Model().GetOutput(channel);
        if (record == nullptr || !::SetChannelDelay(*record, samples)) return;
        // The slot follows the record also offline, where the pump does not run.
        record->MakeLevelPacket(false);
        // Shown only where the position answers to this channel.
        const int k = PositionOfRole(g_SpeakerRoles[channel]);
        if (FindChannelByRole(RoleSearchedAt(k), g_SpeakerRoles) == channel) position = k;
    }
    if (position != kNoPosition) m_view.ShowDelay(position, samples);
}

void CCarPresenter::OnUnitChosen(int unit) {
    if (unit < kDelayUnitMs || unit > kDelayUnitInch) return;
    g_nDelayUnit = unit;
    m_view.ShowDelayUnit(unit);
}

int CCarPresenter::DelayUnit() const {
    return g_nDelayUnit;
}

void CCarPresenter::ClearPositionHighlights() {
    for (int k = 0; k < kCarPositionCount; ++k)
        m_view.SetPositionHighlight(k, false);
}

void CCarPresenter::HighlightPosition(int channel) {
    if (channel < 0 || channel >= kOutputCount) return;
    int position = kNoPosition;
    {
        std::lock_guard lock(g_csModel);
        position = PositionOfRole(g_SpeakerRoles[channel]);
    }
    if (position != kNoPosition) m_view.SetPositionHighlight(position, true);
}

// Each position shows the delay of the channel an edit there would change, so
// that two channels sharing a position never show one's delay and edit the
// other's.
void CCarPresenter::ReloadDelays() {
    std::array<int, kCarPositionCount> delays{};
    {
        std::lock_guard lock(g_csModel);
        for (int k = 0; k < kCarPositionCount; ++k) {
            const int c = FindChannelByRole(RoleSearchedAt(k), g_SpeakerRoles);
            delays[k] = c == kNoChannel ? 0 : m_host.Model().GetOutput(c)->GetDelay();
        }
    }
    for (int k = 0; k < kCarPositionCount; ++k)
        m_view.ShowDelay(k, delays[k]);
}

void CCarPresenter::ShowSpeakerPositions() {
    std::array<bool, kCarPositionCount> visible{};
    std::array<int, kCarPositionCount> channels{};
    {
        std::lock_guard lock(g_csModel);
        for (int entry = 0; entry < kShownRoleEntries; ++entry) {
            const int k = PositionOfRole(g_SpeakerRoles[entry]);
            if (k != kNoPosition) visible[k] = true;
        }
        for (int k = 0; k < kCarPositionCount; ++k)
            channels[k] = FindChannelByRole(RoleSearchedAt(k), g_SpeakerRoles);
    }
    for (int k = 0; k < kCarPositionCount; ++k)
        m_view.ShowPosition(k, visible[k], channels[k]);
}

void CCarPresenter::Relabel() {
    m_view.Relabel();
}
