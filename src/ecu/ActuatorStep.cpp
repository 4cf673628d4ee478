#include "ecu/ActuatorStep.h"

#include "ecu/ActuatorTable.h"

namespace korvel {

namespace {

constexpr char kService = 0x30;

QByteArray request(std::uint8_t id, std::uint8_t parameter) {
    QByteArray bytes;
    bytes.append(kService);
    bytes.append(static_cast<char>(id));
    bytes.append(static_cast<char>(parameter));
    return bytes;
}

std::optional<int> rowOf(std::uint8_t id) {
    for (int row = 0; row < kActuatorCount; ++row)
        if (actuatorTable()[row].localId == id)
            return row;
    return std::nullopt;
}

QList<int> allRows() {
    QList<int> rows;
    for (int row = 0; row < kActuatorCount; ++row)
        rows.append(row);
    return rows;
}

} // namespace

void ActuatorStep::take(const ActuatorCommand &command) {
    if (!m_current || m_current->serial != command.serial) {
        m_current = command;
        m_stuck.clear();
        m_check.reset();
    }
}

void ActuatorStep::release(const QList<int> &rows, const Exchange &exchange, SharedValue<QByteArray> &ControlState,
                           bool readBack) {
    QList<std::pair<int, std::uint8_t>> toCheck; // released rows that were imposed, with the value
    for (int row : rows) {
        const std::uint8_t id = actuatorTable()[row].localId;
        bool answered = false;
        for (int attempt = 0; attempt < ReleaseAttempts && !answered; ++attempt)
            answered = exchange(request(id, ReturnControl));
        const auto imposed = m_forced.find(id);
        if (imposed == m_forced.end())
            continue;
        if (!answered) {
            m_stuck.append(row);
            continue;
        }
        toCheck.append({row, imposed->second});
        m_forced.erase(imposed);
    }
    if (!readBack) {
        // The report that follows reads the state; it is judged then.
        m_check = toCheck.isEmpty() ? std::nullopt : std::optional(toCheck.first());
        return;
    }
    for (const auto &[row, value] : toCheck)
        if (exchange(request(actuatorTable()[row].localId, ReportState)))
            judge(row, value, ControlState.load());
}

// An answered release the ECU did not carry out still shows the imposed value.
void ActuatorStep::judge(int row, std::uint8_t imposed, const QByteArray &state) {
    const int at = actuatorTable()[row].trackByte;
    if (at < state.size() && static_cast<std::uint8_t>(state[at]) == imposed) {
        m_forced[actuatorTable()[row].localId] = imposed;
        m_stuck.append(row);
    }
}

QList<int> ActuatorStep::releaseForced(const Exchange &exchange, SharedValue<QByteArray> &ControlState) {
    m_stuck.clear();
    QList<int> rows;
    for (const auto &[id, value] : m_forced)
        if (const std::optional<int> row = rowOf(id))
            rows.append(*row);
    release(rows, exchange, ControlState);
    ControlState.store(QByteArray());
    return m_stuck;
}

bool ActuatorStep::run(const Exchange &exchange, SharedValue<QByteArray> &ControlState) {
    if (!m_current)
        return true;
    ActuatorCommand &f = *m_current;
    const std::uint8_t id = f.inputOutputLocalIdentifier;
    std::uint8_t &parameter = f.inputOutputControlParameter;
    const std::uint8_t parameter2 = f.inputOutputControlParameter2;
    bool finished = false;
    bool known = false;

    // The tests run one after the other, each on the values the previous one left.
    if (parameter == ReportState) {
        known = true;
        finished = exchange(request(id, ReportState));
        if (finished && m_check)
            judge(m_check->first, m_check->second, ControlState.load());
        if (finished)
            m_check.reset();
    }
    if (parameter == ReturnControl) {
        known = true;
        if (parameter2 == ReleaseAll) {
            // All eight in row order, each release repeated until the ECU took it.
            release(allRows(), exchange, ControlState);
            f.m = kActuatorCount;
            finished = true;
        } else {
            const std::optional<int> row = rowOf(id);
            if (row)
                release({*row}, exchange, ControlState, parameter2 != ThenReport);
            else
                exchange(request(id, ReturnControl));
            if (parameter2 != 0) {
                parameter = ReportState; // the state is read in the next pass
                finished = false;
            } else {
                finished = true;
            }
        }
    }
    if (parameter == Adjust) {
        known = true;
        // Whether or not the ECU answered, it may have taken the value.
        m_forced[id] = f.ControlStatezapros;
        exchange(request(id, Adjust) + static_cast<char>(f.ControlStatezapros));
        parameter = ReportState; // read back what the ECU took, answered or not
        finished = false;
    }
    if (parameter == ReturnControl || (finished && parameter2 == ReleaseAll))
        ControlState.store(QByteArray());
    // A parameter the ECU has no action for asks nothing of it.
    return finished || !known;
}

} // namespace korvel
