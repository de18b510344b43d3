#pragma once
// Process-wide look and input rules of the application: Fusion, the dialog
// background and the fonts (the CJK font for the Chinese texts), animations
// off; the wheel and typed-value guards below.

class QApplication;

void SetUpLook(QApplication& app);

// Input rules for every window of the process:
// - a wheel turned over a fader, list, spin box or numeric field that does
//   not have the keyboard focus changes nothing (scrolling across a window
//   of controls must not retune the device);
// - a value typed into a numeric field is committed before a mouse press
//   anywhere else acts (a channel button, a car position, a list, a menu,
//   the close button), and before a window closes, also when the pressed
//   control takes no keyboard focus.
// SetUpLook installs them; tests that build windows without it call this.
void InstallInputGuards(QApplication& app);
