#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "image/param_image.h"
#include "workspace/edit_fixture.h"

namespace {

using GetTest = EditTest;

TEST_F(GetTest, ValuesReadInTheFormsSetTakes) {
    SetOk({{"ch1.gain", "-6"},
           {"ch1.eq1.gain", "-3.45"},
           {"ch1.eq1.q", "1.414"},
           {"ch1.eq2.bw", "0.2"},
           {"ch1.eq2.freq", "1000"},
           {"ch1.hp.freq", "80"},
           {"ch1.limiter.threshold", "0"},
           {"ch1.limiter.attack", "0.9"},
           {"ch2.limiter.attack", "100"},
           {"ch1.delay", "2.5ms"},
           {"ch1.mix.4", "75"},
           {"ch1.limiter.release", "16"},
           {"ch1.name", "Tw L"}});
    const std::vector<std::pair<std::string, std::string>> expected{
        {"ch1.gain", "-6dB"},
        {"ch2.gain", "0dB"},
        {"ch1.eq1.gain", "-3.5dB"},
        {"ch1.eq1.q", "1.414"},
        {"ch1.eq2.bw", "0.20"},
        {"ch1.eq2.freq", "1000Hz"},
        {"ch1.hp.freq", "80Hz"},
        {"ch1.lp.freq", "20000Hz"},
        {"ch1.hp.family", "butterworth"},
        {"ch1.hp.slope", "18"},
        {"ch1.limiter.threshold", "0.0dBu"},
        {"ch1.limiter.attack", "0.9ms"},
        {"ch2.limiter.attack", "100ms"},
        {"ch1.limiter.release", "16"},
        {"ch1.delay", "120"},
        {"ch1.mix.4", "75"},
        {"ch1.name", "Tw L"},
        {"ch1.phase", "normal"},
        {"ch1.output", "on"},
        {"ch1.eqmode", "parametric"},
        {"ch1.eq3.type", "peq"},
        {"ch1.eq3.bypass", "on"},
        {"source", "high"},
        {"master", "0dB"},
        {"master.output", "on"},
    };
    for (const auto& [key, text] : expected)
        EXPECT_EQ(Get(key), text) << key;
    // A device reporting a source code above the plain ones plays the player.
    g_SysSettings[kSysInputSource] = 3;
    EXPECT_EQ(Get("source"), "player");
}

TEST_F(GetTest, UnknownKeysAreRefused) {
    const ValueText v = GetValue(*model, "ch1.volume");
    EXPECT_FALSE(v.ok);
    EXPECT_EQ(v.error, "unknown key 'ch1.volume'");
    EXPECT_FALSE(GetValue(*model, EditKey{EditKind::Mix, 0, 12}).ok);
}

// Everything `get` prints, set back in one command, leaves the model and the
// image exactly as they were.
TEST_F(GetTest, EveryValueReadsBackToTheSameSetting) {
    for (int c = 1; c <= 6; ++c) {
        // The start-up limiter bytes lie outside the field's range.
        const std::string ch = "ch" + std::to_string(c) + ".";
        SetOk({{ch + "limiter.threshold", "-1"}, {ch + "limiter.attack", "2"}});
    }
    SetOk({{"ch1.gain", "-7"},
           {"ch2.phase", "inverted"},
           {"ch3.output", "off"},
           {"ch4.delay", "333"},
           {"ch5.name", "Sub"},
           {"ch6.eqmode", "graphic"},
           {"ch1.eq3.freq", "123"},
           {"ch1.eq3.gain", "-4.5"},
           {"ch1.eq3.q", "3"},
           {"ch1.eq4.gain", "6"},
           {"ch1.eq4.bypass", "on"},
           {"ch1.eq5.type", "lowshelf"},
           {"ch2.hp.freq", "60"},
           {"ch2.hp.family", "lr"},
           {"ch2.hp.slope", "36"},
           {"ch2.lp.family", "bessel"},
           {"ch2.lp.slope", "6"},
           {"ch2.lp.freq", "8000"},
           {"ch3.mix.5", "33"},
           {"ch3.mix.11", "77"},
           {"ch4.limiter.threshold", "-12.5"},
           {"ch4.limiter.attack", "0.5"},
           {"ch4.limiter.release", "16"},
           {"source", "bluetooth"},
           {"master", "-15"},
           {"master.output", "off"}});
    const ParamImage image = g_CurImage;
    const auto sys = g_SysSettings;

    // Q and bandwidth are one setting: two commands. Graphic mode fixes the
    // frequency and Q of channel 6.
    const auto fixed = [](const EditKey& k) {
        return k.channel == 5 && (k.kind == EditKind::BandFreq || k.kind == EditKind::BandQ ||
                                  k.kind == EditKind::BandBandwidth);
    };
    KeyValues withQ, withBandwidth;
    std::vector<std::string> before;
    for (const EditKey& key : AllEditKeys()) {
        const std::string value = GetValue(*model, key).text;
        before.push_back(value);
        if (fixed(key)) continue;
        (key.kind == EditKind::BandBandwidth ? withBandwidth : withQ)
            .emplace_back(EditKeyName(key), value);
    }
    for (const KeyValues& command : {withQ, withBandwidth}) {
        SetOk(command);
        std::vector<std::string> after;
        for (const EditKey& key : AllEditKeys())
            after.push_back(GetValue(*model, key).text);
        EXPECT_EQ(after, before);
        EXPECT_EQ(g_CurImage, image);
        EXPECT_EQ(g_SysSettings, sys);
    }
}

}  // namespace
