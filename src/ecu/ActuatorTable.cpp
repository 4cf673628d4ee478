#include "ecu/ActuatorTable.h"

#include "core/Numbers.h"

namespace korvel {

namespace {

constexpr int kInjectionCorrectionByte = 18; // of the diagnostic frame

std::optional<int> unsignedAt(QByteArrayView bytes, int index) {
    if (index < 0 || index >= bytes.size())
        return std::nullopt;
    return static_cast<std::uint8_t>(bytes[index]);
}

std::optional<int> signedAt(QByteArrayView bytes, int index) {
    if (index < 0 || index >= bytes.size())
        return std::nullopt;
    return static_cast<std::int8_t>(bytes[index]);
}

} // namespace

const std::array<ActuatorRow, kActuatorCount> &actuatorTable() {
    static const std::array<ActuatorRow, kActuatorCount> rows{{
        {QStringLiteral("УОЗ"), 0x4A, 0},
        {QStringLiteral("Желаемое значение холостого хода"), 0x42, 3},
        {QStringLiteral("Желаемое положение РХХ"), 0x41, 0},
        {QStringLiteral("Коэфф. коррекции времени впрыска"), 0x4D, 0},
        {QStringLiteral("Состав смеси"), 0x49, 0},
        {QStringLiteral("Фаза впрыска"), 0x4C, 0},
        {QStringLiteral("Температура ОЖ"), 0x4E, 0},
        {QStringLiteral("Октан корректор"), 0x4B, 0},
    }};
    return rows;
}

std::optional<QString> actuatorDisplayedValue(int row, QByteArrayView state, QByteArrayView diagnosticFrame) {
    std::optional<double> value;
    auto from = [&value](std::optional<int> byte, auto rule) {
        if (byte)
            value = rule(*byte);
    };
    switch (row) {
    case 0: // ignition advance and octane correction: half degrees, signed
    case 7:
        from(signedAt(state, 0), [](int b) { return b / 2.0; });
        break;
    case 1: // idle speed target in tens of rpm
        from(unsignedAt(state, 3), [](int b) { return b * 10.0; });
        break;
    case 2:
        from(unsignedAt(state, 0), [](int b) { return double(b); });
        break;
    case 3: // the ECU reports this one only in its diagnostic frame
        from(unsignedAt(diagnosticFrame, kInjectionCorrectionByte),
             [](int b) { return roundTo((b + 128) / 256.0, 3); });
        break;
    case 4:
        from(unsignedAt(state, 0), [](int b) { return roundTo((b + 128) * 14.7 / 256.0, 2); });
        break;
    case 5:
        from(unsignedAt(state, 0), [](int b) { return b * 6.0; });
        break;
    case 6:
        from(unsignedAt(state, 0), [](int b) { return b - 40.0; });
        break;
    default:
        break;
    }
    if (!value)
        return std::nullopt;
    return shortestDecimal(*value);
}

std::optional<int> actuatorTrackPosition(int row, QByteArrayView state) {
    if (row < 0 || row >= kActuatorCount)
        return std::nullopt;
    return unsignedAt(state, actuatorTable()[row].trackByte);
}

} // namespace korvel
