#pragma once
// The car diagram: where each channel's speaker sits, selection by speaker
// position, and the delays typed beside the speakers in milliseconds,
// centimetres or inches.

#include <array>
#include <vector>

#include "base/types.h"

#include "workspace/workspace_parts.h"

class IWorkspaceControl;
class IWorkspaceHost;

constexpr int kCarPositionCount = 18;
constexpr int kNoPosition = -1;
constexpr int kNoChannel = -1;

// Positions of the car diagram, numbered by their delay fields. Positions 7
// and 10 exist in the numbering but hold no role and are never shown.
enum CarPosition : int {
    kPosFrontLeftHigh = 0,
    kPosFrontLeftMid = 1,
    kPosFrontLeftLow = 2,
    kPosFrontRightHigh = 3,
    kPosFrontRightMid = 4,
    kPosFrontRightLow = 5,
    kPosRearLeftHigh = 6,
    kPosRearLeftLow = 8,
    kPosRearRightHigh = 9,
    kPosRearRightLow = 11,
    kPosLeftSub = 12,
    kPosSub = 13,
    kPosRightSub = 14,
    kPosCentreLow = 15,
    kPosCentreFull = 16,
    kPosCentreHigh = 17,
};

// The position where speaker role r is drawn; kNoPosition for role 0 and
// for codes no position holds.
int PositionOfRole(int role);
// The role a click on position k looks for; 0 for the two empty positions.
int RoleSearchedAt(int position);
// The channel (0..5) that plays role r, by the roles of the six channels:
// for the roles that share a position with others (front and rear, left and
// right, high and low), the first channel holding any role of that position;
// for the rest the last channel holding exactly r. kNoChannel when none.
int FindChannelByRole(int role, const std::array<BYTE, 12>& roles);
// The channels (0..5, in order) whose delay no position of the diagram
// edits: a role the diagram does not draw (0, an unknown code), or a
// position that answers to another channel.
std::vector<int> ChannelsWithoutPosition(const std::array<BYTE, 12>& roles);

// What the car diagram shows.
class ICarView {
public:
    virtual ~ICarView() = default;
    // Position k's select button and delay field are shown or hidden, with
    // the channel a click or an edit there reaches; kNoChannel (nothing can
    // be done there) for a role of entries 7 and 8, which have no channel.
    virtual void ShowPosition(int position, bool visible, int channel) = 0;
    virtual void SetPositionHighlight(int position, bool on) = 0;
    virtual void ShowDelay(int position, int samples) = 0;
    // The unit buttons (exactly the one of `unit` on) and every delay
    // field's unit.
    virtual void ShowDelayUnit(int unit) = 0;
    // The channels whose delay no position edits get a field of their own
    // beside the diagram; empty: none is needed.
    virtual void ShowOtherDelays(const std::vector<int>& channels) = 0;
    virtual void ShowOtherDelay(int channel, int samples) = 0;
    virtual void Relabel() = 0;
};

class CCarPresenter : public IWorkspacePart {
public:
    CCarPresenter(IWorkspaceHost& host, IWorkspaceControl& workspace, ICarView& view);

    // A click on position k's select button.
    void OnPositionClicked(int position);
    // A delay committed in position k's field (typed or stepped), in samples.
    void OnDelayEdited(int position, int samples);
    // A delay committed in the field of a channel without a position.
    void OnOtherDelayEdited(int channel, int samples);
    // A unit button: 0 milliseconds, 1 centimetres, 2 inches.
    void OnUnitChosen(int unit);
    int DelayUnit() const;

    // The delay of channel c becomes n, shown at its position; nothing when
    // it already is n.
    void SetChannelDelay(int samples, int channel);
    // The channel an edit at position k changes; kNoChannel when none.
    int ChannelAt(int position) const;

    void ClearPositionHighlights() override;
    void HighlightPosition(int channel) override;
    void ReloadDelays() override;
    void ShowSpeakerPositions() override;
    void Relabel() override;

private:
    IWorkspaceHost& m_host;
    IWorkspaceControl& m_workspace;
    void EditDelay(int channel, int samples);

    ICarView& m_view;
};
