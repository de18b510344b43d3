// Applying a command of edits to the model the way the workspace's panels do.

#include <algorithm>
#include <array>
#include <cstdint>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "base/globals.h"
#include "edits/bulk_ops.h"
#include "edits/channel_delay.h"
#include "edits/channel_ops.h"
#include "edits/edit_checks.h"
#include "edits/edit_kinds.h"
#include "edits/edit_values.h"
#include "edits/edits.h"
#include "edits/xover_lists.h"
#include "image/param_image.h"
#include "image/record_layout.h"
#include "model/ktv_data.h"
#include "model/ktv_out_data.h"
#include "model/model_changes.h"
#include "protocol/frame_format.h"
#include "protocol/ktv_command.h"
#include "response/filter.h"

namespace {

constexpr int kShownSourceForHigher = 3;  // the status reply's reading of a source above 2

CFilter* CrossoverFilter(CKTV_OutData& channel, int side) {
    return side == kEditLowPass ? channel.GetLowPass() : channel.GetHighPass();
}

std::string FamilyName(int family) {
    return KeyValueText(EditKind::XoverFamily, family);
}

std::string SlopeListText(int family) {
    std::string list;
    for (const SlopeChoice& choice : SlopeListOf(family))
        list += (list.empty() ? "" : ", ") + SlopeLabelText(choice.dbPerOctave);
    return list;
}

// ------------------------------------------------------------ checks

// Families and EQ modes as they will be once the command's own conversions
// and family changes (which go first) have been applied.
class ForeseenState {
public:
    explicit ForeseenState(const CKTV_Data& model) {
        for (int c = 0; c < kOutputCount; ++c) {
            CKTV_OutData& channel = *model.GetOutput(c);
            m_eqMode[c] = channel.GetEqMode();
            for (int side : {kEditHighPass, kEditLowPass})
                m_family[c][side] = CrossoverFilter(channel, side)->GetXoverType();
        }
    }

    void Foresee(const std::vector<Edit>& edits) {
        for (const Edit& e : edits) {
            const EditKey& t = e.target;
            if (t.kind == EditKind::ChannelEqMode && m_eqMode[t.channel] != e.value) {
                for (int j : LinkGroupOf(t.channel))
                    m_eqMode[j] = e.value;
            }
        }
        for (const Edit& e : edits) {
            const EditKey& t = e.target;
            if (t.kind != EditKind::XoverFamily) continue;
            for (int j : LinkGroupOf(t.channel))
                m_family[j][t.index] = e.value;
        }
    }

    int Family(int c, int side) const { return m_family[c][side]; }
    bool IsGraphic(int c) const { return m_eqMode[c] != 0; }

private:
    std::array<int, kOutputCount> m_eqMode{};
    std::array<std::array<int, 2>, kOutputCount> m_family{};
};

std::optional<std::string> SlopeError(const ForeseenState& state, const Edit& e) {
    const int family = state.Family(e.target.channel, e.target.index);
    if (SlopeCodeOfLabel(family, e.value) >= 0) return std::nullopt;
    const std::string key = EditKeyName(e.target) + ": ";
    if (SlopeListOf(family).empty())
        return key + "the filter's family (code " + std::to_string(family) + ") has no slope list";
    return key + SlopeLabelText(e.value) + " is not on the " + FamilyName(family) +
           " slope list (" + SlopeListText(family) + ")";
}

// ------------------------------------------------------------ order

// Conversions reset the bands, so they go before band edits; a family before
// the slope that must be on its list; crossover frequencies that widen the
// pass band before those that narrow it, so that a new pair is not clipped
// against the old one; bypasses after gains (a gain takes a band out of
// bypass); the master switch after the master volume (which switches it on).
enum ApplyPhase { kConvert, kFamily, kWiden, kPlain, kNarrow, kSwitches };

bool WidensPassBand(CKTV_Data& model, const Edit& e) {
    CFilter* filter = CrossoverFilter(*model.GetOutput(e.target.channel), e.target.index);
    return e.target.index == kEditHighPass ? e.value <= filter->GetFreq()
                                           : e.value >= filter->GetFreq();
}

ApplyPhase PhaseOf(CKTV_Data& model, const Edit& e) {
    switch (e.target.kind) {
        case EditKind::ChannelEqMode:
            return kConvert;
        case EditKind::XoverFamily:
            return kFamily;
        case EditKind::XoverFreq:
            return WidensPassBand(model, e) ? kWiden : kNarrow;
        case EditKind::BandBypass:
        case EditKind::MasterOutput:
            return kSwitches;
        default:
            return kPlain;
    }
}

std::vector<const Edit*> ApplyOrder(CKTV_Data& model, const std::vector<Edit>& edits) {
    std::vector<std::pair<ApplyPhase, const Edit*>> phased;
    for (const Edit& e : edits)
        phased.emplace_back(PhaseOf(model, e), &e);
    std::stable_sort(phased.begin(), phased.end(),
                     [](const auto& a, const auto& b) { return a.first < b.first; });
    std::vector<const Edit*> order;
    for (const auto& [phase, edit] : phased)
        order.push_back(edit);
    return order;
}

// ------------------------------------------------------------ applying

// Which items of a channel's slot changed, so that the image follows.
using TouchedItems = ChannelChanges;
constexpr std::uint32_t kAllBands = (1u << kOutBandCount) - 1;

class EditApplier {
public:
    EditApplier(CKTV_Data& model, CKTVCommand& cmd, bool connected)
        : m_model(model), m_cmd(cmd), m_bConnected(connected) {}

