#pragma once
// The --json outputs on nlohmann/json: members in the order the README
// describes them, two-space indentation, one document per run.

#include <iosfwd>
#include <nlohmann/json.hpp>

using Json = nlohmann::ordered_json;

// A measured value with its display precision: dB to 0.1, Q to 0.001, curve
// levels to 1e-9. Written as the shortest text that reads back as the rounded
// value ("-3.5", "-6.0"); a negative zero is written as 0.0 (some programs
// read "-0.0" as negative). Null for NaN or infinity, which JSON lacks.
Json Rounded(double value, int decimals);
// A whole value as an integer ("20000"), any other as the shortest text that
// reads back as the same double ("19.7").
Json Number(double value);

// Writes the document and a newline. Text that is not UTF-8 (a name from an
// old file) has its bad bytes replaced by U+FFFD, so the output always parses.
void PrintJson(std::ostream& out, const Json& document);
