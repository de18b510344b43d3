// Reading a key's current value in the form `set` takes.

#include <mutex>

#include "base/globals.h"
#include "edits/edit_values.h"
#include "edits/edits.h"
#include "image/param_image.h"
#include "model/ktv_data.h"
#include "model/ktv_out_data.h"
#include "response/filter.h"
#include "tables/value_tables.h"

namespace {

std::string BandValue(const CFilter& band, EditKind kind) {
    switch (kind) {
        case EditKind::BandFreq:
            return KeyValueText(kind, band.GetFreq());
        case EditKind::BandGain:
            return KeyValueText(kind, GainToIndex(band.GetGain()));
        case EditKind::BandQ:
            return KeyValueText(kind, band.GetBandwidthIndex());
        case EditKind::BandBandwidth:
            return BandwidthText(band.GetBandwidth());
        case EditKind::BandType:
            return KeyValueText(kind, band.GetType());
        default:
            return KeyValueText(kind, band.IsBypassed());
    }
}

std::string CrossoverValue(const CFilter& filter, EditKind kind) {
    switch (kind) {
        case EditKind::XoverFreq:
            return KeyValueText(kind, filter.GetFreq());
        case EditKind::XoverFamily:
            return KeyValueText(kind, filter.GetXoverType());
        default:
            return SlopeValueText(filter.GetXoverType(), filter.GetSlope());
    }
}

std::string ChannelValue(const CKTV_OutData& channel, const EditKey& key) {
    const CKTVEQ& eq = channel.GetEQ();
    switch (key.kind) {
        case EditKind::ChannelGain:
            return KeyValueText(key.kind, channel.GetGain());
        case EditKind::ChannelPhase:
            return KeyValueText(key.kind, channel.GetPhase());
        case EditKind::ChannelOutput:
            return KeyValueText(key.kind, channel.GetOutputOn());
        case EditKind::ChannelDelay:
            return KeyValueText(key.kind, channel.GetDelay());
        case EditKind::ChannelName:
            return channel.GetName();
        case EditKind::ChannelEqMode:
            return KeyValueText(key.kind, channel.GetEqMode());
        case EditKind::Mix:
            return KeyValueText(key.kind, channel.GetMix(key.index));
        case EditKind::LimitThreshold:
            return KeyValueText(key.kind, channel.GetLimitThreshold());
        case EditKind::LimitAttack:
            return KeyValueText(key.kind, channel.GetLimitAttack());
        case EditKind::LimitRelease:
            return KeyValueText(key.kind, channel.GetLimitRelease());
        case EditKind::XoverFreq:
        case EditKind::XoverFamily:
        case EditKind::XoverSlope:
            return CrossoverValue(key.index == kEditLowPass ? *eq.GetLowPass() : *eq.GetHighPass(),
                                  key.kind);
        default:
            return BandValue(*eq.GetBand(key.index), key.kind);
    }
}

std::string SystemValue(EditKind kind) {
    switch (kind) {
        case EditKind::Source:
            return KeyValueText(kind, g_SysSettings[kSysInputSource]);
        case EditKind::MasterVolume:
            return KeyValueText(kind, GetWord(g_SysSettings.data() + kSysMasterVolume));
        default:
            return KeyValueText(kind, g_SysSettings[kSysMasterOutput]);
    }
}

bool IsSystemKey(EditKind kind) {
    return kind == EditKind::Source || kind == EditKind::MasterVolume ||
           kind == EditKind::MasterOutput;
}

}  // namespace

ValueText GetValue(const CKTV_Data& model, const EditKey& key) {
    if (!IsValidEditKey(key)) return {false, {}, "no such key"};
    std::lock_guard lock(g_csModel);
    if (IsSystemKey(key.kind)) return {true, SystemValue(key.kind), {}};
    return {true, ChannelValue(*model.GetOutput(key.channel), key), {}};
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
