#include "measure/band_fit.h"

#include <ceres/ceres.h>

#include <algorithm>
#include <array>
#include <cmath>

#include "image/record_layout.h"
#include "response/filter.h"
#include "response/grid.h"

namespace {

// ---------------------------------------------------------------- limits

constexpr int kBandwidthIndexTop = kBandwidthIndexCount - 1;
const double kBandwidthTop = IndexToBandwidth(kBandwidthIndexTop);
const double kLogFreqMin = std::log2(static_cast<double>(kFreqMin));
const double kLogFreqMax = std::log2(static_cast<double>(kFreqMax));
const double kLogShelfLimit = std::log2(static_cast<double>(kShelfFreqLimit));
constexpr double kMaxGainDb = 20.0;
constexpr int kShelfSlopes = 2;  // 6 and 12 dB/Oct

// Errors smaller than this are left alone.
constexpr double kNegligibleDb = 0.02;
// A band the refinement brought this close to 0 dB is given back for reuse.
constexpr double kIdleGainDb = 0.05;
constexpr int kPlacementRounds = 2;
constexpr int kLocalIterations = 15;
constexpr int kJointIterations = 40;
constexpr int kSteppedIterations = 20;
constexpr int kPolishSweeps = 12;

// Steps of the central differences for shelves: log2 of the frequency, octaves, dB.
constexpr std::array<double, 3> kDiffStep = {1e-5, 1e-5, 1e-5};

// ---------------------------------------------------------------- bands

// A band while the fit moves it continuously.
struct FreeBand {
    int type = kBandPeaking;
    int slope = 0;
    double logFreq = 10;
    double bandwidth = 0.5;
    double gain = 0;

    double& Param(int p) { return p == 0 ? logFreq : p == 1 ? bandwidth : gain; }
    bool IsShelf() const { return type != kBandPeaking; }
};

void AddFreeBand(const FreeBand& b, ResponseCurve& curve) {
    if (b.gain == 0) return;
    const double hz = std::exp2(b.logFreq);
    if (b.type == kBandPeaking)
        AddSectionResponse(PeakingSection(hz, b.gain, b.bandwidth), curve);
    else
        AddSectionResponse(ShelfSection(b.type == kBandLowShelf, b.slope, hz, b.gain), curve);
}

// The device form's response for the bands the fit makes (peaking and
// shelves); BandCurve gives the same through the channel's own filter.
ResponseCurve DeviceCurve(const BandSetting& s) {
    ResponseCurve curve{};
    if (s.IsFlat()) return curve;
    const double gain = IndexToGain(std::clamp(s.gainIndex, 0, kGainIndexMax));
    if (s.type == kBandPeaking)
        PeakingResponse(s.freq, gain, BandwidthOfIndex(s.bandwidthIndex), curve);
    else
        ShelfResponse(s.type == kBandLowShelf, s.slope, s.freq, gain, curve);
    return curve;
}

double LogFreqBound(const FreeBand& b, bool upper) {
    if (b.type == kBandLowShelf) return upper ? kLogShelfLimit : kLogFreqMin;
    if (b.type == kBandHighShelf) return upper ? kLogFreqMax : kLogShelfLimit;
    return upper ? kLogFreqMax : kLogFreqMin;
}

// ---------------------------------------------------------------- the problem

struct FitSpace {
    std::vector<int> indexes;  // grid points of the range
    ResponseCurve target{};
    double gainLow = -kMaxGainDb;
    double gainHigh = 0;
    bool shelves = true;
    // e^-jw and e^-2jw at each range point.
    std::vector<double> cos1, sin1, cos2, sin2;

