#include "tuning/TuningGrid.h"

#include "core/ProgramLog.h"
#include "firmware/Conversions.h"
#include "firmware/FirmwareImage.h"
#include "firmware/TuningAddressSets.h"
#include "tuning/CorrectionRules.h"

#include <optional>

namespace korvel {

bool TuningCell::setSample(int n, float value) {
    if (n < 1 || n > kMaxSamples)
        return false;
    if (samples.size() < static_cast<std::size_t>(n))
        samples.resize(static_cast<std::size_t>(n), 0.0f);
    samples[static_cast<std::size_t>(n - 1)] = value;
    return true;
}

float TuningCell::sample(int n) const {
    return n >= 1 && static_cast<std::size_t>(n) <= samples.size() ? samples[static_cast<std::size_t>(n - 1)] : 0.0f;
}

bool TuningCell::setAirSample(int n, float value) {
    if (n < 1 || n > kMaxAirSamples)
        return false;
    airSamples[static_cast<std::size_t>(n - 1)] = value;
    return true;
}

float TuningCell::airSample(int n) const {
    return n >= 1 && n <= kMaxAirSamples ? airSamples[static_cast<std::size_t>(n - 1)] : 0.0f;
}

int gridKindOf(const QString &choice) {
    if (choice == QStringLiteral("Фаза"))
        return 3;
    if (choice.endsWith(QLatin1Char('%')) || choice == QStringLiteral("Новое БЦН"))
        return 1;
    return 2;
}

namespace {

using Load = void (*)(TuningCell &, int byte);

// How each column's byte becomes its cell value.
struct ColumnLoad {
    int col;
    Load load;
};
const ColumnLoad kColumnLoads[] = {
    {tuningcolumn::GbcThr, [](TuningCell &c, int b) { c.gbcThr = static_cast<float>(b * 8 / 3.0); }},
    {tuningcolumn::GbcKpa, [](TuningCell &c, int b) { c.gbcKpa = static_cast<float>(b * 16 / 3.0); }},
    {tuningcolumn::CorrThr, [](TuningCell &c, int b) { c.corrThr = static_cast<float>(b / 128.0); }},
    {tuningcolumn::CorrKpa, [](TuningCell &c, int b) { c.corrKpa = static_cast<float>(b / 128.0); }},
    {tuningcolumn::Corr32a, [](TuningCell &c, int b) { c.corr32a = static_cast<float>(b / 128.0); }},
    {tuningcolumn::Corr32b, [](TuningCell &c, int b) { c.corr32b = static_cast<float>(b / 128.0); }},
    {tuningcolumn::IgnThr, [](TuningCell &c, int b) { c.ignThr = static_cast<float>(b / 2.0); }},
    {tuningcolumn::IgnKpa, [](TuningCell &c, int b) { c.ignKpa = static_cast<float>(b / 2.0); }},
    {tuningcolumn::AlfThr, [](TuningCell &c, int b) { c.alfThr = static_cast<float>((b + 128) * 14.7 / 256); }},
    {tuningcolumn::AlfKpa, [](TuningCell &c, int b) { c.alfKpa = static_cast<float>((b + 128) * 14.7 / 256); }},
    {tuningcolumn::Phase, [](TuningCell &c, int b) { c.phase = static_cast<float>((b >= 128 ? b - 256 : b) * 6); }},
};

constexpr std::int64_t kFixedIgnitionTable = 0x6DC8;

// The 256 bytes of a table, or nothing when it does not lie wholly inside the image.
std::optional<QByteArray> tableBytes(const FirmwareImage &image, std::int64_t address) {
    if (!FirmwareImage::contains(address, TuningGrid::kCells))
        return std::nullopt;
    return image.slice(address, TuningGrid::kCells);
}

int byteOf(const std::optional<QByteArray> &table, int i) {
    return table ? static_cast<std::uint8_t>(table->at(i)) : 0;
}

} // namespace

bool addtabl(TuningGrid &grid, const FirmwareImage &image, const TuningAddressSets &sets, ProgramLog *log) {
    QStringList missing;
    for (TuningCell &cell : grid.cells)
        cell = TuningCell{};

    for (const ColumnLoad &column : kColumnLoads) {
        const QString text = sets.address(column.col);
        if (text == kAbsentTable)
            continue;
        const std::optional<QByteArray> table = tableBytes(image, HexToInt(text).valueOr(-1));
        if (!table) {
            missing.append(text);
            continue;
        }
        for (int i = 0; i < TuningGrid::kCells; ++i)
            column.load(grid.cells[static_cast<std::size_t>(i)], static_cast<std::uint8_t>(table->at(i)));
    }

    const std::optional<QByteArray> correction = tableBytes(image, sets.air().correctionTable);
    const std::optional<QByteArray> gbc = tableBytes(image, sets.air().gbcTable);
    const std::optional<QByteArray> ignition = tableBytes(image, kFixedIgnitionTable);
    if (!correction)
        missing.append(IntToHexEven(sets.air().correctionTable));
    if (!gbc)
        missing.append(IntToHexEven(sets.air().gbcTable));
    for (int i = 0; i < TuningGrid::kCells; ++i) {
        TuningCell &cell = grid.cells[static_cast<std::size_t>(i)];
        cell.corrCurrent = static_cast<float>(byteOf(correction, i) / 128.0);
        cell.gbcWritten = cell.gbcNew = static_cast<float>(byteOf(gbc, i) * gbcScale(sets.air().gbcColumn));
        cell.ignPartLoad = static_cast<float>(byteOf(ignition, i) / 2.0);
        cell.newCorr = cell.corrThr;
        cell.newGbc = cell.gbcThr;
        cell.learned = cell.corrCurrent;
    }

    if (!missing.isEmpty() && log)
        log->append(QStringLiteral("Таблицы вне прошивки: ") + missing.join(QStringLiteral(", ")));
    return missing.isEmpty();
}

} // namespace korvel
