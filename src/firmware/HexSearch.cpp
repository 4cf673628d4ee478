#include "firmware/HexSearch.h"

namespace korvel {
namespace {

constexpr int kByteCells = (kHexGridRows - 1) * kHexBytesPerRow;

// Cell number from 0 (row 1 column 1) to 65,535, and back.
int cellNumber(const HexCell &cell) {
    return (cell.row - 1) * kHexBytesPerRow + (cell.column - 1);
}
HexCell cellAt(int number) {
    return {number / kHexBytesPerRow + 1, number % kHexBytesPerRow + 1};
}

} // namespace

QByteArray hexSearchText(const QByteArray &bytes) {
    return bytes.toHex().toUpper();
}

int matchByteNumber(qsizetype position) {
    if (position <= 0)
        return 0;
    const qsizetype twice = position + 1;
    qsizetype byte = twice / 2;
    if (twice % 2 != 0 && byte % 2 != 0) // a half: to the even neighbour
        ++byte;
    return static_cast<int>(byte);
}

void HexSearch::reset(QByteArray text) {
    m_text = std::move(text);
    m_searched = 0;
    m_pattern.clear();
    m_last.reset();
}

qsizetype HexSearch::positionInRemainder() const {
    if (m_pattern.isEmpty())
        return 0;
    const qsizetype at = m_text.indexOf(m_pattern, m_searched);
    return at < 0 ? 0 : at - m_searched + 1;
}

std::optional<HexCell> HexSearch::findhex(const QString &pattern) {
    // Non-ASCII characters become bytes above 0x7F, which the text never holds.
    m_pattern = pattern.toUtf8();
    m_searched = 0;
    const qsizetype a = positionInRemainder();
    const int b = matchByteNumber(a);
    if (b == 0 || b > kByteCells)
        return std::nullopt;
    m_last = cellAt(b - 1);
    m_searched += a + 1;
    return m_last;
}

HexSearch::Next HexSearch::findnext() {
    if (!m_last)
        return {};
    const qsizetype a = positionInRemainder();
    const int b = matchByteNumber(a);
    const int number = cellNumber(*m_last) + b;
    if (b == 0 || number >= kByteCells)
        return {};
    m_last = cellAt(number);
    m_searched += a + 1;
    return {m_last, remainderSize() <= 2};
}

} // namespace korvel
