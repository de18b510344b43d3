// Arrival times from impulse responses and recordings, and the delays that
// bring the channels together.

#include <gtest/gtest.h>

#include <cmath>
#include <random>

#include "acoustics/impulse.h"
#include "acoustics/rta.h"
#include "acoustics/signals.h"
#include "acoustics/sweep.h"

namespace {

// An impulse band-limited to 20 kHz (windowed sinc) centred at `at`.
std::vector<double> PulseAt(double at, size_t length) {
    std::vector<double> x(length, 0.0);
    const double fc = 20000.0 / 48000.0;
    for (size_t i = 0; i < length; ++i) {
        const double t = static_cast<double>(i) - at;
        if (std::fabs(t) > 64) continue;
        const double sinc = t == 0 ? 2 * fc : std::sin(2 * M_PI * fc * t) / (M_PI * t);
        x[i] = sinc * (0.5 + 0.5 * std::cos(M_PI * t / 64));
    }
    return x;
}

TEST(FindArrival, PeakAndOnsetOfAPulse) {
    for (double at : {500.0, 500.25, 500.5, 1234.8}) {
        auto ir = PulseAt(at, 4096);
        for (auto& v : ir)
            v = -v;  // polarity does not matter
        const Arrival a = FindArrival(ir);
        EXPECT_NEAR(a.peak, at, 0.15) << at;
        EXPECT_LE(a.onset, a.peak) << at;
        // Within the main lobe or its first side lobes.
        EXPECT_GT(a.onset, at - 5) << at;
    }
    // A resonant path: the peak moves, the onset stays at the start.
    const auto ringing = Biquad::LowPass(200, 4, 48000).Run(PulseAt(800, 8192));
    const Arrival a = FindArrival(ringing);
    EXPECT_GT(a.peak, 800 + 20);
    EXPECT_LT(a.onset, 800 + 20);
    EXPECT_GT(a.onset, 800);
}

TEST(LagBetween, FindsTheDirectSoundWhateverFollowsIt) {
    struct Case {
        const char* name;
        size_t delay;
        Biquad path;
        size_t echoAfter;  // a reflection this many samples later, at half level
        double noise;
    } cases[] = {
        {"loopback", 317, Biquad{}, 0, 0},
        {"resonant cabin and noise", 2411, Biquad::Peaking(80, 6, 10, 48000), 0, 0.01},
        {"strong reflection", 1000, Biquad{}, 150, 0.003},
    };
    std::mt19937 random(11);
    for (const auto& c : cases) {
        std::normal_distribution<double> noise(0.0, c.noise > 0 ? c.noise : 1e-12);
        const auto played = PeriodicPinkNoise(16384, -12, 48000);
        auto heard = c.path.Run(Delayed(played, c.delay, 0.3, 2000));
        if (c.echoAfter > 0) {
            const auto echo = Delayed(played, c.delay + c.echoAfter, 0.15, 2000 - c.echoAfter);
            for (size_t i = 0; i < heard.size(); ++i)
                heard[i] += echo[i];
        }
        for (auto& v : heard)
            v += noise(random);
        EXPECT_NEAR(LagBetween(played, heard, 4800, 48000), static_cast<double>(c.delay), 0.5)
            << c.name;
    }
}

TEST(AlignArrivals, DelaysTheEarlyChannels) {
    struct Case {
        const char* name;
        std::vector<double> arrivals;
        std::vector<int> current;
        int maxDelay;
        std::vector<int> delays;
        bool clipped;
    } cases[] = {
        {"none yet", {100, 130.4, 90}, {}, 960, {30, 0, 40}, false},
        {"all together already", {100, 100}, {0, 0}, 960, {0, 0}, false},
        {"measured with delays set", {100, 100, 95}, {20, 0, 0}, 960, {20, 0, 5}, false},
        {"delays that cancel out drop to zero", {100, 100}, {50, 50}, 960, {0, 0}, false},
        {"beyond the device", {0, 1000}, {}, 960, {960, 0}, true},
        {"one channel", {512.7}, {}, 960, {0}, false},
        {"none", {}, {}, 960, {}, false},
    };
    for (const auto& c : cases) {
        const Alignment a = AlignArrivals(c.arrivals, c.current, c.maxDelay);
        EXPECT_EQ(a.delays, c.delays) << c.name;
        EXPECT_EQ(a.clipped, c.clipped) << c.name;
    }
    EXPECT_NEAR(SamplesToMetres(480, 48000), 3.464, 1e-12);
}

}  // namespace
