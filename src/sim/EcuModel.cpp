#include "sim/EcuModel.h"

namespace korvel::sim {

namespace {

constexpr std::uint8_t kPositive = 0x40; // answer service = request service + 0x40

std::uint8_t at(const QByteArray &bytes, int i) {
    return static_cast<std::uint8_t>(bytes[i]);
}

EcuReply answer(const QByteArray &data, std::optional<int> baudAfter = std::nullopt) {
    return {true, data, baudAfter};
}

EcuReply refuse(const QByteArray &request, std::uint8_t code) {
    return answer(negativeResponse(at(request, 0), code));
}

QByteArray bytes(std::initializer_list<std::uint8_t> list) {
    QByteArray out;
    for (std::uint8_t b : list)
        out.append(static_cast<char>(b));
    return out;
}

int address(const QByteArray &request) {
    return (at(request, 2) << 8) | at(request, 3);
}

} // namespace

std::optional<int> baudForRateByte(std::uint8_t rateByte) {
    switch (rateByte) {
    case 0x0A:
        return 10400;
    case 0x26:
        return 38400;
    case 0x39:
        return 57600;
    default:
        return std::nullopt;
    }
}

QByteArray negativeResponse(std::uint8_t service, std::uint8_t code) {
    return bytes({0x7F, service, code});
}

const EcuModel::Service EcuModel::kServices[] = {
    {0x81, false, &EcuModel::startCommunication},     {0x82, false, &EcuModel::stopCommunication},
    {0x10, false, &EcuModel::startDiagnosticSession}, {0x20, false, &EcuModel::stopDiagnosticSession},
    {0x3E, false, &EcuModel::testerPresent},          {0x21, false, &EcuModel::readDataByLocalIdentifier},
    {0x23, true, &EcuModel::readMemoryByAddress},     {0x3D, true, &EcuModel::writeMemoryByAddress},
    {0x30, true, &EcuModel::inputOutputControl},
};

EcuModel::EcuModel(EcuMemory &memory, const EngineSource &engine, Protocol protocol, PressureSensor sensor)
    : m_memory(memory), m_engine(engine), m_protocol(protocol), m_sensor(sensor) {}

EcuReply EcuModel::handle(const QByteArray &request) {
    if (request.isEmpty())
        return {};
    const std::uint8_t service = at(request, 0);
    if (!m_started && service != 0x81)
        return {};
    for (const Service &s : kServices) {
        if (s.id != service)
            continue;
        if (s.fastOnly && m_protocol != Protocol::Fast)
            break;
        return (this->*s.handler)(request);
    }
    return refuse(request, kServiceNotSupported);
}

void EcuModel::endCommunication() {
    m_started = false;
    m_actuators.releaseAll();
}

EcuReply EcuModel::startCommunication(const QByteArray &r) {
    if (r.size() != 1)
        return refuse(r, kInvalidFormat);
    m_started = true;
    return answer(bytes({0xC1, 0x6B, 0x8F}));
}

EcuReply EcuModel::stopCommunication(const QByteArray &r) {
    if (r.size() != 1)
        return refuse(r, kInvalidFormat);
    endCommunication();
    return answer(bytes({0xC2}), kInitialBaud);
}

EcuReply EcuModel::startDiagnosticSession(const QByteArray &r) {
    if (r.size() != 3 || at(r, 1) != 0x81)
        return refuse(r, kInvalidFormat);
    const std::optional<int> baud = baudForRateByte(at(r, 2));
    if (!baud)
        return refuse(r, kInvalidFormat);
    return answer(bytes({0x50, 0x81}), baud);
}

EcuReply EcuModel::stopDiagnosticSession(const QByteArray &r) {
    if (r.size() != 1)
        return refuse(r, kInvalidFormat);
    return answer(bytes({0x60}), kInitialBaud);
}

EcuReply EcuModel::testerPresent(const QByteArray &r) {
    if (r.size() == 2 && at(r, 1) == 0x02) // "no answer wanted"
        return {};
    if (r.size() > 2 || (r.size() == 2 && at(r, 1) != 0x01))
        return refuse(r, kInvalidFormat);
    return answer(bytes({0x7E}));
}

EcuReply EcuModel::readDataByLocalIdentifier(const QByteArray &r) {
    if (r.size() != 2)
        return refuse(r, kInvalidFormat);
    if (at(r, 1) == 0x0F && m_protocol == Protocol::Fast)
        return diagnosticFrame(FrameLayout::Fast, 0x0F);
    if (at(r, 1) == 0x01)
        return diagnosticFrame(FrameLayout::Standard, 0x01);
    return refuse(r, kOutOfRange);
}

EcuReply EcuModel::diagnosticFrame(FrameLayout layout, std::uint8_t localId) const {
    QByteArray frame = encodeDiagnosticFrame(layout, m_engine.now(), m_sensor);
    m_actuators.applyTo(frame, layout);
    return answer(bytes({0x61, localId}) + frame);
}

EcuReply EcuModel::readMemoryByAddress(const QByteArray &r) {
    if (r.size() != 5)
        return refuse(r, kInvalidFormat);
    const int length = at(r, 4);
    if (length == 0)
        return refuse(r, kInvalidFormat);
    if (at(r, 1) != 0x00 || length > kMaxReadLength || address(r) + length > kMemorySize)
        return refuse(r, kOutOfRange);
    return answer(bytes({0x63}) + m_memory.read(address(r), length));
}

EcuReply EcuModel::writeMemoryByAddress(const QByteArray &r) {
    if (r.size() < 6 || r.size() != 5 + at(r, 4))
        return refuse(r, kInvalidFormat);
    if (at(r, 1) != 0x00 || !m_memory.write(address(r), r.mid(5)))
        return refuse(r, kOutOfRange);
    return answer(bytes({0x7D}));
}

EcuReply EcuModel::inputOutputControl(const QByteArray &r) {
    if (r == bytes({0x30, 0x0F, 0x06, 0x01})) // switch to RAM: the tables now run from RAM
        return answer(bytes({0x70, 0x0F, 0x06, 0x01}));
    if (r.size() < 3)
        return refuse(r, kInvalidFormat);
    const std::uint8_t id = at(r, 1);
    const std::uint8_t parameter = at(r, 2);
    if (!ActuatorBank::known(id))
        return refuse(r, kOutOfRange);
    switch (parameter) {
    case 0x00:
        if (r.size() != 3)
            return refuse(r, kInvalidFormat);
        m_actuators.release(id);
        break;
    case 0x01:
        if (r.size() != 3)
            return refuse(r, kInvalidFormat);
        break;
    case 0x07:
        if (r.size() != 4)
            return refuse(r, kInvalidFormat);
        m_actuators.impose(id, at(r, 3));
        break;
    default:
        return refuse(r, kInvalidFormat);
    }
    return answer(bytes({static_cast<std::uint8_t>(0x30 + kPositive), id, parameter}) +
                  m_actuators.state(id, m_engine.now()));
}

} // namespace korvel::sim
