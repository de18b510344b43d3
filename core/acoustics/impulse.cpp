#include "acoustics/impulse.h"

#include <algorithm>
#include <cmath>
#include <complex>
#include <numbers>

#include "acoustics/bands.h"
#include "acoustics/fft.h"

namespace {

constexpr double kPi = std::numbers::pi;
constexpr std::size_t kMinGridFft = 65536;
constexpr double kSilentDb = -200.0;

// The peak's offset from sample i (-0.5 .. 0.5) from a parabola through i-1, i, i+1.
double ParabolicOffset(double a, double b, double c) {
    const double d = a - 2.0 * b + c;
    if (d == 0.0) return 0.0;
    return std::clamp(0.5 * (a - c) / d, -0.5, 0.5);
}

double WrapDegrees(double deg) {
    deg = std::remainder(deg, 360.0);
    return deg <= -180.0 ? deg + 360.0 : deg;
}

}  // namespace

std::size_t PeakIndex(std::span<const double> ir) {
    std::size_t best = 0;
    for (std::size_t i = 1; i < ir.size(); ++i)
        if (std::fabs(ir[i]) > std::fabs(ir[best])) best = i;
    return best;
}

std::vector<double> GateImpulse(std::span<const double> ir, std::size_t reference,
                                const GateSpec& gate) {
    const std::size_t n = ir.size();
    const auto left = static_cast<std::size_t>(std::lround(gate.leftMs * gate.sampleRate / 1000.0));
    const auto right =
        static_cast<std::size_t>(std::lround(gate.rightMs * gate.sampleRate / 1000.0));
    const std::size_t size = FftSizeFor(std::max(kMinGridFft, 2 * (left + right)));
    std::vector<double> out(size, 0.0);
    if (n == 0) return out;
    const std::size_t after = std::min(right, n);
    const std::size_t before = std::min(left, n - after);
    const double openFrom = right / 2.0;
    for (std::size_t i = 0; i < after; ++i) {
        double w = 1.0;
        if (static_cast<double>(i) > openFrom)
            w = 0.5 +
                0.5 * std::cos(kPi * (static_cast<double>(i) - openFrom) / (right - openFrom));
        out[i] = w * ir[(reference % n + i) % n];
    }
    for (std::size_t i = 1; i <= before; ++i) {
        const double w =
            0.5 + 0.5 * std::cos(kPi * static_cast<double>(i) / static_cast<double>(left));
        out[size - i] = w * ir[(reference % n + n - i) % n];
    }
    return out;
}

GridResponse ResponseOnGrid(std::span<const double> gated, int sampleRate,
                            const MicCalibration* calibration) {
    CRealFft fft(FftSizeFor(std::max(gated.size(), kMinGridFft)));
    Spectrum spectrum;
    fft.Forward(gated, spectrum);
    std::vector<double> power(spectrum.size());
    for (std::size_t k = 0; k < spectrum.size(); ++k)
        power[k] = std::norm(spectrum[k]);

    static const std::vector<Band> bands = GridBands();
    const CBandAverager averager(bands, fft.Size(), sampleRate);
    std::array<double, kGridPoints> mean{};
    averager.Mean(power, mean);

    GridResponse out;
    const double binHz = static_cast<double>(sampleRate) / static_cast<double>(fft.Size());
    for (int i = 0; i < kGridPoints; ++i) {
        const double f = g_adGridFreq[i];
        out.db[i] = mean[i] > 0.0 ? std::max(kSilentDb, 10.0 * std::log10(mean[i])) : kSilentDb;
        const double at = std::min(f / binHz, static_cast<double>(spectrum.size() - 1));
        const auto k = std::min(static_cast<std::size_t>(at), spectrum.size() - 2);
        const double t = at - static_cast<double>(k);
        const std::complex<double> v = (1.0 - t) * spectrum[k] + t * spectrum[k + 1];
        out.phaseDeg[i] = std::arg(v) * 180.0 / kPi;
        if (calibration && !calibration->Empty()) {
            out.db[i] -= calibration->DbAt(f);
            out.phaseDeg[i] -= calibration->PhaseAt(f);
        }
        out.phaseDeg[i] = WrapDegrees(out.phaseDeg[i]);
    }
    return out;
}

Arrival FindArrival(std::span<const double> ir, double onsetDb) {
    if (ir.size() < 3) return {0.0, 0.0};
    const std::size_t p = PeakIndex(ir);
    Arrival out{static_cast<double>(p), static_cast<double>(p)};
    if (p > 0 && p + 1 < ir.size())
        out.peak += ParabolicOffset(std::fabs(ir[p - 1]), std::fabs(ir[p]), std::fabs(ir[p + 1]));
    const double threshold = std::fabs(ir[p]) * std::pow(10.0, onsetDb / 20.0);
    std::size_t k = p;
    while (k > 0 && std::fabs(ir[k - 1]) >= threshold)
        --k;
    if (k > 0) {
        // Between k-1 (below) and k (at or above): where the threshold is crossed.
        const double lo = std::fabs(ir[k - 1]);
        const double hi = std::fabs(ir[k]);
        out.onset = static_cast<double>(k) - 1.0 + (hi > lo ? (threshold - lo) / (hi - lo) : 1.0);
    } else {
        out.onset = 0.0;
    }
    return out;
}

double LagBetween(std::span<const double> reference, std::span<const double> signal,
                  std::size_t maxLag, int sampleRate, double loHz, double hiHz) {
    CRealFft fft(FftSizeFor(std::max(reference.size(), signal.size()) + maxLag + 1));
    Spectrum a;
    Spectrum b;
    fft.Forward(reference, a);
    fft.Forward(signal, b);
    const double binHz = static_cast<double>(sampleRate) / static_cast<double>(fft.Size());
    for (std::size_t k = 0; k < a.size(); ++k) {
        const double f = static_cast<double>(k) * binHz;
        const std::complex<double> cross = std::conj(a[k]) * b[k];
        const double mag = std::abs(cross);
        b[k] = (f >= loHz && f <= hiHz && mag > 0.0) ? cross / mag : 0.0;
    }
    std::vector<double> corr;
    fft.Inverse(b, corr);
    const std::size_t last = std::min(maxLag, corr.size() - 2);
    std::size_t best = 0;
    for (std::size_t i = 1; i <= last; ++i)
        if (corr[i] > corr[best]) best = i;
    const double before = best > 0 ? corr[best - 1] : corr[corr.size() - 1];
    return static_cast<double>(best) + ParabolicOffset(before, corr[best], corr[best + 1]);
}

Alignment AlignArrivals(std::span<const double> arrivals, std::span<const int> current,
                        int maxDelay) {
    Alignment out;
    if (arrivals.empty()) return out;
    const double latest = *std::max_element(arrivals.begin(), arrivals.end());
    std::vector<double> wanted(arrivals.size());
    for (std::size_t i = 0; i < arrivals.size(); ++i)
        wanted[i] = (i < current.size() ? current[i] : 0) + latest - arrivals[i];
    const double least = *std::min_element(wanted.begin(), wanted.end());
    for (double w : wanted) {
        const long d = std::lround(w - least);
        out.clipped = out.clipped || d > maxDelay;
        out.delays.push_back(static_cast<int>(std::min<long>(d, maxDelay)));
    }
    return out;
}

double SamplesToMetres(double samples, int sampleRate) {
    return samples / sampleRate * kSpeedOfSound;
}
