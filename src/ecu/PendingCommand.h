#pragma once

#include "core/SharedValue.h"

#include <atomic>
#include <cstdint>
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
        stamp(command);
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
    void replace(Command command) {
        stamp(command);
        m_slot.store(std::move(command));
    }
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
    // Each command handed over gets a number of its own, so the worker tells
    // a new command from the one it is in the middle of, even of the same kind.
    void stamp(Command &command) {
        if constexpr (requires { command.serial; })
            command.serial = m_serials.fetch_add(1) + 1;
    }

    SharedValue<std::optional<Command>> m_slot;
    std::atomic<std::uint64_t> m_serials{0};
};

} // namespace korvel
