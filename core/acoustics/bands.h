#pragma once
// Band levels from a power spectrum: fractional-octave bands for the live
// analyser, and the bands around the graph's frequencies for a measured
// response.
//
// Each FFT bin stands for the stretch of frequency half a bin either side of
// it; a band takes each bin by the share of that stretch it covers. Bands
// narrower than a bin (1/24 octave at 20 Hz) so still get the right share of
// power, and a band's power always adds up with its neighbours'.

#include <cstddef>
#include <span>
#include <vector>

struct Band {
    double lowHz;
    double centreHz;
    double highHz;
};

// Base-2 fractional-octave bands, centres 1 kHz * 2^(k / fraction), whose
// centres lie within [loHz, hiHz]. fraction: 1 .. 48 (3, 6, 12, 24 in use).
std::vector<Band> FractionalOctaveBands(int fraction, double loHz = 20.0, double hiHz = 20000.0);

// Bands around the response grid's frequencies, meeting at the geometric
// midpoints between neighbours.
std::vector<Band> GridBands();

class CBandAverager {
public:
    // For spectra of an FFT of fftSize samples at sampleRate (fftSize/2 + 1 bins).
    CBandAverager(std::vector<Band> bands, std::size_t fftSize, double sampleRate);

    const std::vector<Band>& Bands() const { return m_bands; }
    // Each band's power: the sum of the powers of the bins it covers.
    void Sum(std::span<const double> power, std::span<double> out) const;
    // Each band's mean power per bin (a transfer function's band average).
    void Mean(std::span<const double> power, std::span<double> out) const;

private:
    struct Weights {
        std::size_t firstBin;
        std::vector<double> share;
        double total;
    };
    std::vector<Band> m_bands;
    std::vector<Weights> m_weights;
};
