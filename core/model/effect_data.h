#pragma once
// The effect data: a 3-band equalizer with its crossover pair, eleven
// one-byte settings and a name. The model only keeps it, loads it from an
// image and writes it back; it travels inside images and PC files.

#include <array>
#include <string>

#include "base/types.h"
#include "image/record_layout.h"
#include "response/ktveq.h"

class CEffect_Data {
public:
    CEffect_Data();
    CEffect_Data(const CEffect_Data&) = delete;
    CEffect_Data& operator=(const CEffect_Data&) = delete;

    const std::string& GetName() const { return m_strName; }
    BYTE GetSetting(int i) const { return m_abSettings[i]; }
    const std::array<BYTE, kEffectSettingCount>& GetSettings() const { return m_abSettings; }
    CKTVEQ& GetEQ() { return m_EQ; }
    const CKTVEQ& GetEQ() const { return m_EQ; }

    // Offsets are those of a whole parameter image (the effect data starts at
    // byte 32 of it).
    void LoadFromImage(const BYTE* image);
    void WriteToImage();  // into g_CurImage
    // The filters' markers to 0.
    void ClearPending();

private:
    std::string m_strName = "Effect";
    CKTVEQ m_EQ;
    std::array<BYTE, kEffectSettingCount> m_abSettings{20, 84, 50, 68, 0, 18, 50, 0, 40, 50, 0};
};
