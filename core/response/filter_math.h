#pragma once
// Magnitude responses of the device's filters on the response grid. Every
// filter is a cascade of second-order sections designed at 96 kHz and
// evaluated on the unit circle; a curve is in dB, one value per grid point.

#include <array>

#include "response/grid.h"

using ResponseCurve = std::array<double, kGridPoints>;

// Radians per Hz for the design frequency (2 pi / 96000, as the device rounds it).
constexpr double kDesignRadPerHz = 6.544985e-05;
constexpr double kLn2 = 0.69314718;
// Radians per Hz where curves are evaluated: 2 pi truncated to 6.2831852 over 96 kHz.
constexpr double kEvalRadPerHz = 6.2831852 / 96000.0;

// Normalised section coefficients b0, b1, b2 over a0, a1, a2.
struct Biquad {
    double b0 = 1, b1 = 0, b2 = 0;
    double a0 = 1, a1 = 0, a2 = 0;
};

// Adds the section's response in dB to every point of curve.
void AddSectionResponse(const Biquad& section, ResponseCurve& curve);

// The sections behind the band responses below, for any centre or corner
// frequency (the fit moves them continuously before placing them on the grid).
Biquad PeakingSection(double centreHz, double gainDb, double bandwidth);
Biquad ShelfSection(bool lowShelf, int slope, double freq, double gainDb);

// Peaking band: centre snapped to the nearest grid frequency, bandwidth in octaves.
void PeakingResponse(int freq, double gainDb, double bandwidth, ResponseCurve& curve);

// Low (lowShelf = true) or high shelf; slope code 1 = 12 dB/Oct, any other 6 dB/Oct.
void ShelfResponse(bool lowShelf, int slope, int freq, double gainDb, ResponseCurve& curve);

// Crossover families.
enum XoverFamily : int { kLinkwitzRiley = 0, kBessel = 1, kButterworth = 2 };
constexpr int kXoverOrders = 7;  // order index 0..6 = 12..48 dB/Oct

// High-pass (highPass = true) or low-pass of order index 0..6. Family codes
// other than Linkwitz-Riley and Bessel use the Butterworth table; an order
// index outside 0..6 leaves the curve unchanged.
void CrossoverResponse(bool highPass, int family, int order, int freq, ResponseCurve& curve);
