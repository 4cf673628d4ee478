#include "sim/WidebandLink.h"

#include "sim/LineOutput.h"
#include "sim/SimFrame.h"
#include "sim/SplitMix.h"

namespace korvel::sim {

WidebandLink::WidebandLink(const EngineSource &engine, WidebandSettings settings, TraceSink trace)
    : m_engine(engine), m_settings(settings), m_trace(std::move(trace)), m_afrError(settings.afrError),
      m_noiseState(settings.seed), m_sensor(settings.seed) {}

WidebandLink::~WidebandLink() {
    stop();
}

bool WidebandLink::open(QString *error) {
    if (!m_pty.open(error))
        return false;
    m_path = m_pty.slavePath();
    return true;
}

void WidebandLink::start() {
    if (m_thread.joinable() || !m_pty.isOpen() || m_settings.type == WidebandType::None)
        return;
    m_thread = std::thread([this] { run(); });
}

void WidebandLink::stop() {
    m_end.raise();
    if (m_thread.joinable())
        m_thread.join();
    m_pty.close();
}

void WidebandLink::vanish() {
    stop();
    if (m_trace)
        m_trace(QStringLiteral("wideband device vanished"));
}

double WidebandLink::measuredAfr(const EngineState &state) const {
    if (state.flag(EngineFlag::FuelCut) || state.flag(EngineFlag::EngineOff) || state.rpm <= 0)
        return kFreeAirAfr;
    if (state.mixture > 0) // the ECU fuels in a closed loop: the true mixture, without the sensor's lag
        return state.mixture * (1 + m_afrError.load());
    return state.afrTarget * (1 + m_afrError.load());
}

double WidebandLink::sensorReading() {
    const EngineState state = m_engine.now();
    if (state.mixture <= 0)
        return measuredAfr(state);
    return m_sensor.sample(m_engine.elapsed(), state.rpm, state.mixture * (1 + m_afrError.load()),
                           state.manifoldPressure / 101.3);
}

QByteArray WidebandLink::withNoise(QByteArray message) {
    const WidebandType type = m_settings.type;
    if (m_settings.crLf && (type == WidebandType::Aem || type == WidebandType::Korvel) && message.endsWith('\r'))
        message.append('\n');
    if (m_settings.strayBytes > 0 && nextUnit(m_noiseState) < m_settings.strayBytes) {
        const int count = 1 + static_cast<int>(nextRandom(m_noiseState) % 3);
        QByteArray stray;
        for (int i = 0; i < count; ++i)
            stray.append(static_cast<char>(nextRandom(m_noiseState) & 0xFF));
        message.prepend(stray);
    }
    return message;
}

void WidebandLink::run() {
    StopSignal::preciseWakeUps();
    const WidebandProfile &profile = widebandProfile(m_settings.type);
    const auto interval = std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double, std::milli>(
        m_settings.intervalMs > 0 ? m_settings.intervalMs : profile.intervalMs));
    bool attached = false;
    Clock::time_point warmupStart{};
    Clock::time_point next = Clock::now();
    while (!m_end.raised()) {
        m_pty.readAvailable(); // a controller does not listen
        const bool attachedNow = m_pty.programAttached();
        if (attachedNow != attached) {
            attached = attachedNow;
            m_attached.store(attached);
            warmupStart = Clock::now();
            next = warmupStart;
            if (m_trace)
                m_trace(attached ? QStringLiteral("program opened the wideband port")
                                 : QStringLiteral("program closed the wideband port"));
        }
        if (!attached) {
            m_end.sleepUntil(Clock::now() + kDetachedPollStep);
            continue;
        }
        if (!m_end.sleepUntil(next))
            break;
        next += interval;
        if (next < Clock::now()) // fell behind (a stalled machine): do not send a burst
            next = Clock::now() + interval;
        const Clock::time_point now = Clock::now();
        WidebandStatus status = WidebandStatus::Valid;
        if (m_sensorError.load())
            status = WidebandStatus::Error;
        else if (now - warmupStart < std::chrono::milliseconds(m_settings.warmupMs))
            status = WidebandStatus::WarmingUp;
        const double warmed =
            m_settings.warmupMs > 0
                ? std::chrono::duration<double, std::milli>(now - warmupStart).count() / m_settings.warmupMs
                : 1.0;
        const QByteArray message = withNoise(encodeWidebandMessage(m_settings.type, sensorReading(), status, warmed));
        if (message.isEmpty())
            continue;
        if (m_settings.traceMessages && m_trace)
            m_trace(QStringLiteral("LC  -> %1").arg(hexText(message)));
        sendToProgram(m_pty, m_end, message, profile.baud, now, m_settings.lineTiming);
    }
}

} // namespace korvel::sim
