#pragma once
// The answers of `tqr905 __complete WORD... CURRENT` to the bash completion
// (packaging/tqr905.bash-completion).

#include <iosfwd>
#include <string>
#include <vector>

#include "cli/command_set.h"

// `before`: the words after the program name up to the cursor; `current`:
// the word being completed.
void PrintCompletion(std::ostream& out, const CommandSet& set,
                     const std::vector<std::string>& before, const std::string& current);
