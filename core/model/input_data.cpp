#include "model/input_data.h"

#include <cstring>

#include "base/globals.h"
#include "image/param_image.h"
#include "model/text_field.h"
#include "model/xover_record.h"
#include "protocol/frame_builder.h"

namespace {

constexpr COLORREF kMicCurveColor = 0x3380FF;
constexpr COLORREF kMusicCurveColor = 0xED7936;

int ImageOffsetOfBlock(int blockIndex) {
    return blockIndex == kMusicBlockIndex ? kImageMusicOffset : kImageMicOffset;
}

}  // namespace

CInputData::CInputData(int blockIndex, const char* name, COLORREF color)
    : m_nBlockIndex(blockIndex), m_strName(name), m_crCurve(color) {
    m_EQ.BuildInputBands();
}

BYTE CInputData::GetBlockType() const {
    return m_nBlockIndex == kMusicBlockIndex ? BT_MUSIC : BT_MIC;
}

BYTE* CInputData::Block() const {
    return g_CurImage.data() + ImageOffsetOfBlock(m_nBlockIndex);
}

// ---------------------------------------------------------------- setters

void CInputData::SetLevel(BYTE level) {
    m_nLevel = level;
    m_bLevelPending = g_bOnline;
}

void CInputData::SetPhase(BYTE phase) {
    m_nPhase = phase;
    m_bLevelPending = g_bOnline;
}

void CInputData::SetDelay(short value) {
    m_nDelay = value;
    m_bLevelPending = g_bOnline;
}

void CInputData::SetGain(short gain) {
    m_nGain = gain;
    m_bGainOff = gain == 0;
    m_bLevelPending = g_bOnline;
}

void CInputData::SetLimitThreshold(BYTE step) {
    m_nLimitThreshold = step;
    m_bLimiterPending = g_bOnline;
}

void CInputData::SetItem12(short word, BYTE first, BYTE second) {
    m_nItem12Word = word;
    m_nItem12First = first;
    m_nItem12Second = second;
    m_bItem12Pending = g_bOnline;
}

void CInputData::SetName(const std::string& name) {
    m_strName = name;
    m_bNamePending = g_bOnline;
}

void CInputData::ClearPending() {
    m_bLevelPending = false;
    m_bNamePending = false;
    m_bLimiterPending = false;
    m_bItem12Pending = false;
    for (int i = 0; i < m_EQ.GetFilterCount(); ++i)
        m_EQ.GetFilter(i)->SetPending(false);
}

// ---------------------------------------------------------------- image

void CInputData::WriteCommonLevelBytes(BYTE* block) const {
    block[kInPhase] = m_nPhase;
    PutWord(block + kInDelay, static_cast<unsigned short>(m_nDelay));
    PutWord(block + kInGain, m_bGainOff ? 0 : static_cast<unsigned short>(m_nGain));
}

// A field that already reads as the name keeps its bytes (padding included).
void CInputData::WriteName() const {
    BYTE* block = Block();
    if (ReadName(block) == m_strName) return;
    TextToFieldCut(block + kInName, kNameFieldSize, m_strName);
}

void CInputData::WriteXover() const {
    WriteXoverRecord(Block() + kInXover, m_EQ);
}

void CInputData::WriteLimiter() const {
    Block()[kInLimitThreshold] = m_nLimitThreshold;
}

void CInputData::WriteItem12() const {
    BYTE* block = Block();
    PutWord(block + kInItem12Word, static_cast<unsigned short>(m_nItem12Word));
    block[kInItem12ByteA] = m_nItem12First;
    block[kInItem12ByteB] = m_nItem12Second;
}

void CInputData::WriteToImage() {
    BYTE* block = Block();
    for (int i = 0; i < kInputBandCount; ++i)
        m_EQ.GetBandRecord(i, block + kBandRecordBytes * i);
    WriteName();
    WriteLevelBytes(block);
    WriteXover();
    WriteLimiter();
    WriteItem12();
}

