#include "measure/curves.h"

#include <algorithm>
#include <cmath>

#include "response/grid.h"

namespace {

// The points as a function of log-frequency, linear between them, with the
// running integral that turns a window mean into two look-ups.
class LogFreqCurve {
public:
    explicit LogFreqCurve(const CurvePoints& points) : m_db(points.db) {
        m_u.reserve(points.Size());
        for (double hz : points.hz)
            m_u.push_back(std::log2(hz));
        m_integral.assign(m_u.size(), 0.0);
        for (std::size_t k = 1; k < m_u.size(); ++k)
            m_integral[k] = m_integral[k - 1] + (m_u[k] - m_u[k - 1]) * (m_db[k] + m_db[k - 1]) / 2;
    }

    double ValueAt(double u) const {
        if (u <= m_u.front()) return m_db.front();
        if (u >= m_u.back()) return m_db.back();
        const std::size_t k = Segment(u);
        const double t = (u - m_u[k]) / (m_u[k + 1] - m_u[k]);
        return m_db[k] + t * (m_db[k + 1] - m_db[k]);
    }

    // Mean over [u - half, u + half] clipped to the span; the held end value
    // where nothing of the window lies inside.
    double MeanAround(double u, double half) const {
        const double a = std::max(u - half, m_u.front());
        const double b = std::min(u + half, m_u.back());
        if (!(b > a)) return ValueAt(u);
        return (IntegralTo(b) - IntegralTo(a)) / (b - a);
    }

private:
    // The k with u[k] <= u < u[k + 1], for u inside the span.
    std::size_t Segment(double u) const {
        const auto it = std::upper_bound(m_u.begin(), m_u.end(), u);
        const auto k = static_cast<std::size_t>(it - m_u.begin());
        return std::min(k == 0 ? 0 : k - 1, m_u.size() - 2);
    }

    double IntegralTo(double u) const {
        if (m_u.size() < 2 || u <= m_u.front()) return 0;
        const std::size_t k = Segment(u);
        return m_integral[k] + (u - m_u[k]) * (m_db[k] + ValueAt(u)) / 2;
    }

    std::vector<double> m_u;
    std::vector<double> m_db;
    std::vector<double> m_integral;
};

// A gentle fall toward the top and a rise toward the bottom, as heard in a car.
const CurvePoints& CarCurve() {
    static const CurvePoints car = {
        {20,  25,  31.5, 40,   50,   63,   80,    100,   125,   160,  200,
         250, 315, 400,  5000, 6300, 8000, 10000, 12500, 16000, 20000},
        {9.0, 9.0, 9.0, 8.8, 8.5,  7.4,  6.0,  4.5,  3.0,  1.8, 1.0,
         0.5, 0.2, 0,   0,   -0.5, -1.0, -1.5, -2.0, -2.5, -3.0},
    };
    return car;
}

constexpr double kTiltReferenceHz = 1000;

}  // namespace

ResponseCurve CurveOnGrid(const CurvePoints& points, int smoothingFraction) {
    ResponseCurve out{};
    if (points.Size() == 0) return out;
    const LogFreqCurve curve(points);
    const double half = smoothingFraction > 0 ? 0.5 / smoothingFraction : 0;
    for (int i = 0; i < kGridPoints; ++i) {
        const double u = std::log2(g_adGridFreq[i]);
        out[i] = half > 0 ? curve.MeanAround(u, half) : curve.ValueAt(u);
    }
    return out;
}

std::optional<FreqRange> ClipRange(const FreqRange& range, const CurvePoints& points) {
    if (points.Size() == 0) return std::nullopt;
    const FreqRange clipped{std::max(range.lowHz, points.hz.front()),
                            std::min(range.highHz, points.hz.back())};
    if (GridIndexesIn(clipped).empty()) return std::nullopt;
    return clipped;
}

std::vector<int> GridIndexesIn(const FreqRange& range) {
    std::vector<int> indexes;
    for (int i = 0; i < kGridPoints; ++i)
        if (g_adGridFreq[i] >= range.lowHz && g_adGridFreq[i] <= range.highHz) indexes.push_back(i);
    return indexes;
}

namespace {

const CurvePoints* ShapePoints(const TargetSpec& target) {
    if (target.shape == TargetShape::Car) return &CarCurve();
    if (target.shape == TargetShape::File && target.file.Size() > 0) return &target.file;
    return nullptr;
}

double Tilt(const TargetSpec& target, double hz) {
    return target.tiltDbPerOctave * std::log2(hz / kTiltReferenceHz);
}

}  // namespace

ResponseCurve TargetCurve(const TargetSpec& target) {
    const CurvePoints* points = ShapePoints(target);
    ResponseCurve out = points ? CurveOnGrid(*points) : ResponseCurve{};
    for (int i = 0; i < kGridPoints; ++i)
        out[i] += Tilt(target, g_adGridFreq[i]);
    return out;
}

double TargetAt(const TargetSpec& target, double hz) {
    const CurvePoints* points = ShapePoints(target);
    const double shape = points ? LogFreqCurve(*points).ValueAt(std::log2(hz)) : 0.0;
    return shape + Tilt(target, hz);
}

double LevelOffset(const ResponseCurve& curve, const ResponseCurve& target,
                   const std::vector<int>& indexes) {
    if (indexes.empty()) return 0;
    double sum = 0;
    for (int i : indexes)
        sum += curve[i] - target[i];
    return sum / static_cast<double>(indexes.size());
}

double RmsError(const ResponseCurve& curve, const ResponseCurve& target,
                const std::vector<int>& indexes) {
    if (indexes.empty()) return 0;
    const double offset = LevelOffset(curve, target, indexes);
    double sum = 0;
    for (int i : indexes) {
        const double e = curve[i] - target[i] - offset;
        sum += e * e;
    }
    return std::sqrt(sum / static_cast<double>(indexes.size()));
}

ResponseCurve PredictedCurve(const ResponseCurve& measurement, const ResponseCurve& responseNow,
                             const ResponseCurve& responseWhenMeasured) {
    ResponseCurve out{};
    for (int i = 0; i < kGridPoints; ++i)
        out[i] = measurement[i] + responseNow[i] - responseWhenMeasured[i];
    return out;
}
