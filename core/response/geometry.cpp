#include "response/geometry.h"

#include <algorithm>
#include <cmath>

namespace {

// Curves may reach far beyond the plot (a deep stop band, or -inf at a zero);
// pixel values are kept finite so that the conversion to int is defined.
constexpr double kPixelLimit = 1.0e7;

double FinitePixel(double v) {
    if (!(v > -kPixelLimit)) return -kPixelLimit;  // also NaN
    return std::min(v, kPixelLimit);
}

}  // namespace

void Rect::Offset(int dx, int dy) {
    left += dx;
    right += dx;
    top += dy;
    bottom += dy;
}

double PlotGeometry::FreqToXf(double f) const {
    return FinitePixel(std::log10(f / kFreqMin) * DecadeWidth());
}

int PlotGeometry::FreqToX(double f) const {
    return static_cast<int>(FreqToXf(f));
}

double PlotGeometry::DbToYf(double g) const {
    return FinitePixel(height / 40.0 * (kGainMaxDb - g));
}

int PlotGeometry::DbToY(double g) const {
    return static_cast<int>(DbToYf(g) + 0.5);
}

int PlotGeometry::XToFreq(int x) const {
    if (DecadeWidth() <= 0) return kFreqMin;
    const double f = kFreqMin * std::pow(10.0, static_cast<double>(x) / DecadeWidth());
    return static_cast<int>(
        std::clamp(f, static_cast<double>(kFreqMin), static_cast<double>(kFreqMax)));
}

// The exact inverse is 20 - 40 y / H, the middle of the gain span that the
// pixel row y covers. A stored gain is a multiple of 0.1 dB, so the result is
// rounded to 0.1 dB, and a whole dB inside the row is preferred: the row of the
// 0 dB line therefore gives exactly 0 (also when H is odd and the line's middle
// lies a fraction of a dB below 0), and dragging is not biased by half a dB.
double PlotGeometry::YToDb(int y) const {
    if (height <= 0) return 0.0;
    const double middle = kGainMaxDb - 40.0 * y / height;
    const double whole = std::round(middle);
    if (DbToY(whole) == y) return whole;
    return std::round(middle * 10.0) / 10.0;
}
