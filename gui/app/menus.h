#pragma once
// The popup menus of the top bar: the main-menu button's and the
// sound-group button's, built afresh in the current language each time they
// open, placed from the main-menu button, and run as commands.

#include <memory>
#include <vector>

#include "workspace/menu_rules.h"

class QMenu;
class QWidget;

// A menu of the entries, each action named "menu.<command>" and carrying the
// command as its data.
std::unique_ptr<QMenu> BuildMenu(const std::vector<MenuEntry>& entries, QWidget* parent);

// Shows the popup at its place below the main-menu button, waits for a
// choice and runs it.
void RunMainMenu(QWidget* mainMenuButton, IMenuActions& actions);
void RunSoundGroupMenu(QWidget* mainMenuButton, IMenuActions& actions);
