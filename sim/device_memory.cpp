#include "sim/device_memory.h"

#include <algorithm>
#include <cstring>

#include "protocol/frame_format.h"

namespace sim {
namespace {

constexpr BYTE kSpace = 0x20;
constexpr int kBandRecordSize = 8;
constexpr unsigned kGainWordZeroDb = 600;

void PutBandRecord(BYTE* p, unsigned freq, unsigned bandwidthIndex) {
    PutWord(p, freq);
    PutWord(p + 2, kGainWordZeroDb);
    PutWord(p + 4, bandwidthIndex);
    p[6] = 0;  // slope
    p[7] = 0;  // peaking
}

// High-pass 20 Hz and low-pass 20000 Hz, both of family 2, slope code `slope`.
void PutOpenCrossover(BYTE* p, BYTE slope) {
    constexpr BYTE kFamily = 2;
    PutWord(p, 20);
    p[2] = kFamily;
    p[3] = slope;
    PutWord(p + 4, 20000);
    p[6] = kFamily;
    p[7] = slope;
}

void PutText(BYTE* p, const char* text) {
    std::memcpy(p, text, std::strlen(text));
}

// Factory output block: flat bands at the device's own centre frequencies,
// 0 dB, both crossover filters open, input 1 mixed at 100, blank name.
constexpr std::array<unsigned, 31> kFactoryBandFreqs = {
    20,  26,   33,   41,   51,   62,   81,   101,  124,  161,  201,  251,   316,   401,   501,  631,
    801, 1001, 1251, 1601, 2001, 2501, 3151, 4001, 5001, 6299, 8001, 10001, 12501, 16001, 20000};
constexpr unsigned kFactoryBandwidthIndex = 15;  // 0.20 octave
constexpr std::array<BYTE, 16> kFactoryLevelAndCrossover = {
    0x01, 0x00, 0x3C, 0x00, 0x00, 0x00, 0x00, 0x00, 0x14, 0x00, 0x02, 0x02, 0x20, 0x4E, 0x02, 0x02};
constexpr std::array<BYTE, 8> kFactoryLimiter = {0x68, 0x01, 0x6A, 0x05, 0, 0, 0, 0};
constexpr int kFactoryLevelOffset = 248;
constexpr int kFactoryMixOffset = 264;
constexpr int kFactoryLimiterOffset = 280;
constexpr int kFactoryNameOffset = 288;
constexpr BYTE kFactoryMixInput1 = 100;

// Input block fields (offsets inside the 112-byte block).
constexpr int kInputBandCount = 9;
constexpr int kInputLevel = 72;
constexpr int kInputKept74 = 74;
constexpr int kInputKept75 = 75;
constexpr int kInputGain = 78;
constexpr int kInputCrossover = 80;
constexpr int kInputLimiter = 88;
constexpr int kInputItem12Word = 96;
constexpr int kInputName = 104;

struct InputDefaults {
    int offset;
    BYTE kept74;
    BYTE kept75;
    unsigned gain;
    const char* name;
};
constexpr InputDefaults kInputDefaults[] = {
    {kImageMicOffset, 1, 1, 40, "Mic 1"},
    {kImageMusicOffset, 0, 0, 60, "Music 1"},
};

void PutInputBlock(ParamImage& image, const InputDefaults& input) {
    BYTE* block = image.data() + input.offset;
    for (int band = 0; band < kInputBandCount; ++band)
        PutBandRecord(block + kBandRecordSize * band, 1000, 0);
    block[kInputLevel] = 0;
    block[kInputKept74] = input.kept74;
    block[kInputKept75] = input.kept75;
    PutWord(block + kInputGain, input.gain);
    PutOpenCrossover(block + kInputCrossover, 0);
    block[kInputLimiter] = 40;
    PutWord(block + kInputItem12Word, 500);
    PutText(block + kInputName, input.name);
}

// Effect data (image offsets).
constexpr int kEffectBandCount = 8;
constexpr int kEffectCrossover = 152;
constexpr int kEffectName = 176;
struct EffectSetting {
    int offset;
    BYTE value;
};
constexpr EffectSetting kEffectSettings[] = {{160, 20}, {161, 84}, {162, 50}, {163, 68},
                                             {166, 0},  {168, 18}, {169, 50}, {170, 0},
                                             {171, 40}, {172, 50}, {175, 0}};

void PutEffectData(ParamImage& image) {
    for (int band = 0; band < kEffectBandCount; ++band)
        PutBandRecord(image.data() + kImageEffectOffset + kBandRecordSize * band, 1000, 0);
    PutOpenCrossover(image.data() + kEffectCrossover, 0);
    for (const auto& setting : kEffectSettings)
        image[setting.offset] = setting.value;
    PutText(image.data() + kEffectName, "Effect");
}

void PutBlankName(BYTE* name) {
    std::fill_n(name, kNameChars, kSpace);
    name[kNameChars] = 0;
}

ParamImage FactoryImage() {
    ParamImage image{};
    PutBlankName(image.data() + kImageNameOffset);
    std::fill(image.begin() + kImageNameSize, image.begin() + kImageEffectOffset, kSpace);
    PutEffectData(image);
    for (const auto& input : kInputDefaults)
        PutInputBlock(image, input);
    const auto out = FactoryOutputBlock();
    for (int c = 0; c < kOutputCount; ++c)
        std::copy(out.begin(), out.end(), image.begin() + OutSlotOffset(c));
    return image;
}

SourceRecord FactorySourceRecord(const ParamImage& image) {
    SourceRecord record{};
    PutBlankName(record.data());
    std::copy_n(image.begin() + kImageEffectOffset, kEffectBlockSize,
                record.begin() + kSourceRecordEffectOffset);
    return record;
}

// Where each block type sits in an image; `firstIndex` is the index the
// frames use for the first block of the type.
struct BlockPlace {
    int type;
    int offset;
    int stride;
    int size;
    int firstIndex;
    int count;
};
constexpr BlockPlace kBlockPlaces[] = {
    {BT_MIC, kImageMicOffset, kInputBlockSize, kInputBlockSize, 0, 1},
    {BT_MUSIC, kImageMusicOffset, kInputBlockSize, kInputBlockSize, 2, 1},
    {BT_OUTPUT, kImageOutOffset, kOutSlotSize, kOutBlockSize, 0, kOutputCount},
    {BT_EFFECT, kImageEffectOffset, kEffectBlockSize, kEffectBlockSize, 0, 1},
};

std::span<BYTE> BlockInImage(ParamImage& image, int type, int index) {
    for (const auto& place : kBlockPlaces) {
        if (place.type != type) continue;
        const int slot = index - place.firstIndex;
        if (slot < 0 || slot >= place.count) return {};
        return std::span(image).subspan(place.offset + place.stride * slot, place.size);
    }
    return {};
}

}  // namespace

std::array<BYTE, kOutBlockSize> FactoryOutputBlock() {
    std::array<BYTE, kOutBlockSize> block{};
    for (size_t band = 0; band < kFactoryBandFreqs.size(); ++band)
        PutBandRecord(block.data() + kBandRecordSize * band, kFactoryBandFreqs[band],
                      kFactoryBandwidthIndex);
    std::copy(kFactoryLevelAndCrossover.begin(), kFactoryLevelAndCrossover.end(),
              block.begin() + kFactoryLevelOffset);
    block[kFactoryMixOffset] = kFactoryMixInput1;
    std::copy(kFactoryLimiter.begin(), kFactoryLimiter.end(),
              block.begin() + kFactoryLimiterOffset);
    std::fill_n(block.begin() + kFactoryNameOffset, 7, kSpace);
    return block;
}

DeviceMemory FactoryMemory() {
    DeviceMemory memory;
    memory.current = FactoryImage();
    memory.groups.fill(memory.current);
    memory.sources.fill(FactorySourceRecord(memory.current));
    memory.sysSettings = {0, 0, 60, 0, 0, 1, 0, 0};  // source 0, 0 dB, master output on
    memory.speakerRoles = {6, 12, 15, 18, 22, 23, 0, 0, 0, 0, 0, 0};
    memory.inputLevels = {200, 0, 200, 0, 200, 0, 0, 0};
    memory.status[kStatusSourceByte] = memory.sysSettings[kSysInputSource];
    return memory;
}

Identification FactoryIdentification() {
    Identification id{};
    std::copy_n(kDeviceIdentification, kIdentificationBytes, id.begin());
    return id;
}

bool IsStoredGroup(int group) {
    return group >= 1 && group <= kStoredGroupCount;
}
bool IsSourceGroup(int group) {
    return group >= kFirstSourceGroup && group <= kLastSourceGroup;
}

std::span<BYTE> AddressBlock(DeviceMemory& memory, int group, int type, int index) {
    if (group == 0) return BlockInImage(memory.current, type, index);
    if (IsStoredGroup(group)) return BlockInImage(memory.groups[group - 1], type, index);
    if (IsSourceGroup(group) && type == BT_EFFECT && index == 0)
        return std::span(memory.sources[group - kFirstSourceGroup])
            .subspan(kSourceRecordEffectOffset, kEffectBlockSize);
    return {};
}

std::span<BYTE> AddressName(DeviceMemory& memory, int group) {
    if (group == 0) return std::span(memory.current).first(kImageNameSize);
    if (IsStoredGroup(group)) return std::span(memory.groups[group - 1]).first(kImageNameSize);
    if (IsSourceGroup(group))
        return std::span(memory.sources[group - kFirstSourceGroup]).first(kImageNameSize);
    return {};
}

bool RecallGroup(DeviceMemory& memory, int group) {
    if (IsStoredGroup(group)) {
        memory.current = memory.groups[group - 1];
        return true;
    }
    if (IsSourceGroup(group)) {
        const auto effect = AddressBlock(memory, group, BT_EFFECT, 0);
        std::copy(effect.begin(), effect.end(), memory.current.begin() + kImageEffectOffset);
        return true;
    }
    return false;
}

}  // namespace sim
