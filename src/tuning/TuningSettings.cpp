#include "tuning/TuningSettings.h"

#include "core/ProgramLog.h"
#include "core/SettingNames.h"
#include "core/SettingsList.h"

#include <algorithm>

namespace korvel {
namespace {

std::optional<double> parseNumber(QString text) {
    text = text.trimmed().replace(QLatin1Char(','), QLatin1Char('.'));
    bool ok = false;
    const double v = text.toDouble(&ok);
    return ok ? std::optional<double>(v) : std::nullopt;
}

class Reader {
public:
    Reader(const SettingsList &settings, ProgramLog *log) : m_settings(settings), m_log(log) {}

    void number(const QString &name, double &field) {
        if (m_failed)
            return;
        const QString text = m_settings.value(name);
        if (const auto v = parseNumber(text)) {
            field = *v;
            return;
        }
        m_failed = true;
        if (m_log)
            m_log->append(QStringLiteral("Ошибка: '%1' не является числом (настройка \"%2\")").arg(text, name));
    }
    void integer(const QString &name, int &field) {
        double v = field;
        number(name, v);
        if (!m_failed)
            field = static_cast<int>(std::clamp(v, -1e9, 1e9));
    }
    bool failed() const { return m_failed; }

private:
    const SettingsList &m_settings;
    ProgramLog *m_log;
    bool m_failed = false;
};

} // namespace

std::optional<TuningSettings> TuningSettings::read(const SettingsList &settings, ProgramLog *log) {
    TuningSettings s;
    s.byPressure = settings.value(setting::TuneBy) == setting::TuneByPressure;
    s.fourPoint = settings.value(setting::FourPoints) == setting::Yes;
    s.phaseTuning = settings.value(setting::PhaseTuning) == setting::Yes;
    s.phaseOpenValve = settings.value(setting::PhaseMethod) == kOpenValve;

    Reader r(settings, log);
    r.number(setting::StationaryRpm, s.stationaryRpm);
    r.number(setting::StationaryLoad, s.stationaryLoad);
    r.integer(setting::StationaryCycles, s.stationaryCycles);
    r.integer(setting::CyclesPerEvaluation, s.cyclesPerEvaluation);
    r.number(setting::CorrectionWeight, s.weight);
    r.number(setting::MinRpm, s.minRpm);
    r.integer(setting::MinLoad, s.minThrottle);
    r.number(setting::MinCorrection, s.corrMin);
    r.number(setting::MaxCorrection, s.corrMax);
    r.number(setting::NeighbourFactor, s.neighbourFactor);
    if (s.phaseTuning) {
        r.integer(setting::IntakeOpen, s.intakeOpen);
        r.integer(setting::IntakeClose, s.intakeClose);
    }
    if (r.failed())
        return std::nullopt;
    return s;
}

} // namespace korvel
