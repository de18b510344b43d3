#pragma once
// What every editable value takes: its range, step, unit and words. One
// table serves the edit keys' parsing, the command line's help and word
// lists, and the application's fields, so that they cannot drift apart.

#include <span>
#include <string>

#include "controls/num_value.h"
#include "edits/edits.h"

enum class FieldShape {
    Number,     // one numeric value type (CNumValue): typed text to a step
    Words,      // one of a few words
    Slope,      // a crossover slope label: 6, 12, 18, 24, 36 (dB/Oct) or off
    Delay,      // samples, or a time or distance with its unit; clamped
    Bandwidth,  // octaves, to the bandwidth index
    Name,       // text, counted in GBK bytes
};

// A word and the device value it stands for.
struct FieldWord {
    const char* word;
    int value;
};

struct FieldDescription {
    EditKind kind;
    FieldShape shape;
    // Number: the value type and its steps (CNumValue), the step range of the
    // field and the range of a typed value.
    int valueType = 0;
    double step = 0.0;
    double offset = 0.0;
    int lo = 0;
    int hi = 0;
    double minValue = 0.0;
    double maxValue = 0.0;
    const char* unit = "";  // may follow a typed number
    bool clamps = false;    // out-of-range values are clamped, not refused
    bool takesOff = false;  // "off" stands for the lowest step
    // Words: the choices, in the order a list shows them.
    std::span<const FieldWord> words{};
};

// Every editable value, one entry per EditKind.
std::span<const FieldDescription> FieldDescriptions();
const FieldDescription& DescribeField(EditKind kind);

// The numeric field of a Number description, set up with its type, steps and range.
CNumValue FieldValue(const FieldDescription& field);

// The word of a device value; nullptr when the field has no word for it.
const char* FieldWordOf(EditKind kind, int value);

// What a help text says the field takes: "-60..0 dB", "normal | inverted",
// "6 | 12 | 18 | 24 | 36 | off".
std::string FieldRangeText(const FieldDescription& field);

// Crossover slope labels (dB/Oct) that any family lists; 0 is "off".
std::span<const int> SlopeLabels();
// The word of a slope label: "12", "off".
std::string SlopeLabelText(int dbPerOctave);
// Delays: samples at 48 kHz, 0..kDelayMaxSamples.
// Bandwidth: octaves.
constexpr double kBandwidthMinOctaves = 0.05;
constexpr double kBandwidthMaxOctaves = 3.0;
// Name: GBK bytes.
int NameFieldBytes();
