#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "workspace/edit_fixture.h"

namespace {

// Keys and values are parsed without a model; the language only picks the
// "char Len error!" text.
class EditParse : public ::testing::Test {
protected:
    void SetUp() override { g_bChinese = false; }
};

struct GoodCase {
    const char* key;
    const char* value;
    EditKey target;
    int value_expected;
};

// Channel 1 is index 0; bands and inputs count from 0 as well.
const GoodCase kGood[] = {
    {"ch1.gain", "-6", {EditKind::ChannelGain, 0, 0}, 54},
    {"CH2.Gain", "-6dB", {EditKind::ChannelGain, 1, 0}, 54},
    {"ch1.gain", "0", {EditKind::ChannelGain, 0, 0}, 60},
    {"ch1.gain", "off", {EditKind::ChannelGain, 0, 0}, 0},
    {"ch1.gain", "-6.5", {EditKind::ChannelGain, 0, 0}, 53},  // truncated like the field
    {"ch6.phase", "inverted", {EditKind::ChannelPhase, 5, 0}, 1},
    {"ch3.output", "OFF", {EditKind::ChannelOutput, 2, 0}, 0},
    {"ch1.delay", "2.5ms", {EditKind::ChannelDelay, 0, 0}, 120},
    {"ch1.delay", "100cm", {EditKind::ChannelDelay, 0, 0}, 139},
    {"ch1.delay", "34in", {EditKind::ChannelDelay, 0, 0}, 120},
    {"ch1.delay", "120", {EditKind::ChannelDelay, 0, 0}, 120},
    {"ch1.delay", "30ms", {EditKind::ChannelDelay, 0, 0}, 960},  // clamped
    {"ch1.delay", "700cm", {EditKind::ChannelDelay, 0, 0}, 960},
    {"ch1.delay", "1000", {EditKind::ChannelDelay, 0, 0}, 960},
    {"ch1.delay", "-5", {EditKind::ChannelDelay, 0, 0}, 0},
    {"ch1.eqmode", "graphic", {EditKind::ChannelEqMode, 0, 0}, 1},
    {"ch1.eq5.freq", "1000Hz", {EditKind::BandFreq, 0, 4}, 1000},
    {"ch1.eq31.gain", "-3.45", {EditKind::BandGain, 0, 30}, 165},
    {"ch1.eq1.gain", "+12dB", {EditKind::BandGain, 0, 0}, 320},
    {"ch1.eq1.gain", "-19.8", {EditKind::BandGain, 0, 0}, 2},
    {"ch1.eq1.q", "1.414", {EditKind::BandQ, 0, 0}, 95},
    {"ch1.eq1.q", "100", {EditKind::BandQ, 0, 0}, 4},    // clamped to 16.027
    {"ch1.eq1.q", "0.1", {EditKind::BandQ, 0, 0}, 295},  // clamped to 0.404
    {"ch1.eq1.bw", "0.2", {EditKind::BandBandwidth, 0, 0}, 15},
    {"ch1.eq1.bw", "3", {EditKind::BandBandwidth, 0, 0}, 295},
    {"ch1.eq1.type", "LowShelf", {EditKind::BandType, 0, 0}, 1},
    {"ch1.eq1.bypass", "on", {EditKind::BandBypass, 0, 0}, 1},
    {"ch1.hp.freq", "80", {EditKind::XoverFreq, 0, kEditHighPass}, 80},
    {"ch1.lp.freq", "5000Hz", {EditKind::XoverFreq, 0, kEditLowPass}, 5000},
    {"ch1.hp.family", "bessel", {EditKind::XoverFamily, 0, kEditHighPass}, 1},
    {"ch1.lp.slope", "24dB/Oct", {EditKind::XoverSlope, 0, kEditLowPass}, 24},
    {"ch1.lp.slope", "off", {EditKind::XoverSlope, 0, kEditLowPass}, 0},
    {"ch1.lp.slope", "关闭", {EditKind::XoverSlope, 0, kEditLowPass}, 0},
    {"ch1.mix.12", "50", {EditKind::Mix, 0, 11}, 50},
    {"ch1.limiter.threshold", "-30", {EditKind::LimitThreshold, 0, 0}, 0},
    {"ch1.limiter.threshold", "6dBu", {EditKind::LimitThreshold, 0, 0}, 360},
    {"ch1.limiter.threshold", "0", {EditKind::LimitThreshold, 0, 0}, 300},
    {"ch1.limiter.threshold", "-3.04", {EditKind::LimitThreshold, 0, 0}, 269},  // truncated
    {"ch1.limiter.attack", "0.3", {EditKind::LimitAttack, 0, 0}, 0},
    {"ch1.limiter.attack", "0.6ms", {EditKind::LimitAttack, 0, 0}, 3},
    {"ch1.limiter.attack", "25", {EditKind::LimitAttack, 0, 0}, 31},
    {"ch1.limiter.attack", "100ms", {EditKind::LimitAttack, 0, 0}, 106},
    {"ch1.limiter.release", "2", {EditKind::LimitRelease, 0, 0}, 0},
    {"ch1.limiter.release", "32", {EditKind::LimitRelease, 0, 0}, 5},
    {"source", "player", {EditKind::Source, 0, 0}, 5},
    {"source", "bluetooth", {EditKind::Source, 0, 0}, 2},
    {"master", "6", {EditKind::MasterVolume, 0, 0}, 66},
    {"master", "-60dB", {EditKind::MasterVolume, 0, 0}, 0},
    {"master.output", "on", {EditKind::MasterOutput, 0, 0}, 1},
};

TEST_F(EditParse, ValuesLandInDeviceUnits) {
    for (const GoodCase& c : kGood) {
        const ParsedEdit p = ParseEdit(c.key, c.value);
        ASSERT_TRUE(p.edit) << c.key << "=" << c.value << ": " << p.error;
        EXPECT_EQ(p.edit->target, c.target) << c.key;
        EXPECT_EQ(p.edit->value, c.value_expected) << c.key << "=" << c.value;
    }
}

TEST_F(EditParse, NamesUpToSevenGbkBytes) {
    const ParsedEdit ascii = ParseEdit("ch5.name", "Sub");
    ASSERT_TRUE(ascii.edit);
    EXPECT_EQ(ascii.edit->text, "Sub");
    EXPECT_TRUE(ParseEdit("ch5.name", "Tweeter").edit);  // 7 bytes
    EXPECT_TRUE(ParseEdit("ch5.name", "低音炮").edit);   // 6 bytes in GBK
    EXPECT_EQ(ParseEdit("ch5.name", "Subwoofr").error,
              "ch5.name: char Len error! (at most 7 bytes)");
    EXPECT_EQ(ParseEdit("ch5.name", "左前高音").error,
              "ch5.name: char Len error! (at most 7 bytes)");
    EXPECT_NE(ParseEdit("ch5.name", "\xF0\x9F\x8E\xB5").error.find("GBK cannot hold"),
              std::string::npos);
}

struct BadCase {
    const char* key;
    const char* value;
    const char* error;
};

// Out of range is an error unless the field clamps; text that is no number
// is never read as 0.
const BadCase kBad[] = {
    {"ch1.gain", "-70", "ch1.gain: -70 is outside -60..0 dB"},
    // Control characters would reach every terminal that prints the name.
    {"ch1.name", "a\x1b[2J", "ch1.name: the name has control characters"},
    {"ch1.name", "L\nR", "ch1.name: the name has control characters"},
    {"ch1.name", "x\xc2\x9b", "ch1.name: the name has control characters"},
    {"ch1.gain", "1", "ch1.gain: 1 is outside -60..0 dB"},
    {"master", "7", "master: 7 is outside -60..6 dB"},
    {"ch1.eq1.gain", "20.5", "ch1.eq1.gain: 20.5 is outside -20..20 dB"},
    {"ch1.eq1.freq", "19", "ch1.eq1.freq: 19 is outside 20..20000 Hz"},
    {"ch1.hp.freq", "25000", "ch1.hp.freq: 25000 is outside 20..20000 Hz"},
    {"ch1.eq1.bw", "3.5", "ch1.eq1.bw: 3.5 is outside 0.05..3 octaves"},
    {"ch1.mix.1", "101", "ch1.mix.1: 101 is outside 0..100"},
    {"ch1.limiter.threshold", "7", "ch1.limiter.threshold: 7 is outside -30..6 dBu"},
    {"ch1.limiter.attack", "0.2", "ch1.limiter.attack: 0.2 is outside 0.3..100 ms"},
    {"ch1.gain", "abc", "ch1.gain: 'abc' is not a number (a unit may follow: dB)"},
    {"ch1.gain", "", "ch1.gain: '' is not a number (a unit may follow: dB)"},
    {"ch1.gain", "-6Hz", "ch1.gain: '-6Hz' is not a number (a unit may follow: dB)"},
    {"ch1.eq1.freq", "1e3", "ch1.eq1.freq: '1e3' is not a number (a unit may follow: Hz)"},
    {"ch1.eq1.q", "nan", "ch1.eq1.q: 'nan' is not a number"},
    {"ch1.limiter.threshold", "off",
     "ch1.limiter.threshold: 'off' is not a number (a unit may follow: dBu)"},
    {"ch1.limiter.release", "3", "ch1.limiter.release: '3' is not one of 2, 4, 6, 8, 16, 32"},
    {"ch1.phase", "up", "ch1.phase: 'up' is not one of normal, inverted"},
    {"ch1.eq1.type", "notch", "ch1.eq1.type: 'notch' is not one of peq, lowshelf, highshelf"},
    {"ch1.hp.family", "linkwitz",
     "ch1.hp.family: 'linkwitz' is not one of lr, bessel, butterworth"},
    {"source", "usb", "source: 'usb' is not one of high, low, bluetooth, player"},
    {"ch1.hp.slope", "48", "ch1.hp.slope: '48' is not a slope (6, 12, 18, 24, 36 or off)"},
    {"ch1.delay", "2.5", "ch1.delay: '2.5': a bare delay counts whole samples"},
    {"ch1.delay", "5ft",
     "ch1.delay: '5ft' is not a delay (samples, or a number with ms, cm or in)"},
    {"ch1.delay", "ms", "ch1.delay: 'ms' is not a delay (samples, or a number with ms, cm or in)"},
    {"ch7.gain", "0", "ch7.gain: no such channel (1..6)"},
    {"ch0.gain", "0", "ch0.gain: no such channel (1..6)"},
    {"ch1.eq32.gain", "0", "ch1.eq32.gain: no such band (1..31)"},
    {"ch1.mix.13", "0", "ch1.mix.13: no such input (1..12)"},
    {"ch1.volume", "0", "unknown key 'ch1.volume'"},
    {"ch1.eq1", "0", "unknown key 'ch1.eq1'"},
    {"ch1", "0", "unknown key 'ch1'"},
    {"ch1.hp.q", "0", "unknown key 'ch1.hp.q'"},
    {"master.volume", "0", "unknown key 'master.volume'"},
    {"", "0", "unknown key ''"},
};

TEST_F(EditParse, RefusalsNameTheKeyAndTheReason) {
    for (const BadCase& c : kBad) {
        const ParsedEdit p = ParseEdit(c.key, c.value);
        EXPECT_FALSE(p.edit) << c.key << "=" << c.value;
        EXPECT_EQ(p.error, c.error);
    }
}

TEST_F(EditParse, OneBadPairRefusesTheWholeCommand) {
    const ParsedEdits parsed = ParseEdits(
        {{"ch1.gain", "-6"}, {"ch2.phase", "sideways"}, {"master", "-10"}, {"ch9.gain", "0"}});
    EXPECT_FALSE(parsed.ok());
    EXPECT_TRUE(parsed.edits.empty());
    EXPECT_EQ(parsed.errors.size(), 2u);
}

TEST_F(EditParse, CommandChecksSeeThePairsTogether) {
    const std::vector<std::pair<KeyValues, std::string>> cases{
        {{{"ch1.gain", "-6"}, {"CH1.GAIN", "-3"}}, "ch1.gain is given twice"},
        {{{"ch2.eq4.q", "2"}, {"ch2.eq4.bw", "0.5"}},
         "ch2.eq4.q and ch2.eq4.bw set the same value"},
        {{{"ch1.hp.freq", "5000"}, {"ch1.lp.freq", "1000"}},
         "ch1.hp.freq: 5000 Hz is above ch1.lp.freq 1000 Hz"},
    };
    for (const auto& [pairs, error] : cases) {
        const ParsedEdits parsed = ParseEdits(pairs);
        EXPECT_TRUE(parsed.edits.empty());
        ASSERT_EQ(parsed.errors.size(), 1u) << error;
        EXPECT_EQ(parsed.errors[0], error);
    }
    // The same band on two channels, or a pair that fits, is fine.
    EXPECT_TRUE(ParseEdits({{"ch1.eq4.q", "2"}, {"ch2.eq4.bw", "0.5"}}).ok());
    EXPECT_TRUE(ParseEdits({{"ch1.hp.freq", "1000"}, {"ch1.lp.freq", "1000"}}).ok());
}

TEST_F(EditParse, EveryKeyHasOneSpelling) {
    const std::vector<EditKey> keys = AllEditKeys();
    EXPECT_EQ(keys.size(), 6u * (6 + 6 + 31 * 6 + 12 + 3) + 3);
    for (const EditKey& key : keys) {
        EXPECT_TRUE(IsValidEditKey(key));
        const std::optional<EditKey> back = ParseEditKey(EditKeyName(key));
        ASSERT_TRUE(back) << EditKeyName(key);
        EXPECT_EQ(*back, key) << EditKeyName(key);
    }
    EXPECT_FALSE(IsValidEditKey({EditKind::BandGain, 0, 31}));
    EXPECT_FALSE(IsValidEditKey({EditKind::ChannelGain, 6, 0}));
}

TEST_F(EditParse, AssignmentsSplitAtTheFirstEquals) {
    std::string key, value;
    ASSERT_TRUE(SplitAssignment("ch1.name=a=b", &key, &value));
    EXPECT_EQ(key, "ch1.name");
    EXPECT_EQ(value, "a=b");
    ASSERT_TRUE(SplitAssignment("ch1.name=", &key, &value));
    EXPECT_EQ(value, "");
    EXPECT_FALSE(SplitAssignment("=5", &key, &value));
    EXPECT_FALSE(SplitAssignment("ch1.gain", &key, &value));
}

}  // namespace
