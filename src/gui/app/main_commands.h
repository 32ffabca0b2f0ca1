#pragma once

#include "gui/app/toolbar_icons.h"

#include <QString>

#include <span>

namespace os {

class TMainForm;

// Where a command of the main window sits.
enum class CommandPlace
{
    None,
    MenuBar,
    FileMenu,
    OptionsMenu,
    VitalConfigsMenu,
    TaxesMenu,
    WindowMenu,
    ToolBar,
    PostOfficeMenu,
    HelpMenu
};

// One command of the main window: every menu, menu item and toolbar button is
// declared once in mainCommands(), and the menus, the toolbar, the enabled
// states, the tests and docs/windows.md all follow that table.
struct MainCommand
{
    CommandPlace place;
    const char* caption;    // as shown; "&" marks the accelerator, "&&" shows one "&"
    const char* objectName; // stable; tests find the command by it
    const char* opens;      // what it shows, in words (the window class, "modal", ...)
    // Runs the command; null while the window it opens is not built yet, so
    // the command keeps its caption and place but stays disabled.
    void (*run)(TMainForm& form) = nullptr;
    // A menu or a toolbar drop-down: the place whose commands it holds. It is
    // usable when any of them is.
    CommandPlace opensMenu = CommandPlace::None;
    bool separatorBefore = false;
    ToolbarIcon icon = ToolbarIcon::Help; // toolbar buttons only
    const char* shortcut = nullptr;       // a QKeySequence text, or none
};

// Every command, in the order the frame shows them within each place.
std::span<const MainCommand> mainCommands();

// The command named `objectName`, or null.
const MainCommand* findMainCommand(const QString& objectName);

// Whether the command can run in this build: it has a window, or it is a menu
// or drop-down holding at least one command that has.
bool isBuilt(const MainCommand& command);

} // namespace os
