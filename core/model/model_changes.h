#pragma once
// What an edit changed, item by item, so that a front end refreshes only
// those controls and curves. Linked channels that followed the edit are
// marked as well.

#include <array>
#include <cstdint>

#include "image/param_image.h"

struct ChannelChanges {
    bool level = false;    // gain, phase, output switch, delay, EQ mode
    bool xover = false;    // either crossover filter
    bool mix = false;      // the mixer row
    bool limiter = false;  // threshold, attack, release
    bool name = false;
    std::uint32_t bands = 0;  // bit b: band b

    bool Any() const { return level || xover || mix || limiter || name || bands != 0; }
    bool operator==(const ChannelChanges&) const = default;
};

struct ModelChanges {
    std::array<ChannelChanges, kOutputCount> channels{};
    bool system = false;  // source, master volume or master output

    bool Any() const {
        for (const ChannelChanges& c : channels) {
            if (c.Any()) return true;
        }
        return system;
    }
    bool operator==(const ModelChanges&) const = default;
};
