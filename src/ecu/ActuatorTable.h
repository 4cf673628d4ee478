#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

#include <array>
#include <cstdint>
#include <optional>

namespace korvel {

// The eight ECU quantities a tester may take over, in the order of the
// actuator drop-down.
struct ActuatorRow {
    QString name;         // drop-down item and label
    std::uint8_t localId; // inputOutputLocalIdentifier
    int trackByte;        // state byte the track bar follows
};

inline constexpr int kActuatorCount = 8;

const std::array<ActuatorRow, kActuatorCount> &actuatorTable();

// The value shown for `row` from the state bytes of the last 0x30 answer (one
// row reads the diagnostic frame instead), as decimal text; none when a byte
// it needs is missing.
std::optional<QString> actuatorDisplayedValue(int row, QByteArrayView state, QByteArrayView diagnosticFrame);

// The track bar position `row` shows for these state bytes; none when the byte is missing.
std::optional<int> actuatorTrackPosition(int row, QByteArrayView state);

} // namespace korvel
