#include <gtest/gtest.h>

#include <vector>

#include "workspace/device_fixture.h"

namespace {

using DeviceEditTest = DeviceTest;

TEST_F(DeviceEditTest, EveryKindOfEditReachesTheDevice) {
    Link({3, 4});
    SetOk({{"ch1.gain", "-6"},
           {"ch1.phase", "inverted"},
           {"ch1.output", "off"},
           {"ch1.delay", "86cm"},
           {"ch1.name", "Left"},
           {"ch1.eq1.freq", "12000"},
           {"ch1.eq2.gain", "7.5"},
           {"ch1.eq2.q", "4"},
           {"ch1.eq3.bw", "0.5"},
           {"ch1.eq3.gain", "-2"},
           {"ch1.eq4.type", "highshelf"},
           {"ch1.eq5.gain", "3"},
           {"ch1.eq5.bypass", "on"},
           {"ch2.hp.freq", "2000"},
           {"ch2.hp.family", "lr"},
           {"ch2.hp.slope", "24"},
           {"ch2.lp.freq", "4000"},
           {"ch2.lp.slope", "off"},
           {"ch3.mix.2", "60"},
           {"ch3.mix.12", "30"},
           {"ch4.limiter.threshold", "-8"},
           {"ch4.limiter.attack", "5"},
           {"ch4.limiter.release", "4"},
           {"ch5.eq7.gain", "2"},
           {"ch6.eqmode", "graphic"},
           {"source", "player"},
           {"master", "-12"}},
          true);
    EXPECT_GT(RunLinkUntilIdle(), 20);
    EXPECT_TRUE(NothingPending(*model, cmd));
    for (int c = 0; c < kOutputCount; ++c)
        EXPECT_EQ(DeviceSlot(c), HostSlot(c)) << "channel " << c + 1;
    EXPECT_EQ(device.Memory().sysSettings, g_SysSettings);

    // Spot checks that the comparison is not between two unchanged images.
    const std::vector<BYTE> ch1 = DeviceSlot(0);
    EXPECT_EQ(GetWord(ch1.data() + kOutGain), 54);
    EXPECT_EQ(GetWord(ch1.data() + kBandFreq), 12000);
    EXPECT_EQ(DeviceSlot(4)[kOutLimitRelease], 1) << "linked to ch4";
    EXPECT_EQ(DeviceSlot(5)[kOutEqMode], 1);
    EXPECT_EQ(device.Memory().sysSettings[kSysInputSource], 5);
    EXPECT_EQ(GetWord(device.Memory().sysSettings.data() + kSysMasterVolume), 48);
}

}  // namespace
