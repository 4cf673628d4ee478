#include "live/MainPanel.h"

#include "core/ControlBoard.h"
#include "core/ControlNames.h"
#include "core/Numbers.h"
#include "live/DisplayText.h"
#include "live/TroubleCodes.h"

#include <cstdio>
#include <cstdlib>

namespace korvel {
namespace {

const QString kNarrowbandText = QStringLiteral("УДК");
// Flag 2, the idle flag: bit 1 of the fast frame's byte 0, which the idle indicator shows.
constexpr int kIdleFlag = 2;

// A value shown on a label and, in the fast protocol, on its edit field.
struct ValuePair {
    const QString &label;
    const QString &edit;
    double LiveParameters::*value;
};

const ValuePair kValuePairs[] = {
    {control::RPMlabel, control::EditRPM, &LiveParameters::rpm},
    {control::DRLabel, control::EditDr, &LiveParameters::throttle},
    {control::ULabel, control::EditU, &LiveParameters::batteryU},
    {control::TWLabel, control::EditTemp, &LiveParameters::coolantTemp},
    {control::AFRlabel, control::EditAFR, &LiveParameters::afrEcu},
    {control::RXXLabel, control::EditRXX, &LiveParameters::idleValveCurrent},
    {control::UOZlabel, control::EditUoz, &LiveParameters::ignition},
    {control::INJlabel, control::EditTimeVpr, &LiveParameters::injPulse},
    {control::Mlabel, control::EditAirMas, &LiveParameters::airMass},
};

void showPair(ControlBoard &board, const QString &label, const QString &edit, const QString &text, bool withEdit) {
    board.setText(label, text);
    if (withEdit)
        board.setText(edit, text);
}

void colourPair(ControlBoard &board, const QString &label, const QString &edit, int rgb, bool withEdit) {
    board.setColor(label, rgb);
    if (withEdit)
        board.setColor(edit, rgb);
}

// The wideband ratio and the correction coefficient; with a wideband controller
// and a zero ECU ratio there is no coefficient to show and both fields keep their text.
void showOxygenSensor(ControlBoard &board, const LiveParameters &p, bool narrowbandSensor, bool withEdit) {
    showPair(board, control::AFRLClabel, control::EditAFRLC1,
             narrowbandSensor ? kNarrowbandText : fixedDecimal(p.afrWideband, 2), withEdit);
    if (narrowbandSensor || p.afrEcu != 0)
        showPair(board, control::COEFlabel, control::EditKoefKor, fixedDecimal(p.injCorrection, 3), withEdit);
}

// Whether the pressure and air temperature fields are shown is decided with the
// ECU's equipment (with or without the air-flow sensor), for both panels at once.
void showFastOnly(ControlBoard &board, const LiveParameters &p) {
    showPair(board, control::labelpress, control::EditPress, fixedDecimal(p.pressure / 10.0, 0), true);
    showPair(board, control::Labeldtv, control::EditTempDTV, generalText(p.airTemp), true);
    board.setText(control::EditAirZicl, generalText(p.cyclicAir));
    // The fast protocol shows the idle indicator on every frame, from the same flag.
    board.setText(control::LabelXX2, idleIndicatorText(p.flag(kIdleFlag) != 0));
    board.setVisible(control::LabelXX2, true);
}

// The value as its label shows it (up to 15 significant digits), so that the
// colour agrees with the text: 156 × 0.05 + 5.2 reads 13 and is coloured as 13.
double asShown(double value) {
    char text[32];
    std::snprintf(text, sizeof text, "%.15g", value);
    return std::strtod(text, nullptr);
}

const PanelControl kControls[] = {
    {"RPMlabel", "PanelMain", ControlKind::Gauge, "Скорость вращения двигателя", 0, 10200},
    {"DRLabel", "PanelMain", ControlKind::Progress, "Положение дроссельной заслонки", 0, 100},
    {"labelpress", "PanelMain", ControlKind::Label, "Давление", 0, 0, "Labelpressname"},
    {"Labeldtv", "PanelMain", ControlKind::Label, "Температура воздуха", 0, 0, "Labeldtvname"},
    {"ULabel", "PanelMain", ControlKind::Label, "АЦП напряжения бортсети"},
    {"TWLabel", "PanelMain", ControlKind::Label, "Температура охлаждающей жидкости"},
    {"AFRlabel", "PanelMain", ControlKind::Label, "Соотношение воздух/топливо"},
    {"RXXLabel", "PanelMain", ControlKind::Label, "Текущее положение РХХ"},
    {"UOZlabel", "PanelMain", ControlKind::Label, "Угол опережения зажигания"},
    {"INJlabel", "PanelMain", ControlKind::Label, "Длительность импульса впрыска"},
    {"Mlabel", "PanelMain", ControlKind::Label, "Массовый расход воздуха"},
    {"AFRLClabel", "PanelMain", ControlKind::Label, "AFR LC-1"},
    {"COEFlabel", "PanelMain", ControlKind::Label, "Коэф. коррекции времени впрыска"},
    {"Labelxx", "PanelMain", ControlKind::Label, "ХОЛОСТОЙ ХОД"},
    {"Label35", "PanelMain", ControlKind::Label, ""},
    {"BitBtn2", "PanelMain", ControlKind::Button, "Посмотреть все ошибки"},
    {"Panel8", "PanelMain", ControlKind::Panel, ""},
    {"Labelerror", "Panel8", ControlKind::Label, "Текущие ошибки"},
    {"Button2", "Panel8", ControlKind::Button, "Закрыть"},
    {"Image1", "PanelMain", ControlKind::Picture, ""},
    {"EditRPM", "PanelMain2", ControlKind::Label, "Скорость вращения двигателя"},
    {"EditDr", "PanelMain2", ControlKind::Label, "Положение дроссельной заслонки"},
    {"EditPress", "PanelMain2", ControlKind::Label, "Давление"},
    {"EditTempDTV", "PanelMain2", ControlKind::Label, "Температура воздуха"},
    {"EditU", "PanelMain2", ControlKind::Label, "АЦП напряжения бортсети"},
    {"EditTemp", "PanelMain2", ControlKind::Label, "Температура охлаждающей жидкости"},
    {"EditAFR", "PanelMain2", ControlKind::Label, "Соотношение воздух/топливо"},
    {"EditRXX", "PanelMain2", ControlKind::Label, "Текущее положение РХХ"},
    {"EditUoz", "PanelMain2", ControlKind::Label, "Угол опережения зажигания"},
    {"EditTimeVpr", "PanelMain2", ControlKind::Label, "Длительность импульса впрыска"},
    {"EditAirMas", "PanelMain2", ControlKind::Label, "Массовый расход воздуха"},
    {"EditAirZicl", "PanelMain2", ControlKind::Label, "Цикловой расход воздуха"},
    {"EditKoefKor", "PanelMain2", ControlKind::Label, "Коэф. коррекции времени впрыска"},
    {"EditAFRLC1", "PanelMain2", ControlKind::Label, "AFR LC-1"},
    {"LabelXX2", "PanelMain2", ControlKind::Label, "ХОЛОСТОЙ ХОД"},
};

} // namespace

int batteryColor(double volts) {
    if (volts < 12.5)
        return control::kRed;
    if (volts < 13)
        return control::kOlive;
    return control::kGreen;
}

int coolantColor(double coolantTemp) {
    return coolantTemp > 102 ? control::kRed : control::kGreen;
}

int afrColor(double afrEcu) {
    return afrEcu < 12.4 || afrEcu > 15 ? control::kRed : control::kGreen;
}

void showMainPanel(ControlBoard &board, const LiveParameters &p, Protocol protocol, bool narrowbandSensor) {
    const bool fast = protocol == Protocol::Fast;
    for (const ValuePair &pair : kValuePairs)
        showPair(board, pair.label, pair.edit, generalText(p.*pair.value), fast);
    showOxygenSensor(board, p, narrowbandSensor, fast);
    if (fast)
        showFastOnly(board, p);
    else
        board.setText(control::labelpress, QString());
    colourPair(board, control::ULabel, control::EditU, batteryColor(asShown(p.batteryU)), fast);
    colourPair(board, control::TWLabel, control::EditTemp, coolantColor(p.coolantTemp), fast);
    colourPair(board, control::AFRlabel, control::EditAFR, afrColor(p.afrEcu), fast);
}

std::span<const PanelControl> mainPanelControls() {
    return kControls;
}

} // namespace korvel
