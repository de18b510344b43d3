#include "workspace/link_presenter.h"

#include <mutex>

#include "base/globals.h"
#include "edits/bulk_ops.h"
#include "image/param_image.h"
#include "model/ktv_data.h"
#include "workspace/workspace_control.h"
#include "workspace/workspace_host.h"

namespace {

// Left role, right role of each pair, in pair order.
constexpr int kPairRoles[kLinkPairCount][2] = {
    {1, 7},   {2, 8},   {3, 9},   {4, 10},  {5, 11},  // front high, mid, low, mid-high, mid-low
    {6, 12},  {13, 16}, {14, 17}, {15, 18},           // front full, rear high, low, full
    {22, 23},                                         // subwoofers
};

// The channel whose copies end the link operation; its block reports when
// the device has taken it, which closes the transfer window.
constexpr int kCompletionChannel = 1;

}  // namespace

LinkPairs BuildLinkPairs(const std::array<BYTE, 12>& roles) {
    LinkPairs pairs{};
    for (int c = 0; c < kOutputCount; ++c) {
        for (int p = 0; p < kLinkPairCount; ++p) {
            if (roles[c] == kPairRoles[p][0]) pairs[p].left = c;
            if (roles[c] == kPairRoles[p][1]) pairs[p].right = c;
        }
    }
    for (LinkPair& pair : pairs)
        pair.enabled = pair.left >= 0 && pair.right >= 0;
    return pairs;
}

int EnabledPairCount(const LinkPairs& pairs) {
    int n = 0;
    for (const LinkPair& pair : pairs)
        n += pair.enabled ? 1 : 0;
    return n;
}

CLinkPresenter::CLinkPresenter(IWorkspaceHost& host, IWorkspaceControl& workspace, ILinkView& view)
    : m_host(host), m_workspace(workspace), m_view(view) {}

int CLinkPresenter::PartnerOf(int channel) const {
    if (!m_bLinked) return -1;
    for (const LinkPair& pair : m_pairs) {
        if (!pair.enabled) continue;
        if (pair.left == channel) return pair.right;
        if (pair.right == channel) return pair.left;
    }
    return -1;
}

void CLinkPresenter::OnLinkToggled() {
    if (m_bLinked) {
        LinkOff();
        return;
    }
    const std::optional<int> side = m_view.AskReferenceSide();
    if (!side) {
        m_view.SetLinkChecked(false);
        return;
    }
    LinkOn(*side);
}

void CLinkPresenter::LinkOn(int side) {
    LinkPairs pairs;
    {
        std::lock_guard lock(g_csModel);
        pairs = BuildLinkPairs(g_SpeakerRoles);
    }
    if (EnabledPairCount(pairs) == 0) {
        m_view.SetLinkChecked(false);
        m_view.ShowMessage(TextId::NoLinkPairs);
        return;
    }
    m_pairs = pairs;
    m_bLinked = true;
    m_view.SetLinkChecked(true);
    {
        // The queue pump must never send a half-copied channel.
        std::lock_guard lock(g_csModel);
        const bool connected = m_host.IsConnected();
        OutputStates outputs{};
        MuteAllOutputs(m_host.Command(), true, connected, outputs);
        for (const LinkPair& pair : m_pairs) {
            if (!pair.enabled) continue;
            if (side == kLinkSideRight)
                LinkChannel(pair.right, pair.left);
            else
                LinkChannel(pair.left, pair.right);
        }
        MuteAllOutputs(m_host.Command(), false, connected, outputs);
    }
    const int selected = m_workspace.SelectedChannel();
    const int partner = PartnerOf(selected);
    if (partner >= 0) {
        m_workspace.SetSelectChecked(selected, true);
        m_workspace.SetSelectChecked(partner, true);
    }
    m_workspace.SetPresetDisplayVisible(false);
}

void CLinkPresenter::LinkChannel(int reference, int target) {
    if (g_anLinkGroup[target] == reference) return;
    g_anLinkGroup[target] = reference;
    for (int i = 0; i < kOutputCount; ++i) {
        if (i == target || g_anLinkGroup[i] != reference) continue;
        CopyChannel(i, target);
        m_workspace.RefreshChannel(target);
        m_workspace.RedrawGraph(-1);
    }
}

void CLinkPresenter::CopyChannel(int source, int target) {
    const bool connected = m_host.IsConnected();
    ::CopyChannel(m_host.Command(), source, target, connected,
                  m_bLinked && target == kCompletionChannel);
    // The slot follows the record also offline, where no block is sent.
    if (!connected) m_host.Model().GetOutput(target)->WriteToImage();
}

void CLinkPresenter::LinkOff() {
    const int partner = PartnerOf(m_workspace.SelectedChannel());
    if (partner >= 0) m_workspace.SetSelectChecked(partner, false);
    {
        std::lock_guard lock(g_csModel);
        for (int i = 0; i < static_cast<int>(g_anLinkGroup.size()); ++i)
            g_anLinkGroup[i] = i;
    }
    m_pairs = {};
    m_bLinked = false;
    m_workspace.SetPresetDisplayVisible(true);
    m_view.SetLinkChecked(false);
}

void CLinkPresenter::ResetLinks() {
    {
        std::lock_guard lock(g_csModel);
        for (int i = 0; i < kOutputCount; ++i) {
            g_anLinkGroup[i] = i;
            g_apOutChannel[i] = m_host.Model().GetOutput(i);
        }
    }
    m_pairs = {};
    m_bLinked = false;
    const int selected = m_workspace.SelectedChannel();
    for (int i = 0; i < kOutputCount; ++i) {
        if (i != selected) m_workspace.SetSelectChecked(i, false);
    }
    m_view.SetLinkChecked(false);
    m_workspace.SetPresetDisplayVisible(true);
}
