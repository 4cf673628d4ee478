#include "cli/TuningSessionCore.h"

#include "core/SettingNames.h"
#include "firmware/Complectation.h"
#include "firmware/Conversions.h"
#include "firmware/PressureSensor.h"
#include "firmware/TuningAddressSets.h"

#include <QDateTime>
#include <QStringList>

#include <cmath>

#include <utility>

namespace korvel::cli {

namespace {

// The settings tuning reads, as config.ini ships them; the firmware type is
// forced to the demo firmware's.
const std::pair<QString, QString> kShippedTuningSettings[] = {
    {setting::FirmwareType, QStringLiteral("j5ls")},
    {setting::TuneBy, QStringLiteral("Дросселю")},
    {setting::PhaseTuning, setting::No},
    {setting::PhaseMethod, QStringLiteral("В закрытый клапан")},
    {setting::IntakeOpen, QStringLiteral("10")},
    {setting::IntakeClose, QStringLiteral("40")},
    {setting::StationaryRpm, QStringLiteral("100")},
    {setting::StationaryLoad, QStringLiteral("100")},
    {setting::StationaryCycles, QStringLiteral("4")},
    {setting::MinLoad, QStringLiteral("2")},
    {setting::MinRpm, QStringLiteral("700")},
    {setting::CyclesPerEvaluation, QStringLiteral("7")},
    {setting::CorrectionWeight, QStringLiteral("70")},
    {setting::MinCorrection, QStringLiteral("0.7")},
    {setting::MaxCorrection, QStringLiteral("1.3")},
    {setting::WriteBackInterval, QStringLiteral("120000")},
    {setting::NeighbourInterval, QStringLiteral("5000")},
    {setting::NeighbourFactor, QStringLiteral("0")},
    {setting::FirmwareSaveInterval, QStringLiteral("500")},
    {setting::ExtendedTuning, setting::Yes},
    {setting::WidebandStateFilter, setting::Yes},
    {setting::MinCoolant, QStringLiteral("70")},
    {setting::FuelCutHoldOff, QStringLiteral("2000")},
    {setting::EnrichmentHoldOff, QStringLiteral("2000")},
    {setting::MaxThrottleRate, QStringLiteral("10")},
    {setting::MaxRpm, QStringLiteral("6500")},
    {setting::MaxLoad, QStringLiteral("100")},
    {setting::CentreZone, QStringLiteral("100")},
    {setting::WidebandDelay, QStringLiteral("800:200 2000:140 4000:90 6000:50")},
    {setting::EcuTrimOut, setting::Yes},
    {setting::MaxCorrectionStep, QStringLiteral("5")},
    {setting::MaxCorrectionBand, QStringLiteral("25")},
};

constexpr int kIdentificationBytes = 224;
constexpr int kTableBytes = 256;

// The equipment bytes as the ECU worker reads them from the ECU at connect.
QStringList complectationOf(const FirmwareImage &image) {
    QStringList bytes;
    for (std::uint16_t address : complectationAddresses())
        bytes << IntToHexEven(image.byteAt(address).value_or(0));
    return bytes;
}

} // namespace

TuningSessionCore::TuningSessionCore(const QByteArray &ecuImage, TuningWrites &writes, const TuningSetup &setup) {
    for (const auto &[name, value] : kShippedTuningSettings)
        m_settings.setValue(name, value);
    m_settings.setValue(setting::FourPoints, setup.fourPoint ? setting::Yes : setting::No);
    m_settings.setValue(setting::NeighbourFactor, QString::number(setup.neighbourPercent));
    m_settings.setValue(setting::TuneBy, setup.byPressure ? setting::TuneByPressure : QStringLiteral("Дросселю"));
    m_settings.setValue(setting::PhaseTuning, setup.phase ? setting::Yes : setting::No);
    m_settings.setValue(setting::ExtendedTuning, setup.extended ? setting::Yes : setting::No);
    m_settings.setValue(setting::Protocol,
                        setup.protocol == Protocol::Fast ? setting::FastProtocol : setting::StandardProtocol);

    // Connected to an ECU that runs the image the program has open.
    m_tables.startUp(m_dir.path());
    m_store.loadImage(*FirmwareImage::fromBytes(ecuImage));
    m_identity.ImageSwid(m_store.image());
    m_identity.EcuSwid(ecuImage.first(kIdentificationBytes));
    m_tables.postConnectSetup(m_settings, complectationOf(m_store.image()), m_dir.path(), QDateTime::currentDateTime());
    m_tuning.setWrites(&writes);
    m_tuning.startConnection(setup.protocol);
    m_engine.startConnection(setup.protocol);
    m_liveSettings = LiveSettings::from(m_settings);
    const PressureSensorConstants constants = pressureSensorConstants(m_store.image(), m_identity.FirmwareFamily());
    m_pressureSensor = {true, constants.gain, constants.offset};
    // The engine timer runs while connected; the write-back checks it. It never fires here.
    m_timers.engineTimer.start();
}

bool TuningSessionCore::startTuning() {
    return m_tuning.startTuning();
}

void TuningSessionCore::stopTuning() {
    m_tuning.stopTuning();
}

void TuningSessionCore::rewriteCorrections() {
    m_tuning.reTune(correctionTable(), kTableBytes);
}

QByteArray TuningSessionCore::image() const {
    return m_store.image().bytes();
}

std::int64_t TuningSessionCore::phaseTable() const {
    const TuningAddressSets &sets = m_tables.addressSets();
    if (!sets.present(tuningcolumn::Phase))
        return -1;
    return HexToInt(sets.address(tuningcolumn::Phase)).valueOr(-1);
}

void TuningSessionCore::tick(double seconds, const QByteArray &frame, double widebandAfr) {
    tick(seconds, frame, widebandAfr, m_readings.at(seconds, widebandAfr));
}

void TuningSessionCore::tick(double seconds, const QByteArray &frame, double shownAfr, const WidebandSample &wideband) {
    m_clock.advanceTo(seconds);
    m_engine.processFrame(frame, ++m_numlog, {m_liveSettings, shownAfr, m_pressureSensor});
    m_tuning.engineStep(m_engine, true, m_trace, {seconds, wideband});
}

} // namespace korvel::cli
