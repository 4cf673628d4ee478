#include "firmware/FirmwareStore.h"
#include "core/Bytes.h"

#include "core/ControlBoard.h"
#include "core/ProgramLog.h"
#include "firmware/CellType.h"
#include "firmware/Conversions.h"

#include <algorithm>

namespace korvel {
namespace {

QString outsideImageText(const QString &addressText) {
    return QStringLiteral("Адрес вне прошивки: %1").arg(addressText);
}

QString unknownCellTypeText(int cellType) {
    return QStringLiteral("Неизвестный тип ячейки: %1").arg(cellType);
}

} // namespace

FirmwareStore::FirmwareStore(ProgramLog *log, ControlBoard *board) : m_log(log), m_board(board) {}

void FirmwareStore::loadImage(const FirmwareImage &image) {
    m_image = image;
    m_firmwareLoaded = true;
}

void FirmwareStore::loadComparison(const FirmwareImage &image) {
    m_comparison = image;
    m_comparisonLoaded = true;
}

bool FirmwareStore::refuse(const QString &line) const {
    if (m_log)
        m_log->append(line);
    return false;
}

Outcome<int> FirmwareStore::ReadCell(const QString &addressText, int cellType, int sourceImage) const {
    const Outcome<std::int64_t> address = HexToInt(addressText);
    if (!address) {
        refuse(address.error());
        return Outcome<int>::failure(address.error());
    }
    if (!isKnownCellType(cellType)) {
        refuse(unknownCellTypeText(cellType));
        return Outcome<int>::failure(unknownCellTypeText(cellType));
    }
    const std::int64_t a = address.value();
    if (!FirmwareImage::contains(a, cellWidth(cellType))) {
        refuse(outsideImageText(addressText));
        return Outcome<int>::failure(outsideImageText(addressText));
    }
    if (sourceImage != imagesource::Firmware && sourceImage != imagesource::Comparison)
        return Outcome<int>::success(0);

    const FirmwareImage &from = sourceImage == imagesource::Firmware ? m_image : m_comparison;
    const int lo = from.byteAt(a).value_or(0);
    const int hi = cellWidth(cellType) == 2 ? from.byteAt(a + 1).value_or(0) : 0;
    switch (cellType) {
    case celltype::Unsigned8:
        return Outcome<int>::success(lo);
    case celltype::Signed8:
        return Outcome<int>::success(signed8(lo));
    case celltype::Unsigned16Le:
        return Outcome<int>::success(hi * 256 + lo);
    case celltype::Signed16Le:
        return Outcome<int>::success(signed16(hi * 256 + lo));
    case celltype::Unsigned16Be:
        return Outcome<int>::success(lo * 256 + hi);
    case celltype::Signed16Be:
        return Outcome<int>::success(signed16(lo * 256 + hi));
    default: // celltype::HighByteOnly: the second byte over a zero low byte
        return Outcome<int>::success(hi * 256);
    }
}

bool FirmwareStore::WriteCell(std::int64_t raw, int cellType, const QString &addressText) {
    const Outcome<std::int64_t> address = HexToInt(addressText);
    if (!address)
        return refuse(address.error());
    if (!isKnownCellType(cellType))
        return refuse(unknownCellTypeText(cellType));
    if (!FirmwareImage::contains(address.value(), cellWidth(cellType)))
        return refuse(outsideImageText(addressText));
    pushUndoStep();
    return storeCell(raw, cellType, addressText);
}

bool FirmwareStore::storeCell(std::int64_t raw, int cellType, const QString &addressText) {
    const Outcome<std::int64_t> address = HexToInt(addressText);
    if (!address)
        return refuse(address.error());
    if (!isKnownCellType(cellType))
        return refuse(unknownCellTypeText(cellType));
    const std::int64_t a = address.value();
    if (!FirmwareImage::contains(a, cellWidth(cellType)))
        return refuse(outsideImageText(addressText));

    const auto word = static_cast<std::uint16_t>(((raw % 65536) + 65536) % 65536);
    const auto low = static_cast<std::uint8_t>(word & 0xFF);
    const auto high = static_cast<std::uint8_t>(word >> 8);
    switch (cellType) {
    case celltype::Unsigned8:
        m_image.setByte(a, static_cast<std::uint8_t>(std::clamp<std::int64_t>(raw, 0, 255)));
        break;
    case celltype::Signed8:
        m_image.setByte(a, low);
        break;
    case celltype::Unsigned16Le:
    case celltype::Signed16Le:
        m_image.setByte(a, low);
        m_image.setByte(a + 1, high);
        break;
    case celltype::Unsigned16Be:
    case celltype::Signed16Be:
        m_image.setByte(a, high);
        m_image.setByte(a + 1, low);
        break;
    default: // celltype::HighByteOnly: the hex text's first byte at a, its second (if any) at a + 1
        m_image.setByte(a, word < 256 ? low : high);
        m_image.setByte(a + 1, word < 256 ? 0 : low);
        break;
    }
    return true;
}

bool FirmwareStore::WriteFlagTable(const std::array<FlagByte, 8> &bytes) {
    std::array<std::int64_t, 8> addresses{};
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        if (bytes[i].namedBits == 0)
            continue;
        const Outcome<std::int64_t> address = HexToInt(bytes[i].addressText);
        if (!address)
            return refuse(address.error());
        if (!FirmwareImage::contains(address.value()))
            return refuse(outsideImageText(bytes[i].addressText));
        addresses[i] = address.value();
    }
    PushUndo();
    showUndoButton();
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        const FlagByte &b = bytes[i];
        if (b.namedBits == 0)
            continue;
        const std::uint8_t old = m_image.byteAt(addresses[i]).value_or(0);
        m_image.setByte(addresses[i], static_cast<std::uint8_t>((old & ~b.namedBits) | (b.ticked & b.namedBits)));
    }
    return true;
}

bool FirmwareStore::storeByte(std::int64_t address, std::uint8_t value) {
    if (!m_image.setByte(address, value))
        return refuse(outsideImageText(IntToHexEven(address)));
    return true;
}

bool FirmwareStore::storeBytes(std::int64_t address, const QByteArray &bytes) {
    if (!m_image.setBytes(address, bytes))
        return refuse(outsideImageText(IntToHexEven(address)));
    return true;
}

void FirmwareStore::PushUndo() {
    m_undo.push(m_image);
}

void FirmwareStore::pushUndoStep() {
    PushUndo();
    showUndoButton();
}

bool FirmwareStore::UndoStep() {
    const std::optional<FirmwareImage> earlier = m_undo.step();
    if (!earlier)
        return false;
    m_image = *earlier;
    if (m_board && m_undo.count() == 0)
        m_board->setVisible(kUndoButton, false);
    return true;
}

void FirmwareStore::clearUndo() {
    m_undo.clear();
    if (m_board)
        m_board->setVisible(kUndoButton, false);
}

void FirmwareStore::showUndoButton() const {
    if (m_board)
        m_board->setVisible(kUndoButton, true);
}

} // namespace korvel
