#pragma once

#include <QByteArray>
#include <QString>

#include <optional>

namespace korvel {

// The hex view's grid: row 0 and column 0 are its headers, rows 1 to 4096 hold
// 16 bytes each in columns 1 to 16, column 17 shows them as text.
inline constexpr int kHexGridRows = 4097;
inline constexpr int kHexGridColumns = 18;
inline constexpr int kHexBytesPerRow = 16;
inline constexpr int kHexTextColumn = 17;

// A byte cell of the grid: row 1..4096, column 1..16.
struct HexCell {
    int row = 0;
    int column = 0;
    friend bool operator==(const HexCell &, const HexCell &) = default;
};

// Two upper-case hex digits per byte, in address order.
QByteArray hexSearchText(const QByteArray &bytes);

// The byte (from 1) a match at text position `position` (from 1; 0 = none)
// selects: (position + 1) / 2, halves to the even neighbour. A match on a byte
// boundary gives its own byte; one that starts on a second digit may give the
// byte before or after it (position 2 gives 2, position 4 gives 2).
int matchByteNumber(qsizetype position);

// The search over the hex text of one snapshot. Only matches that start on a
// byte boundary are found; "next" searches on from the byte after the last
// match.
class HexSearch {
public:
    struct Next {
        std::optional<HexCell> cell;
        bool end = true; // the button for the next match is switched off
    };

    // A new snapshot: the search starts over.
    void reset(QByteArray text);

    // The first match of the pattern in the whole text, compared exactly as
    // typed (lower-case digits never match); nothing for an empty pattern.
    std::optional<HexCell> findhex(const QString &pattern);
    // The next match after the last one. `end` when nothing more was found or
    // two characters or fewer are left to search.
    Next findnext();

    std::optional<HexCell> lastMatch() const { return m_last; }
    qsizetype remainderSize() const { return m_text.size() - m_searched; }

private:
    // Text position (from 0, even) of the first byte-aligned match at or after
    // the search start; -1 when there is none.
    qsizetype alignedMatch() const;

    QByteArray m_text;
    qsizetype m_searched = 0; // where the next search starts in the text
    QByteArray m_pattern;
    std::optional<HexCell> m_last;
};

} // namespace korvel
