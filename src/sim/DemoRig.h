#pragma once

#include "sim/Simulator.h"

#include <QString>

#include <memory>

namespace korvel::sim {

// The demo without a car: the simulated ECU and wideband controller behind
// two links in the working folder, the demo firmware beside them, and the
// folder's config.ini pointed at both (its other settings stay the user's).
class DemoRig {
public:
    static inline const QString kEcuLink = QStringLiteral("ecu-sim");
    static inline const QString kLambdaLink = QStringLiteral("lambda-sim");
    static inline const QString kFirmwareFile = QStringLiteral("demo-firmware.bin");

    explicit DemoRig(QString workDir);
    ~DemoRig();

    // Writes the firmware, starts the simulator and updates config.ini.
    // False, with the reason, when any of it fails.
    bool start(QString *error = nullptr);
    void stop();

    Simulator *simulator() { return m_simulator.get(); }

private:
    bool pointSettingsAtSimulator(QString *error) const;

    QString m_workDir;
    std::unique_ptr<Simulator> m_simulator;
};

} // namespace korvel::sim
