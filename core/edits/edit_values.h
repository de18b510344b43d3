#pragma once
// The values of the edit keys: typed text to device units with the numeric
// fields' value types, and device units back to the text `get` prints.

#include <optional>
#include <string>

#include "edits/edits.h"
#include "edits/field_descriptions.h"

// A typed value in device units, or why it was refused (without the key).
struct KeyValueParse {
    std::optional<int> value;
    std::string text;  // the name of ChannelName
    std::string error;
};
KeyValueParse ParseKeyValue(EditKind kind, const std::string& typed);

// The text of a value in device units for every kind except ChannelName
// (the name itself), XoverSlope (SlopeValueText) and BandBandwidth
// (BandwidthText).
std::string KeyValueText(EditKind kind, int value);
// A stored slope code as the family's list shows it.
std::string SlopeValueText(int family, int code);
// A bandwidth in octaves.
std::string BandwidthText(double octaves);
