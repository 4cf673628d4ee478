#pragma once

#include "sim/EcuLink.h"
#include "sim/EngineSource.h"
#include "sim/MixtureSensor.h"
#include "sim/PseudoTerminal.h"
#include "sim/StopSignal.h"
#include "sim/Wideband.h"

#include <QString>

#include <atomic>
#include <cstdint>
#include <thread>

namespace korvel::sim {

struct WidebandSettings {
    WidebandType type = WidebandType::Innovate;
    int warmupMs = 5000;    // after the program opens the port; 0 = none
    double afrError = 0;    // the measured mixture is the target x (1 + error)
    double intervalMs = 0;  // 0: the type's own interval
    bool crLf = false;      // ASCII types end their messages with CR LF
    double strayBytes = 0;  // probability of stray bytes before a message
    std::uint32_t seed = 1; // for the stray bytes
    bool lineTiming = true;
    bool traceMessages = false; // trace every message (there are many)
};

// The wideband controller on a pseudo-terminal of its own: while a program
// holds the port open it streams the measured air/fuel ratio at its type's
// rate and interval (after the heater's warm-up), and ignores what it is sent.
class WidebandLink {
public:
    WidebandLink(const EngineSource &engine, WidebandSettings settings, TraceSink trace);
    ~WidebandLink();
    WidebandLink(const WidebandLink &) = delete;
    WidebandLink &operator=(const WidebandLink &) = delete;

    bool open(QString *error);
    void start();
    void stop();
    void vanish();

    QString devicePath() const { return m_path; }
    bool programAttached() const { return m_attached.load(); }
    void setAfrError(double error) { m_afrError.store(error); }
    // The controller reports a sensor error (Innovate) or falls silent (the others).
    void setSensorError(bool on) { m_sensorError.store(on); }
    // Measured mixture for an engine state: the target with the error, or free
    // air's lean reading while the fuel is cut or the engine stands.
    double measuredAfr(const EngineState &state) const;
    static constexpr double kFreeAirAfr = 22.0;

private:
    void run();
    QByteArray withNoise(QByteArray message);
    // What the sensor reads now: with a closed-loop ECU the exhaust's delay, lag and noise.
    double sensorReading();

    const EngineSource &m_engine;
    WidebandSettings m_settings;
    TraceSink m_trace;
    PseudoTerminal m_pty;
    QString m_path;
    StopSignal m_end;
    std::thread m_thread;
    std::atomic<bool> m_attached{false};
    std::atomic<double> m_afrError{0};
    std::atomic<bool> m_sensorError{false};
    std::uint64_t m_noiseState = 0;
    MixtureSensor m_sensor;
};

} // namespace korvel::sim
