#pragma once
// Which part of the setting an edit kind belongs to.

#include "edits/edits.h"

inline bool IsBandKind(EditKind kind) {
    switch (kind) {
        case EditKind::BandFreq:
        case EditKind::BandGain:
        case EditKind::BandQ:
        case EditKind::BandBandwidth:
        case EditKind::BandType:
        case EditKind::BandBypass:
            return true;
        default:
            return false;
    }
}

inline bool IsXoverKind(EditKind kind) {
    return kind == EditKind::XoverFreq || kind == EditKind::XoverFamily ||
           kind == EditKind::XoverSlope;
}

inline bool IsLimiterKind(EditKind kind) {
    return kind == EditKind::LimitThreshold || kind == EditKind::LimitAttack ||
           kind == EditKind::LimitRelease;
}

// The top bar's keys: source, master volume, master output.
inline bool IsSystemKind(EditKind kind) {
    return kind == EditKind::Source || kind == EditKind::MasterVolume ||
           kind == EditKind::MasterOutput;
}

// What graphic mode fixes: a band's frequency and width.
inline bool IsFixedInGraphicMode(EditKind kind) {
    return kind == EditKind::BandFreq || kind == EditKind::BandQ || kind == EditKind::BandBandwidth;
}
