#pragma once
// The table of every command of the main window (menus, toolbar, shortcuts).

#include "app/commands/CommandRouter.h"

namespace tessera {

// Help shortcut: a command with a key and no menu item.
inline constexpr int ID_HELP_CONTEXT = 57670;

CommandTable MainCommandTable(CMainFrame& frame);

} // namespace tessera
