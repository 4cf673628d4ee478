#include "firmware/CalibrationMap.h"

#include "firmware/Conversions.h"

#include <QFile>
#include <QtEndian>

#include <algorithm>

namespace korvel {
namespace {

bool mapFits(const QByteArray &bytes, qint64 offset, qint64 width) {
    return offset >= 0 && width >= 0 && width <= bytes.size() && offset <= bytes.size() - width;
}

// Reads fields of one description block; the first read outside the map is
// remembered and every later read yields a default, so a decoder can read all
// its fields and check once.
class BlockReader {
public:
    BlockReader(const QByteArray &bytes, qint64 blockStart) : m_bytes(bytes), m_start(blockStart) {}

    int byte(int offset) {
        const qint64 at = m_start + offset;
        if (!check(at, 1))
            return 0;
        return static_cast<std::uint8_t>(m_bytes.at(at));
    }
    int word(int offset) {
        const qint64 at = m_start + offset;
        if (!check(at, 2))
            return 0;
        return qFromLittleEndian<quint16>(m_bytes.constData() + at);
    }
    std::uint32_t dword(int offset, bool masked) {
        const Outcome<std::uint32_t> value = ReadMapDword(m_bytes, m_start + offset, masked);
        if (!value)
            fail(m_start + offset);
        return value.value();
    }
    double real(int offset) {
        const Outcome<double> value = ReadMapDouble(m_bytes, m_start + offset);
        if (!value)
            fail(m_start + offset);
        return value.value();
    }
    // text(n): a length byte and a slot of n bytes; a length above n is cut to n.
    QString text(int offset, int capacity) {
        const int length = std::min(byte(offset), capacity);
        const qint64 at = m_start + offset + 1;
        if (!check(at, length))
            return {};
        return DecodeMapText(QByteArrayView(m_bytes.constData() + at, length));
    }

    bool ok() const { return m_failedAt < 0; }
    qint64 failedAt() const { return m_failedAt; }

private:
    bool check(qint64 at, qint64 width) {
        if (mapFits(m_bytes, at, width))
            return true;
        fail(at);
        return false;
    }
    void fail(qint64 at) {
        if (m_failedAt < 0)
            m_failedAt = at;
    }

