#pragma once
// The live analyser: periodic pink noise to play, and the microphone's
// spectrum in fractional-octave bands.

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "acoustics/bands.h"
#include "acoustics/calibration.h"
#include "acoustics/fft.h"
#include "acoustics/sweep.h"

// Pink noise (equal power per octave over [loHz, hiHz], nothing outside)
// that repeats exactly every `length` samples, at an RMS level in dBFS (a
// full-scale sine is 0 dBFS). Played in a loop and analysed with an FFT of
// the same length, every bin holds exactly its share: no window and no
// averaging needed for a steady reading.
std::vector<double> PeriodicPinkNoise(std::size_t length, double rmsDbfs, int sampleRate,
                                      std::uint32_t seed = 1, double loHz = 20.0,
                                      double hiHz = 20000.0);

struct RtaSpec {
    std::size_t fftSize = 16384;  // a third of a second at 48 kHz
    int fraction = 24;            // bands per octave: 3, 6, 12 or 24
    int sampleRate = kAudioRate;
    // Rectangular window for the matched periodic noise; a Hann window for
    // anything else (music, noise of another period).
    bool periodicSignal = true;
};

class CRta {
public:
    explicit CRta(const RtaSpec& spec, const MicCalibration* calibration = nullptr);

    const std::vector<Band>& Bands() const { return m_averager.Bands(); }
    std::size_t BlockSize() const { return m_fft.Size(); }
    // Each band's level in dBFS (the power of the bins it covers; a
    // full-scale sine in a band reads 0), corrected by the calibration,
    // from the last BlockSize() samples of `block` (zero-padded when
    // shorter). `out` gets one value per band.
    void Analyse(std::span<const float> block, std::vector<double>& out);

private:
    RtaSpec m_spec;
    CRealFft m_fft;
    CBandAverager m_averager;
    std::vector<double> m_window;
    std::vector<double> m_correctionDb;
    std::vector<double> m_samples;
    Spectrum m_spectrum;
    std::vector<double> m_power;
};
