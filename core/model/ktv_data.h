#pragma once
// The model root: the effect record, the input lists and the six output
// channels, with the bulk transfers between them and the current image and
// the pump that turns pending changes into packets.

#include <memory>

#include "base/types.h"
#include "image/param_image.h"
#include "model/effect_data.h"
#include "model/record_lists.h"
#include "protocol/send_data.h"

// Load modes that also take the effect record; file loads pass kLoadModeFile.
constexpr int kLoadModeFile = -1;
constexpr int kLoadModeCurrent = 0;
constexpr int kLoadModeWithEffect = 6;

class CKTV_Data {
public:
    // Creates the records (effect, microphone, music, outputs 0..5), makes
    // every output channel its own link group and fills g_apOutChannel. The
    // images are not touched: InitStartupContents fills them.
    CKTV_Data();
    ~CKTV_Data();
    CKTV_Data(const CKTV_Data&) = delete;
    CKTV_Data& operator=(const CKTV_Data&) = delete;

    // The packet of the first pending change in the fixed order (system
    // settings, input levels, music input, then outputs 0..5: name, level,
    // crossover, low mix, high mix, limiter, first pending band), clearing
    // that change; the idle status poll when nothing is pending. Never null.
    std::unique_ptr<CSendData> NextPendingChange();

    // Loads every record from an image; the effect record only in modes 0
    // and 6. Crossover frequencies outside 20..20000 Hz are clamped in the
    // image first (high-pass down to 20000, low-pass up to 20).
    void LoadFromImage(BYTE* image, int mode);
    void LoadFromImage(ParamImage& image, int mode) { LoadFromImage(image.data(), mode); }
    // Every record writes itself into g_CurImage.
    void WriteAllToImage();
    // Every pending marker of every record and filter to 0.
    void ClearPending();

    CKTV_OutData* GetOutput(int channel) const { return m_outputs.GetAt(channel); }
    CMIC_InData* GetMic(int i) const { return m_mics.GetAt(i); }
    CMusic_InData* GetMusic(int i) const { return m_music.GetAt(i); }
    CEffect_Data& GetEffect() { return m_effect; }
    const CEffect_Data& GetEffect() const { return m_effect; }

    // Whether another slot already carries this name (first n bytes). With
    // `groups`: stored groups 1..6 except slot + 1; otherwise source records
    // 21..40 except slot + 21.
    bool IsNameUsed(int slot, const BYTE* name, bool groups, int n) const;

private:
    std::unique_ptr<CSendData> NextOutputChange(CKTV_OutData& channel);

    CEffect_Data m_effect;
    CMicList m_mics;
    CMusicList m_music;
    COutputList m_outputs;
};
