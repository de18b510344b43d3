#include "acoustics/rta.h"

#include <algorithm>
#include <cmath>
#include <numbers>
#include <random>

namespace {

constexpr double kPi = std::numbers::pi;
constexpr double kSilentDb = -200.0;

std::vector<Band> RtaBands(const RtaSpec& spec) {
    // The nominal 20 Hz and 20 kHz bands are centred a little outside those.
    return FractionalOctaveBands(spec.fraction, 19.5, std::min(20500.0, spec.sampleRate / 2.0));
}

}  // namespace

std::vector<double> PeriodicPinkNoise(std::size_t length, double rmsDbfs, int sampleRate,
                                      std::uint32_t seed, double loHz, double hiHz) {
    CRealFft fft(length);
    std::mt19937 random(seed);
    std::uniform_real_distribution<double> phase(0.0, 2.0 * kPi);
    const double binHz = static_cast<double>(sampleRate) / static_cast<double>(fft.Size());
    Spectrum spectrum(fft.Bins(), 0.0);
    for (std::size_t k = 1; k + 1 < fft.Bins(); ++k) {
        const double f = static_cast<double>(k) * binHz;
        const double p = phase(random);
        if (f >= loHz && f <= hiHz) spectrum[k] = std::polar(1.0 / std::sqrt(f), p);
    }
    std::vector<double> out;
    fft.Inverse(spectrum, out);
    double meanSquare = 0.0;
    for (double v : out)
        meanSquare += v * v;
    meanSquare /= static_cast<double>(out.size());
    // A full-scale sine has a mean square of 1/2.
    const double wanted = 0.5 * std::pow(10.0, rmsDbfs / 10.0);
    const double scale = meanSquare > 0.0 ? std::sqrt(wanted / meanSquare) : 0.0;
    for (double& v : out)
        v *= scale;
    out.resize(length, 0.0);
    return out;
}

CRta::CRta(const RtaSpec& spec, const MicCalibration* calibration)
    : m_spec(spec),
      m_fft(spec.fftSize),
      m_averager(RtaBands(spec), m_fft.Size(), spec.sampleRate),
      m_window(m_fft.Size(), 1.0) {
    const std::size_t n = m_fft.Size();
    if (!spec.periodicSignal) {
        for (std::size_t i = 0; i < n; ++i)
            m_window[i] = 0.5 - 0.5 * std::cos(2.0 * kPi * static_cast<double>(i) / n);
    }
    // Powers per bin such that they add up to the block's mean square,
    // doubled so that a full-scale sine reads 1 (0 dBFS).
    double windowPower = 0.0;
    for (double w : m_window)
        windowPower += w * w;
    const double scale = 2.0 * 2.0 / (static_cast<double>(n) * windowPower);
    for (double& w : m_window)
        w *= std::sqrt(scale);
    for (const Band& band : Bands())
        m_correctionDb.push_back(calibration ? calibration->DbAt(band.centreHz) : 0.0);
}

void CRta::Analyse(std::span<const float> block, std::vector<double>& out) {
    const std::size_t n = m_fft.Size();
    if (block.size() > n) block = block.subspan(block.size() - n);
    m_samples.assign(n, 0.0);
    for (std::size_t i = 0; i < block.size(); ++i)
        m_samples[i] = m_window[i] * block[i];
    m_fft.Forward(m_samples, m_spectrum);
    m_power.resize(m_spectrum.size());
    for (std::size_t k = 0; k < m_spectrum.size(); ++k)
        m_power[k] = std::norm(m_spectrum[k]);
    // Bin 0 and the last bin are not mirrored: they count once.
    m_power.front() *= 0.5;
    m_power.back() *= 0.5;
    out.resize(m_correctionDb.size());
    m_averager.Sum(m_power, out);
    for (std::size_t b = 0; b < out.size(); ++b)
        out[b] = (out[b] > 0.0 ? std::max(kSilentDb, 10.0 * std::log10(out[b])) : kSilentDb) -
                 m_correctionDb[b];
}
