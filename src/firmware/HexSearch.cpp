#include "firmware/HexSearch.h"

namespace korvel {
namespace {

constexpr int kByteCells = (kHexGridRows - 1) * kHexBytesPerRow;

// The cell of byte number 0 (row 1 column 1) to 65,535.
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

qsizetype HexSearch::alignedMatch() const {
    if (m_pattern.isEmpty())
        return -1;
    // A match that starts on a byte's second digit is no byte sequence of the
    // image ("16 DC 80" holds "6DC8"): only matches on a byte boundary count.
    for (qsizetype at = m_text.indexOf(m_pattern, m_searched); at >= 0; at = m_text.indexOf(m_pattern, at + 1))
        if (at % 2 == 0)
            return at;
    return -1;
}

std::optional<HexCell> HexSearch::findhex(const QString &pattern) {
    // Non-ASCII characters become bytes above 0x7F, which the text never holds.
    m_pattern = pattern.toUtf8();
    m_searched = 0;
    m_last.reset();
    const qsizetype at = alignedMatch();
    if (at < 0 || at / 2 >= kByteCells)
        return std::nullopt;
    m_last = cellAt(static_cast<int>(at / 2));
    m_searched = at + 2; // the next search starts at the following byte
    return m_last;
}

HexSearch::Next HexSearch::findnext() {
    if (!m_last)
        return {};
    const qsizetype at = alignedMatch();
    if (at < 0 || at / 2 >= kByteCells)
        return {};
    m_last = cellAt(static_cast<int>(at / 2));
    m_searched = at + 2;
    return {m_last, remainderSize() <= 2};
}

} // namespace korvel
