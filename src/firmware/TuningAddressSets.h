#pragma once

#include "firmware/ErrorNames.h"

#include <QString>
#include <QStringList>

#include <array>
#include <cstdint>

namespace korvel {

class ControlBoard;
class ProgramLog;

// The columns of an address set: where the 16 x 16 tuning tables lie.
namespace tuningcolumn {
inline constexpr int GbcThr = 1;  // "БЦН %"
inline constexpr int GbcKpa = 2;  // "БЦН кПа"
inline constexpr int CorrThr = 3; // "Поправка %"
inline constexpr int CorrKpa = 4; // "Поправка кПа"
inline constexpr int Corr32a = 5; // "Поправка 32-1ч"
inline constexpr int Corr32b = 6; // "Поправка 32-2ч"
inline constexpr int IgnThr = 7;  // "УОЗ %"
inline constexpr int IgnKpa = 8;  // "УОЗ кПа"
inline constexpr int AlfThr = 9;  // "ALF %"
inline constexpr int AlfKpa = 10; // "ALF кПа"
inline constexpr int Phase = 11;  // "Фаза"
inline constexpr int Unused = 12;
inline constexpr int Count = 12;
inline constexpr int Tables = 11; // columns 1..11 carry tables
} // namespace tuningcolumn

inline const QString kAbsentTable = QStringLiteral("FFFF");
inline const QString kHexDataFile = QStringLiteral("hexdata.cfg");

// Twelve address texts (four upper-case hex digits; "FFFF" = no such table).
using TuningAddressSet = std::array<QString, tuningcolumn::Count>;

// Rows: 1 standard/unknown, 2 J5LS, 3 VRK, 4 J7ESA, 5 custom from hexdata.cfg.
inline constexpr int kAddressRows = 5;
inline constexpr int kCustomRow = 5;

// The built-in sets of rows 1 to 4.
const std::array<TuningAddressSet, 4> &builtInAddressSets();

// hexdata.cfg's first line as row 5: comma-separated fields used as they stand,
// the first twelve only; missing columns stay "FFFF".
TuningAddressSet parseHexData(const QString &firstLine);

// The air measurement chosen from the complectation.
struct AirMeasurement {
    bool NoMafMode = false;           // true: no air-flow sensor (pressure or throttle)
    bool PressureMode = false;        // true: grids indexed by pressure
    std::int64_t correctionTable = 0; // table tuning corrects ("decpopr")
    std::int64_t gbcTable = 0;        // cycle-filling table tuning writes ("decgbc")
    int gbcColumn = 1;                // its column: by throttle (1) or by pressure (2), each on its own scale
    int mode = 1;                     // 1 with the air-flow sensor, 2 without
};

inline const QString kLogWithMaf = QStringLiteral("Работа по ДМРВ");
inline const QString kLogWithoutMaf = QStringLiteral("Работать без ДМРВ(ДАД или по досселю)");

// The addresses of the tuning tables of the identified firmware family, the
// mode flags chosen from the complectation, and the trouble-code names that
// are re-read with every set.
class TuningAddressSets {
public:
    TuningAddressSets();

    // Fills the built-in rows, reads row 5 from hexdata.cfg in the working
    // folder, selects the row (1 to 5; another row is refused), then re-reads
    // errors.cfg.
    bool addhexdata(int row, const QString &workDir);

    const TuningAddressSet &row(int r) const; // 1..5
    int selectedRow() const { return m_selectedRow; }
    // Address text and presence of a selected column 1..11 ("FFFF"/false outside).
    QString address(int col) const;
    bool present(int col) const;
    // The phase table is offered only with a phase sensor fitted: the
    // complectation decoding overwrites the presence of column 11.
    void setPhaseSensor(bool fitted);
    bool phaseSensor() const { return present(tuningcolumn::Phase); }

    // With bit "1" the firmware works without the air-flow sensor: the load axis
    // follows "Настройка по", the cycle-filling table is column 2 when present.
    // Any other bit text: with the sensor. Logs its line, shows or hides the
    // pressure and air-temperature labels of the main display.
    void selectAirMeasurement(const QString &bitText, const QString &tuneBy, ProgramLog &log,
                              ControlBoard *board = nullptr);
    const AirMeasurement &air() const { return m_air; }
    bool NoMafMode() const { return m_air.NoMafMode; }
    bool PressureMode() const { return m_air.PressureMode; }

    // The items of the tuning grid selector, in order; the first is selected.
    QStringList tablcont() const;

    const ErrorNames &errorNames() const { return m_errorNames; }

private:
    std::array<TuningAddressSet, kAddressRows> m_rows;
    int m_selectedRow = 1;
    std::array<QString, tuningcolumn::Tables> m_selected;
    std::array<bool, tuningcolumn::Tables> m_present{};
    AirMeasurement m_air;
    ErrorNames m_errorNames;
};

// The main displays' pressure and air temperature fields (labels and edit
// fields), shown only when working without the air-flow sensor.
const QStringList &pressureLabels();

} // namespace korvel
