#include "sim/Simulator.h"

#include "sim/EcuLink.h"
#include "sim/EcuModel.h"
#include "sim/EngineSource.h"
#include "sim/WidebandLink.h"

#include <QFile>
#include <QFileInfo>

#include <atomic>

namespace korvel::sim {

namespace {

QByteArray initialImage(const SimulatorOptions &options, QString *error) {
    if (!options.firmwareFile.isEmpty()) {
        QByteArray image;
        if (loadFirmwareFile(options.firmwareFile, &image, error))
            return image;
        return builtInImage();
    }
    if (options.firmwareFactory) {
        const QByteArray image = options.firmwareFactory();
        if (image.size() == kMemorySize)
            return image;
        *error = QStringLiteral("the firmware factory made %1 bytes, not %2").arg(image.size()).arg(kMemorySize);
    }
    return builtInImage();
}

WidebandSettings widebandSettings(const SimulatorOptions &o) {
    WidebandSettings s;
    s.type = o.wideband;
    s.warmupMs = o.widebandWarmupMs;
    s.afrError = o.afrError;
    s.crLf = o.widebandCrLf;
    s.strayBytes = o.widebandStrayBytes;
    s.seed = o.seed;
    s.lineTiming = o.lineTiming;
    s.traceMessages = o.traceWideband;
    return s;
}

// A symbolic link at `path` to `target`; a stale link from an earlier run is replaced.
bool placeLink(const QString &path, const QString &target, QString *error) {
    const QFileInfo existing(path);
    if (existing.isSymLink())
        QFile::remove(path);
    else if (existing.exists()) {
        *error = QStringLiteral("%1 exists and is not a symbolic link").arg(path);
        return false;
    }
    if (!QFile::link(target, path)) {
        *error = QStringLiteral("cannot create the link %1").arg(path);
        return false;
    }
    return true;
}

void removeLink(const QString &path, const QString &target) {
    const QFileInfo link(path);
    if (!path.isEmpty() && link.isSymLink() && link.symLinkTarget() == QFileInfo(target).absoluteFilePath())
        QFile::remove(path);
}

} // namespace

struct Simulator::Parts {
    explicit Parts(const SimulatorOptions &o)
        : memory(initialImage(o, &setupError)), engine(o.seed, o.troubleCodes),
          model(memory, engine, o.protocol, o.pressureSensor.value_or(PressureSensor::fromImage(memory.image()))),
          ecu(model, faults, o.trace), wideband(engine, widebandSettings(o), o.trace) {}

