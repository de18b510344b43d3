#pragma once
// The 8-byte crossover record (high-pass then low-pass: sent frequency,
// family, slope) shared by the output, input and effect blocks.

#include "base/types.h"
#include "response/ktveq.h"

// Writes the record of the equalizer's crossover pair at `record`.
void WriteXoverRecord(BYTE* record, const CKTVEQ& eq);

// How one crossover filter takes its values from a record.
using XoverLoader = void (*)(CFilter* filter, int freq, BYTE family, BYTE slope);

// The usual rule: frequency without stepping, family and slope without
// marking, then the sent frequency settled.
void LoadXoverFilterPlain(CFilter* filter, int freq, BYTE family, BYTE slope);

// Loads the high-pass, then the low-pass filter from the record.
void LoadXoverRecord(CKTVEQ& eq, const BYTE* record, XoverLoader loader = LoadXoverFilterPlain);
