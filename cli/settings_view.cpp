#include "cli/settings_view.h"

#include <algorithm>
#include <mutex>

#include "base/globals.h"
#include "model/ktv_data.h"
#include "model/ktv_out_data.h"
#include "model/text_field.h"
#include "response/filter.h"
#include "tables/value_tables.h"

namespace {

BandView ViewOfBand(const CFilter& band) {
    BandView view;
    view.type = band.GetType();
    view.freq = band.GetFreq();
    view.gainDb = band.GetGain();
    view.bandwidthIndex = band.GetBandwidthIndex();
    view.bandwidth = band.GetBandwidth();
    view.q = g_adQTable[static_cast<std::size_t>(
        std::clamp(view.bandwidthIndex, 0, kBandwidthIndexCount - 1))];
    view.slope = band.GetSlope();
    view.bypassed = band.IsBypassed();
    return view;
}

XoverView ViewOfXover(const CFilter& filter) {
    return {filter.GetXoverType(), filter.GetSlope(), filter.GetFreq()};
}

}  // namespace

ChannelView ViewOfChannel(const CKTV_OutData& channel) {
    ChannelView view;
    view.channel = channel.GetChannel();
    view.name = channel.GetName();
    view.output = channel.GetOutputOn() != 0;
    view.phase = channel.GetPhase();
    view.gainStep = channel.GetGain();
    view.delay = channel.GetDelay();
    view.eqMode = channel.GetEqMode();
    const CKTVEQ& eq = channel.GetEQ();
    for (int i = 0; i < kOutBandCount; ++i)
        view.bands[static_cast<std::size_t>(i)] = ViewOfBand(*eq.GetBand(i));
    view.highPass = ViewOfXover(*eq.GetHighPass());
    view.lowPass = ViewOfXover(*eq.GetLowPass());
    for (int i = 0; i < kOutMixCount; ++i)
        view.mix[static_cast<std::size_t>(i)] = channel.GetMix(i);
    view.limitThreshold = channel.GetLimitThreshold();
    view.limitAttack = channel.GetLimitAttack();
    view.limitRelease = channel.GetLimitRelease();
    return view;
}

ImageView ViewOfModel(const CKTV_Data& model, const ParamImage& image) {
    ImageView view;
    view.name = GroupNameOf(image);
    view.containsData = image[kMusicMarkOffset] != 0;
    for (int c = 0; c < kOutputCount; ++c)
        view.channels[static_cast<std::size_t>(c)] = ViewOfChannel(*model.GetOutput(c));
    return view;
}

void LoadImageCopy(CKTV_Data& model, const ParamImage& image) {
    std::lock_guard lock(g_csModel);
    ParamImage copy = image;
    model.LoadFromImage(copy, kLoadModeFile);
}

ImageView ViewOfImage(CKTV_Data& model, const ParamImage& image) {
    LoadImageCopy(model, image);
    std::lock_guard lock(g_csModel);
    return ViewOfModel(model, image);
}

std::array<BYTE, kSystemAreaSize> CurrentSystemArea() {
    std::lock_guard lock(g_csModel);
    std::array<BYTE, kSystemAreaSize> area{};
    auto out = std::copy(g_SysSettings.begin(), g_SysSettings.end(), area.begin());
    out = std::copy(g_SpeakerRoles.begin(), g_SpeakerRoles.end(), out);
    out = std::copy(g_SysAreaKept.begin(), g_SysAreaKept.end(), out);
    std::copy(g_InputLevels.begin(), g_InputLevels.end(), out);
    return area;
}

std::string GroupNameOf(const ParamImage& image) {
    return TextFromField(image.data() + kImageNameOffset, kImageNameSize);
}
