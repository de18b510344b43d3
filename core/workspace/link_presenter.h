#pragma once
// Left/right channel linking: the speaker pairs found from the roles, the
// reference side the user picks, the copies that make each pair alike, and
// the partner a selected channel brings along while linked. Once linked, the
// records themselves share gain, equalizer, crossover, mode and limiter edits
// within a link group; phase, delay, output switch and mix stay per channel.

#include <array>
#include <optional>

#include "base/texts.h"
#include "base/types.h"
#include "workspace/workspace_parts.h"

class IWorkspaceControl;
class IWorkspaceHost;

constexpr int kLinkPairCount = 10;
constexpr int kLinkSideLeft = 0;
constexpr int kLinkSideRight = 1;

struct LinkPair {
    bool enabled = false;
    int left = -1;  // channel 0..5, -1 when no channel holds the role
    int right = -1;
};
using LinkPairs = std::array<LinkPair, kLinkPairCount>;

// The left/right pairs of the six channels' roles (a later channel with the
// same role replaces an earlier one); a pair is enabled when both sides have
// a channel.
LinkPairs BuildLinkPairs(const std::array<BYTE, 12>& roles);
int EnabledPairCount(const LinkPairs& pairs);

class ILinkView {
public:
    virtual ~ILinkView() = default;
    // The reference dialog: kLinkSideLeft or kLinkSideRight, nothing on Cancel.
    virtual std::optional<int> AskReferenceSide() = 0;
    virtual void ShowMessage(TextId text) = 0;
    // The left/right link toggle of the top bar.
    virtual void SetLinkChecked(bool on) = 0;
    // A reload (recall, file load, device read) released the link: the
    // toggle and the status line say so until the toggle is pressed again.
    virtual void ShowLinkDropped(bool dropped) = 0;
};

class CLinkPresenter : public IWorkspacePart {
public:
    CLinkPresenter(IWorkspaceHost& host, IWorkspaceControl& workspace, ILinkView& view);

    // The toggle was pressed: asks for the reference side and links, or
    // switches linking off when it is on.
    void OnLinkToggled();
    bool IsLinked() const { return m_bLinked; }
    // Channel c's partner while the left/right link is on; -1 otherwise.
    int PartnerOf(int channel) const;
    const LinkPairs& Pairs() const { return m_pairs; }

    // Every channel its own group, toggle off, preset display shown.
    void ResetLinks() override;
    int LinkPartner(int channel) const override { return PartnerOf(channel); }

private:
    void LinkOn(int side);
    void LinkOff();
    void LinkChannel(int reference, int target);
    void CopyChannel(int source, int target);

    IWorkspaceHost& m_host;
    IWorkspaceControl& m_workspace;
    ILinkView& m_view;
    LinkPairs m_pairs{};
    bool m_bLinked = false;
};
