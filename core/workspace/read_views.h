#pragma once
// Read views: the model as plain values, copied under g_csModel and used
// without it. A front end takes them when it changed the model itself or a
// change notice says the model changed, and paints from them; nothing that
// shows the settings holds the lock for longer than the copy. Every Read*
// function takes g_csModel itself (it is recursive, so a caller may hold it).

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "base/types.h"
#include "image/param_image.h"
#include "image/record_layout.h"
#include "model/system_area.h"
#include "response/filter_math.h"

class CKTV_Data;
class CKTV_OutData;

struct BandView {
    int type = 0;  // BandType
    int freq = 0;  // Hz
    int gainIndex = 0;
    double gainDb = 0.0;
    int bandwidthIndex = 0;
    double bandwidth = 0.0;  // octaves
    double q = 0.0;          // the Q table's value for the bandwidth index
    int slope = 0;           // shelves: 0 = 6 dB/Oct, 1 = 12 dB/Oct
    bool bypassed = false;   // flat or switched off: the band does nothing
    bool operator==(const BandView&) const = default;
};

struct XoverView {
    int family = 0;
    int slopeCode = 0;
    int freq = 0;
    bool operator==(const XoverView&) const = default;
};

// Everything a channel strip, the equalizer panel, the crossover group, the
// limiter, the delay field and the mixer show of one output channel.
struct ChannelView {
    int channel = 0;  // 0..5
    std::string name;
    bool output = false;
    int phase = 0;
    int gainStep = 0;   // dB = step - 60; 0 = gain off
    int delay = 0;      // samples at 48 kHz
    int eqMode = 0;     // 0 parametric, 1 graphic
    int linkGroup = 0;  // channels with the same number are linked
    std::array<BandView, kOutBandCount> bands{};
    XoverView highPass;
    XoverView lowPass;
    std::array<int, kOutMixCount> mix{};
    int limitThreshold = 0;
    int limitAttack = 0;
    int limitRelease = 0;
    std::uint32_t curveColor = 0;  // 0x00BBGGRR
    bool operator==(const ChannelView&) const = default;
};

// The response of every filter of a channel (bands, then the high-pass and
// the low-pass) and their sum, in dB at the grid frequencies: what the
// graph draws. The thread that edits computes them; the graph keeps a copy.
struct ChannelCurves {
    std::vector<ResponseCurve> filters;
    ResponseCurve total{};
};

struct ImageView {
    std::string name;  // the group name of the image (15 characters at most)
    bool containsData = false;
    std::array<ChannelView, kOutputCount> channels{};
};

struct ListenPositionsView {
    int selection = 0;  // 0..3
    // Per position, the delay of each channel in samples.
    std::array<std::array<int, kOutputCount>, kListenPositionCount> delays{};
    ListenPositionBytes bytes{};
};

// The system area decoded, with the bytes it came from.
struct SystemAreaView {
    int source = 0;      // 0, 1, 2 or 5
    int masterStep = 0;  // dB = step - 60
    bool masterOutput = false;
    int channelPreset = 0;
    std::array<int, kSpeakerRoleCount> roles{};
    std::array<int, kInputLevelWords> inputLevels{};
    SystemAreaBytes bytes{};
};

// The identification the device reported, as text up to its first 0, and
// whether it is the expected one.
struct DeviceIdentity {
    std::string text;
    bool matches = false;
};

// Everything of the device outside the channels: the top bar, the speaker
// roles, the listening positions, the limiter settings block, the device.
struct SystemView {
    SystemAreaView area;
    ListenPositionsView positions;
    std::array<BYTE, 2 * kLimiterSettingsSize> limiterSettings{};
    DeviceIdentity device;
};

using GroupNames = std::array<std::string, kDeviceGroupCount>;

// ---- From the live model ----
ChannelView ReadChannel(const CKTV_Data& model, int channel);
ChannelCurves ReadChannelCurves(const CKTV_Data& model, int channel);
// The grid frequencies in Hz: point i of every curve is at frequency i.
const std::array<double, kGridPoints>& GridFrequencies();
// The records as they are now, with name and mark from `image`.
ImageView ReadImage(const CKTV_Data& model, const ParamImage& image);
// The records as they are now, with the current settings' name and mark.
ImageView ReadCurrentImage(const CKTV_Data& model);
SystemView ReadSystem();
SystemAreaView ReadSystemAreaView();
// Device groups 1..6: the stored name, empty for an unused group.
GroupNames ReadGroupNames();
DeviceIdentity ReadDeviceIdentity();

// ---- From bytes (files) ----
ChannelView ViewOfChannel(const CKTV_OutData& channel);
SystemAreaView ViewOfSystemArea(const SystemAreaBytes& area);
ListenPositionsView ViewOfListenPositions(const ListenPositionBytes& positions);
// The name of a group image (bytes 0..14, trimmed, as UTF-8).
std::string GroupNameOf(const ParamImage& image);

// Loads a copy of `image` into the records as a file load does (the effect
// record keeps its values). For a model that is offline: online, the load
// would mark the bands for sending.
void LoadImageCopy(CKTV_Data& model, const ParamImage& image);
// LoadImageCopy, then the view of the records.
ImageView ViewOfImage(CKTV_Data& model, const ParamImage& image);
