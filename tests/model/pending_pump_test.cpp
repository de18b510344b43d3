#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "image/record_layout.h"
#include "model/model_test_fixture.h"

namespace {

using PumpTest = ModelTest;

std::vector<BYTE> Bytes(const BYTE* p, int n) {
    return std::vector<BYTE>(p, p + n);
}

// Everything NextPendingChange hands out until it falls back to the poll.
std::vector<FrameAddress> DrainPump(CKTV_Data& model) {
    std::vector<FrameAddress> sent;
    for (int guard = 0; guard < 200; ++guard) {
        const FrameAddress a = AddressOf(*model.NextPendingChange());
        if (a == kIdlePoll) return sent;
        sent.push_back(a);
    }
    ADD_FAILURE() << "the pump never ran dry";
    return sent;
}

TEST_F(PumpTest, NothingPendingGivesTheIdlePoll) {
    auto packet = model->NextPendingChange();
    ASSERT_NE(packet, nullptr);
    EXPECT_EQ(AddressOf(*packet), kIdlePoll);
}

TEST_F(PumpTest, ChangesLeaveInTheFixedOrder) {
    g_bOnline = true;
    const BYTE mix[12] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12};
    // Set in reverse of the order they must leave in.
    Out(1).SetGain(30);
    Out(0).GetBand(9)->SetGainIndex(250);
    Out(0).GetBand(2)->SetGainIndex(250);
    Out(0).SetLimitAttack(10);
    Out(0).SetMixHigh(mix);
    Out(0).SetMixLow(mix);
    Out(0).GetHighPass()->SetSlope(4, true);
    Out(0).SetDelay(10);
    Out(0).SetName("Sub");
    model->GetMusic(0)->SetLimitThreshold(50);
    model->GetMusic(0)->SetGain(30);
    g_bSendInputLevels = true;
    g_bSendSysSettings = true;

    const std::vector<FrameAddress> expected{
        {CMD_WRITE, BT_SYSTEM, SYS_SETTINGS, 0},
        {CMD_WRITE, BT_SYSTEM, SYS_INPUT_LEVELS, 0},
        {CMD_WRITE, BT_MUSIC, 2, 9},
        {CMD_WRITE, BT_MUSIC, 2, 11},
        {CMD_WRITE, BT_OUTPUT, 0, 36},
        {CMD_WRITE, BT_OUTPUT, 0, 31},
        {CMD_WRITE, BT_OUTPUT, 0, 32},
        {CMD_WRITE, BT_OUTPUT, 0, 33},
        {CMD_WRITE, BT_OUTPUT, 0, 34},
        {CMD_WRITE, BT_OUTPUT, 0, 35},
        {CMD_WRITE, BT_OUTPUT, 0, 2},
        {CMD_WRITE, BT_OUTPUT, 0, 9},
        {CMD_WRITE, BT_OUTPUT, 1, 31},
    };
    EXPECT_EQ(DrainPump(*model), expected);
}

TEST_F(PumpTest, BandMovedUpSendsOctaveSteps) {
    CFilter* band = Out(2).GetBand(7);
    band->SetFreq(100, true);  // offline: sent at once
    g_bOnline = true;
    band->SetFreq(1000, true);
    std::vector<int> sentFreqs;
    for (auto a = model->NextPendingChange(); AddressOf(*a) != kIdlePoll;
         a = model->NextPendingChange()) {
        ASSERT_EQ(AddressOf(*a), (FrameAddress{CMD_WRITE, BT_OUTPUT, 2, 7}));
        sentFreqs.push_back(GetWord(PayloadOf(*a)));
    }
    EXPECT_EQ(sentFreqs, (std::vector<int>{200, 400, 800, 1000, 1000}));
    EXPECT_EQ(GetWord(Slot(2) + 7 * 8), 1000);
}

TEST_F(PumpTest, CrossoverMovedUpSendsOctaveSteps) {
    g_bOnline = true;
    Out(5).GetHighPass()->SetFreq(100, true);  // from 20 Hz
    std::vector<int> sentFreqs;
    for (auto a = model->NextPendingChange(); AddressOf(*a) != kIdlePoll;
         a = model->NextPendingChange()) {
        ASSERT_EQ(AddressOf(*a), (FrameAddress{CMD_WRITE, BT_OUTPUT, 5, 32}));
        sentFreqs.push_back(GetWord(PayloadOf(*a) + kXoverHighFreq));
    }
    EXPECT_EQ(sentFreqs, (std::vector<int>{40, 80, 100, 100}));
}

TEST_F(PumpTest, LevelItemCarriesGainOffAsZero) {
    g_bOnline = true;
    Out(2).SetOutputOn(1);
    Out(2).SetGain(0);
    auto packet = model->NextPendingChange();
    EXPECT_EQ(AddressOf(*packet), (FrameAddress{CMD_WRITE, BT_OUTPUT, 2, 31}));
    EXPECT_EQ(Bytes(PayloadOf(*packet), 8), (std::vector<BYTE>{1, 0, 0, 0, 0, 0, 0, 0}));
}

