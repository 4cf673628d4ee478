#pragma once

#include "editor/TableView.h"
#include "firmware/FirmwareStore.h"
#include "firmware/Outcome.h"

#include <QString>

#include <array>
#include <optional>
#include <vector>

namespace korvel {

class ProgramLog;

// The entries that are not tables of numbers: a single value (kind 3), bit
// flags (kind 4) and identification texts (kind 5).

inline const QString kAutomaticLimit = QStringLiteral("Автомат");

struct SingleValueView {
    OpenTable table;
    QString title; // Label1dname: name, or "name (unit)"
    QString unit;
    QString minimumText; // the description's limits: "Автомат" for 0
    QString maximumText;
    double minimum = 0; // allowed range shown beside "Минимальное значение" / "Максимальное значение"
    double maximum = 0;
    double value = 0;
    QString valueText;            // Edit78 and the previous value Label1d
    bool comparisonShown = false; // Label5 and Label7
    QString comparisonText;
    bool unsupported = false;
};

Outcome<SingleValueView> buildSingleValueView(const CalibrationMap &map, const TableRef &ref,
                                              const FirmwareStore &store, bool compare);

// The raw value to store for a typed value; nothing when the description has
// no inverse for it (a zero multiplier D4 with D4 + D5 not 0).
std::optional<std::int64_t> singleValueRaw(double typed, const TableConversion &conversion);

// One line of the flag panel: a group caption or a check box.
struct FlagLine {
    int left = 0;
    int top = 0;
};
// Line n (from 0): the left column holds 27 lines, then the right one.
FlagLine flagLinePlace(int n);

struct FlagBox {
    int number = 0; // iCheckBox number, 7 + 8i + j
    QString text;   // the bit's name, "[#name#]" when the comparison differs
    bool ticked = false;
    FlagLine place;
};

struct FlagGroup {
    QString caption; // Label51 + i; empty when the byte has no name (and then no line)
    FlagLine place;
};

struct FlagPanelView {
    OpenTable table;
    std::array<FlagGroup, 8> groups;
    std::vector<FlagBox> boxes; // only bits with a name
    std::array<FlagByte, 8> bytes;
};

Outcome<FlagPanelView> buildFlagPanelView(const CalibrationMap &map, const TableRef &ref, const FirmwareStore &store,
                                          bool compare);
// The check box name of bit j of flag byte i.
QString flagBoxName(int number);

struct IdentView {
    QString title;
    std::array<QString, 8> captions; // Label17 to Label24
};

Outcome<IdentView> buildIdentView(const CalibrationMap &map, const TableRef &ref, const FirmwareStore &store);

} // namespace korvel
