#pragma once
// Checks of a command as a whole, before anything is applied.

#include <string>
#include <vector>

#include "edits/edits.h"

// A key given twice (Q and bandwidth of one band count as one), and a
// high-pass above the low-pass of the same channel given with it.
std::vector<std::string> CommandErrors(const std::vector<Edit>& edits);