void CInputData::LoadFromImage(const BYTE* block) {
    for (int i = 0; i < kInputBandCount; ++i)
        m_EQ.SetBandRecord(i, block + kBandRecordBytes * i);
    m_strName = ReadName(block);
    m_nLevel = block[kInLevel];
    m_nPhase = block[kInPhase];
    m_nKept74 = block[kInKept74];
    m_nByte75 = block[kInByte75];
    m_nDelay = static_cast<short>(GetWord(block + kInDelay));
    m_nGain = static_cast<short>(GetWord(block + kInGain));
    m_bGainOff = m_nGain == 0;
    m_nLimitThreshold = block[kInLimitThreshold];
    m_nItem12Word = static_cast<short>(GetWord(block + kInItem12Word));
    m_nItem12First = block[kInItem12ByteA];
    m_nItem12Second = block[kInItem12ByteB];
    LoadXoverRecord(m_EQ, block + kInXover, CrossoverLoadRule());
    m_EQ.SumCurve();
}

// ---------------------------------------------------------------- packets

std::unique_ptr<CSendData> CInputData::ItemPacket(bool makePacket, int item) const {
    return makePacket ? MakeItemPacket(GetBlockType(), m_nBlockIndex, item) : nullptr;
}

std::unique_ptr<CSendData> CInputData::MakeLevelPacket(bool makePacket) {
    WriteLevelBytes(Block());
    return ItemPacket(makePacket, kInItemLevel);
}

std::unique_ptr<CSendData> CInputData::MakeLimiterPacket(bool makePacket) {
    WriteLimiter();
    return ItemPacket(makePacket, kInItemLimiter);
}

std::unique_ptr<CSendData> CInputData::MakeItem12Packet(bool makePacket) {
    WriteItem12();
    return ItemPacket(makePacket, kInItem12);
}

std::unique_ptr<CSendData> CInputData::MakeNamePacket() {
    WriteName();
    return ItemPacket(true, kInItemName);
}

// ---------------------------------------------------------------- microphone

CMIC_InData::CMIC_InData() : CInputData(kMicBlockIndex, "Mic 1", kMicCurveColor) {
    m_nKept74 = 1;
    m_nByte75 = 1;
    m_nGain = 40;
}

void CMIC_InData::WriteLevelBytes(BYTE* block) const {
    block[kInLevel] = m_nLevel;
    block[kInKept74] = m_nKept74;
    block[kInByte75] = m_nByte75;
    WriteCommonLevelBytes(block);
}

// The bytes up to the first NUL, spaces included.
std::string CMIC_InData::ReadName(const BYTE* block) const {
    const BYTE* field = block + kInName;
    const auto* end = static_cast<const BYTE*>(std::memchr(field, 0, kNameFieldSize));
    const std::size_t length = end ? static_cast<std::size_t>(end - field) : kNameFieldSize;
    return GbkToUtf8(std::string(reinterpret_cast<const char*>(field), length));
}

// The microphone steps and marks, then settles the sent frequency at once.
static void LoadMicXoverFilter(CFilter* filter, int freq, BYTE family, BYTE slope) {
    filter->SetFreq(freq, true);
    filter->SetSentFreq(freq);
    filter->SetXoverType(family, true);
    filter->SetSlope(slope, true);
    filter->StepSentFreq(false);
}

XoverLoader CMIC_InData::CrossoverLoadRule() const {
    return LoadMicXoverFilter;
}

// ---------------------------------------------------------------- music

CMusic_InData::CMusic_InData() : CInputData(kMusicBlockIndex, "Music 1", kMusicCurveColor) {
    m_nGain = 60;
}

void CMusic_InData::WriteLevelBytes(BYTE* block) const {
    block[kInByte75] = m_nByte75;
    WriteCommonLevelBytes(block);
}

std::string CMusic_InData::ReadName(const BYTE* block) const {
    return TextFromFieldAll(block + kInName, kNameFieldSize);
}

XoverLoader CMusic_InData::CrossoverLoadRule() const {
    return LoadXoverFilterPlain;
}