    QString setupError;
    EcuMemory memory;
    EngineSource engine;
    FaultBoard faults;
    EcuModel model;
    EcuLink ecu;
    WidebandLink wideband;
    std::atomic<bool> running{false};
    bool used = false;
};

Simulator::Simulator(SimulatorOptions options)
    : m_options(std::move(options)), m_parts(std::make_unique<Parts>(m_options)) {
    if (m_options.closedLoop)
        m_parts->engine.setFuelling(
            std::make_shared<EcuFuelling>(m_parts->memory, AirErrorMap(m_options.seed, m_options.airErrorSize)));
    m_parts->ecu.setLatencyMs(m_options.latencyMs);
    m_parts->ecu.setLineTiming(m_options.lineTiming);
    m_parts->ecu.setAnswerChunks(m_options.answerChunks);
    m_parts->ecu.setSessionTimeoutMs(m_options.sessionTimeoutMs);
    m_parts->ecu.setInterByteTimeoutMs(m_options.interByteTimeoutMs);
    for (const auto &[kind, form] : m_options.answerForms)
        m_parts->ecu.setAnswerForm(kind, form);
    for (const FaultRule &rule : m_options.faults)
        m_parts->faults.inject(rule);
    if (m_options.randomFaults)
        m_parts->faults.setRandom(*m_options.randomFaults);
}

Simulator::~Simulator() {
    stop();
}

bool Simulator::start(QString *error) {
    QString why;
    auto fail = [&](const QString &reason) {
        if (error)
            *error = reason;
        stop();
        return false;
    };
    if (m_parts->running.load())
        return true;
    if (m_parts->used)
        return fail(QStringLiteral("a stopped simulator cannot be started again"));
    m_parts->used = true;
    if (!m_parts->setupError.isEmpty())
        return fail(m_parts->setupError);
    if (!m_parts->ecu.open(&why))
        return fail(why);
    const bool withWideband = m_options.wideband != WidebandType::None;
    if (withWideband && !m_parts->wideband.open(&why))
        return fail(why);
    if (!m_options.ecuLinkPath.isEmpty() && !placeLink(m_options.ecuLinkPath, ecuDevicePath(), &why))
        return fail(why);
    if (withWideband && !m_options.lambdaLinkPath.isEmpty() &&
        !placeLink(m_options.lambdaLinkPath, lambdaDevicePath(), &why))
        return fail(why);
    m_parts->ecu.start();
    m_parts->wideband.start();
    m_parts->running.store(true);
    return true;
}

void Simulator::stop() {
    m_parts->ecu.stop();
    m_parts->wideband.stop();
    m_parts->running.store(false);
    removeLink(m_options.ecuLinkPath, ecuDevicePath());
    removeLink(m_options.lambdaLinkPath, lambdaDevicePath());
}

bool Simulator::running() const {
    return m_parts->running.load();
}
QString Simulator::ecuDevicePath() const {
    return m_parts->ecu.devicePath();
}
QString Simulator::lambdaDevicePath() const {
    return m_options.wideband == WidebandType::None ? QString() : m_parts->wideband.devicePath();
}
int Simulator::ecuBaud() const {
    return m_parts->ecu.baud();
}
bool Simulator::ecuPortOpen() const {
    return m_parts->ecu.programAttached();
}
bool Simulator::lambdaPortOpen() const {
    return m_parts->wideband.programAttached();
}

void Simulator::setEngineState(const EngineState &state) {
    m_parts->engine.set(state);
}
void Simulator::resumeDrive() {
    m_parts->engine.resumeDrive();
}
EngineState Simulator::engineState() const {
    return m_parts->engine.now();
}

QByteArray Simulator::memory() const {
    return m_parts->memory.image();
}
bool Simulator::setMemory(const QByteArray &image) {
    return m_parts->memory.setImage(image);
}
QByteArray Simulator::readMemory(int address, int length) const {
    return m_parts->memory.read(address, length);
}
bool Simulator::writeMemory(int address, const QByteArray &bytes) {
    return m_parts->memory.write(address, bytes);
}

void Simulator::injectFault(const FaultRule &rule) {
    m_parts->faults.inject(rule);
}
void Simulator::setRandomFaults(const RandomFaults &random) {
    m_parts->faults.setRandom(random);
}
void Simulator::clearFaults() {
    m_parts->faults.clear();
}

QList<QByteArray> Simulator::requestLog() const {
    return m_parts->ecu.requestLog();
}
void Simulator::clearRequestLog() {
    m_parts->ecu.clearRequestLog();
}

void Simulator::setLatencyMs(int ms) {
    m_parts->ecu.setLatencyMs(ms);
}
void Simulator::setLineTiming(bool on) {
    m_parts->ecu.setLineTiming(on);
}
void Simulator::setAnswerChunks(int chunks) {
    m_parts->ecu.setAnswerChunks(chunks);
}
void Simulator::setAnswerForm(RequestKind kind, HeaderForm form) {
    m_parts->ecu.setAnswerForm(kind, form);
}
void Simulator::setAfrError(double error) {
    m_parts->wideband.setAfrError(error);
}
void Simulator::setWidebandError(bool on) {
    m_parts->wideband.setSensorError(on);
}

void Simulator::vanish() {
    m_parts->ecu.vanish();
}
void Simulator::vanishWideband() {
    m_parts->wideband.vanish();
}

} // namespace korvel::sim
