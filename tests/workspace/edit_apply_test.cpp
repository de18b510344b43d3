#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "image/record_layout.h"
#include "response/filter.h"
#include "tables/value_tables.h"
#include "workspace/edit_fixture.h"

namespace {

using ApplyTest = EditTest;

std::vector<BYTE> Bytes(const BYTE* p, int n) {
    return std::vector<BYTE>(p, p + n);
}

constexpr int kSystem = -1;  // the case's bytes are in g_SysSettings

struct ImageCase {
    KeyValues pairs;
    int channel;  // 0..5, or kSystem
    int offset;   // in the channel's slot, or in g_SysSettings
    std::vector<BYTE> expected;
};

// Offline: the model and the image change, nothing is queued.
const std::vector<ImageCase> kImageCases{
    {{{"ch2.gain", "-6"}}, 1, kOutGain, {54, 0}},
    {{{"ch2.gain", "off"}}, 1, kOutGain, {0, 0}},
    {{{"ch3.phase", "inverted"}}, 2, kOutPhase, {1}},
    {{{"ch1.output", "off"}}, 0, kOutOutputOn, {0}},
    {{{"ch1.delay", "2.5ms"}}, 0, kOutDelay, {120, 0}},
    {{{"ch4.delay", "25ms"}}, 3, kOutDelay, {0xC0, 0x03}},
    {{{"ch5.name", "Sub"}}, 4, kOutName, {0x53, 0x75, 0x62, 0, 0, 0, 0, 0}},
    {{{"ch1.eqmode", "graphic"}}, 0, kOutEqMode, {1}},
    {{{"ch1.eq5.freq", "1000"}}, 0, 4 * 8 + kBandFreq, {0xE8, 0x03}},
    {{{"ch1.eq5.gain", "12"}}, 0, 4 * 8 + kBandGain, {0xD0, 0x02}},
    {{{"ch1.eq5.gain", "-20"}}, 0, 4 * 8 + kBandGain, {0x90, 0x01}},
    {{{"ch1.eq5.gain", "6"}, {"ch1.eq5.bypass", "on"}}, 0, 4 * 8 + kBandGain, {0x58, 0x02}},
    {{{"ch1.eq5.bw", "1.0"}}, 0, 4 * 8 + kBandWidth, {95, 0}},
    {{{"ch1.eq5.q", "1.414"}}, 0, 4 * 8 + kBandWidth, {95, 0}},
    {{{"ch1.eq5.type", "highshelf"}}, 0, 4 * 8 + kBandType, {2}},
    {{{"ch6.eq31.gain", "3"}}, 5, 30 * 8 + kBandGain, {0x76, 0x02}},
    {{{"ch1.hp.freq", "80"}}, 0, kOutXover + kXoverHighFreq, {80, 0}},
    {{{"ch1.lp.freq", "5000"}}, 0, kOutXover + kXoverLowFreq, {0x88, 0x13}},
    {{{"ch1.hp.family", "lr"}}, 0, kOutXover + kXoverHighFamily, {0}},
    {{{"ch1.lp.slope", "36"}, {"ch1.lp.family", "lr"}}, 0, kOutXover + kXoverLowFamily, {0, 4}},
    {{{"ch1.hp.slope", "off"}}, 0, kOutXover + kXoverHighSlope, {7}},
    {{{"ch2.mix.3", "50"}}, 1, kOutMix + 2, {50}},
    {{{"ch2.mix.10", "25"}}, 1, kOutMix + 9, {25}},
    {{{"ch1.limiter.threshold", "-6"}}, 0, kOutLimitThreshold, {240, 0}},
    {{{"ch1.limiter.attack", "0.6"}}, 0, kOutLimitAttack, {3}},
    {{{"ch1.limiter.release", "8"}}, 0, kOutLimitRelease, {3}},
    {{{"source", "player"}}, kSystem, kSysInputSource, {5}},
    {{{"source", "low"}}, kSystem, kSysInputSource, {1}},
    {{{"master", "-10"}}, kSystem, kSysMasterVolume, {50, 0, 0, 1}},
    {{{"master.output", "off"}}, kSystem, kSysMasterOutput, {0}},
    {{{"master.output", "off"}, {"master", "-10"}}, kSystem, kSysMasterOutput, {0}},
};

TEST_F(ApplyTest, EveryKeyLandsInItsImageBytes) {
    for (const ImageCase& c : kImageCases) {
        SetUp();
        g_SysSettings[kSysMasterOutput] = 1;
        const std::string what = c.pairs[0].first + "=" + c.pairs[0].second;
        const std::vector<std::string> errors = Set(c.pairs);
        ASSERT_TRUE(errors.empty()) << what << ": " << errors[0];
        const BYTE* at =
            c.channel == kSystem ? g_SysSettings.data() + c.offset : Slot(c.channel) + c.offset;
        EXPECT_EQ(Bytes(at, static_cast<int>(c.expected.size())), c.expected) << what;
        EXPECT_EQ(cmd.GetCount(), 0) << what;
        EXPECT_TRUE(NothingPending(*model, cmd)) << what;
        TearDown();
    }
}

// The image carries the gain index 200 for a bypassed band, but the band
// keeps its own gain and gets it back when the bypass is released.
TEST_F(ApplyTest, BypassKeepsTheBandsGain) {
    SetOk({{"ch1.eq5.gain", "6"}, {"ch1.eq5.bypass", "on"}});
    EXPECT_EQ(Get("ch1.eq5.bypass"), "on");
    EXPECT_EQ(Get("ch1.eq5.gain"), "6.0dB");
    SetOk({{"ch1.eq5.bypass", "off"}});
    EXPECT_EQ(GetWord(Slot(0) + 4 * 8 + kBandGain), 660);
    // A band at 0 dB stays bypassed whatever is asked.
    SetOk({{"ch1.eq6.gain", "0"}, {"ch1.eq6.bypass", "off"}});
    EXPECT_EQ(Get("ch1.eq6.bypass"), "on");
}

struct LinkCase {
    const char* key;  // on ch1
    const char* value;
    bool shared;  // the linked ch3 follows
};

const LinkCase kLinkCases[] = {
    {"gain", "-12", true},          {"eqmode", "graphic", true},
    {"eq5.freq", "1200", true},     {"eq5.gain", "3.5", true},
    {"eq5.bw", "1.5", true},        {"eq5.type", "lowshelf", true},
    {"eq5.bypass", "on", true},     {"hp.freq", "150", true},
    {"lp.freq", "3000", true},      {"hp.family", "bessel", true},
    {"lp.slope", "off", true},      {"limiter.threshold", "-3", true},
    {"limiter.attack", "10", true}, {"limiter.release", "4", true},
    {"phase", "inverted", false},   {"delay", "100", false},
    {"output", "off", false},       {"mix.2", "40", false},
    {"name", "Left", false},
};

TEST_F(ApplyTest, LinkedChannelsShareEqCrossoverGainModeAndLimiter) {
    for (const LinkCase& c : kLinkCases) {
        SetUp();
        SetOk({{"ch3.eq5.gain", "1"}});  // so that the bypass has something to bypass
        SetOk({{"ch1.eq5.gain", "1"}});
        Link({0, 2});
        const std::string key = c.key;
        const std::string before3 = Get("ch3." + key);
        const std::string before2 = Get("ch2." + key);
        SetOk({{"ch1." + key, c.value}});
        const std::string after1 = Get("ch1." + key);
        EXPECT_NE(after1, before3) << key;
        EXPECT_EQ(Get("ch3." + key), c.shared ? after1 : before3) << key;
        EXPECT_EQ(Get("ch2." + key), before2) << key << ": an unlinked channel";
        TearDown();
    }
}

// What an edit reports changed, for the front end to refresh: the edited
// channel's item, the same item of every linked channel where the edit is
// shared, never an unlinked channel.
struct ChangeCase {
    const char* key;
    const char* value;
    ChannelChanges edited;
    ChannelChanges linked;
};
const ChangeCase kChangeCases[] = {
    {"gain", "-6", {.level = true}, {.level = true}},
    {"delay", "100", {.level = true}, {}},
    {"eq5.gain", "3", {.bands = 1u << 4}, {.bands = 1u << 4}},
    {"hp.freq", "150", {.xover = true}, {.xover = true}},
    {"mix.2", "40", {.mix = true}, {}},
    {"limiter.attack", "10", {.limiter = true}, {.limiter = true}},
    {"name", "Left", {.name = true}, {}},
    {"eqmode",
     "graphic",
     {.level = true, .bands = (1u << kOutBandCount) - 1},
     {.level = true, .bands = (1u << kOutBandCount) - 1}},
};

TEST_F(ApplyTest, EditReportsTheItemsItChanged) {
    for (const ChangeCase& c : kChangeCases) {
        SetUp();
        Link({0, 2});
        const ParsedEdits parsed = ParseEdits({{std::string("ch1.") + c.key, c.value}});
        ASSERT_TRUE(parsed.ok()) << c.key;
        const EditOutcome outcome = ApplyEdits(*model, cmd, false, parsed.edits);
        ASSERT_TRUE(outcome.ok) << c.key;
        EXPECT_EQ(outcome.changes.channels[0], c.edited) << c.key;
        EXPECT_EQ(outcome.changes.channels[2], c.linked) << c.key << ": the linked channel";
        EXPECT_FALSE(outcome.changes.channels[1].Any()) << c.key << ": an unlinked channel";
        EXPECT_FALSE(outcome.changes.system) << c.key;
        TearDown();
    }
    SetUp();
    const ParsedEdits master = ParseEdits({{"master", "-10"}});
    const EditOutcome outcome = ApplyEdits(*model, cmd, false, master.edits);
    EXPECT_TRUE(outcome.changes.system);
    EXPECT_EQ(outcome.changes, (ModelChanges{{}, true}));
}

TEST_F(ApplyTest, LinkedChannelsSlotsFollowTheirRecords) {
    Link({1, 3});
    SetOk({{"ch2.eq7.gain", "-4"}, {"ch2.hp.freq", "90"}, {"ch2.gain", "-3"}});
    for (int c : {1, 3}) {
        EXPECT_EQ(GetWord(Slot(c) + 6 * 8 + kBandGain), 400 + 160) << c;
        EXPECT_EQ(GetWord(Slot(c) + kOutXover + kXoverHighFreq), 90) << c;
        EXPECT_EQ(GetWord(Slot(c) + kOutGain), 57) << c;
    }
}

struct SlopeCase {
    const char* family;
    const char* label;
    int code;  // -1: the family's list lacks the label
};

const SlopeCase kSlopeCases[] = {
    {"lr", "6", 0},           {"lr", "12", 1},          {"lr", "24", 3},
    {"lr", "36", 4},          {"lr", "off", 7},         {"lr", "18", -1},
    {"bessel", "6", 0},       {"bessel", "12", 1},      {"bessel", "18", 2},
    {"bessel", "24", 3},      {"bessel", "off", 7},     {"bessel", "36", -1},
    {"butterworth", "18", 2}, {"butterworth", "24", 3}, {"butterworth", "36", -1},
};

TEST_F(ApplyTest, SlopeLabelsFollowTheFamilysList) {
    for (const SlopeCase& c : kSlopeCases) {
        SetUp();
        const std::string what = std::string(c.family) + " " + c.label;
        // The family goes first whatever the order of the command.
        const std::vector<std::string> errors =
            Set({{"ch2.hp.slope", c.label}, {"ch2.hp.family", c.family}});
        if (c.code < 0) {
            ASSERT_EQ(errors.size(), 1u) << what;
            EXPECT_NE(errors[0].find("ch2.hp.slope: " + std::string(c.label) + " is not on the " +
                                     c.family + " slope list"),
                      std::string::npos)
                << errors[0];
            EXPECT_EQ(Get("ch2.hp.family"), "butterworth") << "refused, so unchanged";
        } else {
            ASSERT_TRUE(errors.empty()) << what << ": " << errors[0];
            EXPECT_EQ(Out(1).GetHighPass()->GetSlope(), c.code) << what;
            EXPECT_EQ(Slot(1)[kOutXover + kXoverHighSlope], c.code) << what;
            EXPECT_EQ(Get("ch2.hp.slope"), c.label) << what;
        }
        TearDown();
    }
}

TEST_F(ApplyTest, SlopeIsCheckedAgainstTheFamilyTheChannelWillHave) {
    // Start-up filters are Butterworth: 36 is refused until the family changes.
    EXPECT_EQ(Set({{"ch1.lp.slope", "36"}}).size(), 1u);
    // A family change on a linked channel reaches this one first.
    Link({0, 1});
    SetOk({{"ch2.lp.slope", "36"}, {"ch1.lp.family", "lr"}});
    EXPECT_EQ(Out(1).GetLowPass()->GetSlope(), 4);
    EXPECT_EQ(Out(0).GetLowPass()->GetSlope(), 4);
    // Code 2 has no entry of its own on the Linkwitz-Riley list; it shows as 12.
    Out(0).GetLowPass()->SetSlope(2, false);
    EXPECT_EQ(Get("ch1.lp.slope"), "12");
}

struct CrossoverCase {
    int high;  // before
    int low;
    KeyValues pairs;
    int highAfter;
    int lowAfter;
};

const std::vector<CrossoverCase> kCrossoverCases{
    // A single edit never crosses the other filter.
    {20, 500, {{"ch1.hp.freq", "800"}}, 500, 500},
    {2200, 20000, {{"ch1.lp.freq", "1000"}}, 2200, 2200},
    {100, 5000, {{"ch1.hp.freq", "5000"}}, 5000, 5000},
    // A new pair lands whole, in either order, moving up or down.
    {100, 200, {{"ch1.hp.freq", "1000"}, {"ch1.lp.freq", "2000"}}, 1000, 2000},
    {1000, 2000, {{"ch1.lp.freq", "200"}, {"ch1.hp.freq", "100"}}, 100, 200},
    {1000, 2000, {{"ch1.hp.freq", "100"}, {"ch1.lp.freq", "200"}}, 100, 200},
    {100, 200, {{"ch1.lp.freq", "2000"}, {"ch1.hp.freq", "1000"}}, 1000, 2000},
};

TEST_F(ApplyTest, HighPassNeverAboveLowPass) {
    for (const CrossoverCase& c : kCrossoverCases) {
        SetUp();
        Out(0).GetHighPass()->SetFreq(c.high, false);
        Out(0).GetLowPass()->SetFreq(c.low, false);
        SetOk(c.pairs);
        EXPECT_EQ(Out(0).GetHighPass()->GetFreq(), c.highAfter) << c.pairs[0].first;
        EXPECT_EQ(Out(0).GetLowPass()->GetFreq(), c.lowAfter) << c.pairs[0].first;
        TearDown();
    }
}

TEST_F(ApplyTest, LinkedCrossoverTakesTheClippedFrequency) {
    Link({0, 1});
    Out(0).GetLowPass()->SetFreq(500, false);
    SetOk({{"ch1.hp.freq", "800"}});
    EXPECT_EQ(Out(1).GetHighPass()->GetFreq(), 500);
}

// A command refused by a check against the model changes nothing at all.
TEST_F(ApplyTest, RefusedCommandChangesNothing) {
    g_bOnline = true;
    const ParamImage image = g_CurImage;
    const auto sys = g_SysSettings;
    std::vector<std::string> before;
    for (const EditKey& key : AllEditKeys())
        before.push_back(GetValue(*model, key).text);
    const std::vector<std::string> errors = Set({{"ch1.gain", "-6"},
                                                 {"ch2.eqmode", "graphic"},
                                                 {"master", "-20"},
                                                 {"source", "low"},
                                                 {"ch3.eq1.gain", "4"},
                                                 {"ch4.hp.slope", "36"}},
                                                true);
    ASSERT_EQ(errors.size(), 1u);
    EXPECT_EQ(g_CurImage, image);
    EXPECT_EQ(g_SysSettings, sys);
    std::vector<std::string> after;
    for (const EditKey& key : AllEditKeys())
        after.push_back(GetValue(*model, key).text);
    EXPECT_EQ(after, before);
    EXPECT_EQ(cmd.GetCount(), 0);
    EXPECT_TRUE(NothingPending(*model, cmd));
}

TEST_F(ApplyTest, GraphicModeFixesBandFrequencyAndQ) {
    SetOk({{"ch1.eqmode", "graphic"}});
    for (const auto& [key, value] :
         KeyValues{{"ch1.eq3.freq", "100"}, {"ch1.eq3.q", "2"}, {"ch1.eq3.bw", "1"}}) {
        const std::vector<std::string> errors = Set({{key, value}});
        ASSERT_EQ(errors.size(), 1u) << key;
        EXPECT_EQ(errors[0],
                  key + ": ch1 is in graphic mode, where band frequencies and Q are fixed");
    }
    SetOk({{"ch1.eq3.gain", "2"}, {"ch1.eq3.type", "peq"}});
    // Back to parametric in the same command: allowed, and applied after the reset.
    SetOk({{"ch1.eq3.freq", "40"}, {"ch1.eqmode", "parametric"}});
    EXPECT_EQ(Out(0).GetBand(2)->GetFreq(), 40);
    EXPECT_EQ(Out(0).GetEqMode(), 0);
}

TEST_F(ApplyTest, ModeConversionResetsTheGroupsBandsOffline) {
    Link({0, 4});
    SetOk({{"ch1.eq5.freq", "700"},
           {"ch1.eq5.gain", "5"},
           {"ch1.eq5.bw", "2"},
           {"ch2.eq5.gain", "5"}});
    SetOk({{"ch1.eqmode", "graphic"}, {"ch1.eq9.gain", "3"}});
    for (int c : {0, 4}) {
        EXPECT_EQ(Out(c).GetEqMode(), 1) << c;
        for (int band = 0; band < kOutBandCount; ++band) {
            const CFilter& f = *Out(c).GetBand(band);
            EXPECT_TRUE(f.IsGeqMode());
            EXPECT_EQ(f.GetFreq(), kIsoBandFreq[band]) << c << "/" << band;
            EXPECT_EQ(f.GetBandwidthIndex(), 15) << c << "/" << band;
            EXPECT_EQ(GetWord(Slot(c) + band * 8 + kBandFreq), kIsoBandFreq[band]);
            // The command's own band edit comes after the reset.
            EXPECT_EQ(f.GetGainIndex(), band == 8 ? 230 : 200) << c << "/" << band;
        }
    }
    EXPECT_EQ(Out(1).GetBand(4)->GetGainIndex(), 250) << "not in the group";
    EXPECT_EQ(cmd.GetCount(), 0);
    // Asking for the mode the channel has converts nothing.
    SetOk({{"ch1.eq9.gain", "1"}, {"ch1.eqmode", "graphic"}});
    EXPECT_EQ(Out(0).GetBand(8)->GetGainIndex(), 210);
}

TEST_F(ApplyTest, ModeConversionSendsTheGroupMutedWhenConnected) {
    g_bOnline = true;
    Link({1, 3});
    SetOk({{"ch3.output", "off"}});
    Out(2).ClearPending();
    Out(3).ClearPending();
    SetOk({{"ch2.eqmode", "graphic"}}, true);

    std::vector<FrameAddress> expected;
    std::vector<BYTE> outputByte;
    for (int c = 0; c < kOutputCount; ++c)
        expected.push_back({CMD_WRITE, BT_OUTPUT, static_cast<BYTE>(c), kOutItemLevel});
    for (int c : {1, 3})
        expected.push_back({CMD_WRITE, BT_OUTPUT, static_cast<BYTE>(c), 0});
    for (int c = 0; c < kOutputCount; ++c)
        expected.push_back({CMD_WRITE, BT_OUTPUT, static_cast<BYTE>(c), kOutItemLevel});
    std::vector<BYTE> switches;
    std::vector<BYTE> modes;
    std::vector<FrameAddress> queued;
    while (CSendData* head = cmd.PeekHead()) {
        queued.push_back(AddressOf(*head));
        const BYTE* payload = head->GetBuffer() + kFrameHeaderSize;
        const bool block = head->GetLength() > kFrameOverhead + kItemSize;
        switches.push_back(payload[block ? kOutOutputOn : 0]);
        modes.push_back(payload[block ? kOutEqMode : kOutEqMode - kOutOutputOn]);
        cmd.PopHead();
    }
    EXPECT_EQ(queued, expected);
    // Muted around the blocks, then each output back as it was (ch3 was off).
    EXPECT_EQ(switches, (std::vector<BYTE>{0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 0, 1, 1, 1}));
    EXPECT_EQ(modes, (std::vector<BYTE>{0, 1, 0, 1, 0, 0, 1, 1, 0, 1, 0, 1, 0, 0}));
    EXPECT_EQ(Out(2).GetOutputOn(), 0);
    EXPECT_EQ(Out(0).GetOutputOn(), 1);
}

TEST_F(ApplyTest, OfflineEditsChangeTheModelOnly) {
    SetOk({{"ch1.gain", "-6"},
           {"ch1.eq2.freq", "10000"},
           {"ch1.hp.freq", "300"},
           {"ch1.mix.9", "10"},
           {"ch1.limiter.attack", "1"},
           {"ch1.name", "Fx"},
           {"ch2.eqmode", "graphic"},
           {"source", "bluetooth"},
           {"master", "-3"}},
          true);
    EXPECT_EQ(Out(0).GetGain(), 54);
    EXPECT_EQ(Out(0).GetBand(1)->GetSentFreq(), 10000) << "offline: no stepping";
    EXPECT_EQ(g_SysSettings[kSysInputSource], 2);
    // Connected but not yet online (a read-all is running): only the system
    // block and the conversion's sends are queued, no marker is set.
    EXPECT_EQ(cmd.GetCount(), 6 + 1 + 6 + 1);
    cmd.ClearQueue();
    EXPECT_TRUE(NothingPending(*model, cmd));
}

TEST_F(ApplyTest, OnlineEditsMarkTheirItemsAndQueueOneSystemWrite) {
    g_bOnline = true;
    SetOk({{"source", "high"},
           {"master", "-20"},
           {"master.output", "off"},
           {"ch1.delay", "48"},
           {"ch2.mix.10", "7"},
           {"ch3.eq4.gain", "1"}},
          true);
    EXPECT_TRUE(Out(0).IsLevelPending());
    EXPECT_TRUE(Out(1).IsMixHighPending());
    EXPECT_FALSE(Out(1).IsMixLowPending());
    EXPECT_TRUE(Out(2).GetBand(3)->IsPending());
    EXPECT_EQ(DrainQueue(cmd),
              (std::vector<FrameAddress>{{CMD_WRITE, BT_SYSTEM, SYS_SETTINGS, 0}}));
    EXPECT_EQ(g_SysSettings[kSysMasterOutput], 0) << "the switch goes after the volume";
    EXPECT_EQ(cmd.GetShownSource(), 0);
    // The same master volume again changes nothing and queues nothing.
    SetOk({{"master", "-20"}}, true);
    EXPECT_EQ(cmd.GetCount(), 0);
    EXPECT_EQ(g_SysSettings[kSysMasterOutput], 0);
}

// The delay a channel already has is no change: no level write follows.
TEST_F(ApplyTest, SameDelayAgainMarksNothing) {
    g_bOnline = true;
    SetOk({{"ch4.delay", "96"}}, true);
    model->ClearPending();
    const ParsedEdits again = ParseEdits({{"ch4.delay", "2ms"}});
    const EditOutcome outcome = ApplyEdits(*model, cmd, true, again.edits);
    ASSERT_TRUE(outcome.ok);
    EXPECT_FALSE(Out(3).IsLevelPending());
    EXPECT_FALSE(outcome.changes.Any());
    EXPECT_TRUE(NothingPending(*model, cmd));
}

// Plays the link: the pump's packet when the queue is empty, each head
// acknowledged at once.
int AcknowledgeUntilIdle(CKTV_Data& model, CKTVCommand& cmd) {
    int sent = 0;
    for (; sent < 1000 && !NothingPending(model, cmd); ++sent) {
        if (cmd.GetCount() == 0) cmd.PushPacket(model.NextPendingChange());
        cmd.PopHead();
    }
    return sent;
}

TEST_F(ApplyTest, NothingPendingWaitsForSteppingAndTheQueue) {
    EXPECT_TRUE(NothingPending(*model, cmd));
    g_bOnline = true;
    SetOk({{"ch1.eq1.freq", "16000"}}, true);  // 20 Hz up in octave steps
    EXPECT_FALSE(NothingPending(*model, cmd));
    EXPECT_EQ(AcknowledgeUntilIdle(*model, cmd), 11);  // 40 .. 10240, 16000, 16000
    EXPECT_EQ(Out(0).GetBand(0)->GetSentFreq(), 16000);

    cmd.PushPacket(model->NextPendingChange());  // the idle poll
    EXPECT_TRUE(NothingPending(*model, cmd));
    SetOk({{"master", "-1"}}, true);
    EXPECT_FALSE(NothingPending(*model, cmd)) << "a system write behind the poll";
    cmd.ClearQueue();
    g_bSendSysSettings = true;
    EXPECT_FALSE(NothingPending(*model, cmd));
    g_bSendSysSettings = false;
    model->GetMusic(0)->SetGain(10);
    EXPECT_FALSE(NothingPending(*model, cmd));
}

}  // namespace
