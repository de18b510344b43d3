#include "response/filter_math.h"

#include <cmath>

namespace {

// A section whose a0 comes out exactly 0 would divide by zero.
constexpr double kA0Guard = 1e-10;
// Far beyond anything drawable; keeps curves finite where a section has a
// zero or a pole right on a grid point.
constexpr double kDbLimit = 1000.0;

struct GridTrig {
    ResponseCurve cosine{};
    ResponseCurve sine{};
    GridTrig() {
        for (int i = 0; i < kGridPoints; ++i) {
            const double w = kEvalRadPerHz * g_adGridFreq[i];
            cosine[i] = std::cos(w);
            sine[i] = std::sin(w);
        }
    }
};

const GridTrig& Trig() {
    static const GridTrig trig;
    return trig;
}

double LimitDb(double db) {
    if (!(db > -kDbLimit)) return -kDbLimit;  // also NaN
    return db < kDbLimit ? db : kDbLimit;
}

// Crossover sections of one order: up to four coefficients, 0 = unused; with
// firstOrder set the first one is the frequency scale of a first-order section.
struct XoverSections {
    bool firstOrder;
    std::array<double, 4> c;
    double divisor;
};

using XoverTable = std::array<XoverSections, kXoverOrders>;

const XoverTable kLinkwitzRileyTable = {{
    {false, {1.0, 0, 0, 0}, 1.0},
    {true, {1.0, 0.70422535211, 0, 0}, 1.0},
    {false, {0.70422535211, 0.70422535211, 0, 0}, 1.0},
    {true, {1.0, 0.62, 0.62, 0}, 1.0},
    {false, {1.0, 0.5, 0.5, 0}, 1.0},
    {true, {1.0, 0.453134315, 0.92592592593, 0.453134315}, 1.0},
    {false, {0.92592592593, 0.373134315, 0.92592592593, 0.373134315}, 1.0},
}};

const XoverTable kButterworthTable = {{
    {false, {0.70422535, 0, 0, 0}, 1.0},
    {true, {1.0, 0.5, 0, 0}, 1.0},
    {false, {0.92592593, 0.38167939, 0, 0}, 1.0},
    {true, {1.0, 0.8064616129, 0.3086417953, 0}, 1.0},
    {false, {0.96153846, 0.70422535211, 0.2590673575, 0}, 1.0},
    {true, {1.0, 0.90909090909, 0.625, 0.2222222222}, 1.0},
    {false, {0.98039216, 0.83333333, 0.55555556, 0.1953125}, 1.0},
}};

const XoverTable kBesselHighPassTable = {{
    {false, {0.70422535, 0, 0, 0}, 1.2683112435},
    {true, {0.756, 0.72463768, 0, 0}, 1.2854981442},
    {false, {0.96153846, 0.61728395, 0, 0}, 1.5006420029},
    {true, {0.6656, 0.8928571428, 0.54347826, 0}, 1.3854981442},
    {false, {0.980392156, 0.819672131, 0.490196, 0}, 1.5554981442},
    {true, {0.5937, 0.943396226415, 0.757575757576, 0.4424778761}, 1.5554981442},
    {false, {0.98039216, 0.89285714, 0.70422535, 0.40650406}, 1.679120141},
}};

// Bessel low-pass: analog prototype sections 1 / (b s^2 + a s + 1) as (a, b)
// pairs; b = 0 is first order, a = 0 unused.
struct BesselLowPassSections {
    std::array<std::array<double, 2>, 4> ab;
    double divisor;
};

const std::array<BesselLowPassSections, kXoverOrders> kBesselLowPassTable = {{
    {{{{1.0, 0.3333333333}, {0, 0}, {0, 0}, {0, 0}}}, 1.3616541287},
    {{{{0.5693712514, 0.154812441}, {0.430628846, 0}, {0, 0}, {0, 0}}}, 1.75567236868},
    {{{{0.369, 0.087858766}, {0.6278294896, 0.109408}, {0, 0}, {0, 0}}}, 2.1139176749},
    {{{{0.6656, 0}, {1.1402, 0.4128}, {0.6216, 0.3245}, {0, 0}}}, 1.0},
    {{{{1.2217, 0.3887}, {0.9686, 0.3505}, {0.5131, 0.2756}, {0, 0}}}, 1.0},
    {{{{0.5937, 0}, {1.0944, 0.3395}, {0.8304, 0.3011}, {0.4332, 0.2381}}}, 1.0},
    {{{{0.117235677, 0.02064747},
       {0.226516664, 0.0259273886},
       {0.3067559, 0.0294683265},
       {0.3494916166, 0.031272257}}},
     3.17961723751},
}};

Biquad SecondOrderSection(bool highPass, double w0, double c) {
    const double cw = std::cos(w0);
    const double alpha = std::sin(w0) * c;
    Biquad s;
    if (highPass) {
        s.b0 = (1 + cw) / 2;
        s.b1 = -(1 + cw);
        s.b2 = (1 + cw) / 2;
    } else {
        s.b0 = (1 - cw) / 2;
        s.b1 = 1 - cw;
        s.b2 = (1 - cw) / 2;
    }
    s.a0 = 1 + alpha;
    s.a1 = -2 * cw;
    s.a2 = 1 - alpha;
    return s;
}

Biquad FirstOrderSection(bool highPass, double t, double c) {
    if (highPass) return {1, -1, 0, c * t + 1, c * t - 1, 0};
    return {t, t, 0, t + c, t - c, 0};
}

void TableCrossover(bool highPass, const XoverSections& sections, int freq, ResponseCurve& curve) {
    const double w0 = kDesignRadPerHz * (freq / sections.divisor);
    const double t = std::tan(w0 / 2);
    for (int v = 0; v < 4; ++v) {
        const double c = sections.c[v];
        if (c == 0) continue;
        const bool firstOrder = sections.firstOrder && v == 0;
        AddSectionResponse(
            firstOrder ? FirstOrderSection(highPass, t, c) : SecondOrderSection(highPass, w0, c),
            curve);
    }
}

void BesselLowPass(const BesselLowPassSections& sections, int freq, ResponseCurve& curve) {
    const double w0 = kDesignRadPerHz * (freq / sections.divisor);
    const double t = std::tan(w0 / 2);
    const double t2 = t * t;
    for (const auto& [a, b] : sections.ab) {
        if (a == 0) continue;
        AddSectionResponse({t2, 2 * t2, t2, a * t + t2 + b, 2 * t2 - 2 * b, t2 - a * t + b}, curve);
    }
}

}  // namespace

