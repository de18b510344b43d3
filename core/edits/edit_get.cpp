// Reading a key's current value in the form `set` takes.

#include <mutex>
#include <optional>

#include "base/globals.h"
#include "edits/edit_kinds.h"
#include "edits/edit_values.h"
#include "edits/edits.h"
#include "edits/xover_lists.h"
#include "image/param_image.h"
#include "model/ktv_data.h"
#include "model/ktv_out_data.h"
#include "response/filter.h"
#include "tables/value_tables.h"

namespace {

// The label the crossover's slope list shows its code under, when choosing
// that label stores the same code.
std::optional<int> SlopeLabel(const CFilter& filter) {
    const int family = filter.GetXoverType();
    const int entry = SlopeEntryOfCode(family, filter.GetSlope());
    if (entry < 0) return std::nullopt;
    const int label = SlopeListOf(family)[static_cast<std::size_t>(entry)].dbPerOctave;
    if (SlopeCodeOfLabel(family, label) != filter.GetSlope()) return std::nullopt;
    return label;
}

std::optional<int> BandValue(const CFilter& band, EditKind kind) {
    switch (kind) {
        case EditKind::BandFreq:
            return band.GetFreq();
        case EditKind::BandGain:
            return GainToIndex(band.GetGain());
        case EditKind::BandQ:
        case EditKind::BandBandwidth:
            return band.GetBandwidthIndex();
        case EditKind::BandType:
            return band.GetType();
        default:
            return band.IsBypassed() ? 1 : 0;
    }
}

const CFilter& Crossover(const CKTV_OutData& channel, const EditKey& key) {
    const CKTVEQ& eq = channel.GetEQ();
    return key.index == kEditLowPass ? *eq.GetLowPass() : *eq.GetHighPass();
}

std::optional<int> ChannelValue(const CKTV_OutData& channel, const EditKey& key) {
    switch (key.kind) {
        case EditKind::ChannelGain:
            return channel.GetGain();
        case EditKind::ChannelPhase:
            return channel.GetPhase();
        case EditKind::ChannelOutput:
            return channel.GetOutputOn();
        case EditKind::ChannelDelay:
            return channel.GetDelay();
        case EditKind::ChannelName:
            return 0;
        case EditKind::ChannelEqMode:
            return channel.GetEqMode();
        case EditKind::Mix:
            return channel.GetMix(key.index);
        case EditKind::LimitThreshold:
            return channel.GetLimitThreshold();
        case EditKind::LimitAttack:
            return channel.GetLimitAttack();
        case EditKind::LimitRelease:
            return channel.GetLimitRelease();
        case EditKind::XoverFreq:
            return Crossover(channel, key).GetFreq();
        case EditKind::XoverFamily:
            return Crossover(channel, key).GetXoverType();
        case EditKind::XoverSlope:
            return SlopeLabel(Crossover(channel, key));
        default:
            return BandValue(*channel.GetEQ().GetBand(key.index), key.kind);
    }
}

int SystemValue(EditKind kind) {
    switch (kind) {
        case EditKind::Source:
            return g_SysSettings[kSysInputSource];
        case EditKind::MasterVolume:
            return GetWord(g_SysSettings.data() + kSysMasterVolume);
        default:
            return g_SysSettings[kSysMasterOutput];
    }
}

// The text of a channel key: the value's text, but the bandwidth in octaves
// and the slope as its list shows the stored code (also one without a label).
std::string ChannelText(const CKTV_OutData& channel, const EditKey& key) {
    switch (key.kind) {
        case EditKind::ChannelName:
            return channel.GetName();
        case EditKind::BandBandwidth:
            return BandwidthText(channel.GetEQ().GetBand(key.index)->GetBandwidth());
        case EditKind::XoverSlope: {
            const CFilter& filter = Crossover(channel, key);
            return SlopeValueText(filter.GetXoverType(), filter.GetSlope());
        }
        default:
            return KeyValueText(key.kind, *ChannelValue(channel, key));
    }
}

}  // namespace

std::optional<Edit> CurrentEdit(const CKTV_Data& model, const EditKey& key) {
    if (!IsValidEditKey(key)) return std::nullopt;
    std::lock_guard lock(g_csModel);
    if (IsSystemKind(key.kind)) return Edit{key, SystemValue(key.kind), {}};
    const CKTV_OutData& channel = *model.GetOutput(key.channel);
    const std::optional<int> value = ChannelValue(channel, key);
    if (!value) return std::nullopt;
    Edit edit{key, *value, {}};
    if (key.kind == EditKind::ChannelName) edit.text = channel.GetName();
    return edit;
}

ValueText GetValue(const CKTV_Data& model, const EditKey& key) {
    if (!IsValidEditKey(key)) return {false, {}, "no such key"};
    std::lock_guard lock(g_csModel);
    if (IsSystemKind(key.kind)) return {true, KeyValueText(key.kind, SystemValue(key.kind)), {}};
    return {true, ChannelText(*model.GetOutput(key.channel), key), {}};
}

std::vector<ValueText> GetValues(const CKTV_Data& model, const std::vector<EditKey>& keys) {
    std::lock_guard lock(g_csModel);
    std::vector<ValueText> values;
    values.reserve(keys.size());
    for (const EditKey& key : keys)
        values.push_back(GetValue(model, key));
    return values;
}

ValueText GetValue(const CKTV_Data& model, const std::string& key) {
    std::string error;
    const std::optional<EditKey> parsed = ParseEditKey(key, &error);
    if (!parsed) return {false, {}, error};
    return GetValue(model, *parsed);
}
