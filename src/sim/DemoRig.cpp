#include "sim/DemoRig.h"

#include "core/SafeFile.h"
#include "core/SettingNames.h"
#include "firmware/DemoFirmware.h"
#include "firmware/DemoMap.h"

#include <QDir>

namespace korvel::sim {
namespace {

void setError(QString *error, const QString &why) {
    if (error)
        *error = why;
}

} // namespace

DemoRig::DemoRig(QString workDir) : m_workDir(QDir(workDir).absolutePath()) {}

DemoRig::~DemoRig() {
    stop();
}

bool DemoRig::start(QString *error) {
    const QDir dir(m_workDir);
    const QByteArray firmware = makeDemoFirmware();
    const QString written = writeFileSafely(dir.filePath(kFirmwareFile), firmware);
    if (!written.isEmpty()) {
        setError(error, written);
        return false;
    }
    const Outcome<QByteArray> map = makeDemoMap();
    const QString mapWritten = map ? writeFileSafely(dir.filePath(kMapFile), map.value()) : map.error();
    if (!mapWritten.isEmpty()) {
        setError(error, mapWritten);
        return false;
    }

    SimulatorOptions options;
    options.firmwareFactory = [firmware] { return firmware; };
    options.ecuLinkPath = dir.filePath(kEcuLink);
    options.lambdaLinkPath = dir.filePath(kLambdaLink);
    // The ECU fuels from its tables in RAM with a visible air-measurement error,
    // so automatic tuning has something to correct and shows it working.
    options.closedLoop = m_closedLoop;
    options.airErrorSize = kDemoAirError;
    m_simulator = std::make_unique<Simulator>(options);
    if (!m_simulator->start(error)) {
        m_simulator.reset();
        return false;
    }
    return true;
}

QList<std::pair<QString, QString>> DemoRig::settingOverrides() const {
    const QDir dir(m_workDir);
    return {
        {setting::EcuCom, dir.filePath(kEcuLink)},       {setting::LambdaCom, dir.filePath(kLambdaLink)},
        {setting::Protocol, setting::FastProtocol},      {setting::OxygenSensor, QStringLiteral("Innovate")},
        {setting::FirmwareType, QStringLiteral("j5ls")}, {setting::LoadDefaultFirmware, setting::Yes},
        {setting::DefaultFirmware, kFirmwareFile},       {setting::FirmwareMap, kMapFile},
    };
}

void DemoRig::stop() {
    if (m_simulator)
        m_simulator->stop();
    m_simulator.reset();
}

} // namespace korvel::sim
