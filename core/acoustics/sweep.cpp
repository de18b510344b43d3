#include "acoustics/sweep.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace {

constexpr double kPi = std::numbers::pi;

// Octaves the sweep runs beyond its range at either end, while fading.
constexpr double kMarginBelow = 1.0;
constexpr double kMarginAbove = 1.0 / 24.0;

// Regularisation of the inverse, relative to the sweep's strongest bin:
// tiny inside the swept range, large outside it.
constexpr double kRegInside = 1e-9;
constexpr double kRegOutside = 1e-2;
// Octaves over which the regularisation moves between the two, below the
// start and above the end.
constexpr double kRegEdgeBelow = 2.0;
constexpr double kRegEdgeAbove = 0.2;
// Octaves beyond the range where the inverse is still exact.
constexpr double kExactBeyond = 1.0 / 48.0;

// 0 inside [lo, hi], 1 beyond the edges, raised cosine in log-frequency between.
double OutsideWeight(double f, double lo, double hi) {
    auto ramp = [](double octaves, double width) {
        if (octaves <= 0.0) return 0.0;
        if (octaves >= width) return 1.0;
        return 0.5 - 0.5 * std::cos(kPi * octaves / width);
    };
    if (f <= 0.0) return 1.0;
    if (f < lo) return ramp(std::log2(lo / f), kRegEdgeBelow);
    if (f > hi) return ramp(std::log2(f / hi), kRegEdgeAbove);
    return 0.0;
}

}  // namespace

std::string SweepSpecError(const SweepSpec& spec) {
    if (!(spec.seconds >= 1.0 && spec.seconds <= 10.0))
        return "the sweep must last 1 to 10 seconds";
    if (!(spec.levelDbfs >= -60.0 && spec.levelDbfs <= 0.0))
        return "the sweep level must be -60 to 0 dBFS";
    if (spec.sampleRate < 8000 || spec.sampleRate > 384000)
        return "the sample rate must be 8000 to 384000 Hz";
    if (!(spec.startHz > 0.0 && spec.endHz > spec.startHz * 2.0 &&
          spec.endHz <= 0.95 * spec.sampleRate / 2.0))
        return "the sweep must span at least an octave below 0.95 of half the sample rate";
    return {};
}

double SweepFirstHz(const SweepSpec& spec) {
    return spec.startHz * std::pow(2.0, -kMarginBelow);
}

double SweepLastHz(const SweepSpec& spec) {
    return std::max(spec.endHz,
                    std::min(spec.endHz * std::pow(2.0, kMarginAbove), 0.95 * spec.sampleRate / 2));
}

std::vector<double> ExpSweep(const SweepSpec& spec) {
    const double rate = spec.sampleRate;
    const double f1 = SweepFirstHz(spec);
    const double f2 = SweepLastHz(spec);
    const auto n = static_cast<std::size_t>(std::lround(spec.seconds * rate));
    const double l = spec.seconds / std::log(f2 / f1);
    const double amplitude = std::pow(10.0, spec.levelDbfs / 20.0);
    // Samples until the sweep reaches startHz, and from endHz to its end.
    const double fadeIn = std::max(1.0, l * std::log(spec.startHz / f1) * rate);
    const double fadeOut = std::max(1.0, l * std::log(f2 / spec.endHz) * rate);

    std::vector<double> out(n);
    for (std::size_t i = 0; i < n; ++i) {
        const double t = static_cast<double>(i) / rate;
        double gain = amplitude;
        const double fromStart = static_cast<double>(i);
        const double toEnd = static_cast<double>(n - 1 - i);
        if (fromStart < fadeIn) gain *= 0.5 - 0.5 * std::cos(kPi * fromStart / fadeIn);
        if (toEnd < fadeOut) gain *= 0.5 - 0.5 * std::cos(kPi * toEnd / fadeOut);
        out[i] = gain * std::sin(2.0 * kPi * f1 * l * std::expm1(t / l));
    }
    return out;
}

CSweepDeconvolver::CSweepDeconvolver(const SweepSpec& spec, std::size_t recordLength)
    : m_fft(FftSizeFor(std::max(
          recordLength, static_cast<std::size_t>(std::lround(spec.seconds * spec.sampleRate))))) {
    Spectrum sweep;
    m_fft.Forward(ExpSweep(spec), sweep);
    double strongest = 0.0;
    for (const auto& v : sweep)
        strongest = std::max(strongest, std::norm(v));
    const double binHz = static_cast<double>(spec.sampleRate) / static_cast<double>(Size());
    // Exact a little beyond the range, so that the bands around its end
    // frequencies are whole.
    const double exactFrom = spec.startHz * std::pow(2.0, -kExactBeyond);
    const double exactTo = spec.endHz * std::pow(2.0, kExactBeyond);
    m_inverse.resize(sweep.size());
    for (std::size_t k = 0; k < sweep.size(); ++k) {
        const double w = OutsideWeight(static_cast<double>(k) * binHz, exactFrom, exactTo);
        const double reg = strongest * (kRegInside + (kRegOutside - kRegInside) * w);
        // Outside the range the result fades out entirely, not only its noise.
        m_inverse[k] = (1.0 - w) * std::conj(sweep[k]) / (std::norm(sweep[k]) + reg);
    }
}

std::vector<double> CSweepDeconvolver::ImpulseResponse(std::span<const double> recording) {
    m_fft.Forward(recording, m_scratch);
    for (std::size_t k = 0; k < m_scratch.size(); ++k)
        m_scratch[k] *= m_inverse[k];
    std::vector<double> out;
    m_fft.Inverse(m_scratch, out);
    return out;
}

std::vector<double> CSweepDeconvolver::InverseFilter() {
    std::vector<double> out;
    m_fft.Inverse(m_inverse, out);
    return out;
}

std::vector<double> AverageTakes(std::span<const double> recording, std::size_t period, int takes) {
    if (takes < 1 || period == 0 || recording.size() < period * static_cast<std::size_t>(takes))
        return {};
    std::vector<double> out(period, 0.0);
    for (int t = 0; t < takes; ++t) {
        const auto take = recording.subspan(period * static_cast<std::size_t>(t), period);
        for (std::size_t i = 0; i < period; ++i)
            out[i] += take[i];
    }
    for (auto& v : out)
        v /= takes;
    return out;
}
