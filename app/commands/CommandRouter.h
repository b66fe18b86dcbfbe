#pragma once
// The main window's commands: one table in which every row names a command's id, its menu
// text, shortcut, icon and hints, its enable rule and its handler side by side. The window
// owns the router made from it, creates its QActions from the rows and sends every update
// and every choice through it; a command missing from the table is shown disabled.
//
//     {ID_FILE_CLOSE, "閉じる(&C)", "", nullptr, "閉じる", "作業中のドキュメントを閉じます",
//      [&f] { return Enabled(f.ActiveDocument() != nullptr); },
//      [&f] { f.CloseActiveDocument(); }},

#include "document/CommandTarget.h"

#include <functional>
#include <vector>

namespace tessera {

class CMainFrame;

struct CommandEntry {
    int id = 0;
    const char* text = "";      // menu text with mnemonic and shown shortcut
    const char* keys = "";      // shortcuts separated by ';' (portable text)
    const char* icon = nullptr; // resource name or null
    const char* tip = "";       // tool tip
    const char* hint = "";      // status-bar hint
    std::function<CommandState()> state;
    std::function<void()> run;
    // Disabled while a receive into the active document runs, whatever `state` says: that
    // document holds none of its records then.
    bool blockedByReceive = false;
};
using CommandTable = std::vector<CommandEntry>;
// What a window builds its commands from (tests give their own).
using CommandTableFn = std::function<CommandTable(CMainFrame& frame)>;

inline CommandState Enabled(bool enabled) {
    CommandState s;
    s.enabled = enabled;
    return s;
}

class CCommandRouter : public CCommandTarget {
public:
    // `blocked` tells whether receive-blocked commands are off now.
    CCommandRouter(CommandTable table, std::function<bool()> blocked);

    const CommandTable& Table() const { return m_table; }
    const CommandEntry* Find(int id) const;
    // Replaces the rule and handler of `id` on this router only (a test's stand-in).
    void Replace(int id, std::function<CommandState()> state, std::function<void()> run);

    // False when the table has no row for `id`.
    bool UpdateCommand(int id, CommandState& state) override;
    // Runs `id` when it is enabled now; false when it is not (a shortcut between updates).
    bool RunCommand(int id) override;

private:
    CommandEntry* FindMutable(int id);

    CommandTable m_table;
    std::function<bool()> m_blocked;
};

} // namespace tessera
