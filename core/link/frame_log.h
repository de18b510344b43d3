#pragma once
// Optional trace of every report the link writes and reads, for diagnosing
// a device and for turning a recorded session into a test. Enabled by
// TQR905_TRACE=<file> or by EnableFrameLog (the programs' --trace option).
// One line per report: time stamp, "> " out or "< " in, hex bytes.
// Thread-safe; lines are appended and written at once.
//
// Only a regular file of this user is appended to (no symbolic link, FIFO or
// device, nor another user's file); a new one is made readable by the user
// alone. At kFrameLogRotateBytes the file becomes "<file>.1", replacing the
// previous one, and a fresh file starts, so a trace left on for days keeps
// at most two files of that size.

#include <cstddef>
#include <cstdint>
#include <string>

enum class FrameDirection { Out, In };

constexpr std::uint64_t kFrameLogRotateBytes = 50ull * 1024 * 1024;

// Appends to the file from now on; false (with the reason) when it cannot be opened.
bool EnableFrameLog(const std::string& file, std::string* pError = nullptr);
void DisableFrameLog();
bool FrameLogEnabled();
// The size at which the file is rotated (tests use a small one).
void SetFrameLogRotateBytes(std::uint64_t bytes);
void LogFrame(FrameDirection direction, const std::uint8_t* data, std::size_t size);

// "2024-05-01 14:03:07.123456 > 00 A2 A2 ...": the line LogFrame writes, without the newline.
std::string FormatFrameLogLine(FrameDirection direction, const std::uint8_t* data,
                               std::size_t size);
