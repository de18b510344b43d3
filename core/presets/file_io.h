#pragma once
// Whole-file reading and crash-safe replacing for the preset files.

#include <cstddef>
#include <span>
#include <string>
#include <vector>

#include "base/types.h"

// Reads the whole file into `bytes`. A file longer than maxBytes is refused
// without reading the rest. On failure `error` says why.
bool ReadWholeFile(const std::string& path, std::size_t maxBytes, std::vector<BYTE>& bytes,
                   std::string& error);

// Writes `bytes` to a new file in the target's folder, flushes it to disk and
// renames it over `path`, so the target is either the old file or the whole
// new one. On failure the temporary file is removed, the old file is left as
// it was, and `error` says why.
bool ReplaceFileAtomically(const std::string& path, std::span<const BYTE> bytes,
                           std::string& error);
