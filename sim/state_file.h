#pragma once
// The processor's memory in a file, so that a simulated device keeps its
// settings across restarts.
//
// Layout (little-endian): 8-byte magic "TQR905VP", 16-bit version, 16-bit 0,
// 32-bit payload size, the payload (the fields of DeviceMemory in
// ForEachField order, then the identification), 32-bit FNV-1a of the payload.

#include <string>

#include "sim/device_memory.h"

namespace sim {

struct DeviceState {
    DeviceMemory memory;
    Identification identification{};
};

// Replaces `path` through ReplaceFileAtomically (an unguessable temporary
// file beside it, flushed, renamed over it; the file keeps its mode), so a
// crash leaves either the old or the new state. On failure `error` says why.
bool WriteStateFile(const std::string& path, const DeviceState& state, std::string& error);

// Reads `path` into `state`. Anything but a regular file (a FIFO, a device)
// is refused at once. A file of the wrong magic, version, size or
// checksum is refused with `error` set and `state` left unchanged.
bool ReadStateFile(const std::string& path, DeviceState& state, std::string& error);

}  // namespace sim
