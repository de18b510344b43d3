#pragma once
// Text from a file or a device, made safe to print on a terminal: a channel
// or group name or an identification could otherwise carry escape sequences
// that retitle the window, move the cursor or worse.

#include <string>
#include <string_view>

// The text with every control character (C0, DEL, C1) and every byte that is
// not part of valid UTF-8 shown as \xHH, e.g. ESC as \x1b. Everything else,
// Chinese text included, is left as it is.
std::string TerminalText(std::string_view text);
