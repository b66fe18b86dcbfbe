#include "app/commands/CommandRouter.h"

namespace tessera {

CCommandRouter::CCommandRouter(CommandTable table, std::function<bool()> blocked)
    : m_table(std::move(table)), m_blocked(std::move(blocked)) {}

const CommandEntry* CCommandRouter::Find(int id) const {
    for (const CommandEntry& e : m_table)
        if (e.id == id)
            return &e;
    return nullptr;
}

CommandEntry* CCommandRouter::FindMutable(int id) {
    for (CommandEntry& e : m_table)
        if (e.id == id)
            return &e;
    return nullptr;
}

void CCommandRouter::Replace(int id, std::function<CommandState()> state,
                             std::function<void()> run) {
    if (CommandEntry* e = FindMutable(id)) {
        e->state = std::move(state);
        e->run = std::move(run);
    }
}

bool CCommandRouter::UpdateCommand(int id, CommandState& state) {
    const CommandEntry* e = Find(id);
    if (e == nullptr)
        return false;
    if (!e->state || !e->run || (e->blockedByReceive && m_blocked && m_blocked())) {
        state = CommandState{};
        return true;
    }
    state = e->state();
    return true;
}

bool CCommandRouter::RunCommand(int id) {
    CommandState state;
    if (!UpdateCommand(id, state) || !state.enabled)
        return false;
    // A copy: the handler may close the window that owns this router.
    const std::function<void()> run = Find(id)->run;
    run();
    return true;
}

} // namespace tessera
