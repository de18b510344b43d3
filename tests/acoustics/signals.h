#pragma once
// Known linear systems for the signal-processing tests: biquads after the
// audio EQ cookbook, run sample by sample and evaluated analytically.

#include <cmath>
#include <complex>
#include <numbers>
#include <span>
#include <vector>

struct Biquad {
    double b0 = 1, b1 = 0, b2 = 0, a1 = 0, a2 = 0;

    static Biquad Peaking(double f, double q, double gainDb, double rate) {
        const double a = std::pow(10.0, gainDb / 40.0);
        const double w = 2 * std::numbers::pi * f / rate;
        const double alpha = std::sin(w) / (2 * q);
        const double a0 = 1 + alpha / a;
        return {(1 + alpha * a) / a0, -2 * std::cos(w) / a0, (1 - alpha * a) / a0,
                -2 * std::cos(w) / a0, (1 - alpha / a) / a0};
    }
    static Biquad HighPass(double f, double q, double rate) {
        const double w = 2 * std::numbers::pi * f / rate;
        const double alpha = std::sin(w) / (2 * q);
        const double c = std::cos(w);
        const double a0 = 1 + alpha;
        return {(1 + c) / 2 / a0, -(1 + c) / a0, (1 + c) / 2 / a0, -2 * c / a0, (1 - alpha) / a0};
    }
    static Biquad LowPass(double f, double q, double rate) {
        const double w = 2 * std::numbers::pi * f / rate;
        const double alpha = std::sin(w) / (2 * q);
        const double c = std::cos(w);
        const double a0 = 1 + alpha;
        return {(1 - c) / 2 / a0, (1 - c) / a0, (1 - c) / 2 / a0, -2 * c / a0, (1 - alpha) / a0};
    }

    std::vector<double> Run(std::span<const double> x) const {
        std::vector<double> y(x.size());
        double x1 = 0, x2 = 0, y1 = 0, y2 = 0;
        for (size_t i = 0; i < x.size(); ++i) {
            y[i] = b0 * x[i] + b1 * x1 + b2 * x2 - a1 * y1 - a2 * y2;
            x2 = x1;
            x1 = x[i];
            y2 = y1;
            y1 = y[i];
        }
        return y;
    }
    std::complex<double> At(double f, double rate) const {
        const auto z1 = std::polar(1.0, -2 * std::numbers::pi * f / rate);
        return (b0 + b1 * z1 + b2 * z1 * z1) / (1.0 + a1 * z1 + a2 * z1 * z1);
    }
};

// x delayed by `samples` whole samples, scaled, with `tail` zeros after.
inline std::vector<double> Delayed(std::span<const double> x, size_t samples, double gain,
                                   size_t tail) {
    std::vector<double> y(samples + x.size() + tail, 0.0);
    for (size_t i = 0; i < x.size(); ++i)
        y[samples + i] = gain * x[i];
    return y;
}

inline double Db(std::complex<double> v) {
    return 20 * std::log10(std::abs(v));
}
