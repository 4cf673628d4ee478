#pragma once

#include "app/Cp1251.h"
#include "firmware/DemoFirmware.h"
#include "sim/Simulator.h"

#include "TestSupport.h"

#include <QFile>
#include <QStringList>

#include <gtest/gtest.h>

#include <memory>

namespace korvel::test {

// The simulated car at a steady cruise, quick to answer, its wideband warm.
inline std::unique_ptr<sim::Simulator> startSimulator(const std::vector<sim::FaultRule> &faults = {}) {
    sim::SimulatorOptions options;
    options.firmwareFactory = makeDemoFirmware;
    options.latencyMs = 5;
    options.widebandWarmupMs = 0;
    options.faults = faults;
    auto simulator = std::make_unique<sim::Simulator>(options);
    QString error;
    EXPECT_TRUE(simulator->start(&error)) << error.toStdString();
    sim::EngineState state;
    state.rpm = 2480;
    state.throttle = 18;
    state.coolantTemp = 88;
    state.batteryVoltage = 14.1;
    state.vehicleSpeed = 72;
    state.afrTarget = 14.7;
    simulator->setEngineState(state);
    return simulator;
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

inline QStringList linesStartingWith(const QString &text, const QString &prefix) {
    QStringList found;
    for (const QString &line : text.split(QLatin1Char('\n')))
        if (line.startsWith(prefix))
            found.append(line);
    return found;
}

} // namespace korvel::test
