#pragma once
// Line, word and number splitting for the text files other tools write
// (measurements, house curves, microphone calibrations, equalizer settings):
// LF, CR LF or CR line ends, a UTF-8 byte order mark, a missing last line
// end, tabs or runs of spaces between words, any bytes in between.

#include <cstddef>
#include <optional>
#include <string_view>
#include <vector>

// The lines without their ends; the byte order mark is not part of line 1.
std::vector<std::string_view> SplitLines(std::string_view text);
// Words separated by spaces and tabs.
std::vector<std::string_view> SplitWords(std::string_view text);
// Without spaces, tabs and other blanks at either end.
std::string_view TrimLine(std::string_view text);
// The number at the start of `word` ("-3", "+2.25", "0,71", "1e3", "-1.4dB");
// a comma counts as a decimal point. *used receives the characters read.
// nullopt when the word does not start with a finite number.
std::optional<double> ReadNumber(std::string_view word, std::size_t* used);
// Whether the line starts like a number: a sign, a point or a digit before
// the first digit ("-.5", "20", not "inf" or "Freq").
bool BeginsWithNumber(std::string_view line);
// A row of numbers separated by blanks and commas, or, in a row that holds
// a semicolon, by blanks and semicolons with commas as decimal points
// ("20,-1.5" and "20; -1,5" are the same row). nullopt when a field is not
// a number. A number too large for a double, or spelled "inf" or "nan",
// comes back as a value that is not finite, for the reader to refuse.
std::optional<std::vector<double>> ReadNumberRow(std::string_view line);
