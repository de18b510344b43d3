#include "model/effect_data.h"

#include "image/param_image.h"
#include "model/text_field.h"
#include "model/xover_record.h"

CEffect_Data::CEffect_Data() {
    m_EQ.BuildEffectBands();
}

void CEffect_Data::LoadFromImage(const BYTE* image) {
    m_strName = TextFromField(image + kEffectName, kNameFieldSize);
    for (int i = 0; i < kEffectSettingCount; ++i)
        m_abSettings[i] = image[kEffectSettingOffsets[i]];
    LoadXoverRecord(m_EQ, image + kEffectXover);
    for (int i = 0; i < kEffectBandCount; ++i) {
        m_EQ.SetBandRecord(i, image + kImageEffectOffset + kBandRecordBytes * i);
    }
    m_EQ.SumCurve();
}

void CEffect_Data::WriteToImage() {
    BYTE* image = g_CurImage.data();
    // A field that already reads as the name keeps its bytes (padding included).
    if (TextFromField(image + kEffectName, kNameFieldSize) != m_strName) {
        TextToFieldCut(image + kEffectName, kNameFieldSize, m_strName);
    }
    for (int i = 0; i < kEffectSettingCount; ++i)
        image[kEffectSettingOffsets[i]] = m_abSettings[i];
    WriteXoverRecord(image + kEffectXover, m_EQ);
    for (int i = 0; i < kEffectBandCount; ++i) {
        m_EQ.GetBandRecord(i, image + kImageEffectOffset + kBandRecordBytes * i);
    }
}

void CEffect_Data::ClearPending() {
    for (int i = 0; i < m_EQ.GetFilterCount(); ++i)
        m_EQ.GetFilter(i)->SetPending(false);
}
