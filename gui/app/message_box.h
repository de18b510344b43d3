#pragma once
// Message boxes of the application: a text with an OK button, in the
// current language. Tests install a hook that records instead of blocking.

#include <QString>
#include <functional>

class QWidget;

void ShowMessageBox(QWidget* parent, const QString& text);

// Replaces the modal box; an empty hook restores it.
using MessageBoxHook = std::function<void(const QString&)>;
void SetMessageBoxHook(MessageBoxHook hook);
