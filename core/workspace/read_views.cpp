#include "workspace/read_views.h"

#include <algorithm>
#include <cstring>
#include <mutex>

#include "base/globals.h"
#include "model/ktv_data.h"
#include "model/ktv_out_data.h"
#include "model/text_field.h"
#include "protocol/frame_format.h"
#include "response/filter.h"
#include "tables/value_tables.h"

namespace {

BandView ViewOfBand(const CFilter& band) {
    BandView view;
    view.type = band.GetType();
    view.freq = band.GetFreq();
    view.gainIndex = band.GetGainIndex();
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
    std::lock_guard lock(g_csModel);
    ChannelView view;
    view.channel = channel.GetChannel();
    view.name = channel.GetName();
    view.output = channel.GetOutputOn() != 0;
    view.phase = channel.GetPhase();
    view.gainStep = channel.GetGain();
    view.delay = channel.GetDelay();
    view.eqMode = channel.GetEqMode();
    view.linkGroup = g_anLinkGroup[static_cast<std::size_t>(view.channel)];
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
    view.curveColor = channel.GetCurveColor();
    return view;
}

ChannelView ReadChannel(const CKTV_Data& model, int channel) {
    return ViewOfChannel(*model.GetOutput(channel));
}

ChannelCurves ReadChannelCurves(const CKTV_Data& model, int channel) {
    std::lock_guard lock(g_csModel);
    const CKTVEQ& eq = model.GetOutput(channel)->GetEQ();
    ChannelCurves curves;
    curves.filters.reserve(static_cast<std::size_t>(eq.GetFilterCount()));
    for (int i = 0; i < eq.GetFilterCount(); ++i)
        curves.filters.push_back(eq.GetFilter(i)->GetResponse());
    curves.total = eq.TotalResponse();
    return curves;
}

const std::array<double, kGridPoints>& GridFrequencies() {
    return g_adGridFreq;
}

ImageView ReadImage(const CKTV_Data& model, const ParamImage& image) {
    std::lock_guard lock(g_csModel);
    ImageView view;
    view.name = GroupNameOf(image);
    view.containsData = image[kMusicMarkOffset] != 0;
    for (int c = 0; c < kOutputCount; ++c)
        view.channels[static_cast<std::size_t>(c)] = ReadChannel(model, c);
    return view;
}

ImageView ReadCurrentImage(const CKTV_Data& model) {
    std::lock_guard lock(g_csModel);
    return ReadImage(model, g_CurImage);
}

SystemAreaView ViewOfSystemArea(const SystemAreaBytes& area) {
    SystemAreaView view;
    view.source = area[kSysInputSource];
    view.masterStep = GetWord(area.data() + kSysMasterVolume);
    view.masterOutput = area[kSysMasterOutput] != 0;
    view.channelPreset = area[kSysChannelPreset];
    for (int c = 0; c < kSpeakerRoleCount; ++c)
        view.roles[static_cast<std::size_t>(c)] =
            area[static_cast<std::size_t>(kSystemAreaRolesOffset + c)];
    for (int i = 0; i < kInputLevelWords; ++i)
        view.inputLevels[static_cast<std::size_t>(i)] =
            GetWord(area.data() + kSystemAreaLevelsOffset + 2 * i);
    view.bytes = area;
    return view;
}

ListenPositionsView ViewOfListenPositions(const ListenPositionBytes& positions) {
    ListenPositionsView view;
    view.selection = positions[kListenSelectionByte];
    for (int p = 0; p < kListenPositionCount; ++p) {
        for (int c = 0; c < kOutputCount; ++c)
            view.delays[static_cast<std::size_t>(p)][static_cast<std::size_t>(c)] =
                ListenPositionDelay(positions, p, c);
    }
    view.bytes = positions;
    return view;
}

SystemAreaView ReadSystemAreaView() {
    std::lock_guard lock(g_csModel);
    return ViewOfSystemArea(ReadSystemArea());
}

SystemView ReadSystem() {
    std::lock_guard lock(g_csModel);
    SystemView view;
    view.area = ReadSystemAreaView();
    view.positions = ViewOfListenPositions(g_ListenPositions);
    view.limiterSettings = g_LimiterSettings;
    view.device = ReadDeviceIdentity();
    return view;
}

GroupNames ReadGroupNames() {
    std::lock_guard lock(g_csModel);
    GroupNames names;
    for (int g = 0; g < kDeviceGroupCount; ++g)
        names[static_cast<std::size_t>(g)] =
            GroupNameOf(g_GroupImages[static_cast<std::size_t>(g)]);
    return names;
}

DeviceIdentity ReadDeviceIdentity() {
    std::lock_guard lock(g_csModel);
    DeviceIdentity identity;
    const auto* bytes = reinterpret_cast<const char*>(g_DeviceModel.data());
    identity.text.assign(bytes, strnlen(bytes, kIdentificationBytes));
    identity.matches =
        std::memcmp(g_DeviceModel.data(), kDeviceIdentification, kIdentificationCompared) == 0;
    return identity;
}

std::string GroupNameOf(const ParamImage& image) {
    return TextFromField(image.data() + kImageNameOffset, kImageNameSize);
}

void LoadImageCopy(CKTV_Data& model, const ParamImage& image) {
    std::lock_guard lock(g_csModel);
    ParamImage copy = image;
    model.LoadFromImage(copy, kLoadModeFile);
}

ImageView ViewOfImage(CKTV_Data& model, const ParamImage& image) {
    std::lock_guard lock(g_csModel);
    LoadImageCopy(model, image);
    return ReadImage(model, image);
}
