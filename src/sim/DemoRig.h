#pragma once

#include "sim/Simulator.h"

#include <QList>
#include <QString>

#include <utility>

#include <memory>

namespace korvel::sim {

// The demo without a car: the simulated ECU and wideband controller behind
// two links in the working folder and the demo firmware beside them. The
// settings that point the program at them apply to the run only; config.ini
// keeps the user's values.
class DemoRig {
public:
    static inline const QString kEcuLink = QStringLiteral("ecu-sim");
    static inline const QString kLambdaLink = QStringLiteral("lambda-sim");
    static inline const QString kFirmwareFile = QStringLiteral("demo-firmware.bin");
    static inline const QString kMapFile = QStringLiteral("demo-map.j5");

    static constexpr double kDemoAirError = 0.15;

    explicit DemoRig(QString workDir);
    ~DemoRig();

    // Writes the firmware and its calibration map and starts the simulator. False, with the reason,
    // when either fails.
    bool start(QString *error = nullptr);
    void stop();

    // "Ecu com", "LC-1 Com" and the rest, for Session::setSettingOverrides.
    QList<std::pair<QString, QString>> settingOverrides() const;

    Simulator *simulator() { return m_simulator.get(); }
    // On by default: the ECU fuels from its RAM tables, so tuning changes the mixture.
    void setClosedLoop(bool on) { m_closedLoop = on; }

private:
    QString m_workDir;
    std::unique_ptr<Simulator> m_simulator;
    bool m_closedLoop = true;
};

} // namespace korvel::sim
