#include "sim/DemoRig.h"

#include "app/SafeFile.h"
#include "app/SettingNames.h"
#include "app/SettingsList.h"
#include "firmware/DemoFirmware.h"

#include <QDir>
#include <QFile>

namespace korvel::sim {
namespace {

void setError(QString *error, const QString &why) {
    if (error)
        *error = why;
}

} // namespace

DemoRig::DemoRig(QString workDir) : m_workDir(QDir(workDir).absolutePath()) {}

DemoRig::~DemoRig() { stop(); }

bool DemoRig::start(QString *error) {
    const QDir dir(m_workDir);
    const QByteArray firmware = makeDemoFirmware();
    const QString written = writeFileSafely(dir.filePath(kFirmwareFile), firmware);
    if (!written.isEmpty()) {
        setError(error, written);
        return false;
    }

    SimulatorOptions options;
    options.firmwareFactory = [firmware] { return firmware; };
    options.ecuLinkPath = dir.filePath(kEcuLink);
    options.lambdaLinkPath = dir.filePath(kLambdaLink);
    m_simulator = std::make_unique<Simulator>(options);
    if (!m_simulator->start(error)) {
        m_simulator.reset();
        return false;
    }
    return pointSettingsAtSimulator(error);
}

bool DemoRig::pointSettingsAtSimulator(QString *error) const {
    const QDir dir(m_workDir);
    const QString configPath = dir.filePath(QStringLiteral("config.ini"));
    SettingsList settings;
    if (!settings.load(configPath)) {
        setError(error, QStringLiteral("cannot read ") + configPath);
        return false;
    }
    const std::pair<QString, QString> demoValues[] = {
        {setting::EcuCom, dir.filePath(kEcuLink)},
        {setting::LambdaCom, dir.filePath(kLambdaLink)},
        {setting::Protocol, setting::FastProtocol},
        {setting::OxygenSensor, QStringLiteral("Innovate")},
        {setting::FirmwareType, QStringLiteral("j5ls")},
        {setting::LoadDefaultFirmware, setting::Yes},
        {setting::DefaultFirmware, kFirmwareFile},
    };
    for (const auto &[name, value] : demoValues)
        settings.setValue(name, value);
    const QString why = settings.save(configPath);
    setError(error, why);
    return why.isEmpty();
}

void DemoRig::stop() {
    if (m_simulator)
        m_simulator->stop();
    m_simulator.reset();
}

} // namespace korvel::sim
