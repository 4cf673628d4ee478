#pragma once

// For tests that drive the program against the simulator (link korvel_sim).
#include "core/Cp1251.h"
#include "firmware/DemoFirmware.h"
#include "sim/Simulator.h"

#include <QFile>
#include <QStringList>

namespace korvel::test {

// Long enough for any connect: a fast connect rests after each of some 25 requests.
inline constexpr int kConnectMs = 60000;

// The demo firmware, answers far below the read timeout, the wideband warm.
inline sim::SimulatorOptions quickSimulatorOptions() {
    sim::SimulatorOptions options;
    options.firmwareFactory = makeDemoFirmware;
    options.latencyMs = 5;
    options.widebandWarmupMs = 0;
    return options;
}

// A steady cruise whose values survive the frames' scalings exactly.
inline sim::EngineState steadyCruise() {
    sim::EngineState state;
    state.rpm = 2480;
    state.throttle = 18;
    state.coolantTemp = 88;
    state.batteryVoltage = 14.1;
    state.vehicleSpeed = 72;
    state.afrTarget = 14.7;
    return state;
}

// A CSV log as lines (Windows-1251, CR LF).
inline QStringList csvLines(const QString &path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    QStringList lines = cp1251::decode(file.readAll()).split(QStringLiteral("\r\n"));
    if (!lines.isEmpty() && lines.last().isEmpty())
        lines.removeLast();
    return lines;
}

} // namespace korvel::test
