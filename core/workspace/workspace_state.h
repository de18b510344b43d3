#pragma once
// What the workspace has selected, read by every area's presenter: the
// selected channel, which other channels' curves the graph draws, and the
// delay display unit. Changed on the user-interface thread only, by the
// workspace presenter (channel, curves) and the car diagram (unit).

#include <array>

#include "base/types.h"

// The selected output channel, 0..5.
extern int g_nCurChannel;
// Per channel: its curve is drawn even when it is not selected (the role
// table has twelve entries; only 0..5 are ever used).
extern std::array<BYTE, 12> g_abCurveShown;
// 0 milliseconds, 1 centimetres, 2 inches (the DelayUnit codes).
extern int g_nDelayUnit;

// Back to the start of a run: channel 0, no other curves, milliseconds.
void ResetWorkspaceState();
