#pragma once
// The microphone and music input records: a 9-band equalizer with its
// crossover pair, level, phase, delay, gain, limiter threshold and name, kept
// in step with their 112-byte blocks of the current image. The workspace does
// not edit them; they travel inside images and bulk transfers.

#include <cstdint>
#include <memory>
#include <string>

#include "base/types.h"
#include "image/record_layout.h"
#include "model/xover_record.h"
#include "protocol/send_data.h"
#include "response/ktveq.h"

using COLORREF = std::uint32_t;

class CInputData {
public:
    CInputData(const CInputData&) = delete;
    CInputData& operator=(const CInputData&) = delete;
    virtual ~CInputData() = default;

    // Setters mark their item pending (= g_bOnline): level, phase, delay and
    // gain item 9; the threshold item 11; the item-12 values item 12; the
    // name item 13.
    void SetLevel(BYTE level);
    void SetPhase(BYTE phase);
    void SetDelay(short value);
    void SetGain(short gain);  // 0 switches the gain off
    void SetLimitThreshold(BYTE step);
    void SetItem12(short word, BYTE first, BYTE second);
    void SetName(const std::string& name);  // UTF-8

    BYTE GetBlockType() const;
    const std::string& GetName() const { return m_strName; }
    BYTE GetLevel() const { return m_nLevel; }
    BYTE GetPhase() const { return m_nPhase; }
    short GetDelay() const { return m_nDelay; }
    short GetGain() const { return m_bGainOff ? 0 : m_nGain; }
    bool IsGainOff() const { return m_bGainOff; }
    BYTE GetLimitThreshold() const { return m_nLimitThreshold; }
    COLORREF GetCurveColor() const { return m_crCurve; }
    CKTVEQ& GetEQ() { return m_EQ; }
    const CKTVEQ& GetEQ() const { return m_EQ; }

    bool IsLevelPending() const { return m_bLevelPending; }
    bool IsNamePending() const { return m_bNamePending; }
    bool IsLimiterPending() const { return m_bLimiterPending; }
    void ClearLevelPending() { m_bLevelPending = false; }
    void ClearLimiterPending() { m_bLimiterPending = false; }
    // Every marker of the record and its filters to 0.
    void ClearPending();

    // Packet makers: write the item's bytes into the record's block of
    // g_CurImage, then (when asked) build its item packet.
    std::unique_ptr<CSendData> MakeLevelPacket(bool makePacket);    // item 9
    std::unique_ptr<CSendData> MakeLimiterPacket(bool makePacket);  // item 11
    std::unique_ptr<CSendData> MakeItem12Packet(bool makePacket);   // item 12
    std::unique_ptr<CSendData> MakeNamePacket();                    // item 13

    // The record's whole block of g_CurImage.
    void WriteToImage();
    // The record from a 112-byte block. Sets no pending marker of the record.
    void LoadFromImage(const BYTE* block);

protected:
    CInputData(int blockIndex, const char* name, COLORREF color);

    // What differs between the microphone and the music input.
    virtual void WriteLevelBytes(BYTE* block) const = 0;
    virtual std::string ReadName(const BYTE* block) const = 0;
    virtual XoverLoader CrossoverLoadRule() const = 0;

    BYTE* Block() const;
    void WriteCommonLevelBytes(BYTE* block) const;

    int m_nBlockIndex;
    std::string m_strName;
    CKTVEQ m_EQ;
    COLORREF m_crCurve;
    BYTE m_nLevel = 0;
    BYTE m_nPhase = 0;
    BYTE m_nKept74 = 0;
    BYTE m_nByte75 = 0;
    short m_nDelay = 0;
    short m_nGain = 0;
    bool m_bGainOff = false;
    BYTE m_nLimitThreshold = 40;
    short m_nItem12Word = 500;
    BYTE m_nItem12First = 0;
    BYTE m_nItem12Second = 0;
    bool m_bLevelPending = false;
    bool m_bNamePending = false;
    bool m_bLimiterPending = false;
    bool m_bItem12Pending = false;

private:
    void WriteName() const;
    void WriteXover() const;
    void WriteLimiter() const;
    void WriteItem12() const;
    std::unique_ptr<CSendData> ItemPacket(bool makePacket, int item) const;
};

// Block index 0. Keeps its name bytes as they are (no trimming) and takes
// every level byte 72..79.
class CMIC_InData : public CInputData {
public:
    CMIC_InData();

protected:
    void WriteLevelBytes(BYTE* block) const override;
    std::string ReadName(const BYTE* block) const override;
    XoverLoader CrossoverLoadRule() const override;
};

// Block index 2. Byte 75 of its block is the contains-data mark; bytes 72 and
// 74 are not written by the record.
class CMusic_InData : public CInputData {
public:
    CMusic_InData();

protected:
    void WriteLevelBytes(BYTE* block) const override;
    std::string ReadName(const BYTE* block) const override;
    XoverLoader CrossoverLoadRule() const override;
};
