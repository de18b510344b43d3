#pragma once
// The process-wide state as a program starts with it: the start-up images
// and blocks, the device address, and every link and model flag cleared.
// Before a session is created (the command line runs one per command, the
// tests one per case); never while a session lives.

void ResetProcessState();

// The language of every text the core gives (message boxes, value texts):
// Chinese or English. Kept by ResetProcessState; a front end picks it once
// at start and again when the user switches.
void UseChineseTexts(bool chinese);