TEST_F(PumpTest, ShortNameIsPaddedWithNul) {
    g_bOnline = true;
    Out(4).SetName("Sub");
    auto packet = model->NextPendingChange();
    EXPECT_EQ(AddressOf(*packet), (FrameAddress{CMD_WRITE, BT_OUTPUT, 4, 36}));
    EXPECT_EQ(Bytes(Slot(4) + kOutName, 8), (std::vector<BYTE>{0x53, 0x75, 0x62, 0, 0, 0, 0, 0}));
    // Item 36 is bytes 288..295: two bytes kept before the name, then six of it.
    EXPECT_EQ(Bytes(PayloadOf(*packet), 8), Bytes(Slot(4) + 288, 8));
    EXPECT_EQ(CharLenMessages(), 0);
}

TEST_F(PumpTest, NameOfEightBytesIsRefusedAndTheOldBytesStillGo) {
    g_bOnline = true;
    Out(1).SetName("Sub");
    model->NextPendingChange();
    const std::vector<BYTE> before = Bytes(Slot(1) + 288, 10);
    for (const char* tooLong : {"Subwoofe", "中置高频"}) {  // 8 ASCII bytes, 8 GBK bytes
        Out(1).SetName(tooLong);
        auto packet = model->NextPendingChange();
        EXPECT_EQ(AddressOf(*packet), (FrameAddress{CMD_WRITE, BT_OUTPUT, 1, 36})) << tooLong;
        EXPECT_EQ(Bytes(PayloadOf(*packet), 8), Bytes(before.data(), 8));
        EXPECT_EQ(Bytes(Slot(1) + 288, 10), before);
        EXPECT_EQ(Out(1).GetName(), tooLong);
        EXPECT_EQ(CharLenMessages(), 1) << tooLong;
    }
}

TEST_F(PumpTest, SevenGbkBytesFit) {
    g_bOnline = true;
    Out(1).SetName("低音ABC");  // 4 + 3 GBK bytes
    model->NextPendingChange();
    EXPECT_EQ(Bytes(Slot(1) + kOutName, 8),
              (std::vector<BYTE>{0xB5, 0xCD, 0xD2, 0xF4, 'A', 'B', 'C', 0}));
    EXPECT_EQ(CharLenMessages(), 0);
}

TEST_F(PumpTest, BandGainWord) {
    struct Case {
        const char* name;
        int gainIndex;
        bool bypass;
        int word;
    };
    const Case cases[] = {
        {"0 dB", 200, false, 600}, {"+12 dB bypassed", 320, true, 600}, {"+12 dB", 320, false, 720},
        {"-20 dB", 0, false, 400}, {"+20 dB", 400, false, 800},
    };
    g_bOnline = true;
    for (const Case& k : cases) {
        CFilter* band = Out(0).GetBand(12);
        band->SetGainIndex(k.gainIndex);
        if (k.bypass) band->SetBypass(true);
        auto packet = model->NextPendingChange();
        ASSERT_EQ(AddressOf(*packet), (FrameAddress{CMD_WRITE, BT_OUTPUT, 0, 12})) << k.name;
        EXPECT_EQ(GetWord(PayloadOf(*packet) + kBandGain), k.word) << k.name;
        EXPECT_EQ(GetWord(Slot(0) + 12 * 8 + kBandGain), k.word) << k.name;
        DrainPump(*model);
    }
}

TEST_F(PumpTest, PacketMakersWithoutPacketOnlyWriteTheImage) {
    Out(3).SetDelay(0x0102);
    Out(3).SetLimitThreshold(0x0304);
    EXPECT_EQ(Out(3).MakeLevelPacket(false), nullptr);
    EXPECT_EQ(Out(3).MakeLimiterPacket(false), nullptr);
    EXPECT_EQ(GetWord(Slot(3) + kOutDelay), 0x0102);
    EXPECT_EQ(GetWord(Slot(3) + kOutLimitThreshold), 0x0304);
}

TEST_F(PumpTest, ChannelPacketCarriesTheWholeSlot) {
    Out(3).SetGain(42);
    auto packet = Out(3).MakeChannelPacket(2);
    ASSERT_NE(packet, nullptr);
    EXPECT_EQ(packet->GetLength(), 312);
    EXPECT_EQ(packet->GetBuffer()[kFrameGroup], 2);
    EXPECT_EQ(Bytes(PayloadOf(*packet), 296), Bytes(Slot(3), 296));
    EXPECT_EQ(Slot(3)[kOutGain], 42);
}

TEST_F(PumpTest, ClearPendingDropsEveryMarker) {
    g_bOnline = true;
    Out(0).SetName("X");
    Out(5).GetBand(3)->SetGainIndex(300);
    model->GetMusic(0)->SetGain(5);
    model->ClearPending();
    EXPECT_EQ(AddressOf(*model->NextPendingChange()), kIdlePoll);
}

}  // namespace
