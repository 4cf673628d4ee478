#pragma once

#include "sim/SimulatorOptions.h"

#include "sim/EngineState.h"
#include "sim/Faults.h"

#include <QByteArray>
#include <QList>
#include <QString>

#include <memory>

namespace korvel::sim {

// The simulated ECU and wideband controller, each behind a pseudo-terminal
// and run by a thread of its own:
//
//     Simulator sim(options);
//     sim.start();
//     open sim.ecuDevicePath() and sim.lambdaDevicePath() like serial ports;
//     sim.setEngineState(...); sim.injectFault(...); sim.requestLog(); ...
//     sim.stop();
//
// Every method may be called from any thread. stop() (also run by the
// destructor) never hangs.
class Simulator {
public:
    explicit Simulator(SimulatorOptions options = {});
    ~Simulator();
    Simulator(const Simulator &) = delete;
    Simulator &operator=(const Simulator &) = delete;

    // Creates the devices (and links) and starts the threads. False, with the
    // reason, when a firmware file or a device cannot be set up.
    bool start(QString *error = nullptr);
    void stop();
    bool running() const;

    QString ecuDevicePath() const;
    QString lambdaDevicePath() const; // empty without a wideband controller
    // The rate the ECU talks at now.
    int ecuBaud() const;
    bool ecuPortOpen() const; // some program holds the ECU device open
    bool lambdaPortOpen() const;

    // Freezes the engine in this state until resumeDrive().
    void setEngineState(const EngineState &state);
    void resumeDrive();
    EngineState engineState() const;

    QByteArray memory() const;
    bool setMemory(const QByteArray &image);
    QByteArray readMemory(int address, int length) const;
    bool writeMemory(int address, const QByteArray &bytes);

    void injectFault(const FaultRule &rule);
    void setRandomFaults(const RandomFaults &random);
    void clearFaults();

    // The data bytes of every request the ECU received, in order.
    QList<QByteArray> requestLog() const;
    void clearRequestLog();

    void setLatencyMs(int ms);
    void setLineTiming(bool on); // of the ECU's line; the wideband keeps its option
    void setAnswerChunks(int chunks);
    void setAnswerForm(RequestKind kind, HeaderForm form);
    void setAfrError(double error);
    void setWidebandError(bool on);

    // The ECU's device disappears (its pseudo-terminal closes) mid-session.
    void vanish();
    void vanishWideband();

private:
    struct Parts;
    SimulatorOptions m_options;
    std::unique_ptr<Parts> m_parts;
};

} // namespace korvel::sim