void AddSectionResponse(const Biquad& section, ResponseCurve& curve) {
    const double a0 = section.a0 == 0 ? kA0Guard : section.a0;
    const double b0 = section.b0 / a0, b1 = section.b1 / a0, b2 = section.b2 / a0;
    const double a1 = section.a1 / a0, a2 = section.a2 / a0;
    const GridTrig& trig = Trig();
    for (int i = 0; i < kGridPoints; ++i) {
        const double c = trig.cosine[i];
        const double s = trig.sine[i];
        const double nr = b0 * c + b1 + b2 * c;
        const double ni = b0 * s - b2 * s;
        const double dr = c + a1 + a2 * c;
        const double di = s - a2 * s;
        // 20 log10 sqrt(x) == 10 log10 x
        curve[i] += LimitDb(10.0 * std::log10((nr * nr + ni * ni) / (dr * dr + di * di)));
    }
}

Biquad PeakingSection(double centreHz, double gainDb, double bandwidth) {
    const double a = std::pow(10.0, gainDb / 40.0);
    const double w0 = kDesignRadPerHz * centreHz;
    const double sw = std::sin(w0);
    const double alpha = sw * std::sinh(kLn2 * bandwidth * w0 / sw);
    const double cw = std::cos(w0);
    return {1 + alpha * a, -2 * cw, 1 - alpha * a, 1 + alpha / a, -2 * cw, 1 - alpha / a};
}

void PeakingResponse(int freq, double gainDb, double bandwidth, ResponseCurve& curve) {
    AddSectionResponse(PeakingSection(g_adGridFreq[NearestGridIndex(freq)], gainDb, bandwidth),
                       curve);
}

Biquad ShelfSection(bool lowShelf, int slope, double freq, double gainDb) {
    struct ShelfShape {
        double s;           // shelf slope
        double freqFactor;  // where the device puts the corner relative to the set frequency
    };
    static constexpr ShelfShape kLow[2] = {{0.5, 2.0}, {1.3, 1.2727272727}};
    static constexpr ShelfShape kHigh[2] = {{0.5, 0.4545454546}, {1.3, 0.76923076923}};
    const ShelfShape shape = (lowShelf ? kLow : kHigh)[slope == 1 ? 1 : 0];

    const double a = std::pow(10.0, gainDb / 40.0);
    const double w0 = kDesignRadPerHz * freq * shape.freqFactor;
    const double cw = std::cos(w0);
    const double alpha = std::sin(w0) / 2 * std::sqrt((a + 1 / a) * (1 / shape.s - 1) + 2);
    const double beta = 2 * std::sqrt(a) * alpha;
    Biquad q;
    if (lowShelf) {
        q = {a * ((a + 1) - (a - 1) * cw + beta), 2 * a * ((a - 1) - (a + 1) * cw),
             a * ((a + 1) - (a - 1) * cw - beta), (a + 1) + (a - 1) * cw + beta,
             -2 * ((a - 1) + (a + 1) * cw),       (a + 1) + (a - 1) * cw - beta};
    } else {
        q = {a * ((a + 1) + (a - 1) * cw + beta), -2 * a * ((a - 1) + (a + 1) * cw),
             a * ((a + 1) + (a - 1) * cw - beta), (a + 1) - (a - 1) * cw + beta,
             2 * ((a - 1) - (a + 1) * cw),        (a + 1) - (a - 1) * cw - beta};
    }
    return q;
}

void ShelfResponse(bool lowShelf, int slope, int freq, double gainDb, ResponseCurve& curve) {
    if (gainDb == 0) return;  // the identity section
    AddSectionResponse(ShelfSection(lowShelf, slope, freq, gainDb), curve);
}

void CrossoverResponse(bool highPass, int family, int order, int freq, ResponseCurve& curve) {
    if (order < 0 || order >= kXoverOrders) return;
    if (family == kBessel) {
        if (highPass)
            TableCrossover(true, kBesselHighPassTable[order], freq, curve);
        else
            BesselLowPass(kBesselLowPassTable[order], freq, curve);
        return;
    }
    const XoverTable& table = family == kLinkwitzRiley ? kLinkwitzRileyTable : kButterworthTable;
    TableCrossover(highPass, table[order], freq, curve);
}
