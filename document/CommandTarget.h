#pragma once
// Command routing of the main window: a command goes to the active view first, then to its
// document, then to the main frame. A command that no target handles is shown disabled, so a
// menu item whose feature is missing can never be chosen and do nothing.

#include <QString>

namespace tessera {

struct CommandState {
    bool enabled = false;
    bool checkable = false;
    bool checked = false;
    // Said after the command's name in the menu (what undo would take back); empty for none.
    QString detail;
};

class CCommandTarget {
public:
    virtual ~CCommandTarget() = default;
    // Returns true when this target handles `id`, and fills in its current state.
    virtual bool UpdateCommand(int id, CommandState& state) = 0;
    // Runs `id`; returns true when this target handled it.
    virtual bool RunCommand(int id) = 0;
};

} // namespace tessera
