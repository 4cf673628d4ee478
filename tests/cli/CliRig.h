#pragma once

#include "SimulatedCar.h"
#include "TestSupport.h"

#include <QStringList>

#include <gtest/gtest.h>

#include <memory>

namespace korvel::test {

// The simulated car at a steady cruise, quick to answer, its wideband warm.
inline std::unique_ptr<sim::Simulator> startSimulator(const std::vector<sim::FaultRule> &faults = {}) {
    sim::SimulatorOptions options = quickSimulatorOptions();
    options.faults = faults;
    auto simulator = std::make_unique<sim::Simulator>(options);
    QString error;
    EXPECT_TRUE(simulator->start(&error)) << error.toStdString();
    simulator->setEngineState(steadyCruise());
    return simulator;
}

inline QStringList linesStartingWith(const QString &text, const QString &prefix) {
    QStringList found;
    for (const QString &line : text.split(QLatin1Char('\n')))
        if (line.startsWith(prefix))
            found.append(line);
    return found;
}

} // namespace korvel::test
