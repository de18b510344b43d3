#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "model/model_test_fixture.h"

namespace {

using SettersTest = ModelTest;

struct SetterCase {
    const char* name;
    std::function<void(CKTV_OutData&)> edit;
    std::function<bool(const CKTV_OutData&)> pending;
};

const BYTE kMix[12] = {10, 20, 30, 40, 50, 60, 70, 80, 90, 100, 0, 1};

std::vector<SetterCase> OutputSetters() {
    auto level = [](const CKTV_OutData& o) { return o.IsLevelPending(); };
    auto limiter = [](const CKTV_OutData& o) { return o.IsLimiterPending(); };
    return {
        {"output", [](CKTV_OutData& o) { o.SetOutputOn(0); }, level},
        {"phase", [](CKTV_OutData& o) { o.SetPhase(1); }, level},
        {"gain", [](CKTV_OutData& o) { o.SetGain(54); }, level},
        {"delay", [](CKTV_OutData& o) { o.SetDelay(480); }, level},
        {"eq mode", [](CKTV_OutData& o) { o.SetEqMode(1); }, level},
        {"threshold", [](CKTV_OutData& o) { o.SetLimitThreshold(360); }, limiter},
        {"attack", [](CKTV_OutData& o) { o.SetLimitAttack(7); }, limiter},
        {"release", [](CKTV_OutData& o) { o.SetLimitRelease(2); }, limiter},
        {"mix low", [](CKTV_OutData& o) { o.SetMixLow(kMix); },
         [](const CKTV_OutData& o) { return o.IsMixLowPending(); }},
        {"mix high", [](CKTV_OutData& o) { o.SetMixHigh(kMix); },
         [](const CKTV_OutData& o) { return o.IsMixHighPending(); }},
        {"name", [](CKTV_OutData& o) { o.SetName("Sub"); },
         [](const CKTV_OutData& o) { return o.IsNamePending(); }},
        {"band gain", [](CKTV_OutData& o) { o.GetBand(4)->SetGainIndex(260); },
         [](const CKTV_OutData& o) { return o.GetEQ().GetBand(4)->IsPending(); }},
        {"crossover", [](CKTV_OutData& o) { o.GetLowPass()->SetSlope(3, true); },
         [](const CKTV_OutData& o) { return o.IsXoverPending(); }},
    };
}

TEST_F(SettersTest, OfflineEditsChangeTheModelAndQueueNothing) {
    for (const SetterCase& k : OutputSetters()) {
        k.edit(Out(3));
        EXPECT_FALSE(k.pending(Out(3))) << k.name;
        EXPECT_EQ(AddressOf(*model->NextPendingChange()), kIdlePoll) << k.name;
    }
    EXPECT_EQ(Out(3).GetGain(), 54);
    EXPECT_EQ(Out(3).GetMix(9), 100);
    EXPECT_EQ(Out(3).GetName(), "Sub");
}

TEST_F(SettersTest, OnlineEditsMarkTheirChange) {
    g_bOnline = true;
    for (const SetterCase& k : OutputSetters()) {
        k.edit(Out(3));
        EXPECT_TRUE(k.pending(Out(3))) << k.name;
        model->ClearPending();
        EXPECT_FALSE(k.pending(Out(3))) << k.name;
    }
}

TEST_F(SettersTest, GainZeroSwitchesTheGainOff) {
    Out(0).SetGain(0);
    EXPECT_TRUE(Out(0).IsGainOff());
    EXPECT_EQ(Out(0).GetGain(), 0);
    Out(0).SetGain(60);
    EXPECT_FALSE(Out(0).IsGainOff());
    EXPECT_EQ(Out(0).GetGain(), 60);
}

TEST_F(SettersTest, PhaseResendsLinkedLevelsWithoutCopyingThePhase) {
    g_anLinkGroup[2] = 0;  // channels 0 and 2 linked
    g_bOnline = true;
    Out(0).SetPhase(1);
    EXPECT_TRUE(Out(2).IsLevelPending());
    EXPECT_EQ(Out(2).GetPhase(), 0);
    EXPECT_FALSE(Out(1).IsLevelPending());
}

TEST_F(SettersTest, GainAndEqModeGoToEveryLinkedChannel) {
    g_anLinkGroup[1] = 4;
    g_anLinkGroup[4] = 4;
    Out(4).SetGain(0);
    Out(4).SetEqMode(1);
    Out(4).SetOutputOn(1);
    Out(4).SetDelay(100);
    EXPECT_TRUE(Out(1).IsGainOff());
    EXPECT_EQ(Out(1).GetEqMode(), 1);
    EXPECT_TRUE(Out(1).GetBand(30)->IsGeqMode());
    EXPECT_EQ(Out(1).GetOutputOn(), 0);  // factory default of the record, not copied
    EXPECT_EQ(Out(1).GetDelay(), 0);
    EXPECT_FALSE(Out(1).IsLevelPending());  // offline
    EXPECT_EQ(Out(0).GetGain(), 60);
    EXPECT_FALSE(Out(0).GetBand(30)->IsGeqMode());
}

TEST_F(SettersTest, LimiterGoesToEveryLinkedChannel) {
    g_anLinkGroup[5] = 3;
    for (const bool online : {false, true}) {
        SCOPED_TRACE(online ? "online" : "offline");
        g_bOnline = online;
        model->ClearPending();
        Out(3).SetLimitThreshold(200);
        Out(3).SetLimitAttack(50);
        Out(3).SetLimitRelease(1);
        EXPECT_EQ(Out(5).GetLimitThreshold(), 200);
        EXPECT_EQ(Out(5).GetLimitAttack(), 50);
        EXPECT_EQ(Out(5).GetLimitRelease(), 1);
        EXPECT_EQ(Out(5).IsLimiterPending(), online);
        EXPECT_EQ(Out(4).GetLimitThreshold(), 300);
    }
}

// The inputs follow the same rule as the outputs: an edit marks itself
// pending only while online.
TEST_F(SettersTest, InputEditsMarkThemselvesOnlyWhileOnline) {
    struct InputSetter {
        const char* name;
        std::function<void(CInputData&)> edit;
        std::function<bool(const CInputData&)> pending;
    };
    auto level = [](const CInputData& in) { return in.IsLevelPending(); };
    const InputSetter setters[] = {
        {"level", [](CInputData& in) { in.SetLevel(20); }, level},
        {"phase", [](CInputData& in) { in.SetPhase(1); }, level},
        {"delay", [](CInputData& in) { in.SetDelay(48); }, level},
        {"gain", [](CInputData& in) { in.SetGain(40); }, level},
        {"threshold", [](CInputData& in) { in.SetLimitThreshold(100); },
         [](const CInputData& in) { return in.IsLimiterPending(); }},
        {"name", [](CInputData& in) { in.SetName("Mic"); },
         [](const CInputData& in) { return in.IsNamePending(); }},
        {"band gain", [](CInputData& in) { in.GetEQ().GetBand(0)->SetGainIndex(260); },
         [](const CInputData& in) { return in.GetEQ().GetBand(0)->IsPending(); }},
    };
    for (const bool online : {false, true}) {
        g_bOnline = online;
        for (CInputData* input : {static_cast<CInputData*>(model->GetMic(0)),
                                  static_cast<CInputData*>(model->GetMusic(0))}) {
            for (const InputSetter& s : setters) {
                SCOPED_TRACE(std::string(s.name) + (online ? ", online" : ", offline"));
                model->ClearPending();
                s.edit(*input);
                EXPECT_EQ(s.pending(*input), online);
                if (!online) {
                    EXPECT_EQ(AddressOf(*model->NextPendingChange()), kIdlePoll);
                }
            }
        }
    }
}

TEST_F(SettersTest, MixIsNotShared) {
    g_anLinkGroup[1] = 0;
    Out(0).SetMixLow(kMix);
    EXPECT_EQ(Out(1).GetMix(0), 0);
}

TEST_F(SettersTest, CopyFromTakesFiltersGainAndModeOnly) {
    CKTV_OutData& source = Out(0);
    source.GetBand(7)->SetGainIndex(320);
    source.GetHighPass()->SetFreq(80, false);
    source.SetGain(50);
    source.SetEqMode(1);
    source.SetPhase(1);
    source.SetName("Door");
    Out(3).CopyFrom(source);
    EXPECT_EQ(Out(3).GetBand(7)->GetGainIndex(), 320);
    EXPECT_EQ(Out(3).GetHighPass()->GetFreq(), 80);
    EXPECT_EQ(Out(3).GetGain(), 50);
    EXPECT_TRUE(Out(3).GetBand(0)->IsGeqMode());
    EXPECT_EQ(Out(3).GetPhase(), 0);
    EXPECT_EQ(Out(3).GetName(), "SR");
    // Crossover drag modes belong to the channel and stay.
    EXPECT_EQ(Out(3).GetHighPass()->GetDragMode(), 9);
}

TEST_F(SettersTest, ChannelTable) {
    const char* names[] = {"FL", "FR", "SL", "SR", "Center", "ULF"};
    const COLORREF colors[] = {0xC60EFF, 0x0000FF, 0x277FFF, 0x00B4FF, 0x00FF00, 0xFF0000};
    const int dragModes[] = {9, 8, 7, 9, 8, 7};
    for (int c = 0; c < kOutputCount; ++c) {
        EXPECT_EQ(g_apOutChannel[c], &Out(c));
        EXPECT_EQ(g_anLinkGroup[c], c);
        EXPECT_EQ(Out(c).GetName(), names[c]);
        EXPECT_EQ(Out(c).GetCurveColor(), colors[c]);
        EXPECT_EQ(Out(c).GetEQ().GetFilterCount(), 33);
        EXPECT_EQ(Out(c).GetHighPass()->GetType(), 3);
        EXPECT_EQ(Out(c).GetLowPass()->GetType(), 4);
        EXPECT_EQ(Out(c).GetLowPass()->GetFreq(), 20000);
        EXPECT_EQ(Out(c).GetHighPass()->GetIndex(), 32);
        EXPECT_EQ(Out(c).GetLowPass()->GetDragMode(), dragModes[c]);
        EXPECT_EQ(Out(c).GetBand(30)->GetIndex(), 30);
    }
}

TEST_F(SettersTest, AllBypassedNeedsEveryFilterBypassed) {
    Out(0).UpdateAllBypassed();
    EXPECT_TRUE(Out(0).IsAllBypassed());  // every filter of a fresh channel is flat
    Out(0).GetBand(3)->SetGainIndex(250);
    Out(0).UpdateAllBypassed();
    EXPECT_FALSE(Out(0).IsAllBypassed());
}

}  // namespace
