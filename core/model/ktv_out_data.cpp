#include "model/ktv_out_data.h"

#include <algorithm>

#include "base/globals.h"
#include "image/param_image.h"
#include "model/text_field.h"
#include "model/xover_record.h"
#include "protocol/frame_builder.h"

static_assert(kBandRecordBytes == kBandRecordSize);

const std::array<OutChannelDefaults, 6> kOutChannelDefaults{{
    {"FL", 0xC60EFF, 9},
    {"FR", 0x0000FF, 8},
    {"SL", 0x277FFF, 7},
    {"SR", 0x00B4FF, 9},
    {"Center", 0x00FF00, 8},
    {"ULF", 0xFF0000, 7},
}};

namespace {

constexpr int kOutXoverIndex = 32;  // the crossover item, carried by both filters

bool IsLinked(int a, int b) {
    return g_anLinkGroup[a] == g_anLinkGroup[b];
}

}  // namespace

CKTV_OutData::CKTV_OutData(int channel)
    : m_strName(kOutChannelDefaults[channel].name),
      m_nChannel(static_cast<BYTE>(channel)),
      m_crCurve(kOutChannelDefaults[channel].curveColor) {
    m_EQ.BuildBands(kOutBandCount - 1, kOutXoverIndex, kOutChannelDefaults[channel].dragMode,
                    kXoverLowestLowPass, kXoverHighestHighPass);
}

BYTE* CKTV_OutData::Slot() const {
    return g_CurImage.data() + OutSlotOffset(m_nChannel);
}

// ---------------------------------------------------------------- setters

void CKTV_OutData::SetOutputOn(BYTE on) {
    m_bOutputOn = on;
    m_bLevelPending = g_bOnline;
}

void CKTV_OutData::SetPhase(BYTE phase) {
    m_nPhase = phase;
    m_bLevelPending = g_bOnline;
    PropagateLevel();
}

void CKTV_OutData::SetGain(short gain) {
    m_nGain = gain;
    m_bGainOff = gain == 0;
    m_bLevelPending = g_bOnline;
    PropagateLevel();
}

void CKTV_OutData::SetDelay(short samples) {
    m_nDelay = samples;
    m_bLevelPending = g_bOnline;
}

void CKTV_OutData::SetEqMode(BYTE mode) {
    m_nEqMode = mode;
    ApplyEqModeToBands(mode);
    m_bLevelPending = g_bOnline;
    PropagateLevel();
}

void CKTV_OutData::SetLimitThreshold(short step) {
    m_nLimitThreshold = step;
    m_bLimiterPending = g_bOnline;
    PropagateLimiter();
}

void CKTV_OutData::SetLimitAttack(BYTE code) {
    m_nLimitAttack = code;
    m_bLimiterPending = g_bOnline;
    PropagateLimiter();
}

void CKTV_OutData::SetLimitRelease(BYTE code) {
    m_nLimitRelease = code;
    m_bLimiterPending = g_bOnline;
    PropagateLimiter();
}

void CKTV_OutData::SetMixLow(const BYTE mix[kOutMixCount]) {
    std::copy_n(mix, kOutMixCount, m_abMix.begin());
    m_bMixLowPending = g_bOnline;
}

void CKTV_OutData::SetMixHigh(const BYTE mix[kOutMixCount]) {
    std::copy_n(mix, kOutMixCount, m_abMix.begin());
    m_bMixHighPending = g_bOnline;
}

void CKTV_OutData::SetName(const std::string& name) {
    m_strName = name;
    m_bNamePending = g_bOnline;
}

void CKTV_OutData::ApplyEqModeToBands(BYTE mode) {
    for (int i = 0; i < kOutBandCount; ++i)
        m_EQ.GetBand(i)->SetGeqMode(mode != 0);
}

// Gain, EQ mode and the extra level are shared within a link group; output
// on, phase and delay are not, but a phase change still re-sends the linked
// channels' level item.
void CKTV_OutData::PropagateLevel() {
    for (int j = 0; j < kOutputCount; ++j) {
        CKTV_OutData* other = g_apOutChannel[j];
        if (j == m_nChannel || !other || !IsLinked(j, m_nChannel)) continue;
        other->m_nGain = m_nGain;
        other->m_bGainOff = m_nGain == 0;
        if (other->m_nEqMode != m_nEqMode) {
            other->m_nEqMode = m_nEqMode;
            other->ApplyEqModeToBands(m_nEqMode);
        }
        other->m_nExtraLevel = m_nExtraLevel;
        other->m_bLevelPending = g_bOnline;
    }
}

void CKTV_OutData::PropagateLimiter() {
    for (int j = 0; j < kOutputCount; ++j) {
        CKTV_OutData* other = g_apOutChannel[j];
        if (j == m_nChannel || !other || !IsLinked(j, m_nChannel)) continue;
        other->m_nLimitThreshold = m_nLimitThreshold;
        other->m_nLimitAttack = m_nLimitAttack;
        other->m_nLimitRelease = m_nLimitRelease;
        other->m_bLimiterPending = g_bOnline;
    }
}

// ---------------------------------------------------------------- markers

bool CKTV_OutData::IsXoverPending() const {
    return m_EQ.GetHighPass()->IsPending() || m_EQ.GetLowPass()->IsPending();
}

void CKTV_OutData::ClearPending() {
    m_bNamePending = false;
    m_bLevelPending = false;
    m_bMixLowPending = false;
    m_bMixHighPending = false;
    m_bLimiterPending = false;
    // A filter still stepping toward its target stays pending.
    for (int i = 0; i < m_EQ.GetFilterCount(); ++i)
        m_EQ.GetFilter(i)->StepSentFreq(false);
}