    const QByteArray &m_bytes;
    qint64 m_start;
    qint64 m_failedAt = -1;
};

void readConversion(BlockReader &r, TableDescriptor &d, int cellTypeAt, int firstConstantAt) {
    d.conversion.kind = d.kind;
    d.conversion.cellType = r.byte(cellTypeAt);
    d.conversion.d1 = r.real(firstConstantAt);
    d.conversion.d2 = r.real(firstConstantAt + 8);
    d.conversion.d3 = r.real(firstConstantAt + 16);
    d.conversion.d4 = r.real(firstConstantAt + 24);
    d.conversion.d5 = r.real(firstConstantAt + 32);
}

void readOneDimensional(BlockReader &r, TableDescriptor &d) {
    d.identifier = r.dword(2, false);
    d.address = r.dword(6, true);
    d.xName = r.text(18, 32);
    d.valueName = r.text(51, 32);
    d.xAxisCode = r.text(84, 255);
    d.columns = r.word(340);
    d.marker = r.word(342);
    d.xStart = r.real(344);
    d.xEnd = r.real(352);
    d.minimum = r.real(361);
    d.maximum = r.real(369);
    readConversion(r, d, 378, 382);
    d.trailer = r.word(430);
}

void readTwoDimensional(BlockReader &r, TableDescriptor &d) {
    d.identifier = r.dword(2, false);
    d.address = r.dword(6, true);
    d.xName = r.text(18, 32);
    d.valueName = r.text(51, 32);
    d.yName = r.text(84, 32);
    d.xAxisCode = r.text(117, 255);
    d.yAxisCode = r.text(373, 255);
    d.columns = r.word(629);
    d.marker = r.word(631);
    d.rows = r.byte(633);
    d.xStart = r.real(634);
    d.xEnd = r.real(642);
    d.minimum = r.real(651);
    d.maximum = r.real(659);
    d.yStart = r.real(668);
    d.yEnd = r.real(676);
    readConversion(r, d, 685, 690);
    d.typeMark = r.byte(687);
    d.trailer = r.word(738);
}

void readSingleValue(BlockReader &r, TableDescriptor &d) {
    d.address = r.dword(6, true);
    d.valueName = r.text(18, 16);
    d.minimum = r.real(35);
    d.maximum = r.real(43);
    readConversion(r, d, 51, 53);
    d.trailer = r.word(101);
}

void readBitFlags(BlockReader &r, TableDescriptor &d) {
    for (int i = 0; i < 8; ++i) {
        FlagDescription &flag = d.flags[static_cast<std::size_t>(i)];
        flag.address = r.dword(6 + 4 * i, i == 0);
        flag.name = r.text(46 + 65 * i, 64);
        for (int j = 0; j < 8; ++j)
            flag.bitNames[static_cast<std::size_t>(j)] = r.text(566 + 520 * i + 65 * j, 64);
    }
}

void readTextFields(BlockReader &r, TableDescriptor &d) {
    d.title = r.text(6, 64);
    for (int i = 0; i < 8; ++i) {
        TextDescription &field = d.texts[static_cast<std::size_t>(i)];
        field.address = r.dword(71 + 4 * i, i == 0);
        field.length = r.byte(111 + i);
        field.name = r.text(119 + 65 * i, 64);
    }
}

// The name length byte, 64 name bytes, the level and the kind; the caller has
// checked that the 67 bytes lie inside the map.
MapNode readNodeCore(const QByteArray &bytes, qint64 reference) {
    const char *core = bytes.constData() + reference;
    const int length = std::min<int>(static_cast<std::uint8_t>(core[0]), kMapNameCapacity);
    MapNode node;
    node.name = DecodeMapText(QByteArrayView(core + 1, length));
    node.level = static_cast<std::uint8_t>(core[65]);
    node.kind = static_cast<std::uint8_t>(core[66]);
    node.reference = reference;
    return node;
}

// Puts the node under the deepest open node of the level above; P[L] is the
// parent of level L. A level with no open parent goes under the root and opens
// level 2 from there. Deeper entries of other branches are closed.
void attach(MapTree &tree, std::vector<int> &parents, MapNode node) {
    int level = node.level;
    if (level < 1 || level >= static_cast<int>(parents.size()))
        level = 1;
    node.parent = parents[static_cast<std::size_t>(level)];
    node.depth = level;
    tree.nodes.push_back(std::move(node));
    parents.resize(static_cast<std::size_t>(level) + 1);
    parents.push_back(static_cast<int>(tree.nodes.size()) - 1);
}

} // namespace

int descriptorBlockSize(int kind) {
    switch (kind) {
    case tablekind::OneDimensional:
        return 432;
    case tablekind::TwoDimensional:
        return 740;
    case tablekind::SingleValue:
        return 103;
    case tablekind::BitFlags:
        return 4744;
    case tablekind::TextFields:
        return 657;
    default:
        return 0;
    }
}

Outcome<CalibrationMap> LoadCalibrationMap(const QString &fileName) {
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly))
        return Outcome<CalibrationMap>::failure(
            QStringLiteral("Не удалось открыть карту %1: %2").arg(fileName, file.errorString()));
    if (file.size() > kMapMaximumSize)
        return Outcome<CalibrationMap>::failure(
            QStringLiteral("Карта %1 слишком велика: %2 байт").arg(fileName).arg(file.size()));
    CalibrationMap map;
    map.bytes = file.read(kMapMaximumSize + 1);
    if (file.error() != QFileDevice::NoError || map.bytes.size() > kMapMaximumSize)
        return Outcome<CalibrationMap>::failure(
            QStringLiteral("Не удалось прочитать карту %1: %2").arg(fileName, file.errorString()));
    return Outcome<CalibrationMap>::success(std::move(map));
}