    void SetIndexes(std::vector<int> idx) {
        indexes = std::move(idx);
        for (int i : indexes) {
            const double w = kEvalRadPerHz * g_adGridFreq[i];
            cos1.push_back(std::cos(w));
            sin1.push_back(std::sin(w));
            cos2.push_back(std::cos(2 * w));
            sin2.push_back(std::sin(2 * w));
        }
    }
    std::size_t Size() const { return indexes.size(); }
};

constexpr double kDbPerLogUnit = 10.0 / 2.302585092994046;  // 10 / ln 10

// A section's coefficients in the order b0 b1 b2 a0 a1 a2.
using Coefficients = std::array<double, 6>;

Coefficients CoefficientsOf(const Biquad& s) {
    return {s.b0, s.b1, s.b2, s.a0, s.a1, s.a2};
}

// Multiplies the section's power ratio |H|^2 at every range point into
// power (a sum of dB is the dB of a product: one logarithm per point for
// all bands); with derivatives of the coefficients for some parameters,
// the derivatives of its dB go into grads.
void EvaluateSection(const FitSpace& space, const Coefficients& c, double* power,
                     const Coefficients* dc = nullptr, double* const* grads = nullptr,
                     int params = 0) {
    for (std::size_t k = 0; k < space.Size(); ++k) {
        const double c1 = space.cos1[k], s1 = space.sin1[k];
        const double c2 = space.cos2[k], s2 = space.sin2[k];
        const double nr = c[0] + c[1] * c1 + c[2] * c2, ni = -(c[1] * s1 + c[2] * s2);
        const double dr = c[3] + c[4] * c1 + c[5] * c2, di = -(c[4] * s1 + c[5] * s2);
        const double n2 = nr * nr + ni * ni, d2 = dr * dr + di * di;
        power[k] *= n2 / d2;
        for (int p = 0; p < params; ++p) {
            const Coefficients& d = dc[p];
            const double dnr = d[0] + d[1] * c1 + d[2] * c2, dni = -(d[1] * s1 + d[2] * s2);
            const double ddr = d[3] + d[4] * c1 + d[5] * c2, ddi = -(d[4] * s1 + d[5] * s2);
            grads[p][k] =
                kDbPerLogUnit * 2 * ((nr * dnr + ni * dni) / n2 - (dr * ddr + di * ddi) / d2);
        }
    }
}

// The peaking section of PeakingSection and its derivatives by log2
// frequency, bandwidth and gain.
void PeakingWithDerivatives(const FreeBand& b, Coefficients& c, std::array<Coefficients, 3>& dc) {
    const double hz = std::exp2(b.logFreq);
    const double a = std::pow(10.0, b.gain / 40.0);
    const double w0 = kDesignRadPerHz * hz;
    const double sw = std::sin(w0), cw = std::cos(w0);
    const double x = kLn2 * b.bandwidth * w0 / sw;
    const double alpha = sw * std::sinh(x);
    c = {1 + alpha * a, -2 * cw, 1 - alpha * a, 1 + alpha / a, -2 * cw, 1 - alpha / a};

    // d/d log2 f: through w0 (alpha and cos w0).
    const double dw0 = w0 * std::log(2.0);
    const double dx = kLn2 * b.bandwidth * (sw - w0 * cw) / (sw * sw);
    const double dAlphaF = (cw * std::sinh(x) + sw * std::cosh(x) * dx) * dw0;
    const double dCos = -sw * dw0;
    dc[0] = {a * dAlphaF, -2 * dCos, -a * dAlphaF, dAlphaF / a, -2 * dCos, -dAlphaF / a};
    // d/d bandwidth: through alpha.
    const double dAlphaW = std::cosh(x) * kLn2 * w0;
    dc[1] = {a * dAlphaW, 0, -a * dAlphaW, dAlphaW / a, 0, -dAlphaW / a};
    // d/d gain: through A.
    const double dA = a * std::log(10.0) / 40.0;
    dc[2] = {alpha * dA, 0, -alpha * dA, -alpha / (a * a) * dA, 0, alpha / (a * a) * dA};
}

Coefficients ShelfCoefficients(const FreeBand& b) {
    return CoefficientsOf(
        ShelfSection(b.type == kBandLowShelf, b.slope, std::exp2(b.logFreq), b.gain));
}

// Multiplies the band's power ratio over the range into power; with grads,
// the derivatives of its dB by log2 frequency, bandwidth and gain (a
// shelf's bandwidth derivative is 0).
void EvaluateBand(const FitSpace& space, const FreeBand& b, double* power,
                  double* const* grads = nullptr) {
    if (b.type == kBandPeaking) {
        Coefficients c;
        std::array<Coefficients, 3> dc;
        PeakingWithDerivatives(b, c, dc);
        EvaluateSection(space, c, power, dc.data(), grads, grads ? 3 : 0);
        return;
    }
    EvaluateSection(space, ShelfCoefficients(b), power);
    if (!grads) return;
    std::fill(grads[1], grads[1] + space.Size(), 0.0);
    std::vector<double> up(space.Size()), down(space.Size());
    for (int p : {0, 2}) {
        const double h = kDiffStep[static_cast<std::size_t>(p)];
        FreeBand u = b, d = b;
        u.Param(p) += h;
        d.Param(p) -= h;
        std::fill(up.begin(), up.end(), 1.0);
        std::fill(down.begin(), down.end(), 1.0);
        EvaluateSection(space, ShelfCoefficients(u), up.data());
        EvaluateSection(space, ShelfCoefficients(d), down.data());
        for (std::size_t k = 0; k < space.Size(); ++k)
            grads[p][k] = kDbPerLogUnit * std::log(up[k] / down[k]) / (2 * h);
    }
}

void RemoveMean(double* v, std::size_t m) {
    double mean = 0;
    for (std::size_t k = 0; k < m; ++k)
        mean += v[k];
    mean /= static_cast<double>(m);
    for (std::size_t k = 0; k < m; ++k)
        v[k] -= mean;
}

// Residuals base + bands - target over the range after the best level: the
// level is linear and free, so it is projected out (residuals and
// derivatives have their mean removed) rather than solved for. Each band is
// three one-value parameter blocks: log2 frequency, bandwidth, gain.
class BandsCost final : public ceres::CostFunction {
public:
    BandsCost(const FitSpace& space, const std::vector<double>& base,
              const std::vector<FreeBand>& bands)
        : m_space(space), m_base(base), m_shapes(bands) {
        set_num_residuals(static_cast<int>(space.Size()));
        for (std::size_t i = 0; i < bands.size() * 3; ++i)
            mutable_parameter_block_sizes()->push_back(1);
    }

