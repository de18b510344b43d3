#pragma once
// How the tool names values. For people: the system's own texts in the
// current language where it has them ("PEQ", "Butter_W", "Pol+", "OFF").
// For programs (--json): fixed English tokens, the words `set` takes.

#include <string>

#include "base/types.h"

// Tokens
const char* BandTypeToken(int type);  // "peq", "lowshelf", "highshelf", "highpass", "lowpass"
const char* FamilyToken(int family);  // "lr", "bessel", "butterworth"; "" for unknown codes
const char* PhaseToken(int phase);    // "normal", "inverted"
const char* EqModeToken(int mode);    // "parametric", "graphic"
const char* SourceToken(int source);  // "high", "low", "bluetooth", "player"
const char* ListenPositionToken(int position);  // "front-left" .. "rear-center"

// The slope a crossover's code is listed under in the crossover panel (the
// label `set` and `get` use): dB/Oct, 0 for "off", -1 when the family's list
// has no entry for the code.
int XoverSlopeLabel(int family, int code);

// Texts for people
std::string OutputGainText(int step);               // "-6dB", or "OFF" for step 0
std::string XoverSlopeWords(int family, int code);  // "18dB/Oct", "OFF", "code 9"
std::string SourceText(int source);                 // the source selector's name
std::string ListenPositionText(int position);       // "L&Front"
std::string MasterVolumeText(int step);             // "0dB"
std::string HexBytes(const BYTE* bytes, int n);     // "00 3C 01"
