#pragma once
// The look shared by the dialogs: the workspace's background colour.

#include <QColor>
#include <QPalette>
#include <QWidget>

inline void ApplyDialogLook(QWidget* dialog) {
    QPalette palette = dialog->palette();
    palette.setColor(QPalette::Window, QColor(227, 228, 238));
    dialog->setPalette(palette);
    dialog->setAutoFillBackground(true);
}
