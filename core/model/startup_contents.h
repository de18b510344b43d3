#pragma once
// What the parameter images and system blocks hold when the program starts,
// before any device or file has been read.

#include <array>

#include "base/types.h"
#include "image/param_image.h"

// The 296 bytes every output slot of the current image starts with.
using ChannelBlockBytes = std::array<BYTE, kOutBlockSize>;
const ChannelBlockBytes& FactoryChannelBlock();

// Puts every image, stored group, source record and system block back to its
// start-up contents and makes every output channel its own link group. Holds
// g_csModel while it writes.
void InitStartupContents();
