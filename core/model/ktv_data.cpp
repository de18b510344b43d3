#include "model/ktv_data.h"

#include <algorithm>
#include <cstring>
#include <mutex>

#include "base/globals.h"
#include "protocol/frame_builder.h"

namespace {

bool LoadsEffect(int mode) {
    return mode == kLoadModeCurrent || mode == kLoadModeWithEffect;
}

// A device or file may carry crossover words the response math cannot use.
void ClampCrossover(BYTE* slot) {
    BYTE* x = slot + kOutXover;
    if (GetWord(x + kXoverHighFreq) > kXoverHighestHighPass) {
        PutWord(x + kXoverHighFreq, kXoverHighestHighPass);
    }
    if (GetWord(x + kXoverLowFreq) < kXoverLowestLowPass) {
        PutWord(x + kXoverLowFreq, kXoverLowestLowPass);
    }
}

std::unique_ptr<CSendData> NextMusicChange(CMusic_InData* music) {
    if (!music) return nullptr;
    if (music->IsLevelPending()) {
        music->ClearLevelPending();
        return music->MakeLevelPacket(true);
    }
    if (music->IsLimiterPending()) {
        music->ClearLimiterPending();
        return music->MakeLimiterPacket(true);
    }
    return nullptr;
}

// Names are compared within the 16-byte name field only.
bool NameMatches(const BYTE* stored, const BYTE* name, int n) {
    const int length = std::clamp(n, 0, kImageNameSize);
    return std::memcmp(stored, name, static_cast<std::size_t>(length)) == 0;
}

}  // namespace

CKTV_Data::CKTV_Data() {
    m_mics.Add(std::make_unique<CMIC_InData>());
    m_music.Add(std::make_unique<CMusic_InData>());
    for (int c = 0; c < kOutputCount; ++c) {
        CKTV_OutData* channel = m_outputs.Add(std::make_unique<CKTV_OutData>(c));
        g_anLinkGroup[c] = c;
        g_apOutChannel[c] = channel;
    }
}

CKTV_Data::~CKTV_Data() {
    for (int c = 0; c < kOutputCount; ++c) {
        if (g_apOutChannel[c] == m_outputs.GetAt(c)) g_apOutChannel[c] = nullptr;
    }
}

// ---------------------------------------------------------------- the pump

std::unique_ptr<CSendData> CKTV_Data::NextOutputChange(CKTV_OutData& channel) {
    if (channel.IsNamePending()) {
        channel.ClearNamePending();
        return channel.MakeNamePacket();
    }
    if (channel.IsLevelPending()) {
        channel.ClearLevelPending();
        return channel.MakeLevelPacket(true);
    }
    if (channel.IsXoverPending()) {
        for (CFilter* filter : {channel.GetHighPass(), channel.GetLowPass()}) {
            if (filter->IsPending()) filter->StepSentFreq(false);
        }
        return channel.MakeXoverPacket(true);
    }
    if (channel.IsMixLowPending()) {
        channel.ClearMixLowPending();
        return channel.MakeMixLowPacket(true);
    }
    if (channel.IsMixHighPending()) {
        channel.ClearMixHighPending();
        return channel.MakeMixHighPacket(true);
    }
    if (channel.IsLimiterPending()) {
        channel.ClearLimiterPending();
        return channel.MakeLimiterPacket(true);
    }
    for (int i = 0; i < channel.GetBandCount(); ++i) {
        CFilter* band = channel.GetBand(i);
        if (!band->IsPending()) continue;
        band->StepSentFreq(false);
        return channel.MakeBandPacket(i, band->GetIndex());
    }
    return nullptr;
}

std::unique_ptr<CSendData> CKTV_Data::NextPendingChange() {
    std::lock_guard lock(g_csModel);
    if (g_bSendSysSettings.exchange(false)) return MakeSystemWrite(SYS_SETTINGS, 0);
    if (g_bSendInputLevels.exchange(false)) return MakeSystemWrite(SYS_INPUT_LEVELS, 0);
    if (auto packet = NextMusicChange(m_music.GetAt(0))) return packet;
    for (int c = 0; c < m_outputs.GetCount(); ++c) {
        if (auto packet = NextOutputChange(*m_outputs.GetAt(c))) return packet;
    }
    return MakeItemPacket(BT_POLL, 0, 0);
}

// ---------------------------------------------------------------- bulk transfers

void CKTV_Data::LoadFromImage(BYTE* image, int mode) {
    std::lock_guard lock(g_csModel);
    if (LoadsEffect(mode)) m_effect.LoadFromImage(image);
    m_mics.GetAt(0)->LoadFromImage(image + kImageMicOffset);
    m_music.GetAt(0)->LoadFromImage(image + kImageMusicOffset);
    for (int c = 0; c < kOutputCount; ++c) {
        BYTE* slot = image + OutSlotOffset(c);
        ClampCrossover(slot);
        m_outputs.GetAt(c)->LoadFromImage(slot);
    }
}

void CKTV_Data::WriteAllToImage() {
    std::lock_guard lock(g_csModel);
    m_effect.WriteToImage();
    m_mics.GetAt(0)->WriteToImage();
    m_music.GetAt(0)->WriteToImage();
    for (int c = 0; c < kOutputCount; ++c)
        m_outputs.GetAt(c)->WriteToImage();
}

void CKTV_Data::ClearPending() {
    std::lock_guard lock(g_csModel);
    m_effect.ClearPending();
    m_mics.ClearPending();
    m_music.ClearPending();
    m_outputs.ClearPending();
}

bool CKTV_Data::IsNameUsed(int slot, const BYTE* name, bool groups, int n) const {
    std::lock_guard lock(g_csModel);
    if (groups) {
        for (int g = 1; g <= kDeviceGroupCount; ++g) {
            if (g != slot + 1 && NameMatches(g_GroupImages[g - 1].data(), name, n)) return true;
        }
        return false;
    }
    for (int r = 0; r < kSourceRecordCount; ++r) {
        if (r != slot && NameMatches(g_SourceRecords[r].data(), name, n)) return true;
    }
    return false;
}
