#pragma once
// The table of every command of the main window (menus, toolbar, shortcuts).

#include "app/commands/CommandRouter.h"

namespace tessera {

// Help shortcut: a command with a key and no menu item.
inline constexpr int ID_HELP_CONTEXT = 57670;
// Next and previous document window: shortcuts without a menu item.
inline constexpr int ID_WINDOW_NEXT = 57680;
inline constexpr int ID_WINDOW_PREVIOUS = 57681;

CommandTable MainCommandTable(CMainFrame& frame);

// The string id of a command's prompt ("status-bar hint\ntool tip"); 0 when it has none.
int CommandPromptId(int command);
// The string id of a command's menu text: its own id, or the one the table gives it.
int CommandMenuTextId(int command);

} // namespace tessera
