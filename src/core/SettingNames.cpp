#include "core/SettingNames.h"

namespace korvel {

const std::vector<SettingDefinition> &settingDefinitions() {
    using namespace setting;
    static const std::vector<SettingDefinition> defs = {
        {EcuCom, QStringLiteral("COM1"), {}},
        {EcuSpeed,
         QStringLiteral("10400"),
         {QStringLiteral("10400"), QStringLiteral("38400"), QStringLiteral("57600")}},
        {Timeout1, QStringLiteral("20"), {}},
        {Timeout2, QStringLiteral("150"), {}},
        {Protocol, {}, {FastProtocol, StandardProtocol}},
        {LambdaCom, QStringLiteral("COM2"), {}},
        {OxygenSensor,
         {},
         {QStringLiteral("Innovate"), QStringLiteral("AEM"), QStringLiteral("ALC-1"), QStringLiteral("APSX"),
          Narrowband}},
        {LoadDefaultFirmware, {}, {No, Yes}},
        {DefaultFirmware, QStringLiteral("j5ls.bin"), {}},
        {FirmwareMap, {}, {}},
        {WriteLogs, Yes, {No, Yes}},
        {FirmwareType,
         {},
         {QStringLiteral("j7es"), QStringLiteral("j5ls"), QStringLiteral("vrk"), QStringLiteral("стандартная"),
          QStringLiteral("авто"), QStringLiteral("ручной режим")}},
        {ShowErrors, {}, {Yes, No}},
        {ShowKnock, {}, {Yes, No}},
        {ShowMinMax, {}, {Yes, No}},
        {OsTheme, {}, {QStringLiteral("стандартная"), QStringLiteral("нестандартная")}},
        {TuneBy, {}, {QStringLiteral("Дросселю"), QStringLiteral("Давлению")}},
        {PhaseTuning, {}, {Yes, No}},
        {PhaseMethod, {}, {QStringLiteral("В открытый клапан"), QStringLiteral("В закрытый клапан")}},
        {IntakeOpen, {}, {}},
        {IntakeClose, {}, {}},
        {FourPoints, {}, {Yes, No}},
        {ConstantFuel, {}, {Yes, No}},
        {StationaryRpm, QStringLiteral("100"), {}},
        {StationaryLoad, QStringLiteral("100"), {}},
        {StationaryCycles, QStringLiteral("4"), {}},
        {MinLoad, QStringLiteral("2"), {}},
        {MinRpm, {}, {}},
        {CyclesPerEvaluation, QStringLiteral("7"), {}},
        {CorrectionWeight, QStringLiteral("70"), {}},
        {MinCorrection, {}, {}},
        {MaxCorrection, {}, {}},
        {WriteBackInterval, QStringLiteral("120000"), {}},
        {NeighbourInterval, {}, {}},
        {NeighbourFactor, {}, {}},
        {FirmwareSaveInterval, QStringLiteral("500"), {}},
        {VerifyWrites, No, {Yes, No}},
        {FastExchange, No, {Yes, No}},
        {ExtendedTuning, No, {Yes, No}},
        {WidebandStateFilter, Yes, {Yes, No}},
        {MinCoolant, QStringLiteral("70"), {}},
        {FuelCutHoldOff, QStringLiteral("2000"), {}},
        {EnrichmentHoldOff, QStringLiteral("2000"), {}},
        {MaxThrottleRate, QStringLiteral("10"), {}},
        {MaxRpm, QStringLiteral("6500"), {}},
        {MaxLoad, QStringLiteral("100"), {}},
        {CentreZone, QStringLiteral("100"), {}},
        {WidebandDelay, QStringLiteral("800:200 2000:140 4000:90 6000:50"), {}},
        {EcuTrimOut, Yes, {Yes, No}},
        {MaxCorrectionStep, QStringLiteral("5"), {}},
        {MaxCorrectionBand, QStringLiteral("25"), {}},
    };
    return defs;
}

const QStringList &pickListOrder() {
    using namespace setting;
    static const QStringList shipped = {
        EcuSpeed,     WriteLogs,  OxygenSensor, LoadDefaultFirmware, TuneBy,       PhaseTuning, PhaseMethod, Protocol,
        FirmwareType, ShowErrors, ShowKnock,    ShowMinMax,          ConstantFuel, FourPoints,  OsTheme,
        FastExchange, // settings added later follow the original list
    };
    static const QStringList order =
        shipped + QStringList{VerifyWrites, ExtendedTuning, WidebandStateFilter, EcuTrimOut};
    return order;
}

} // namespace korvel