    bool Evaluate(double const* const* parameters, double* residuals,
                  double** jacobians) const override {
        const std::size_t n = m_shapes.size();
        const std::size_t m = m_space.Size();
        std::vector<double> power(m, 1.0);
        std::vector<double> spare;
        for (std::size_t b = 0; b < n; ++b) {
            FreeBand band = m_shapes[b];
            for (int p = 0; p < 3; ++p)
                band.Param(p) = parameters[b * 3 + static_cast<std::size_t>(p)][0];
            double* const* columns = jacobians ? jacobians + b * 3 : nullptr;
            std::array<double*, 3> grads{};
            if (columns) {
                for (std::size_t p = 0; p < 3; ++p) {
                    grads[p] = columns[p];
                    if (!columns[p]) {  // a constant block still needs somewhere to go
                        spare.resize(m * 3);
                        grads[p] = spare.data() + m * p;
                    }
                }
            }
            EvaluateBand(m_space, band, power.data(), columns ? grads.data() : nullptr);
            if (columns)
                for (std::size_t p = 0; p < 3; ++p)
                    if (columns[p]) RemoveMean(columns[p], m);
        }
        for (std::size_t k = 0; k < m; ++k)
            residuals[k] = m_base[k] + kDbPerLogUnit * std::log(power[k]);
        RemoveMean(residuals, m);
        return true;
    }

private:
    const FitSpace& m_space;
    const std::vector<double>& m_base;  // the fixed part minus the target, per range point
    std::vector<FreeBand> m_shapes;     // types and slopes; values come from the solver
};

// Refines the bands by bounded least squares; with fixedFreq the
// frequencies stay. Returns the final cost (half the sum of squares).
double Refine(const FitSpace& space, const ResponseCurve& base, std::vector<FreeBand>& bands,
              int iterations, bool fixedFreq = false) {
    std::vector<double> values;
    values.reserve(bands.size() * 3);
    for (FreeBand& b : bands)
        for (int p = 0; p < 3; ++p)
            values.push_back(b.Param(p));

    ceres::Problem::Options problemOptions;
    problemOptions.cost_function_ownership = ceres::DO_NOT_TAKE_OWNERSHIP;
    ceres::Problem problem(problemOptions);
    std::vector<double> rangeBase;
    for (int i : space.indexes)
        rangeBase.push_back(base[i] - space.target[i]);
    BandsCost cost(space, rangeBase, bands);
    std::vector<double*> blocks;
    for (double& v : values)
        blocks.push_back(&v);
    problem.AddResidualBlock(&cost, nullptr, blocks);
    for (std::size_t b = 0; b < bands.size(); ++b) {
        double* f = blocks[b * 3];
        double* bw = blocks[b * 3 + 1];
        double* g = blocks[b * 3 + 2];
        problem.SetParameterLowerBound(f, 0, LogFreqBound(bands[b], false));
        problem.SetParameterUpperBound(f, 0, LogFreqBound(bands[b], true));
        problem.SetParameterLowerBound(bw, 0, kBandwidthFloor);
        problem.SetParameterUpperBound(bw, 0, kBandwidthTop);
        problem.SetParameterLowerBound(g, 0, space.gainLow);
        problem.SetParameterUpperBound(g, 0, space.gainHigh);
        if (fixedFreq) problem.SetParameterBlockConstant(f);
        if (bands[b].IsShelf()) problem.SetParameterBlockConstant(bw);
    }

    ceres::Solver::Options options;
    options.linear_solver_type = ceres::DENSE_NORMAL_CHOLESKY;
    options.max_num_iterations = iterations;
    options.num_threads = 1;
    options.logging_type = ceres::SILENT;
    options.minimizer_progress_to_stdout = false;
    options.function_tolerance = 1e-7;
    options.parameter_tolerance = 1e-9;
    ceres::Solver::Summary summary;
    ceres::Solve(options, &problem, &summary);

    for (std::size_t b = 0; b < bands.size(); ++b)
        for (int p = 0; p < 3; ++p)
            bands[b].Param(p) = values[b * 3 + static_cast<std::size_t>(p)];
    return summary.final_cost;
}

// ---------------------------------------------------------------- greedy start

struct ErrorArea {
    std::size_t first = 0, last = 0, peak = 0;  // positions in the range
    double area = 0;
};

// Error of curve against target after the best level, per range position.
std::vector<double> LevelledError(const FitSpace& space, const ResponseCurve& curve) {
    std::vector<double> e;
    e.reserve(space.indexes.size());
    for (int i : space.indexes)
        e.push_back(curve[i] - space.target[i]);
    double mean = 0;
    for (double v : e)
        mean += v;
    mean /= static_cast<double>(e.size());
    for (double& v : e)
        v -= mean;
    return e;
}

// The largest run of one sign that a band may correct: above the target
// (cut), or below it (boost) when boosts are allowed.
std::optional<ErrorArea> LargestErrorArea(const std::vector<double>& e, bool boostAllowed) {
    std::optional<ErrorArea> best;
    std::size_t start = 0;
    while (start < e.size()) {
        const bool above = e[start] >= 0;
        std::size_t end = start;
        ErrorArea run{start, start, start, 0};
        while (end < e.size() && (e[end] >= 0) == above) {
            run.area += std::abs(e[end]);
            if (std::abs(e[end]) > std::abs(e[run.peak])) run.peak = end;
            ++end;
        }
        run.last = end - 1;
        const bool usable = (above || boostAllowed) && std::abs(e[run.peak]) > kNegligibleDb;
        if (usable && (!best || run.area > best->area)) best = run;
        start = end;
    }
    return best;
}

std::vector<FreeBand> Candidates(const FitSpace& space, const std::vector<double>& e,
                                 const ErrorArea& run) {
    const auto& idx = space.indexes;
    const double peak = e[run.peak];
    std::size_t left = run.peak, right = run.peak;
    while (left > run.first && std::abs(e[left - 1]) >= std::abs(peak) / 2)
        --left;
    while (right < run.last && std::abs(e[right + 1]) >= std::abs(peak) / 2)
        ++right;
    const double logLeft = std::log2(g_adGridFreq[idx[left]]);
    const double logRight = std::log2(g_adGridFreq[idx[right]]);
    const double gain = std::clamp(-peak, space.gainLow, space.gainHigh);

    std::vector<FreeBand> out;
    FreeBand peaking;
    peaking.logFreq = std::log2(g_adGridFreq[idx[run.peak]]);
    peaking.bandwidth = std::clamp(logRight - logLeft + 1.0 / 24, kBandwidthFloor, kBandwidthTop);
    peaking.gain = gain;
    out.push_back(peaking);
    // An error that runs off an end of the range may be a shelf's job.
    const bool atLow = space.shelves && run.first == 0;
    const bool atHigh = space.shelves && run.last + 1 == idx.size();
    for (int slope = 0; slope < kShelfSlopes; ++slope) {
        FreeBand shelf;
        shelf.slope = slope;
        shelf.gain = gain;
        if (atLow) {
            shelf.type = kBandLowShelf;
            shelf.logFreq = std::clamp(logRight, kLogFreqMin, kLogShelfLimit);
            out.push_back(shelf);
        }
        if (atHigh) {
            shelf.type = kBandHighShelf;
            shelf.logFreq = std::clamp(logLeft, kLogShelfLimit, kLogFreqMax);
            out.push_back(shelf);
        }
    }
    return out;
}

// Places up to `room` bands one at a time, each at the largest error area
// left and refined alone there.
void PlaceBands(const FitSpace& space, const ResponseCurve& base, std::vector<FreeBand>& bands,
                std::size_t room) {
    ResponseCurve current = base;
    for (const FreeBand& b : bands)
        AddFreeBand(b, current);
    const bool boostAllowed = space.gainHigh > 0;
    while (bands.size() < room) {
        const std::vector<double> e = LevelledError(space, current);
        const auto run = LargestErrorArea(e, boostAllowed);
        if (!run) break;
        FreeBand best;
        double bestCost = HUGE_VAL;
        for (FreeBand candidate : Candidates(space, e, *run)) {
            std::vector<FreeBand> one = {candidate};
            const double cost = Refine(space, current, one, kLocalIterations);
            if (cost < bestCost) {
                bestCost = cost;
                best = one.front();
            }
        }
        bands.push_back(best);
        AddFreeBand(best, current);
    }
}

// ---------------------------------------------------------------- device steps

// For each grid point, an integer frequency whose peaking band is centred
// there, or 0 when no integer in 20 .. 20000 Hz lands on it.
const std::array<int, kGridPoints>& GridFreqs() {
    static const auto table = [] {
        std::array<int, kGridPoints> t{};
        for (int i = 0; i < kGridPoints; ++i) {
            const double f = g_adGridFreq[i];
            for (int candidate : {static_cast<int>(std::lround(f)), static_cast<int>(std::floor(f)),
                                  static_cast<int>(std::ceil(f))}) {
                if (candidate >= kFreqMin && candidate <= kFreqMax &&
                    NearestGridIndex(candidate) == i) {
                    t[i] = candidate;
                    break;
                }
            }
        }
        return t;
    }();
    return table;
}

// The reachable grid point nearest to hz on the log scale.
int NearestReachableGrid(double hz) {
    const auto& freqs = GridFreqs();
    int best = -1;
    double bestDistance = HUGE_VAL;
    for (int i = 0; i < kGridPoints; ++i) {
        if (freqs[i] == 0) continue;
        const double d = std::abs(std::log2(g_adGridFreq[i] / hz));
        if (d < bestDistance) {
            bestDistance = d;
            best = i;
        }
    }
    return best;
}

struct GainSteps {
    int low = 0;
    int high = kGainIndexFlat;
};

BandSetting ToDevice(const FreeBand& b, const BandSetting& original, const GainSteps& steps) {
    BandSetting s = original;
    s.type = b.type;
    if (b.type == kBandPeaking) {
        s.freq = GridFreqs()[NearestReachableGrid(std::exp2(b.logFreq))];
        s.slope = original.slope;
        s.bandwidthIndex = std::clamp(static_cast<int>(std::lround((b.bandwidth - 0.05) / 0.01)),
                                      kBandwidthIndexFloor, kBandwidthIndexTop);
    } else {
        const int limit = kShelfFreqLimit;
        const int f = static_cast<int>(std::lround(std::exp2(b.logFreq)));
        s.freq = b.type == kBandLowShelf ? std::clamp(f, kFreqMin, limit)
                                         : std::clamp(f, limit, kFreqMax);
        s.slope = b.slope;
    }
    s.gainIndex = std::clamp(static_cast<int>(std::lround((b.gain + kMaxGainDb) * 10)), steps.low,
                             steps.high);
    return s;
}

// Sum of squared errors after the best level.
double LevelledSquares(const FitSpace& space, const ResponseCurve& curve) {
    double sum = 0, squares = 0;
    for (int i : space.indexes) {
        const double e = curve[i] - space.target[i];
        sum += e;
        squares += e * e;
    }
    return squares - sum * sum / static_cast<double>(space.indexes.size());
}

// The neighbours of a setting one device step away in each value.
std::vector<BandSetting> Neighbours(const BandSetting& s, const GainSteps& steps) {
    std::vector<BandSetting> out;
    auto add = [&](BandSetting n) {
        if (n != s) out.push_back(n);
    };
    for (int d : {-1, 1}) {
        BandSetting g = s;
        g.gainIndex = std::clamp(s.gainIndex + d, steps.low, steps.high);
        add(g);
        if (s.type == kBandPeaking) {
            BandSetting w = s;
            w.bandwidthIndex =
                std::clamp(s.bandwidthIndex + d, kBandwidthIndexFloor, kBandwidthIndexTop);
            add(w);
            const int grid = NearestGridIndex(s.freq) + d;
            if (grid >= 0 && grid < kGridPoints && GridFreqs()[grid] != 0) {
                BandSetting f = s;
                f.freq = GridFreqs()[grid];
                add(f);
            }
        } else {
            BandSetting f = s;
            const int step = std::max(1, static_cast<int>(std::lround(s.freq * 0.015)));
            f.freq = s.type == kBandLowShelf
                         ? std::clamp(s.freq + d * step, kFreqMin, kShelfFreqLimit)
                         : std::clamp(s.freq + d * step, kShelfFreqLimit, kFreqMax);
            add(f);
        }
    }
    if (s.type != kBandPeaking) {
        BandSetting o = s;
        o.slope = s.slope == 1 ? 0 : 1;
        add(o);
    }
    return out;
}

// Moves bands one device step at a time while the error falls.
void Polish(const FitSpace& space, const ResponseCurve& base, std::vector<BandSetting>& bands,
            const GainSteps& steps) {
    std::vector<ResponseCurve> curves;
    ResponseCurve sum = base;
    for (const BandSetting& b : bands) {
        curves.push_back(DeviceCurve(b));
        for (int i = 0; i < kGridPoints; ++i)
            sum[i] += curves.back()[i];
    }
    double best = LevelledSquares(space, sum);
    for (int sweep = 0; sweep < kPolishSweeps; ++sweep) {
        bool improved = false;
        for (std::size_t b = 0; b < bands.size(); ++b) {
            for (const BandSetting& n : Neighbours(bands[b], steps)) {
                const ResponseCurve c = DeviceCurve(n);
                ResponseCurve trial = sum;
                for (int i = 0; i < kGridPoints; ++i)
                    trial[i] += c[i] - curves[b][i];
                const double squares = LevelledSquares(space, trial);
                if (squares < best - 1e-12) {
                    best = squares;
                    sum = trial;
                    curves[b] = c;
                    bands[b] = n;
                    improved = true;
                }
            }
        }
        if (!improved) break;
    }
}

}  // namespace

