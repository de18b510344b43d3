#pragma once
// Basic types shared by every part of the core.

#include <cstddef>
#include <cstdint>

using BYTE = std::uint8_t;

// Little-endian 16-bit words inside images, frames and files.
inline std::uint16_t GetWord(const BYTE* p) {
    return static_cast<std::uint16_t>(p[0] | (p[1] << 8));
}
inline void PutWord(BYTE* p, unsigned value) {
    p[0] = static_cast<BYTE>(value & 0xFF);
    p[1] = static_cast<BYTE>((value >> 8) & 0xFF);
}
