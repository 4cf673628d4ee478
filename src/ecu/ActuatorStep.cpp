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

} // namespace

void ActuatorStep::take(const ActuatorCommand &command) {
    if (!m_current || m_current->serial != command.serial)
        m_current = command;
}

bool ActuatorStep::run(const Exchange &exchange, SharedValue<QByteArray> &ControlState) {
    if (!m_current)
        return true;
    ActuatorCommand &f = *m_current;
    std::uint8_t &id = f.inputOutputLocalIdentifier;
    std::uint8_t &parameter = f.inputOutputControlParameter;
    const std::uint8_t parameter2 = f.inputOutputControlParameter2;
    bool finished = false;
    bool known = false;

    // The tests run one after the other, each on the values the previous one left.
    if (parameter == ReportState) {
        known = true;
        finished = exchange(request(id, ReportState));
    }
    if (parameter == ReturnControl) {
        known = true;
        const bool answered = exchange(request(id, ReturnControl));
        if (parameter2 != 0) {
            parameter = ReportState; // the state is read in the next pass
            finished = false;
        } else {
            finished = answered;
        }
        if (parameter2 == ReleaseAll) {
            // The sweep moves on whether or not the ECU answered.
            parameter = ReturnControl;
            ++f.m;
            finished = f.m >= kActuatorCount;
            if (!finished && f.m >= 0)
                id = actuatorTable()[f.m].localId;
        }
    }
    if (parameter == Adjust) {
        known = true;
        exchange(request(id, Adjust) + static_cast<char>(f.ControlStatezapros));
        parameter = ReportState; // read back what the ECU took, answered or not
        finished = false;
    }
    if (parameter == ReturnControl)
        ControlState.store(QByteArray());
    // A parameter the ECU has no action for asks nothing of it.
    return finished || !known;
}

} // namespace korvel