ResponseCurve BandCurve(const BandSetting& band) {
    CFilter filter;
    filter.SetType(band.type);
    filter.SetSlope(band.slope, false);
    filter.SetBandwidthIndex(band.bandwidthIndex);
    filter.SetGainIndex(band.gainIndex);
    filter.SetFreq(band.freq, false);
    return filter.GetResponse();
}

std::vector<BandSetting> BandSettingsOf(const CKTVEQ& eq) {
    std::vector<BandSetting> out;
    for (int i = 0; i < eq.GetBandCount(); ++i) {
        BYTE record[kBandRecordSize] = {};
        eq.GetBandRecord(i, record);
        out.push_back({record[kBandType], GetWord(record + kBandFreq), GetWord(record + kBandWidth),
                       GetWord(record + kBandGain) - kBandGainWordBase, record[kBandSlope]});
    }
    return out;
}

void PutBandRecord(const BandSetting& b, BYTE record[kBandRecordSize]) {
    PutWord(record + kBandFreq, static_cast<unsigned>(b.freq));
    PutWord(record + kBandGain, static_cast<unsigned>(b.gainIndex + kBandGainWordBase));
    PutWord(record + kBandWidth, static_cast<unsigned>(b.bandwidthIndex));
    record[kBandSlope] = static_cast<BYTE>(b.slope);
    record[kBandType] = static_cast<BYTE>(b.type);
}

