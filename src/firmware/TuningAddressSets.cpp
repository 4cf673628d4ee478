#include "firmware/TuningAddressSets.h"
#include "core/ControlNames.h"
#include "core/SettingNames.h"

#include "core/ControlBoard.h"
#include "core/ProgramLog.h"
#include "core/TextFile.h"
#include "firmware/Conversions.h"

#include <QDir>
#include <QFile>

#include <algorithm>

namespace korvel {
namespace {

TuningAddressSet absentSet() {
    TuningAddressSet set;
    set.fill(kAbsentTable);
    return set;
}

QString firstLineOf(const QString &path, bool &exists) {
    QFile file(path);
    exists = file.open(QIODevice::ReadOnly);
    if (!exists)
        return {};
    const QStringList lines = decodeLines(file.readAll()).lines;
    return lines.isEmpty() ? QString() : lines.first();
}

// A chosen table's address; "FFFF" (absent) yields 65535, outside the tables.
std::int64_t tableAddress(const QString &text) {
    return HexToInt(text).valueOr(0xFFFF);
}

// Grid selector names of columns 1..11, in the order the selector lists them.
struct ChoiceName {
    int col;
    const char16_t *name;
};
constexpr ChoiceName kChoiceOrder[] = {
    {tuningcolumn::GbcThr, u"БЦН %"},
    {tuningcolumn::GbcKpa, u"БЦН кПа"},
    {tuningcolumn::CorrThr, u"Поправка %"},
    {tuningcolumn::CorrKpa, u"Поправка кПа"},
    {tuningcolumn::Corr32a, u"Поправка 32-1ч"},
    {tuningcolumn::Corr32b, u"Поправка 32-2ч"},
    {tuningcolumn::IgnThr, u"УОЗ %"},
    {tuningcolumn::IgnKpa, u"УОЗ кПа"},
    {tuningcolumn::Phase, u"Фаза"},
    {tuningcolumn::AlfThr, u"ALF %"},
    {tuningcolumn::AlfKpa, u"ALF кПа"},
};

} // namespace

const std::array<TuningAddressSet, 4> &builtInAddressSets() {
    static const std::array<TuningAddressSet, 4> sets = {{
        {"75EF", "FFFF", "7CF7", "FFFF", "FFFF", "FFFF", "6DC8", "FFFF", "6953", "FFFF", "64D3", "FFFF"},
        {"75EF", "FFFF", "7CF7", "8E2A", "FFFF", "FFFF", "6DC8", "852F", "6953", "76EF", "64D3", "FFFF"},
        {"75EF", "726D", "7CF7", "736D", "FFFF", "FFFF", "6DC8", "852F", "6953", "76EF", "64D3", "FFFF"},
        {"75EF", "FFFF", "7CF7", "9294", "FFFF", "FFFF", "6DC8", "FFFF", "6953", "83BA", "64D3", "FFFF"},
    }};
    return sets;
}

TuningAddressSet parseHexData(const QString &firstLine) {
    TuningAddressSet set = absentSet();
    const QStringList fields = firstLine.split(QLatin1Char(','));
    for (qsizetype n = 0; n < fields.size() && n < tuningcolumn::Count; ++n)
        set[static_cast<std::size_t>(n)] = fields.at(n);
    return set;
}

const QStringList &pressureLabels() {
    static const QStringList labels = {control::labelpress,   control::Labeldtv,  control::Labelpressname,
                                       control::Labeldtvname, control::EditPress, control::EditTempDTV};
    return labels;
}

TuningAddressSets::TuningAddressSets() {
    m_rows.fill(absentSet());
    m_selected.fill(kAbsentTable);
}

bool TuningAddressSets::addhexdata(int row, const QString &workDir) {
    if (row < 1 || row > kAddressRows)
        return false;
    const QDir dir(workDir.isEmpty() ? QDir::currentPath() : workDir);
    for (std::size_t r = 0; r < builtInAddressSets().size(); ++r)
        m_rows[r] = builtInAddressSets()[r];
    bool exists = false;
    const QString hexData = firstLineOf(dir.filePath(kHexDataFile), exists);
    m_rows[kCustomRow - 1] = exists ? parseHexData(hexData) : absentSet();

    m_selectedRow = row;
    for (std::size_t c = 0; c < tuningcolumn::Tables; ++c) {
        m_selected[c] = m_rows[static_cast<std::size_t>(row - 1)][c];
        m_present[c] = m_selected[c] != kAbsentTable;
    }

    QFile errors(dir.filePath(kErrorNamesFile));
    m_errorNames = errors.open(QIODevice::ReadOnly) ? parseErrorNames(errors.readAll()) : ErrorNames{};
    return true;
}

const TuningAddressSet &TuningAddressSets::row(int r) const {
    return m_rows[static_cast<std::size_t>(std::clamp(r, 1, kAddressRows) - 1)];
}

QString TuningAddressSets::address(int col) const {
    if (col < 1 || col > tuningcolumn::Tables)
        return kAbsentTable;
    return m_selected[static_cast<std::size_t>(col - 1)];
}

bool TuningAddressSets::present(int col) const {
    return col >= 1 && col <= tuningcolumn::Tables && m_present[static_cast<std::size_t>(col - 1)];
}

void TuningAddressSets::setPhaseSensor(bool fitted) {
    m_present[tuningcolumn::Phase - 1] = fitted;
}

void TuningAddressSets::selectAirMeasurement(const QString &bitText, const QString &tuneBy, ProgramLog &log,
                                             ControlBoard *board) {
    const bool withoutMaf = bitText == QLatin1String("1");
    if (withoutMaf) {
        log.append(kLogWithoutMaf);
        m_air.NoMafMode = true;
        m_air.mode = 2;
        m_air.PressureMode = tuneBy == setting::TuneByPressure;
        m_air.correctionTable =
            tableAddress(address(m_air.PressureMode ? tuningcolumn::CorrKpa : tuningcolumn::CorrThr));
        m_air.gbcColumn = present(tuningcolumn::GbcKpa) ? tuningcolumn::GbcKpa : tuningcolumn::GbcThr;
        m_air.gbcTable = tableAddress(address(m_air.gbcColumn));
    } else {
        log.append(kLogWithMaf);
        m_air.NoMafMode = false;
        m_air.PressureMode = false;
        m_air.correctionTable = tableAddress(address(tuningcolumn::CorrThr));
        m_air.gbcColumn = tuningcolumn::GbcThr;
        m_air.gbcTable = tableAddress(address(m_air.gbcColumn));
        m_air.mode = 1;
    }
    if (board)
        for (const QString &label : pressureLabels())
            board->setVisible(label, withoutMaf);
}

QStringList TuningAddressSets::tablcont() const {
    const bool kpa = m_air.PressureMode;
    QStringList items = {kpa ? QStringLiteral("РТ кПа") : QStringLiteral("РТ %"),
                         kpa ? QStringLiteral("Коррекция кПа") : QStringLiteral("Коррекция %")};
    for (const ChoiceName &choice : kChoiceOrder)
        if (present(choice.col))
            items.append(QString::fromUtf16(choice.name));
    items.append(QStringLiteral("Детонация %"));
    if (m_air.NoMafMode)
        items.append(QStringLiteral("Детонация кПа"));
    items.append(QStringLiteral("Загрузка форсунок %"));
    if (m_air.NoMafMode)
        items.append(QStringLiteral("Загрузка форсунок кПа"));
    return items;
}

} // namespace korvel
