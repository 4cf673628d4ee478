#include "sim/EcuGrid.h"

#include <algorithm>
#include <cmath>

namespace korvel::sim {

namespace {

constexpr int kSpeedTable = 0x613C;
constexpr int kThrottleTable = 0x7208;
constexpr int kPressureBase = 0x5EF2; // little-endian word, kPa x 60
constexpr int kPressureDivisor = 0x5EF4;
constexpr int kAirBase = 0x6064; // little-endian word, air x 6
constexpr int kAirStep = 0x6066;
constexpr double kAirSpan = 341.13;
constexpr int kCodeSearchEnd = 0xFFFD;

std::uint8_t gridByte(const QByteArray &bytes, int address) {
    return address >= 0 && address < bytes.size() ? static_cast<std::uint8_t>(bytes[address]) : 0;
}

int wordAt(const QByteArray &bytes, int address) {
    return gridByte(bytes, address) | (gridByte(bytes, address + 1) << 8);
}

// The step of the speed table, from the instruction that loads it.
int speedStep(const QByteArray &firmware) {
    int step = 40;
    const QByteArray load = QByteArray::fromHex("90613CE5");
    for (qsizetype at = firmware.indexOf(load); at >= 0 && at < kCodeSearchEnd; at = firmware.indexOf(load, at + 1)) {
        const std::uint8_t operand = gridByte(firmware, static_cast<int>(at) + 4);
        if (operand == 0x54)
            step = 30;
        else if (operand == 0x55)
            step = 40;
    }
    return step;
}

int entryIndex(double value, int step) {
    if (!(value > 0))
        return 0;
    return static_cast<int>(std::clamp(std::floor(value / step), 0.0, 255.0));
}

} // namespace

EcuGrid::EcuGrid(const QByteArray &firmware, double pressureSpan) : m_rpmStep(speedStep(firmware)) {
    for (int x = 0; x < 256; ++x) {
        m_speed[static_cast<std::size_t>(x)] = gridByte(firmware, kSpeedTable + x);
        m_throttle[static_cast<std::size_t>(x)] = gridByte(firmware, kThrottleTable + x);
    }
    const int base = wordAt(firmware, kPressureBase) / 60;
    const int divisor = gridByte(firmware, kPressureDivisor);
    const double step = (divisor != 0 ? pressureSpan / divisor : pressureSpan) / 15;
    for (std::size_t i = 0; i < m_pressure.size(); ++i)
        m_pressure[i] = (std::trunc(static_cast<double>(i) * step) + base) * 10;
    const int airStep = gridByte(firmware, kAirStep);
    const double d = airStep != 0 ? kAirSpan / airStep : 1.0;
    m_air[0] = std::round(wordAt(firmware, kAirBase) / 6.0);
    for (std::size_t i = 1; i < m_air.size(); ++i)
        m_air[i] = std::round(d * 16 + m_air[i - 1]);
}

EcuCell EcuGrid::at(double rpm, double loadValue, bool byPressure) const {
    EcuCell cell;
    const int speed = m_speed[static_cast<std::size_t>(entryIndex(rpm, m_rpmStep))];
    cell.col = speed >> 4;
    cell.speedSixteenths = speed & 15;
    if (!byPressure) {
        const int throttle = m_throttle[static_cast<std::size_t>(entryIndex(loadValue, 1))];
        cell.row = throttle >> 4;
        cell.loadSixteenths = throttle & 15;
        return cell;
    }
    const double p = loadValue;
    if (!(p > m_pressure[0]))
        return cell; // below the first breakpoint: row 0 itself
    if (p > m_pressure[16]) {
        cell.row = 15;
        cell.loadSixteenths = 15;
        return cell;
    }
    for (std::size_t k = 1; k < m_pressure.size(); ++k) {
        if (p <= m_pressure[k]) {
            cell.row = std::min(static_cast<int>(k) - 1, 15);
            const double share = (std::round(p) - m_pressure[k - 1]) * 15 / (m_pressure[k] - m_pressure[k - 1]);
            cell.loadSixteenths = std::clamp(static_cast<int>(std::trunc(share)), 0, 15);
            break;
        }
    }
    return cell;
}

namespace {
// Breakpoint 0 is the last entry still at position 0; breakpoint n the first to reach 16 n.
int firstReaching(const std::array<std::uint8_t, 256> &table, int n) {
    if (n == 0) {
        int last = 0;
        while (last + 1 < 256 && table[static_cast<std::size_t>(last + 1)] == 0)
            ++last;
        return last;
    }
    for (int x = 0; x < 256; ++x)
        if (table[static_cast<std::size_t>(x)] >= 16 * n)
            return x;
    return 255;
}
} // namespace

double EcuGrid::speedBreakpoint(int n) const {
    return firstReaching(m_speed, n) * m_rpmStep;
}

double EcuGrid::throttleBreakpoint(int n) const {
    return firstReaching(m_throttle, n);
}

int EcuGrid::airRow(double cyclicAir) const {
    for (std::size_t k = 0; k < m_air.size(); ++k)
        if (cyclicAir <= m_air[k])
            return static_cast<int>(k);
    return 15;
}

CornerWeights cornerWeights(const EcuCell &cell) {
    const double g = cell.loadSixteenths;
    const double b = cell.speedSixteenths;
    return {(16 - g) * (16 - b) / 256, b * (16 - g) / 256, g * (16 - b) / 256, g * b / 256};
}

double interpolate(const QByteArray &table, const EcuCell &cell) {
    if (table.size() < 256)
        return 0;
    const int nextRow = std::min(cell.row + 1, 15);
    const int nextCol = std::min(cell.col + 1, 15);
    auto at = [&](int row, int col) { return static_cast<double>(static_cast<std::uint8_t>(table[row * 16 + col])); };
    const CornerWeights w = cornerWeights(cell);
    return w.cell * at(cell.row, cell.col) + w.nextColumn * at(cell.row, nextCol) + w.nextRow * at(nextRow, cell.col) +
           w.diagonal * at(nextRow, nextCol);
}

} // namespace korvel::sim