void SetBandSettings(CKTVEQ& eq, const std::vector<BandSetting>& bands) {
    for (std::size_t i = 0; i < bands.size(); ++i) {
        BYTE record[kBandRecordSize] = {};
        PutBandRecord(bands[i], record);
        eq.SetBandRecord(static_cast<int>(i), record);
    }
}

std::vector<int> FlatBands(const std::vector<BandSetting>& bands) {
    std::vector<int> out;
    for (std::size_t i = 0; i < bands.size(); ++i)
        if (bands[i].IsFlat()) out.push_back(static_cast<int>(i));
    return out;
}

FitResult FitBands(const FitRequest& request) {
    FitResult result;
    result.bands = request.bands;
    result.predictedBefore =
        PredictedCurve(request.measurement, request.responseNow, request.responseWhenMeasured);

    FitSpace space;
    space.SetIndexes(GridIndexesIn(request.range));
    space.target = request.target;
    const double boost = request.cutOnly ? 0.0 : std::clamp(request.maxBoostDb, 0.0, kMaxGainDb);
    space.gainHigh = boost;
    space.shelves = request.allowShelves;
    const GainSteps steps{0, kGainIndexFlat + static_cast<int>(std::floor(boost * 10 + 1e-9))};

    // Everything but the free bands, as it will stay.
    std::vector<int> free;
    for (int i : request.freeBands)
        if (i >= 0 && i < static_cast<int>(request.bands.size()) &&
            std::find(free.begin(), free.end(), i) == free.end())
            free.push_back(i);
    ResponseCurve base = result.predictedBefore;
    for (int i : free) {
        const ResponseCurve c = BandCurve(request.bands[static_cast<std::size_t>(i)]);
        for (int k = 0; k < kGridPoints; ++k)
            base[k] -= c[k];
    }

    if (!space.indexes.empty() && !free.empty()) {
        std::vector<FreeBand> bands;
        for (int round = 0; round < kPlacementRounds; ++round) {
            PlaceBands(space, base, bands, free.size());
            if (bands.empty()) break;
            Refine(space, base, bands, kJointIterations);
            std::erase_if(bands, [](const FreeBand& b) { return std::abs(b.gain) < kIdleGainDb; });
            if (bands.size() == free.size()) break;
        }
        // Onto the device's frequencies, the rest refined there, then onto
        // every step and polished.
        for (FreeBand& b : bands) {
            const BandSetting s = ToDevice(b, BandSetting{}, steps);
            b.logFreq = std::log2(b.IsShelf() ? s.freq : g_adGridFreq[NearestGridIndex(s.freq)]);
        }
        if (!bands.empty()) Refine(space, base, bands, kSteppedIterations, true);
        // Lower frequencies to lower band numbers, as the bands' places suggest.
        std::sort(free.begin(), free.end());
        std::sort(bands.begin(), bands.end(),
                  [](const FreeBand& a, const FreeBand& b) { return a.logFreq < b.logFreq; });
        std::vector<BandSetting> device;
        for (std::size_t k = 0; k < bands.size(); ++k)
            device.push_back(
                ToDevice(bands[k], request.bands[static_cast<std::size_t>(free[k])], steps));
        Polish(space, base, device, steps);
        for (std::size_t k = 0; k < device.size(); ++k)
            if (!device[k].IsFlat()) result.bands[static_cast<std::size_t>(free[k])] = device[k];
    }

    result.predictedAfter = base;
    for (int i : free) {
        const ResponseCurve c = BandCurve(result.bands[static_cast<std::size_t>(i)]);
        for (int k = 0; k < kGridPoints; ++k)
            result.predictedAfter[k] += c[k];
    }
    result.rmsBefore = RmsError(result.predictedBefore, request.target, space.indexes);
    result.rmsAfter = RmsError(result.predictedAfter, request.target, space.indexes);
    result.levelAfter = LevelOffset(result.predictedAfter, request.target, space.indexes);
    // Never worse than leaving the bands as they were.
    if (result.rmsAfter > result.rmsBefore) {
        result.bands = request.bands;
        result.predictedAfter = result.predictedBefore;
        result.rmsAfter = result.rmsBefore;
        result.levelAfter = LevelOffset(result.predictedBefore, request.target, space.indexes);
    }
    return result;
}
