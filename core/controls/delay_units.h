#pragma once
// Delays typed and shown with a unit, for front ends without a numeric field
// (the command-line tool). A delay is a number of samples at 48 kHz, 0 .. 960;
// the units convert exactly as the delay fields do.

#include <string>

constexpr int kDelayMaxSamples = 960;  // 20 ms

// Display units of a delay; the codes are the delay fields' value types.
enum DelayUnit : int {
    kDelayUnitMs = 0,
    kDelayUnitCm = 1,
    kDelayUnitInch = 2,
};

// The delay's text in the unit, without the unit: "2.500", "87", "34".
std::string DelayText(int samples, int unit);
// The same with its unit: "2.500ms", "87cm", "34in".
std::string DelayTextWithUnit(int samples, int unit);

// A number followed by a unit ("2.5ms", "86 cm", "34in", "120smp") to
// samples, clamped to 0 .. 960 like a delay field clamps. *ok is false (and
// 0 returned) for text that does not start with a number or has no known
// unit; units: ms, cm, in / inch / inches, smp / samples.
int ParseDelay(const std::string& text, bool* ok);