MapTree BuildMapTree(const CalibrationMap &map, const QString &rootText) {
    MapTree tree;
    tree.rootText = rootText;
    const QByteArray &bytes = map.bytes;
    const qint64 size = bytes.size();
    if (size <= kMapHeaderSize) {
        tree.stopReason = QStringLiteral("Карта из %1 байт не содержит записей").arg(size);
        return tree;
    }
    std::vector<int> parents{-1, -1}; // P[1] = root
    qint64 pos = kMapHeaderSize;
    int expect = tablekind::Group;
    const auto stop = [&](const QString &why) { tree.stopReason = why; };
    while (pos < size - 2) {
        if (expect == tablekind::Group) {
            if (pos + kMapNodeCoreSize > size) {
                stop(QStringLiteral("Разбор карты остановлен на байте %1: запись группы не помещается в %2 байт")
                         .arg(pos)
                         .arg(size));
                break;
            }
            MapNode node = readNodeCore(bytes, pos);
            expect = node.kind;
            attach(tree, parents, std::move(node));
            pos += kMapNodeCoreSize;
        }
        if (expect == tablekind::Item) {
            // The item must end before the last byte of the map.
            if (!(pos < size - kMapItemRecordSize)) {
                stop(QStringLiteral("Разбор карты остановлен на байте %1: запись элемента не помещается в %2 байт")
                         .arg(pos)
                         .arg(size));
                break;
            }
            MapNode node = readNodeCore(bytes, pos + 2);
            expect = node.kind;
            attach(tree, parents, std::move(node));
            pos += kMapItemRecordSize;
        }
        if (isTableKind(expect)) {
            pos += descriptorBlockSize(expect);
            if (pos > size) {
                stop(QStringLiteral("Описание таблицы «%1» обрезано: карта кончается на байте %2, описание на байте %3")
                         .arg(tree.nodes.back().name)
                         .arg(size)
                         .arg(pos));
                break;
            }
            expect = tablekind::Group;
        }
        if (expect != tablekind::Group && expect != tablekind::Item && !isTableKind(expect)) {
            stop(QStringLiteral("Разбор карты остановлен на байте %1: неизвестный тип записи %2").arg(pos).arg(expect));
            break;
        }
    }
    return tree;
}

Outcome<TableDescriptor> readTableDescriptor(const CalibrationMap &map, int kind, qint64 reference) {
    if (!isTableKind(kind))
        return Outcome<TableDescriptor>::failure(QStringLiteral("Узел типа %1 не является таблицей").arg(kind));
    // A reference from outside may be anything: it is checked before any
    // arithmetic on it, so no offset can overflow.
    const bool inMap = reference >= 0 && reference <= map.bytes.size();
    const qint64 blockStart = inMap ? reference + kMapNodeCoreSize : reference;
    if (!inMap || !mapFits(map.bytes, blockStart, descriptorBlockSize(kind)))
        return Outcome<TableDescriptor>::failure(
            QStringLiteral("Описание таблицы на байте %1 выходит за конец карты (%2 байт)")
                .arg(blockStart)
                .arg(map.bytes.size()));
    TableDescriptor d;
    d.kind = kind;
    d.reference = reference;
    BlockReader r(map.bytes, blockStart);
    switch (kind) {
    case tablekind::OneDimensional:
        readOneDimensional(r, d);
        break;
    case tablekind::TwoDimensional:
        readTwoDimensional(r, d);
        break;
    case tablekind::SingleValue:
        readSingleValue(r, d);
        break;
    case tablekind::BitFlags:
        readBitFlags(r, d);
        break;
    default:
        readTextFields(r, d);
        break;
    }
    if (!r.ok())
        return Outcome<TableDescriptor>::failure(QStringLiteral("Смещение вне карты: %1").arg(r.failedAt()));
    return Outcome<TableDescriptor>::success(std::move(d));
}

QString mapAddressText(std::uint32_t address) {
    return QStringLiteral("%1").arg(address, 8, 16, QLatin1Char('0')).toUpper();
}

} // namespace korvel
