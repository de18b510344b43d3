#pragma once
// Colours shared by the windows and controls.

#include <QColor>

// Background of the workspace and every dialog.
inline const QColor kBackgroundColour(227, 228, 238);
// Background of a highlighted numeric field (and its fader's handle).
inline const QColor kHighlightColour(0x89, 0xAC, 0xD1);
// Text of a field that shows a stored value outside its range.
inline const QColor kWarningColour(0xC0, 0x30, 0x00);
