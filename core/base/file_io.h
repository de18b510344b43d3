#pragma once
// Whole-file reading and crash-safe replacing, for preset files and the
// virtual processor's state file.

#include <cstddef>
#include <span>
#include <string>
#include <vector>

#include "base/types.h"

// Writes all bytes, going on after partial writes and interruptions; false
// (errno set) on an error.
bool WriteAll(int fd, std::span<const BYTE> bytes);

// Reads the whole file into `bytes`. Only a regular file is read: a FIFO,
// device node or directory is refused at once without waiting for data. A
// file longer than maxBytes is refused without reading the rest. On failure
// `error` says why.
bool ReadWholeFile(const std::string& path, std::size_t maxBytes, std::vector<BYTE>& bytes,
                   std::string& error);

// Writes `bytes` to a new file in the target's folder under a name nobody
// can guess, flushes it to disk and renames it over `path`, so the target is
// either the old file or the whole new one. The new file keeps the
// permissions of the old one when that is a regular file of this user
// (never more than read and write, and never more than the umask allows);
// otherwise it gets the default ones. On failure the temporary file is
// removed, the old file is left as it was, and `error` says why.
bool ReplaceFileAtomically(const std::string& path, std::span<const BYTE> bytes,
                           std::string& error);
