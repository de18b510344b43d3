#pragma once
// What an impulse response tells: the gated response on the graph's
// frequencies, when the sound arrived, and the delays that make every
// channel arrive together.

#include <array>
#include <cstddef>
#include <span>
#include <vector>

#include "acoustics/calibration.h"
#include "acoustics/sweep.h"
#include "response/grid.h"

// Metres per second, the figure the delay fields use for distances.
constexpr double kSpeedOfSound = 346.4;

// A window around the arrival: it rises over `leftMs` before it (half-Hann),
// stays open for the first half of `rightMs` after it and closes over the
// second half. Noise and late reflections are left out. The left side needs
// its length: a response without energy below 20 Hz has a broad dip around
// its arrival, and cutting it short bends the lowest octave (by 0.3 dB at
// 30 Hz with 50 ms). The harmonic distortion of a sweep of T seconds comes
// T/11 (second harmonic) before the arrival, so sweeps under 2 s want a
// shorter left side.
struct GateSpec {
    double leftMs = 125.0;
    double rightMs = 500.0;
    int sampleRate = kAudioRate;
};

// Index of the strongest sample (by magnitude).
std::size_t PeakIndex(std::span<const double> ir);

// The gated response, rotated so that `reference` is at index 0 (the
// samples before it wrap to the end) and zero-padded to a power of two of at
// least 65536 samples, ready for ResponseOnGrid. The impulse response is
// read circularly, as deconvolution leaves it.
std::vector<double> GateImpulse(std::span<const double> ir, std::size_t reference,
                                const GateSpec& gate);

struct GridResponse {
    std::array<double, kGridPoints> db{};        // band mean level around each grid point
    std::array<double, kGridPoints> phaseDeg{};  // at the grid point, -180 .. 180
};

// The response of a gated impulse response (GateImpulse) on the grid, its
// phase relative to the gate's reference; a calibration, when given, is
// taken out of both. A band with no energy reads -200 dB.
GridResponse ResponseOnGrid(std::span<const double> gated, int sampleRate,
                            const MicCalibration* calibration = nullptr);

struct Arrival {
    double peak;   // samples from the start of the response, with sub-sample precision
    double onset;  // where the main pulse first rises above onsetDb below the peak
};
Arrival FindArrival(std::span<const double> ir, double onsetDb = -20.0);

// How many samples `signal` lags `reference`, 0 .. maxLag, from their
// cross-correlation whitened over [loHz, hiHz] (phase transform), so the
// result is one sharp peak whatever the spectrum of the signal played.
double LagBetween(std::span<const double> reference, std::span<const double> signal,
                  std::size_t maxLag, int sampleRate, double loHz = 20.0, double hiHz = 20000.0);

struct Alignment {
    std::vector<int> delays;  // samples, the smallest 0
    bool clipped = false;     // a delay had to be cut to the largest the device holds
};
// New delays so that every channel arrives together, from arrival times
// (samples, any common origin) measured while `current` delays were applied
// (empty: none).
Alignment AlignArrivals(std::span<const double> arrivals, std::span<const int> current,
                        int maxDelay);

// Distance sound travels in `samples` at `sampleRate`, in metres.
double SamplesToMetres(double samples, int sampleRate);
