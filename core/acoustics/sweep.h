#pragma once
// The exponential sweep played to measure a channel, and the deconvolution
// that turns what the microphone heard into the path's impulse response.

#include <cstddef>
#include <span>
#include <string>
#include <vector>

#include "acoustics/fft.h"

constexpr int kAudioRate = 48000;

struct SweepSpec {
    double seconds = 3.0;      // 1 .. 10
    double levelDbfs = -12.0;  // peak level, -60 .. 0
    double startHz = 20.0;
    double endHz = 20000.0;
    int sampleRate = kAudioRate;
};

// Why a sweep with these settings cannot be played; empty when it can.
std::string SweepSpecError(const SweepSpec& spec);

// The sweep: A sin(2 pi f1 L (e^(t/L) - 1)) with L = T / ln(f2 / f1), so each
// octave takes the same time. It starts a sixth of an octave below startHz
// and ends 1/24 octave above endHz (below 0.95 of half the sample rate),
// rising and falling over those margins (half-Hann), so neither end clicks
// and the whole range from startHz to endHz is swept at full level.
std::vector<double> ExpSweep(const SweepSpec& spec);

// The frequencies the sweep actually starts and ends at, margins included.
double SweepFirstHz(const SweepSpec& spec);
double SweepLastHz(const SweepSpec& spec);

// Impulse responses from recordings of `recordLength` samples whose first
// sample is the one recorded as the sweep's first sample went out.
//
// The division by the sweep's spectrum is regularised: inside the swept
// range it is exact, outside it fades to nothing, so noise where the sweep
// had no energy is not blown up. The path's response lands at its latency;
// an exponential sweep puts the harmonic distortion of the path before that
// (at negative times, which wrap to the end of the result), where gating
// leaves it out.
class CSweepDeconvolver {
public:
    CSweepDeconvolver(const SweepSpec& spec, std::size_t recordLength);

    // Length of the impulse responses: at least the record length.
    std::size_t Size() const { return m_fft.Size(); }
    std::vector<double> ImpulseResponse(std::span<const double> recording);
    // The inverse filter in time (Size() samples): the sweep convolved with
    // it gives a single impulse at 0, band-limited to the swept range.
    std::vector<double> InverseFilter();

private:
    CRealFft m_fft;
    Spectrum m_inverse;
    Spectrum m_scratch;
};

// The mean of `takes` back-to-back periods of `period` samples at the start
// of a recording (sweeps played one after the other). A recording too short
// for all of them gives an empty result.
std::vector<double> AverageTakes(std::span<const double> recording, std::size_t period, int takes);
