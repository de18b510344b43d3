#include "model/startup_contents.h"

#include <algorithm>
#include <mutex>

#include "base/globals.h"
#include "image/record_layout.h"
#include "tables/value_tables.h"

namespace {

constexpr int kFlatBandWord = 600;          // 400 + gain index 200: 0 dB
constexpr int kFactoryBandwidthIndex = 15;  // 0.20 octave
constexpr int kStartupBandFreq = 1000;

// Output on, normal phase, 0 dB, no delay, parametric, extra level 0; then the
// crossover pair: high-pass 20 Hz and low-pass 20000 Hz, Butterworth, 24 dB/Oct.
constexpr std::array<BYTE, 16> kFactoryLevelAndXover{
    0x01, 0x00, 0x3C, 0x00, 0x00, 0x00, 0x00, 0x00, 0x14, 0x00, 0x02, 0x02, 0x20, 0x4E, 0x02, 0x02};
// Input 1 mixed at 100, every other input silent.
constexpr BYTE kFactoryMixInput1 = 0x64;
// Limiter bytes and the blank name, copied as they are at 280 and 288.
constexpr std::array<BYTE, 8> kFactoryLimiter{0x68, 0x01, 0x6A, 0x05, 0x00, 0x00, 0x00, 0x00};
constexpr std::array<BYTE, 8> kFactoryName{0x20, 0x20, 0x20, 0x20, 0x20, 0x20, 0x20, 0x00};
constexpr int kFactoryLimiterOffset = 280;
constexpr int kFactoryNameOffset = 288;

void PutBandRecord(BYTE* p, int freq, int word, int bandwidthIndex) {
    PutWord(p + kBandFreq, freq);
    PutWord(p + kBandGain, word);
    PutWord(p + kBandWidth, bandwidthIndex);
    p[kBandSlope] = 0;
    p[kBandType] = 0;
}

ChannelBlockBytes BuildFactoryChannelBlock() {
    ChannelBlockBytes block{};
    for (int i = 0; i < kOutBandCount; ++i) {
        PutBandRecord(block.data() + kBandRecordBytes * i, kFactoryBandFreq[i], kFlatBandWord,
                      kFactoryBandwidthIndex);
    }
    std::copy(kFactoryLevelAndXover.begin(), kFactoryLevelAndXover.end(),
              block.begin() + kOutOutputOn);
    block[kOutMix] = kFactoryMixInput1;
    std::copy(kFactoryLimiter.begin(), kFactoryLimiter.end(),
              block.begin() + kFactoryLimiterOffset);
    std::copy(kFactoryName.begin(), kFactoryName.end(), block.begin() + kFactoryNameOffset);
    return block;
}

void InitInputBlock(BYTE* block) {
    for (int i = 0; i < kInputBandCount; ++i) {
        PutBandRecord(block + kBandRecordBytes * i, kStartupBandFreq, kFlatBandWord, 0);
    }
}

void InitEffectBlock(BYTE* block) {
    // The effect block has room for eight bands; all start flat at 1 kHz.
    for (int i = 0; i < kEffectBlockBandRoom; ++i) {
        PutBandRecord(block + kBandRecordBytes * i, kStartupBandFreq, kFlatBandWord, 0);
    }
}

void InitCurrentImage() {
    g_CurImage.fill(0);
    InitInputBlock(g_CurImage.data() + kImageMicOffset);
    InitInputBlock(g_CurImage.data() + kImageMusicOffset);
    InitEffectBlock(g_CurImage.data() + kImageEffectOffset);
    const ChannelBlockBytes& factory = FactoryChannelBlock();
    for (int c = 0; c < kOutputCount; ++c) {
        std::copy(factory.begin(), factory.end(), g_CurImage.begin() + OutSlotOffset(c));
    }
}

void InitStoredGroups() {
    for (ParamImage& image : g_GroupImages) {
        image.fill(0);
        // A stored image starts with a blank 15-character name and 16 kept spaces.
        std::fill(image.begin(), image.begin() + kImageNameSize - 1, BYTE{' '});
        std::fill(image.begin() + kImageNameSize, image.begin() + 2 * kImageNameSize, BYTE{' '});
    }
    for (SourceRecord& record : g_SourceRecords)
        record.fill(0);
}

void InitSystemBlocks() {
    g_SysSettings.fill(0);
    PutWord(g_SysSettings.data() + kSysMasterVolume, kStartupMasterVolume);
    g_SysSettings[kSysMasterOutput] = 1;
    g_SpeakerRoles = kStartupSpeakerRoles;
    g_SysAreaKept.fill(0);
    g_InputLevels.fill(0);
    for (int i = 0; i < kStartupInputLevelWords; ++i) {
        PutWord(g_InputLevels.data() + 2 * i, kStartupInputLevel);
    }
    g_DeviceModel.fill(0);
    g_ListenPositions.fill(0);
    g_LimiterSettings.fill(0);
    g_nDeviceId = kDefaultDeviceId;
    for (std::size_t i = 0; i < g_anLinkGroup.size(); ++i)
        g_anLinkGroup[i] = static_cast<int>(i);
}

}  // namespace

const ChannelBlockBytes& FactoryChannelBlock() {
    static const ChannelBlockBytes block = BuildFactoryChannelBlock();
    return block;
}

void InitStartupContents() {
    std::lock_guard lock(g_csModel);
    InitCurrentImage();
    InitStoredGroups();
    InitSystemBlocks();
}
