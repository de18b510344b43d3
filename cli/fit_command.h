#pragma once
// The fit command of tqr905.

class CommandSet;

// Registers `fit`.
void AddFit(CommandSet& set);
