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

// A question with two answers, each a button; true for the first. Escape
// or closing the box gives the second.
bool AskTwoWays(QWidget* parent, const QString& text, const QString& first, const QString& second);
// Answers the question instead of the box (tests); an empty hook restores it.
using TwoWaysHook = std::function<bool(const QString& text)>;
void SetTwoWaysHook(TwoWaysHook hook);
