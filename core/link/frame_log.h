#pragma once
// Optional trace of every report the link writes and reads, for diagnosing
// a device and for turning a recorded session into a test. Enabled by
// TQR905_TRACE=<file> or by EnableFrameLog (the programs' --trace option).
// One line per report: time stamp, "> " out or "< " in, hex bytes.
// Thread-safe; lines are appended and flushed at once.

#include <cstddef>
#include <cstdint>
#include <string>

enum class FrameDirection { Out, In };

// Appends to the file from now on; false (with the reason) when it cannot be opened.
bool EnableFrameLog(const std::string& file, std::string* pError = nullptr);
void DisableFrameLog();
bool FrameLogEnabled();
void LogFrame(FrameDirection direction, const std::uint8_t* data, std::size_t size);

// "2024-05-01 14:03:07.123456 > 00 A2 A2 ...": the line LogFrame writes, without the newline.
std::string FormatFrameLogLine(FrameDirection direction, const std::uint8_t* data,
                               std::size_t size);
