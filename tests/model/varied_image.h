#pragma once
// A parameter image in which every byte differs from the start-up contents
// while every value stays one the records can hold exactly (bandwidth index
// at least 4, gains within range, crossover frequencies within 20..20000), so
// that loading it into the records and writing it back must give the same
// bytes.

#include <random>

#include "image/param_image.h"
#include "image/record_layout.h"
#include "model/text_field.h"

class VariedImageMaker {
public:
    explicit VariedImageMaker(unsigned seed) : m_rng(seed) {}

    ParamImage Make() {
        ParamImage image{};
        for (BYTE& b : image)
            b = Byte(0, 255);  // bytes no record owns keep any value
        FillEffect(image.data());
        FillInput(image.data() + kImageMicOffset, "Mic A");
        FillInput(image.data() + kImageMusicOffset, "Music B");
        for (int c = 0; c < kOutputCount; ++c)
            FillChannel(image.data() + OutSlotOffset(c), c);
        return image;
    }

private:
    int Int(int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(m_rng); }
    BYTE Byte(int lo, int hi) { return static_cast<BYTE>(Int(lo, hi)); }

    void FillBand(BYTE* p, int highestType) {
        PutWord(p + kBandFreq, Int(20, 20000));
        PutWord(p + kBandGain, kBandGainWordBase + Int(0, 400));
        PutWord(p + kBandWidth, Int(4, 295));
        p[kBandSlope] = Byte(0, 7);
        p[kBandType] = Byte(0, highestType);
    }

    void FillXover(BYTE* x) {
        PutWord(x + kXoverHighFreq, Int(20, 20000));
        x[kXoverHighFamily] = Byte(0, 2);
        x[kXoverHighSlope] = Byte(0, 7);
        PutWord(x + kXoverLowFreq, Int(20, 20000));
        x[kXoverLowFamily] = Byte(0, 2);
        x[kXoverLowSlope] = Byte(0, 7);
    }

    static void PutName(BYTE* field, const std::string& utf8) {
        for (int i = 0; i < kNameFieldSize; ++i)
            field[i] = 0;
        const std::string gbk = Utf8ToGbk(utf8);
        for (std::size_t i = 0; i < gbk.size() && i < kNameFieldSize - 1; ++i) {
            field[i] = static_cast<BYTE>(gbk[i]);
        }
    }

    void FillEffect(BYTE* image) {
        for (int i = 0; i < kEffectBandCount; ++i) {
            FillBand(image + kImageEffectOffset + kBandRecordBytes * i, 2);
        }
        FillXover(image + kEffectXover);
        PutName(image + kEffectName, "Hall");
    }

    void FillInput(BYTE* block, const std::string& name) {
        for (int i = 0; i < kInputBandCount; ++i)
            FillBand(block + kBandRecordBytes * i, 2);
        PutWord(block + kInDelay, Int(0, 200));
        PutWord(block + kInGain, Int(0, 60));
        PutWord(block + kInItem12Word, Int(0, 1000));
        FillXover(block + kInXover);
        PutName(block + kInName, name);
    }

    void FillChannel(BYTE* slot, int c) {
        for (int i = 0; i < kOutBandCount; ++i)
            FillBand(slot + kBandRecordBytes * i, 2);
        slot[kOutOutputOn] = Byte(0, 1);
        slot[kOutPhase] = Byte(0, 1);
        PutWord(slot + kOutGain, Int(0, 60));
        PutWord(slot + kOutDelay, Int(0, 960));
        slot[kOutEqMode] = Byte(0, 1);
        FillXover(slot + kOutXover);
        for (int k = 0; k < kOutMixCount; ++k)
            slot[kOutMix + k] = Byte(0, 100);
        PutWord(slot + kOutLimitThreshold, Int(0, 360));
        slot[kOutLimitAttack] = Byte(0, 106);
        slot[kOutLimitRelease] = Byte(0, 5);
        // Names with padding, a GBK name and one filling all seven bytes.
        static const char* const names[] = {"Sub", "低音", "Tweeter", "  Mid", "C", "ULF 2"};
        PutName(slot + kOutName, names[c]);
    }

    std::mt19937 m_rng;
};
