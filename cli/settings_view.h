#pragma once
// A sound setting as the tool prints it: taken from the records after the
// model loaded an image, so that a file, a stored group and the device's
// settings are shown exactly as the application would show them.

#include <array>
#include <optional>
#include <string>
#include <vector>

#include "base/types.h"
#include "image/param_image.h"
#include "image/record_layout.h"

class CKTV_Data;
class CKTV_OutData;
class CFilter;

struct BandView {
    int type = 0;  // BandType
    int freq = 0;  // Hz
    double gainDb = 0.0;
    int bandwidthIndex = 0;
    double bandwidth = 0.0;  // octaves
    double q = 0.0;          // the Q table's value for the bandwidth index
    int slope = 0;           // shelves: 0 = 6 dB/Oct, 1 = 12 dB/Oct
    bool bypassed = false;   // flat or switched off: the band does nothing
};

struct XoverView {
    int family = 0;
    int slopeCode = 0;
    int freq = 0;
};

struct ChannelView {
    int channel = 0;  // 0..5
    std::string name;
    bool output = false;
    int phase = 0;
    int gainStep = 0;  // dB = step - 60; 0 = gain off
    int delay = 0;     // samples at 48 kHz
    int eqMode = 0;    // 0 parametric, 1 graphic
    std::array<BandView, kOutBandCount> bands{};
    XoverView highPass;
    XoverView lowPass;
    std::array<int, kOutMixCount> mix{};
    int limitThreshold = 0;
    int limitAttack = 0;
    int limitRelease = 0;
};

struct ImageView {
    std::string name;  // the group name of the image (15 characters at most)
    bool containsData = false;
    std::array<ChannelView, kOutputCount> channels{};
};

// What `dump` and `show` print. The optional parts are there when their
// source has them: an all-data file carries the groups, the system area and
// the listening positions; the device the identification and group names.
struct SettingsReport {
    std::string source;  // file or interface path
    std::string kind;    // "single-set", "all-data" or "device"
    std::optional<ImageView> current;
    std::vector<std::pair<int, ImageView>> groups;  // stored group number, image
    std::optional<std::array<BYTE, kSystemAreaSize>> systemArea;
    std::optional<std::array<BYTE, kListenPositionsSize>> listenPositions;
    std::optional<std::string> identification;
    std::optional<std::array<std::string, kDeviceGroupCount>> groupNames;
};

ChannelView ViewOfChannel(const CKTV_OutData& channel);
// The records as they are now, with name and mark from `image`.
ImageView ViewOfModel(const CKTV_Data& model, const ParamImage& image);
// Loads a copy of `image` into the records as a file load does (the effect
// record keeps its values). For a model that is offline: online, the load
// would mark the bands for sending.
void LoadImageCopy(CKTV_Data& model, const ParamImage& image);
// LoadImageCopy, then the view of the records.
ImageView ViewOfImage(CKTV_Data& model, const ParamImage& image);

// The system area of an all-data file, or the device's system blocks.
std::array<BYTE, kSystemAreaSize> CurrentSystemArea();

// The name of a group image (bytes 0..14, trimmed, as UTF-8).
std::string GroupNameOf(const ParamImage& image);
