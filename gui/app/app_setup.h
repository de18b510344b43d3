#pragma once
// Process-wide look of the application: Fusion, the dialog background and
// the fonts (the CJK font for the Chinese texts), animations off.

class QApplication;

void SetUpLook(QApplication& app);