void CKTV_OutData::UpdateAllBypassed() {
    bool all = true;
    for (int i = 0; i < m_EQ.GetFilterCount(); ++i)
        all = all && m_EQ.GetFilter(i)->IsBypassed();
    m_bAllBypassed = all;
}

// ---------------------------------------------------------------- image

// A field that already reads as the name keeps its bytes (padding included),
// so an unedited name goes back to the device exactly as it came.
void CKTV_OutData::WriteName() {
    BYTE* field = Slot() + kOutName;
    if (TextFromFieldAll(field, kNameFieldSize) == m_strName) return;
    TextToField(field, m_strName, kNameFieldSize);
}

void CKTV_OutData::WriteLevel() {
    BYTE* slot = Slot();
    slot[kOutOutputOn] = m_bOutputOn;
    slot[kOutPhase] = m_nPhase;
    PutWord(slot + kOutGain, m_bGainOff ? 0 : static_cast<unsigned short>(m_nGain));
    PutWord(slot + kOutDelay, static_cast<unsigned short>(m_nDelay));
    slot[kOutEqMode] = m_nEqMode;
    slot[kOutExtraLevel] = m_nExtraLevel;
}

void CKTV_OutData::WriteXover() {
    WriteXoverRecord(Slot() + kOutXover, m_EQ);
}

void CKTV_OutData::WriteMix() {
    std::copy(m_abMix.begin(), m_abMix.end(), Slot() + kOutMix);
}

void CKTV_OutData::WriteLimiter() {
    BYTE* slot = Slot();
    PutWord(slot + kOutLimitThreshold, static_cast<unsigned short>(m_nLimitThreshold));
    slot[kOutLimitAttack] = m_nLimitAttack;
    slot[kOutLimitRelease] = m_nLimitRelease;
}

void CKTV_OutData::WriteToImage() {
    for (int i = 0; i < kOutBandCount; ++i)
        m_EQ.GetBandRecord(i, Slot() + kBandRecordBytes * i);
    WriteName();
    WriteLevel();
    WriteXover();
    WriteLimiter();
    WriteMix();
}

void CKTV_OutData::LoadFromImage(const BYTE* block) {
    for (int i = 0; i < kOutBandCount; ++i)
        m_EQ.SetBandRecord(i, block + kBandRecordBytes * i);
    m_strName = TextFromFieldAll(block + kOutName, kNameFieldSize);
    LoadXoverRecord(m_EQ, block + kOutXover);
    m_bOutputOn = block[kOutOutputOn];
    m_nPhase = block[kOutPhase];
    m_nDelay = static_cast<short>(GetWord(block + kOutDelay));
    m_nGain = static_cast<short>(GetWord(block + kOutGain));
    m_bGainOff = m_nGain == 0;
    m_nEqMode = block[kOutEqMode];
    ApplyEqModeToBands(m_nEqMode);
    m_nExtraLevel = block[kOutExtraLevel];
    m_nLimitThreshold = static_cast<short>(GetWord(block + kOutLimitThreshold));
    m_nLimitAttack = block[kOutLimitAttack];
    m_nLimitRelease = block[kOutLimitRelease];
    std::copy_n(block + kOutMix, kOutMixCount, m_abMix.begin());
    m_EQ.SumCurve();
}

void CKTV_OutData::CopyFrom(const CKTV_OutData& source) {
    const int count = std::min(m_EQ.GetFilterCount(), source.m_EQ.GetFilterCount());
    for (int i = 0; i < count; ++i)
        m_EQ.GetFilter(i)->CopyValues(*source.m_EQ.GetFilter(i));
    m_nGain = source.m_nGain;
    m_bGainOff = source.m_bGainOff;
    m_nEqMode = source.m_nEqMode;
    ApplyEqModeToBands(m_nEqMode);
    m_EQ.SumCurve();
}

// ---------------------------------------------------------------- packets

std::unique_ptr<CSendData> CKTV_OutData::ItemPacket(bool makePacket, int item) const {
    return makePacket ? MakeItemPacket(BT_OUTPUT, m_nChannel, item) : nullptr;
}

std::unique_ptr<CSendData> CKTV_OutData::MakeLevelPacket(bool makePacket) {
    WriteLevel();
    return ItemPacket(makePacket, kChannelItemLevel);
}

std::unique_ptr<CSendData> CKTV_OutData::MakeXoverPacket(bool makePacket) {
    WriteXover();
    return ItemPacket(makePacket, kChannelItemXover);
}

std::unique_ptr<CSendData> CKTV_OutData::MakeMixLowPacket(bool makePacket) {
    WriteMix();
    return ItemPacket(makePacket, kChannelItemMixLow);
}

std::unique_ptr<CSendData> CKTV_OutData::MakeMixHighPacket(bool makePacket) {
    WriteMix();
    return ItemPacket(makePacket, kChannelItemMixHigh);
}

std::unique_ptr<CSendData> CKTV_OutData::MakeLimiterPacket(bool makePacket) {
    WriteLimiter();
    return ItemPacket(makePacket, kChannelItemLimiter);
}

std::unique_ptr<CSendData> CKTV_OutData::MakeNamePacket() {
    WriteName();  // a refused name leaves the previous bytes, which still go out
    return ItemPacket(true, kChannelItemName);
}

std::unique_ptr<CSendData> CKTV_OutData::MakeBandPacket(int band, int item) {
    m_EQ.GetBandRecord(band, Slot() + kBandRecordBytes * band);
    return ItemPacket(true, item);
}

std::unique_ptr<CSendData> CKTV_OutData::MakeChannelPacket(int group) {
    WriteToImage();
    return MakeBlockPacket(group, BT_OUTPUT, m_nChannel, true, true);
}
