#include "tuning/ExtendedTuningSettings.h"

#include "core/ProgramLog.h"
#include "core/SettingNames.h"
#include "core/SettingsList.h"

#include <cmath>

namespace korvel {
namespace {

class ExtendedSettingsReader {
public:
    ExtendedSettingsReader(const SettingsList &settings, ProgramLog *log) : m_settings(settings), m_log(log) {}

    void number(const QString &name, double &field) {
        QString text = m_settings.value(name).trimmed();
        if (m_failed || text.isEmpty())
            return;
        bool ok = false;
        const double v = text.replace(QLatin1Char(','), QLatin1Char('.')).toDouble(&ok);
        if (ok && std::isfinite(v))
            field = v;
        else
            fail(name);
    }
    void flag(const QString &name, bool &field) {
        const QString text = m_settings.value(name).trimmed();
        if (!text.isEmpty())
            field = text == setting::Yes;
    }
    void curve(const QString &name, DelayCurve &field) {
        const QString text = m_settings.value(name).trimmed();
        if (m_failed || text.isEmpty())
            return;
        if (const std::optional<DelayCurve> c = DelayCurve::parse(text))
            field = *c;
        else
            fail(name);
    }
    bool failed() const { return m_failed; }

private:
    void fail(const QString &name) {
        m_failed = true;
        if (m_log)
            m_log->append(
                QStringLiteral("Ошибка: '%1' не подходит (настройка \"%2\")").arg(m_settings.value(name), name));
    }

    const SettingsList &m_settings;
    ProgramLog *m_log;
    bool m_failed = false;
};

} // namespace

std::optional<ExtendedTuningSettings> ExtendedTuningSettings::read(const SettingsList &settings, ProgramLog *log) {
    ExtendedTuningSettings s;
    // Only "да" turns it on: a car folder from before keeps the plain rules.
    s.on = settings.value(setting::ExtendedTuning).trimmed() == setting::Yes;
    ExtendedSettingsReader r(settings, log);
    r.flag(setting::WidebandStateFilter, s.widebandState);
    r.number(setting::MinCoolant, s.minCoolant);
    r.number(setting::FuelCutHoldOff, s.fuelCutHoldMs);
    r.number(setting::EnrichmentHoldOff, s.enrichmentHoldMs);
    r.number(setting::MaxThrottleRate, s.maxThrottleRate);
    r.number(setting::MaxRpm, s.maxRpm);
    r.number(setting::MaxLoad, s.maxLoad);
    r.number(setting::CentreZone, s.centreZonePct);
    r.curve(setting::WidebandDelay, s.delay);
    r.flag(setting::EcuTrimOut, s.ecuTrimOut);
    r.number(setting::MaxCorrectionStep, s.stepPct);
    r.number(setting::MaxCorrectionBand, s.bandPct);
    if (r.failed())
        return std::nullopt;
    return s;
}

} // namespace korvel
