#include "editor/EntryPanels.h"

#include "core/Numbers.h"
#include "editor/CellText.h"
#include "firmware/CellType.h"
#include "firmware/Conversions.h"

#include <cmath>

namespace korvel {
namespace {

QString limitText(double v) {
    return v == 0 ? kAutomaticLimit : FloatToStr(v);
}

double singleValue(const FirmwareStore &store, const OpenTable &t, int source) {
    const int type = t.descriptor.conversion.cellType;
    int raw = 0;
    if (isKnownCellType(type) && FirmwareImage::contains(t.descriptor.address, cellWidth(type)))
        raw = store.ReadCell(t.addressText, type, source).valueOr(0);
    return RawToPhysical(raw, t.descriptor.conversion);
}

// Kind-5 names are shown byte for byte, without the Cyrillic decoding.
QString latinText(const CalibrationMap &map, qint64 offset) {
    if (offset < 0 || offset >= map.bytes.size())
        return {};
    const int length = std::min<int>(static_cast<unsigned char>(map.bytes[offset]), 64);
    if (offset + 1 + length > map.bytes.size())
        return {};
    return QString::fromLatin1(map.bytes.constData() + offset + 1, length);
}

} // namespace

Outcome<SingleValueView> buildSingleValueView(const CalibrationMap &map, const TableRef &ref,
                                              const FirmwareStore &store, bool compare) {
    const Outcome<OpenTable> open = readOpenTable(map, ref);
    if (!open)
        return Outcome<SingleValueView>::failure(open.error());
    SingleValueView v;
    v.table = open.value();
    const TableDescriptor &d = v.table.descriptor;
    const TableConversion &c = d.conversion;
    v.unit = d.valueName;
    v.minimumText = limitText(d.minimum);
    v.maximumText = limitText(d.maximum);
    const ValueRange range = PhysicalRange(c);
    v.minimum = range.minimum;
    v.maximum = range.maximum;
    if (c.d3 == 0) {
        // A stated limit narrows the cell type's range, never widens it.
        if (d.maximum != 0 && d.maximum < v.maximum)
            v.maximum = d.maximum;
        if (d.minimum != 0 && d.minimum > v.minimum)
            v.minimum = d.minimum;
    }
    v.value = singleValue(store, v.table, imagesource::Firmware);
    v.valueText = FloatToStr(v.value);
    if (compare && store.ComparisonLoaded()) {
        const double second = singleValue(store, v.table, imagesource::Comparison);
        // The field's number against the comparison's, as the user sees them.
        if (StrToFloat(v.valueText).valueOr(v.value) != second) {
            v.comparisonShown = true;
            v.comparisonText = FloatToStr(second);
        }
    }
    v.title = v.unit.isEmpty() ? ref.nodeText : ref.nodeText + QStringLiteral(" (") + v.unit + QStringLiteral(")");
    v.unsupported = c.cellType == celltype::HighByteOnly;
    return Outcome<SingleValueView>::success(v);
}

std::optional<std::int64_t> singleValueRaw(double typed, const TableConversion &c) {
    const double k = conversionScale(c);
    double q = typed;
    if (c.d3 != 0 && q != 0)
        q = c.d3 * k * k / q;
    if (c.d4 + c.d5 != 0) {
        if (c.d4 == 0)
            return std::nullopt;
        q = (q + c.d2) * (c.d1 == 0 ? 1 : c.d1) / c.d4 + c.d5;
    }
    if (!std::isfinite(q))
        return std::nullopt;
    return static_cast<std::int64_t>(roundHalfEven(std::clamp(q, -1.0e15, 1.0e15)));
}

FlagLine flagLinePlace(int n) {
    if (n < 27)
        return {15, 15 * n + 15};
    return {380, 15 * (n - 27) + 15};
}

QString flagBoxName(int number) {
    return QStringLiteral("iCheckBox%1").arg(number);
}

Outcome<FlagPanelView> buildFlagPanelView(const CalibrationMap &map, const TableRef &ref, const FirmwareStore &store,
                                          bool compare) {
    const Outcome<TableDescriptor> read = readTableDescriptor(map, ref.kind, ref.reference);
    if (!read || ref.kind != tablekind::BitFlags)
        return Outcome<FlagPanelView>::failure(read ? QStringLiteral("not a flag table") : read.error());
    FlagPanelView v;
    v.table.ref = ref;
    v.table.descriptor = read.value();
    const bool comparing = compare && store.ComparisonLoaded();
    int line = 0;
    for (int i = 0; i < 8; ++i) {
        const FlagDescription &flag = v.table.descriptor.flags[static_cast<std::size_t>(i)];
        const auto bits = ByteToBits(store.image().byteAt(flag.address).value_or(0));
        const auto bits2 = ByteToBits(store.comparison().byteAt(flag.address).value_or(0));
        FlagGroup &group = v.groups[static_cast<std::size_t>(i)];
        if (!flag.name.isEmpty()) {
            group.caption = flag.name;
            group.place = flagLinePlace(line++);
        }
        FlagByte &byte = v.bytes[static_cast<std::size_t>(i)];
        byte.addressText = mapAddressText(flag.address);
        for (int j = 0; j < 8; ++j) {
            const QString &name = flag.bitNames[static_cast<std::size_t>(j)];
            if (name.isEmpty())
                continue;
            const bool on = bits[static_cast<std::size_t>(j)];
            FlagBox box;
            box.number = 7 + 8 * i + j;
            box.ticked = on;
            box.text = comparing && bits2[static_cast<std::size_t>(j)] != on
                           ? QStringLiteral("[#") + name + QStringLiteral("#]")
                           : name;
            box.place = flagLinePlace(line++);
            v.boxes.push_back(box);
            byte.namedBits = static_cast<std::uint8_t>(byte.namedBits | (1U << j));
            if (on)
                byte.ticked = static_cast<std::uint8_t>(byte.ticked | (1U << j));
        }
    }
    return Outcome<FlagPanelView>::success(v);
}

Outcome<IdentView> buildIdentView(const CalibrationMap &map, const TableRef &ref, const FirmwareStore &store) {
    const Outcome<TableDescriptor> read = readTableDescriptor(map, ref.kind, ref.reference);
    if (!read || ref.kind != tablekind::TextFields)
        return Outcome<IdentView>::failure(read ? QStringLiteral("not a text table") : read.error());
    IdentView v;
    v.title = read.value().title;
    for (int i = 0; i < 8; ++i) {
        const TextDescription &text = read.value().texts[static_cast<std::size_t>(i)];
        const QString name = latinText(map, ref.reference + kMapNodeCoreSize + 119 + 65 * i);
        if (name.isEmpty())
            continue;
        QString s;
        for (int b = 0; b < text.length; ++b)
            s += QChar(
                static_cast<char16_t>(store.image().byteAt(static_cast<std::int64_t>(text.address) + b).value_or(0)));
        v.captions[static_cast<std::size_t>(i)] = name + QStringLiteral(":") + QString(29, QLatin1Char(' ')) + s;
    }
    return Outcome<IdentView>::success(v);
}

} // namespace korvel
