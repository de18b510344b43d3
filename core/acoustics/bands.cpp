#include "acoustics/bands.h"

#include <algorithm>
#include <cmath>

#include "response/grid.h"

std::vector<Band> FractionalOctaveBands(int fraction, double loHz, double hiHz) {
    std::vector<Band> out;
    if (fraction < 1 || fraction > 48 || !(loHz > 0.0) || !(hiHz >= loHz)) return out;
    const double half = std::pow(2.0, 0.5 / fraction);
    const int first = static_cast<int>(std::ceil(fraction * std::log2(loHz / 1000.0) - 1e-9));
    const int last = static_cast<int>(std::floor(fraction * std::log2(hiHz / 1000.0) + 1e-9));
    for (int k = first; k <= last; ++k) {
        const double centre = 1000.0 * std::pow(2.0, static_cast<double>(k) / fraction);
        out.push_back({centre / half, centre, centre * half});
    }
    return out;
}

std::vector<Band> GridBands() {
    std::vector<Band> out(kGridPoints);
    for (int i = 0; i < kGridPoints; ++i) {
        const double f = g_adGridFreq[i];
        const double below = i > 0 ? g_adGridFreq[i - 1] : f * f / g_adGridFreq[1];
        const double above =
            i + 1 < kGridPoints ? g_adGridFreq[i + 1] : f * f / g_adGridFreq[kGridPoints - 2];
        out[i] = {std::sqrt(below * f), f, std::sqrt(f * above)};
    }
    return out;
}

CBandAverager::CBandAverager(std::vector<Band> bands, std::size_t fftSize, double sampleRate)
    : m_bands(std::move(bands)) {
    const double binHz = sampleRate / static_cast<double>(fftSize);
    const std::size_t lastBin = fftSize / 2;
    m_weights.reserve(m_bands.size());
    for (const Band& band : m_bands) {
        // Bin k covers [(k - 1/2) binHz, (k + 1/2) binHz].
        const double lo = band.lowHz / binHz;
        const double hi = band.highHz / binHz;
        const auto first = static_cast<std::size_t>(std::max(0.0, std::floor(lo + 0.5)));
        const auto last =
            std::min(lastBin, static_cast<std::size_t>(std::max(0.0, std::floor(hi + 0.5))));
        Weights w{first, {}, 0.0};
        for (std::size_t k = first; k <= last; ++k) {
            const double kd = static_cast<double>(k);
            const double share = std::min(hi, kd + 0.5) - std::max(lo, kd - 0.5);
            if (share <= 0.0 && w.share.empty()) {
                ++w.firstBin;
                continue;
            }
            w.share.push_back(std::max(0.0, share));
            w.total += std::max(0.0, share);
        }
        m_weights.push_back(std::move(w));
    }
}

void CBandAverager::Sum(std::span<const double> power, std::span<double> out) const {
    for (std::size_t b = 0; b < m_weights.size() && b < out.size(); ++b) {
        const Weights& w = m_weights[b];
        double sum = 0.0;
        for (std::size_t j = 0; j < w.share.size() && w.firstBin + j < power.size(); ++j)
            sum += w.share[j] * power[w.firstBin + j];
        out[b] = sum;
    }
}

void CBandAverager::Mean(std::span<const double> power, std::span<double> out) const {
    Sum(power, out);
    for (std::size_t b = 0; b < m_weights.size() && b < out.size(); ++b)
        out[b] = m_weights[b].total > 0.0 ? out[b] / m_weights[b].total : 0.0;
}
