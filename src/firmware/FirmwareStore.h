#pragma once

#include "core/ControlNames.h"
#include "firmware/FirmwareImage.h"
#include "firmware/Outcome.h"
#include "firmware/UndoHistory.h"

#include <QString>

#include <array>
#include <cstdint>

namespace korvel {

class ControlBoard;
class ProgramLog;

// Which image a cell read looks at.
namespace imagesource {
inline constexpr int Firmware = 1;
inline constexpr int Comparison = 2;
} // namespace imagesource

// One byte of a bit-flag table: its address (hex text), the bits that have a
// name (and so a check box) and the bits ticked. Bits without a name keep
// what the image holds.
struct FlagByte {
    QString addressText;
    std::uint8_t namedBits = 0;
    std::uint8_t ticked = 0;
};

// The firmware image being worked on, the comparison image, the undo history
// and the two load flags. Cell reads and writes go through here; a write
// always pushes an undo copy first. Refusals (bad address text, an address
// outside the image, an unknown cell type) write nothing and are logged.
class FirmwareStore {
public:
    // The undo button whose visibility follows the undo history.
    static inline const QString &kUndoButton = control::BitBtn26;

    explicit FirmwareStore(ProgramLog *log = nullptr, ControlBoard *board = nullptr);

    const FirmwareImage &image() const { return m_image; }
    const FirmwareImage &comparison() const { return m_comparison; }
    bool FirmwareLoaded() const { return m_firmwareLoaded; }
    bool ComparisonLoaded() const { return m_comparisonLoaded; }

    // A new firmware replaces the image (the undo history stays); FirmwareLoaded is set.
    void loadImage(const FirmwareImage &image);
    void loadComparison(const FirmwareImage &image);

    // The raw value of a cell of the given type at the address (hex text) of the
    // chosen source (1 image, 2 comparison; any other source reads 0).
    Outcome<int> ReadCell(const QString &addressText, int cellType, int sourceImage = imagesource::Firmware) const;
    // Stores a raw value (type 0 clamped to 0..255, type 1 its low 8 bits,
    // 16-bit types modulo 65536) after pushing an undo copy.
    bool WriteCell(std::int64_t raw, int cellType, const QString &addressText);
    // The same store without an undo copy, for edits that push one copy for
    // many cells (pushUndoStep first).
    bool storeCell(std::int64_t raw, int cellType, const QString &addressText);

    // The eight bytes of a flag table from its check boxes, after one undo
    // copy. A byte without named bits is left alone; a bad address among the
    // others refuses the whole table.
    bool WriteFlagTable(const std::array<FlagByte, 8> &bytes);

    // A byte written by tuning straight into the image, without an undo copy.
    bool storeByte(std::int64_t address, std::uint8_t value);
    // A run of bytes written without an undo copy; refused unless all fit.
    bool storeBytes(std::int64_t address, const QByteArray &bytes);

    void PushUndo();
    // An undo copy for an edit of many cells, with the undo button shown.
    void pushUndoStep();
    // Brings back the newest copy; false when there is none.
    bool UndoStep();
    int undoCount() const { return m_undo.count(); }
    // The history starts empty again when the start-up initialisation is repeated.
    void clearUndo();

private:
    bool refuse(const QString &line) const;
    void showUndoButton() const;

    ProgramLog *m_log;
    ControlBoard *m_board;
    FirmwareImage m_image;
    FirmwareImage m_comparison;
    UndoHistory m_undo;
    bool m_firmwareLoaded = false;
    bool m_comparisonLoaded = false;
};

} // namespace korvel
