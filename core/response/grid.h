#pragma once
// The response grid: the fixed frequencies at which every curve is computed.

#include <array>

constexpr int kGridPoints = 241;

// 20 Hz .. 20 kHz, about 1/24 octave apart, rounded as the device tables have them.
extern const std::array<double, kGridPoints> g_adGridFreq;

// Index of the grid frequency nearest to f; a tie goes to the upper point.
// Frequencies above the last point give the last index.
int NearestGridIndex(double f);
