#pragma once
// Number <-> text helpers of the numeric fields. Parsing follows atof
// (leading spaces skipped, the longest numeric prefix taken, 0 when there is
// none) but always in the "C" locale: a desktop locale with a decimal comma
// must not turn "2.5" into 2.

#include <cstddef>
#include <string>

// The leading number of `text`; 0 when there is none or it is not a number
// (NaN). *consumed, when given, receives the characters used (0 when none).
double ParseLeadingDouble(const std::string& text, std::size_t* consumed = nullptr);

// printf-style formatting of one double, without a "-0" for values that
// round to zero.
std::string FormatNumber(const char* format, double value);
