#include "app/ConnectionSettings.h"

#include "core/ProgramLog.h"
#include "core/SettingNames.h"
#include "core/SettingsList.h"

namespace korvel {
namespace {

const QString kUnknownProtocol = QStringLiteral("Ошибка: '%1' не является протоколом обмена (настройка \"%2\")");
const QString kNotAnInterval =
    QStringLiteral("Ошибка: '%1' не является интервалом в мс больше нуля (настройка \"%2\")");

// Reads every named integer in order; the first that does not parse stops (and is logged).
bool readIntegers(std::initializer_list<std::pair<const QString *, int *>> fields, const SettingsList &settings,
                  ProgramLog &log) {
    for (const auto &[name, field] : fields) {
        const std::optional<int> value = settings.integer(*name, log);
        if (!value)
            return false;
        *field = *value;
    }
    return true;
}

} // namespace

std::optional<ConnectionSettings> ConnectionSettings::read(const SettingsList &settings, ProgramLog &log) {
    ConnectionSettings read;
    const QString protocolName = settings.value(setting::Protocol);
    const std::optional<Protocol> protocol = protocolFromSetting(protocolName);
    if (!protocol) {
        log.append(kUnknownProtocol.arg(protocolName, setting::Protocol));
        return std::nullopt;
    }
    read.protocol = *protocol;
    if (!readIntegers({{&setting::Timeout1, &read.portTimeOut},
                       {&setting::Timeout2, &read.portReadTimeOut},
                       {&setting::FirmwareSaveInterval, &read.firmwareSaveMs},
                       {&setting::WriteBackInterval, &read.writeBackMs},
                       {&setting::NeighbourInterval, &read.neighbourMs},
                       {&setting::MinLoad, &read.minLoadPercent}},
                      settings, log))
        return std::nullopt;
    read.ecuPort = settings.value(setting::EcuCom);
    read.ecuSpeed = settings.value(setting::EcuSpeed);
    read.lambdaPort = settings.value(setting::LambdaCom);
    read.oxygenSensor = settings.value(setting::OxygenSensor);
    read.widebandSensor = read.oxygenSensor != setting::Narrowband;
    read.writeLogs = settings.value(setting::WriteLogs) == setting::Yes;
    read.loadDefaultFirmware = settings.value(setting::LoadDefaultFirmware) == setting::Yes;
    read.fastExchange = settings.value(setting::FastExchange) == setting::Yes;
    read.defaultFirmware = settings.value(setting::DefaultFirmware);
    read.verifyWrites = settings.value(setting::VerifyWrites) == setting::Yes;
    return read;
}

std::optional<TuningTimerSettings> TuningTimerSettings::read(const SettingsList &settings, ProgramLog &log) {
    TuningTimerSettings read;
    const std::pair<const QString *, int *> fields[] = {
        {&setting::FirmwareSaveInterval, &read.firmwareSaveMs},
        {&setting::WriteBackInterval, &read.writeBackMs},
        {&setting::NeighbourInterval, &read.neighbourMs},
    };
    for (const auto &[name, field] : fields) {
        const std::optional<int> value = settings.integer(*name, log);
        if (!value)
            return std::nullopt;
        if (*value <= 0) {
            log.append(kNotAnInterval.arg(settings.value(*name), *name));
            return std::nullopt;
        }
        *field = *value;
    }
    return read;
}

} // namespace korvel
