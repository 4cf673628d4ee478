#pragma once

#include "core/SharedValue.h"

#include <optional>
#include <utility>

namespace korvel {

// A worker's pending command: one value with its parameters, handed over
// whole. The UI thread submits, replaces or drops it; the worker ends the
// command it ran only while that command is still the pending one, so a
// command the UI thread set meanwhile is not lost. `Command` has a `kind`.
template <typename Command> class PendingCommand {
public:
    using Kind = decltype(Command::kind);

    // Hands `command` over only while none is pending; false when busy.
    bool submit(Command command) {
        bool taken = false;
        m_slot.update([&](std::optional<Command> &slot) {
            if (!slot) {
                slot = std::move(command);
                taken = true;
            }
        });
        return taken;
    }
    // Whatever is pending gives way to `command`.
    void replace(Command command) { m_slot.store(std::move(command)); }
    // Drops a pending command.
    void clear() { m_slot.store(std::nullopt); }

    std::optional<Command> load() const { return m_slot.load(); }
    std::optional<Kind> kind() const {
        const std::optional<Command> command = load();
        return command ? std::optional<Kind>(command->kind) : std::nullopt;
    }
    bool pending() const { return kind().has_value(); }

    // Worker side: while a command of `kind` is pending, puts `next` in its
    // place (none: the command is done). False when another one is pending.
    bool finish(Kind kind, std::optional<Command> next = std::nullopt) {
        bool finished = false;
        m_slot.update([&](std::optional<Command> &slot) {
            if (slot && slot->kind == kind) {
                slot = std::move(next);
                finished = true;
            }
        });
        return finished;
    }

    // As finish(), for the pending command that `same` accepts.
    template <typename Same> bool finishIf(Same same, std::optional<Command> next = std::nullopt) {
        bool finished = false;
        m_slot.update([&](std::optional<Command> &slot) {
            if (slot && same(*slot)) {
                slot = std::move(next);
                finished = true;
            }
        });
        return finished;
    }

private:
    SharedValue<std::optional<Command>> m_slot;
};

} // namespace korvel