    void Apply(const Edit& e);
    void Finish();
    ModelChanges Changes() const { return {m_touched, m_bSystemChanged}; }

private:
    CKTV_OutData& Out(int c) { return *m_model.GetOutput(c); }
    void ApplyChannel(const Edit& e);
    void ApplyBand(const Edit& e);
    void ApplyCrossover(const Edit& e);
    void ApplyLimiter(const Edit& e);
    void ApplySystem(const Edit& e);
    void ConvertEqMode(int c, int mode);
    void SetMix(int c, int input, int level);
    void WriteImage(int c);

    // Marks an item of channel c, and of its link group when the edit is shared.
    template <typename Mark>
    void Touch(int c, bool shared, Mark mark) {
        for (int j : shared ? LinkGroupOf(c) : std::vector<int>{c})
            mark(m_touched[j]);
    }

    CKTV_Data& m_model;
    CKTVCommand& m_cmd;
    bool m_bConnected;
    bool m_bSystemChanged = false;
    std::array<TouchedItems, kOutputCount> m_touched{};
};

void EditApplier::Apply(const Edit& e) {
    const EditKind kind = e.target.kind;
    if (IsBandKind(kind)) return ApplyBand(e);
    if (IsXoverKind(kind)) return ApplyCrossover(e);
    if (IsLimiterKind(kind)) return ApplyLimiter(e);
    if (IsSystemKind(kind)) return ApplySystem(e);
    ApplyChannel(e);
}

// Gain and phase go through PropagateLevel, which re-sends the level item of
// the whole link group; output, delay, name and mix belong to the channel.
void EditApplier::ApplyChannel(const Edit& e) {
    const int c = e.target.channel;
    CKTV_OutData& channel = Out(c);
    const auto markLevel = [](TouchedItems& t) { t.level = true; };
    switch (e.target.kind) {
        case EditKind::ChannelGain:
            channel.SetGain(static_cast<short>(e.value));
            return Touch(c, true, markLevel);
        case EditKind::ChannelPhase:
            channel.SetPhase(static_cast<BYTE>(e.value));
            return Touch(c, true, markLevel);
        case EditKind::ChannelOutput:
            channel.SetOutputOn(static_cast<BYTE>(e.value));
            return Touch(c, false, markLevel);
        case EditKind::ChannelDelay:
            if (!SetChannelDelay(channel, e.value)) return;
            return Touch(c, false, markLevel);
        case EditKind::ChannelName:
            channel.SetName(e.text);
            return Touch(c, false, [](TouchedItems& t) { t.name = true; });
        case EditKind::ChannelEqMode:
            return ConvertEqMode(c, e.value);
        case EditKind::Mix:
            return SetMix(c, e.target.index, e.value);
        default:
            return;
    }
}

// The mode conversion of the equalizer panel: the new mode (shared by the
// link group), then every band of the group back to its ISO frequency, flat,
// each channel's block sent with all outputs muted around the sends. Asking
// for the mode the channel already has converts nothing.
void EditApplier::ConvertEqMode(int c, int mode) {
    CKTV_OutData& channel = Out(c);
    if (channel.GetEqMode() == mode) return;
    channel.SetEqMode(static_cast<BYTE>(mode));
    ResetEqGroup(m_cmd, c, m_bConnected);
    Touch(c, true, [](TouchedItems& t) {
        t.level = true;
        t.bands = kAllBands;
    });
}

// The mixer sets the whole row; inputs 1..8 travel in item 33, 9..12 in 34.
void EditApplier::SetMix(int c, int input, int level) {
    CKTV_OutData& channel = Out(c);
    std::array<BYTE, kOutMixCount> row = channel.GetMixes();
    row[static_cast<std::size_t>(input)] = static_cast<BYTE>(level);
    if (input < kOutMixLowCount) {
        channel.SetMixLow(row.data());
    } else {
        channel.SetMixHigh(row.data());
    }
    Touch(c, false, [](TouchedItems& t) { t.mix = true; });
}

// Every band edit is made on the same band of each linked channel.
void EditApplier::ApplyBand(const Edit& e) {
    const int c = e.target.channel;
    const int band = e.target.index;
    for (int j : LinkGroupOf(c)) {
        CFilter* filter = Out(j).GetBand(band);
        switch (e.target.kind) {
            case EditKind::BandFreq:
                filter->SetFreq(e.value, true);
                break;
            case EditKind::BandGain:
                filter->SetGainIndex(e.value);
                break;
            case EditKind::BandQ:
            case EditKind::BandBandwidth:
                filter->SetBandwidthIndex(e.value);
                break;
            case EditKind::BandType:
                filter->SetType(e.value);
                break;
            case EditKind::BandBypass:
                filter->SetBypass(e.value != 0);
                break;
            default:
                break;
        }
    }
    Touch(c, true, [band](TouchedItems& t) { t.bands |= 1u << band; });
}

// The crossover panel: the high-pass never above the low-pass, whichever is
// edited; the edited channel's result goes to the whole link group.
void EditApplier::ApplyCrossover(const Edit& e) {
    const int c = e.target.channel;
    const int side = e.target.index;
    CKTV_OutData& channel = Out(c);
    int value = e.value;
    if (e.target.kind == EditKind::XoverFreq) {
        const int high = side == kEditHighPass ? value : channel.GetHighPass()->GetFreq();
        const int low = side == kEditLowPass ? value : channel.GetLowPass()->GetFreq();
        if (low < high) value = side == kEditHighPass ? low : high;
    } else if (e.target.kind == EditKind::XoverSlope) {
        value = SlopeCodeOfLabel(CrossoverFilter(channel, side)->GetXoverType(), e.value);
        if (value < 0) return;  // refused by CheckEdits
    }
    for (int j : LinkGroupOf(c)) {
        CFilter* filter = CrossoverFilter(Out(j), side);
        if (e.target.kind == EditKind::XoverFreq) {
            filter->SetFreq(value, true);
        } else if (e.target.kind == EditKind::XoverFamily) {
            filter->SetXoverType(value, true);
        } else {
            filter->SetSlope(value, true);
        }
    }
    Touch(c, true, [](TouchedItems& t) { t.xover = true; });
}

// The record copies the limiter to its link group itself.
void EditApplier::ApplyLimiter(const Edit& e) {
    CKTV_OutData& channel = Out(e.target.channel);
    if (e.target.kind == EditKind::LimitThreshold) {
        channel.SetLimitThreshold(static_cast<short>(e.value));
    } else if (e.target.kind == EditKind::LimitAttack) {
        channel.SetLimitAttack(static_cast<BYTE>(e.value));
    } else {
        channel.SetLimitRelease(static_cast<BYTE>(e.value));
    }
    Touch(e.target.channel, true, [](TouchedItems& t) { t.limiter = true; });
}

// The top bar: the source selector, the master volume field (a new volume
// also switches the master output on; the same volume changes nothing) and
// the master output switch.
void EditApplier::ApplySystem(const Edit& e) {
    const BYTE value = static_cast<BYTE>(e.value);
    switch (e.target.kind) {
        case EditKind::Source:
            g_SysSettings[kSysInputSource] = value;
            m_cmd.SetShownSource(value > kHighestPlainSource ? kShownSourceForHigher : value);
            break;
        case EditKind::MasterVolume:
            if (GetWord(g_SysSettings.data() + kSysMasterVolume) == e.value) return;
            PutWord(g_SysSettings.data() + kSysMasterVolume, static_cast<unsigned short>(e.value));
            g_SysSettings[kSysMasterOutput] = 1;
            break;
        default:
            g_SysSettings[kSysMasterOutput] = value;
            break;
    }
    m_bSystemChanged = true;
}

// The slot follows the record for every item that changed, also offline,
// where the pump (which writes it when it sends) does not run.
void EditApplier::WriteImage(int c) {
    const TouchedItems& t = m_touched[c];
    CKTV_OutData& channel = Out(c);
    if (t.level) channel.MakeLevelPacket(false);
    if (t.xover) channel.MakeXoverPacket(false);
    if (t.mix) channel.MakeMixLowPacket(false);
    if (t.limiter) channel.MakeLimiterPacket(false);
    if (t.name) channel.MakeNamePacket();
    BYTE* slot = g_CurImage.data() + OutSlotOffset(c);
    for (int band = 0; band < kOutBandCount; ++band) {
        if (t.bands & (1u << band))
            channel.GetEQ().GetBandRecord(band, slot + kBandRecordBytes * band);
    }
    if (t.bands != 0) channel.UpdateAllBypassed();
}

void EditApplier::Finish() {
    for (int c = 0; c < kOutputCount; ++c)
        WriteImage(c);
    if (m_bSystemChanged) QueueSystemWrite(m_cmd, SYS_SETTINGS, 0, m_bConnected);
}

bool IsIdlePoll(const CSendData& packet) {
    const BYTE* frame = packet.GetBuffer();
    return packet.GetLength() > kFrameIndex && frame[kFrameCommand] == CMD_READ &&
           frame[kFrameType] == BT_SYSTEM && frame[kFrameIndex] == SYS_STATUS;
}

bool ChannelPending(CKTV_OutData& channel) {
    if (channel.IsNamePending() || channel.IsLevelPending() || channel.IsXoverPending() ||
        channel.IsMixLowPending() || channel.IsMixHighPending() || channel.IsLimiterPending())
        return true;
    for (int band = 0; band < channel.GetBandCount(); ++band) {
        if (channel.GetBand(band)->IsPending()) return true;
    }
    return false;
}

}  // namespace

