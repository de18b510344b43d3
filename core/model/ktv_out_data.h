#pragma once
// One output channel: its equalizer (31 bands, high-pass, low-pass), level,
// delay, phase, mix and limiter settings, its slot in the current image, and
// the packets that carry its changes to the device.
//
// A setter stores the value and sets the change's pending marker to
// g_bOnline; NextPendingChange of the model root later asks for the packet.
// Records take no lock: the caller holds g_csModel around every change.

#include <array>
#include <cstdint>
#include <memory>
#include <string>

#include "base/types.h"
#include "image/record_layout.h"
#include "protocol/send_data.h"
#include "response/ktveq.h"

using COLORREF = std::uint32_t;

// The six output channels as they are created.
struct OutChannelDefaults {
    const char* name;
    COLORREF curveColor;
    int dragMode;  // crossover drag-limit mode of the channel's high-pass and low-pass
};
extern const std::array<OutChannelDefaults, 6> kOutChannelDefaults;

class CKTV_OutData {
public:
    explicit CKTV_OutData(int channel);
    CKTV_OutData(const CKTV_OutData&) = delete;
    CKTV_OutData& operator=(const CKTV_OutData&) = delete;

    // Setters: store, mark pending (= g_bOnline), copy to linked channels
    // where the rule says so.
    void SetOutputOn(BYTE on);
    void SetPhase(BYTE phase);
    void SetGain(short gain);  // 0 switches the output's gain off
    void SetDelay(short samples);
    void SetEqMode(BYTE mode);  // 0 parametric, 1 graphic
    void SetLimitThreshold(short step);
    void SetLimitAttack(BYTE code);
    void SetLimitRelease(BYTE code);
    // Both take all twelve mix levels; the low one marks item 33 (inputs
    // 1..8), the high one item 34 (inputs 9..12).
    void SetMixLow(const BYTE mix[kOutMixCount]);
    void SetMixHigh(const BYTE mix[kOutMixCount]);
    void SetName(const std::string& name);  // UTF-8

    const std::string& GetName() const { return m_strName; }
    int GetChannel() const { return m_nChannel; }
    BYTE GetOutputOn() const { return m_bOutputOn; }
    BYTE GetPhase() const { return m_nPhase; }
    short GetGain() const { return m_bGainOff ? 0 : m_nGain; }
    bool IsGainOff() const { return m_bGainOff; }
    short GetDelay() const { return m_nDelay; }
    BYTE GetEqMode() const { return m_nEqMode; }
    BYTE GetMix(int input) const { return m_abMix[input]; }
    const std::array<BYTE, kOutMixCount>& GetMixes() const { return m_abMix; }
    short GetLimitThreshold() const { return m_nLimitThreshold; }
    BYTE GetLimitAttack() const { return m_nLimitAttack; }
    BYTE GetLimitRelease() const { return m_nLimitRelease; }
    COLORREF GetCurveColor() const { return m_crCurve; }

    CKTVEQ& GetEQ() { return m_EQ; }
    const CKTVEQ& GetEQ() const { return m_EQ; }
    int GetBandCount() const { return kOutBandCount; }
    CFilter* GetBand(int i) { return m_EQ.GetBand(i); }
    CFilter* GetHighPass() { return m_EQ.GetHighPass(); }
    CFilter* GetLowPass() { return m_EQ.GetLowPass(); }

    // Pending markers. The crossover is pending when either filter is; a band
    // when its own filter is.
    bool IsNamePending() const { return m_bNamePending; }
    bool IsLevelPending() const { return m_bLevelPending; }
    bool IsMixLowPending() const { return m_bMixLowPending; }
    bool IsMixHighPending() const { return m_bMixHighPending; }
    bool IsLimiterPending() const { return m_bLimiterPending; }
    bool IsXoverPending() const;
    void ClearNamePending() { m_bNamePending = false; }
    void ClearLevelPending() { m_bLevelPending = false; }
    void ClearMixLowPending() { m_bMixLowPending = false; }
    void ClearMixHighPending() { m_bMixHighPending = false; }
    void ClearLimiterPending() { m_bLimiterPending = false; }
    // Every marker of the record and its filters to 0.
    void ClearPending();

    // Every filter reports IsBypassed(); recomputed by UpdateAllBypassed.
    bool IsAllBypassed() const { return m_bAllBypassed; }
    void UpdateAllBypassed();

    // Packet makers: copy fields into the channel's slot of g_CurImage, then
    // (when asked) build the item packet of the channel.
    std::unique_ptr<CSendData> MakeLevelPacket(bool makePacket);
    std::unique_ptr<CSendData> MakeXoverPacket(bool makePacket);
    std::unique_ptr<CSendData> MakeMixLowPacket(bool makePacket);
    std::unique_ptr<CSendData> MakeMixHighPacket(bool makePacket);
    std::unique_ptr<CSendData> MakeLimiterPacket(bool makePacket);
    // A name of 8 or more GBK bytes is refused with the "char Len error!"
    // message and leaves the image's name bytes as they were; item 36 is
    // built in any case.
    std::unique_ptr<CSendData> MakeNamePacket();
    std::unique_ptr<CSendData> MakeBandPacket(int band, int item);
    // The whole slot, written into `group` (0 = current settings).
    std::unique_ptr<CSendData> MakeChannelPacket(int group);

    // The whole slot of g_CurImage from the record.
    void WriteToImage();
    // The record from a 296-byte block (crossover frequencies already clamped
    // by the caller). Sets no pending marker.
    void LoadFromImage(const BYTE* block);
    // Filters, gain and EQ mode from another channel; name, output, phase,
    // delay, mix and limiter stay.
    void CopyFrom(const CKTV_OutData& source);

private:
    BYTE* Slot() const;
    void WriteName();
    void WriteLevel();
    void WriteXover();
    void WriteMix();
    void WriteLimiter();
    void ApplyEqModeToBands(BYTE mode);
    void PropagateLevel();
    void PropagateLimiter();
    std::unique_ptr<CSendData> ItemPacket(bool makePacket, int item) const;

    std::string m_strName;
    BYTE m_nChannel;
    CKTVEQ m_EQ;
    BYTE m_bOutputOn = 0;
    BYTE m_nPhase = 0;
    short m_nGain = 60;
    bool m_bGainOff = false;
    short m_nDelay = 0;
    BYTE m_nEqMode = 0;
    BYTE m_nExtraLevel = 0;
    std::array<BYTE, kOutMixCount> m_abMix{};
    short m_nLimitThreshold = 300;  // 0.0 dBu
    BYTE m_nLimitAttack = 106;      // 100 ms
    BYTE m_nLimitRelease = 5;       // Atk * 32
    bool m_bNamePending = false;
    bool m_bLevelPending = false;
    bool m_bMixLowPending = false;
    bool m_bMixHighPending = false;
    bool m_bLimiterPending = false;
    bool m_bAllBypassed = false;
    COLORREF m_crCurve;
};