std::vector<std::string> CheckEdits(const CKTV_Data& model, const std::vector<Edit>& edits) {
    std::lock_guard lock(g_csModel);
    for (const Edit& e : edits) {
        if (!IsValidEditKey(e.target)) return {"an edit names no existing setting"};
    }
    std::vector<std::string> errors = CommandErrors(edits);
    ForeseenState state(model);
    state.Foresee(edits);
    for (const Edit& e : edits) {
        if (e.target.kind == EditKind::XoverSlope) {
            if (auto error = SlopeError(state, e)) errors.push_back(*error);
        } else if (IsFixedInGraphicMode(e.target.kind) && state.IsGraphic(e.target.channel)) {
            errors.push_back(EditKeyName(e.target) + ": ch" + std::to_string(e.target.channel + 1) +
                             " is in graphic mode, where band frequencies and Q are fixed");
        }
    }
    return errors;
}

EditOutcome ApplyEdits(CKTV_Data& model, CKTVCommand& cmd, bool connected,
                       const std::vector<Edit>& edits) {
    std::lock_guard lock(g_csModel);
    std::vector<std::string> errors = CheckEdits(model, edits);
    if (!errors.empty()) return {false, std::move(errors), {}};
    EditApplier applier(model, cmd, connected);
    for (const Edit* e : ApplyOrder(model, edits))
        applier.Apply(*e);
    applier.Finish();
    return {true, {}, applier.Changes()};
}

bool NothingPending(const CKTV_Data& model, CKTVCommand& cmd) {
    std::lock_guard lock(g_csModel);
    if (g_bSendSysSettings || g_bSendInputLevels) return false;
    if (const CMusic_InData* music = model.GetMusic(0)) {
        if (music->IsLevelPending() || music->IsLimiterPending()) return false;
    }
    for (int c = 0; c < kOutputCount; ++c) {
        if (ChannelPending(*model.GetOutput(c))) return false;
    }
    const int queued = cmd.GetCount();
    if (queued == 0) return true;
    return queued == 1 && IsIdlePoll(*cmd.PeekHead());
}
