#include "firmware/MapBuilder.h"

#include "firmware/Conversions.h"

#include <QStringList>
#include <QtEndian>

#include <cstring>
#include <optional>
#include <utility>
#include <vector>

namespace korvel {
namespace {

// Bytes the reader turns into Cyrillic letters cannot carry their Latin-1 character.
bool isCyrillicByte(int b) {
    return b >= 0xC0 || b == 0xA8 || b == 0xB8;
}

int mapByteFor(QChar c) {
    const char16_t u = c.unicode();
    if (u >= 0x0410 && u <= 0x044F)
        return 0xC0 + (u - 0x0410);
    if (u == 0x0401)
        return 0xA8;
    if (u == 0x0451)
        return 0xB8;
    if (u <= 0xFF && !isCyrillicByte(u))
        return u;
    return -1;
}

// Fills one description block; the first text that cannot be stored is kept as the error.
class BlockWriter {
public:
    explicit BlockWriter(int size) : m_block(size, '\0') {}

    void byte(int offset, int value) { m_block[offset] = static_cast<char>(value & 0xFF); }
    void word(int offset, int value) { qToLittleEndian<quint16>(static_cast<quint16>(value), m_block.data() + offset); }
    void dword(int offset, std::uint32_t value, bool masked) {
        qToLittleEndian<quint32>(masked ? value ^ kMapAddressMask : value, m_block.data() + offset);
    }
    void real(int offset, double value) {
        quint64 bits = 0;
        std::memcpy(&bits, &value, sizeof bits);
        qToLittleEndian<quint64>(bits, m_block.data() + offset);
    }
    void text(int offset, int capacity, const QString &value) {
        const Outcome<QByteArray> bytes = EncodeMapText(value);
        if (!bytes || bytes.value().size() > capacity) {
            if (m_error.isEmpty())
                m_error = bytes ? QStringLiteral("Текст «%1» длиннее %2 байт").arg(value).arg(capacity) : bytes.error();
            return;
        }
        byte(offset, static_cast<int>(bytes.value().size()));
        m_block.replace(offset + 1, bytes.value().size(), bytes.value());
    }

    Outcome<QByteArray> result() const {
        return m_error.isEmpty() ? Outcome<QByteArray>::success(m_block) : Outcome<QByteArray>::failure(m_error);
    }

private:
    QByteArray m_block;
    QString m_error;
};

void writeConversion(BlockWriter &w, const TableConversion &c, int cellTypeAt, int firstConstantAt) {
    w.byte(cellTypeAt, c.cellType);
    const double constants[] = {c.d1, c.d2, c.d3, c.d4, c.d5};
    for (int i = 0; i < 5; ++i)
        w.real(firstConstantAt + 8 * i, constants[i]);
}

void writeOneDimensional(BlockWriter &w, const TableDescriptor &d) {
    w.dword(2, d.identifier, false);
    w.dword(6, d.address, true);
    w.text(18, 32, d.xName);
    w.text(51, 32, d.valueName);
    w.text(84, 255, d.xAxisCode);
    w.word(340, d.columns);
    w.word(342, d.marker);
    w.real(344, d.xStart);
    w.real(352, d.xEnd);
    w.real(361, d.minimum);
    w.real(369, d.maximum);
    writeConversion(w, d.conversion, 378, 382);
    w.word(430, d.trailer);
}

void writeTwoDimensional(BlockWriter &w, const TableDescriptor &d) {
    w.dword(2, d.identifier, false);
    w.dword(6, d.address, true);
    w.text(18, 32, d.xName);
    w.text(51, 32, d.valueName);
    w.text(84, 32, d.yName);
    w.text(117, 255, d.xAxisCode);
    w.text(373, 255, d.yAxisCode);
    w.word(629, d.columns);
    w.word(631, d.marker);
    w.byte(633, d.rows);
    w.real(634, d.xStart);
    w.real(642, d.xEnd);
    w.real(651, d.minimum);
    w.real(659, d.maximum);
    w.real(668, d.yStart);
    w.real(676, d.yEnd);
    writeConversion(w, d.conversion, 685, 690);
    w.byte(687, d.typeMark);
    w.word(738, d.trailer);
}

void writeSingleValue(BlockWriter &w, const TableDescriptor &d) {
    w.dword(6, d.address, true);
    w.text(18, 16, d.valueName);
    w.real(35, d.minimum);
    w.real(43, d.maximum);
    writeConversion(w, d.conversion, 51, 53);
    w.word(101, d.trailer);
}

void writeBitFlags(BlockWriter &w, const TableDescriptor &d) {
    for (int i = 0; i < 8; ++i) {
        const FlagDescription &flag = d.flags[static_cast<std::size_t>(i)];
        w.dword(6 + 4 * i, flag.address, i == 0);
        w.text(46 + 65 * i, 64, flag.name);
        for (int j = 0; j < 8; ++j)
            w.text(566 + 520 * i + 65 * j, 64, flag.bitNames[static_cast<std::size_t>(j)]);
    }
}

void writeTextFields(BlockWriter &w, const TableDescriptor &d) {
    w.text(6, 64, d.title);
    for (int i = 0; i < 8; ++i) {
        const TextDescription &field = d.texts[static_cast<std::size_t>(i)];
        w.dword(71 + 4 * i, field.address, i == 0);
        w.byte(111 + i, field.length);
        w.text(119 + 65 * i, 64, field.name);
    }
}

// ---- the description text ----

struct NodeLine {
    bool item = false;
    int level = 1;
    QString name;
    std::optional<int> kind;
    TableDescriptor table;
    int line = 0;
};

// The first word of `rest`, which keeps what follows it after one separating space.
QString takeWord(QString &rest) {
    qsizetype start = 0;
    while (start < rest.size() && rest[start].isSpace())
        ++start;
    const qsizetype end = rest.indexOf(QLatin1Char(' '), start);
    const QString word = end < 0 ? rest.mid(start) : rest.mid(start, end - start);
    rest = end < 0 ? QString() : rest.mid(end + 1);
    return word;
}

class DescriptionParser {
public:
    Outcome<std::vector<NodeLine>> parse(const QString &description) {
        const QStringList lines = description.split(QLatin1Char('\n'));
        for (int i = 0; i < lines.size() && m_error.isEmpty(); ++i) {
            m_line = i + 1;
            QString rest = lines[i];
            if (rest.endsWith(QLatin1Char('\r')))
                rest.chop(1);
            if (rest.trimmed().isEmpty() || rest.trimmed().startsWith(QLatin1Char('#')))
                continue;
            const QString word = takeWord(rest);
            if (word == QLatin1String("group") || word == QLatin1String("item"))
                addNode(word == QLatin1String("item"), rest);
            else if (word == QLatin1String("kind"))
                setKind(rest);
            else
                setField(word, rest);
        }
        if (!m_error.isEmpty())
            return Outcome<std::vector<NodeLine>>::failure(QStringLiteral("Строка %1: %2").arg(m_line).arg(m_error));
        return Outcome<std::vector<NodeLine>>::success(std::move(m_nodes));
    }

private:
    void fail(const QString &why) {
        if (m_error.isEmpty())
            m_error = why;
    }

    std::optional<qint64> integer(const QString &text, qint64 low, qint64 high, int base = 10) {
        bool ok = false;
        const qint64 value = text.trimmed().toLongLong(&ok, base);
        if (!ok || value < low || value > high) {
            fail(QStringLiteral("неверное число «%1»").arg(text));
            return std::nullopt;
        }
        return value;
    }
    double real(const QString &text) {
        bool ok = false;
        const double value = text.trimmed().toDouble(&ok);
        if (!ok)
            fail(QStringLiteral("неверное число «%1»").arg(text));
        return value;
    }
    int index(QString &rest) { return static_cast<int>(integer(takeWord(rest), 0, 7).value_or(0)); }

    void addNode(bool item, QString rest) {
        NodeLine node;
        node.item = item;
        node.line = m_line;
        node.level = static_cast<int>(integer(takeWord(rest), 0, 255).value_or(0));
        const Outcome<QByteArray> name = EncodeMapText(rest);
        if (!name)
            fail(name.error());
        else if (name.value().size() > kMapNameCapacity)
            fail(QStringLiteral("имя длиннее %1 байт").arg(kMapNameCapacity));
        node.name = rest;
        m_nodes.push_back(std::move(node));
    }

    void setKind(const QString &rest) {
        if (m_nodes.empty())
            return fail(QStringLiteral("kind без записи"));
        const auto kind = integer(rest, 0, 255);
        m_nodes.back().kind = kind;
        m_nodes.back().table.kind = static_cast<int>(kind.value_or(0));
        m_nodes.back().table.conversion.kind = m_nodes.back().table.kind;
    }

    void setField(const QString &key, QString rest) {
        if (m_nodes.empty() || !isTableKind(m_nodes.back().table.kind))
            return fail(QStringLiteral("«%1» вне таблицы").arg(key));
        TableDescriptor &d = m_nodes.back().table;
        const auto hex32 = [&](const QString &text) {
            return static_cast<std::uint32_t>(integer(text, 0, 0xFFFFFFFFLL, 16).value_or(0));
        };
        const auto small = [&](const QString &text, int high) {
            return static_cast<int>(integer(text, 0, high).value_or(0));
        };
        if (key == QLatin1String("id"))
            d.identifier = hex32(rest);
        else if (key == QLatin1String("address"))
            d.address = hex32(rest);
        else if (key == QLatin1String("marker"))
            d.marker = static_cast<int>(integer(rest, 0, 0xFFFF, 16).value_or(0));
        else if (key == QLatin1String("mark"))
            d.typeMark = static_cast<int>(integer(rest, 0, 0xFF, 16).value_or(0));
        else if (key == QLatin1String("trailer"))
            d.trailer = static_cast<int>(integer(rest, 0, 0xFFFF, 16).value_or(0));
        else if (key == QLatin1String("cells"))
            d.columns = small(rest, 0xFFFF);
        else if (key == QLatin1String("rows"))
            d.rows = small(rest, 0xFF);
        else if (key == QLatin1String("celltype"))
            d.conversion.cellType = small(rest, 0xFF);
        else if (double *target = realField(d, key))
            *target = real(rest);
        else if (QString *target = textField(d, key))
            *target = rest;
        else if (key == QLatin1String("flag")) {
            FlagDescription &flag = d.flags[static_cast<std::size_t>(index(rest))];
            flag.address = hex32(takeWord(rest));
            flag.name = rest;
        } else if (key == QLatin1String("bit")) {
            FlagDescription &flag = d.flags[static_cast<std::size_t>(index(rest))];
            flag.bitNames[static_cast<std::size_t>(index(rest))] = rest;
        } else if (key == QLatin1String("text")) {
            TextDescription &field = d.texts[static_cast<std::size_t>(index(rest))];
            field.address = hex32(takeWord(rest));
            field.length = small(takeWord(rest), 0xFF);
            field.name = rest;
        } else
            fail(QStringLiteral("неизвестное слово «%1»").arg(key));
    }

    static double *realField(TableDescriptor &d, const QString &key) {
        const std::pair<const char *, double *> fields[] = {
            {"xstart", &d.xStart},    {"xend", &d.xEnd},        {"ystart", &d.yStart},    {"yend", &d.yEnd},
            {"min", &d.minimum},      {"max", &d.maximum},      {"d1", &d.conversion.d1}, {"d2", &d.conversion.d2},
            {"d3", &d.conversion.d3}, {"d4", &d.conversion.d4}, {"d5", &d.conversion.d5},
        };
        for (const auto &[name, target] : fields)
            if (key == QLatin1String(name))
                return target;
        return nullptr;
    }
    static QString *textField(TableDescriptor &d, const QString &key) {
        const std::pair<const char *, QString *> fields[] = {
            {"xname", &d.xName},     {"unit", &d.valueName},  {"yname", &d.yName},
            {"xcode", &d.xAxisCode}, {"ycode", &d.yAxisCode}, {"title", &d.title},
        };
        for (const auto &[name, target] : fields)
            if (key == QLatin1String(name))
                return target;
        return nullptr;
    }

    std::vector<NodeLine> m_nodes;
    QString m_error;
    int m_line = 0;
};

} // namespace

Outcome<QByteArray> EncodeMapText(const QString &text) {
    QByteArray bytes;
    bytes.reserve(text.size());
    for (QChar c : text) {
        const int b = mapByteFor(c);
        if (b < 0)
            return Outcome<QByteArray>::failure(QStringLiteral("Символ «%1» не записывается в карту").arg(c));
        bytes.append(static_cast<char>(b));
    }
    return Outcome<QByteArray>::success(bytes);
}

Outcome<QByteArray> encodeTableDescriptor(const TableDescriptor &d) {
    if (!isTableKind(d.kind))
        return Outcome<QByteArray>::failure(QStringLiteral("Узел типа %1 не является таблицей").arg(d.kind));
    BlockWriter w(descriptorBlockSize(d.kind));
    switch (d.kind) {
    case tablekind::OneDimensional:
        writeOneDimensional(w, d);
        break;
    case tablekind::TwoDimensional:
        writeTwoDimensional(w, d);
        break;
    case tablekind::SingleValue:
        writeSingleValue(w, d);
        break;
    case tablekind::BitFlags:
        writeBitFlags(w, d);
        break;
    default:
        writeTextFields(w, d);
        break;
    }
    return w.result();
}

Outcome<QByteArray> buildCalibrationMap(const QString &description) {
    const Outcome<std::vector<NodeLine>> parsed = DescriptionParser().parse(description);
    if (!parsed)
        return Outcome<QByteArray>::failure(parsed.error());
    const std::vector<NodeLine> &nodes = parsed.value();
    QByteArray map(kMapHeaderSize, '\0');
    for (std::size_t i = 0; i < nodes.size(); ++i) {
        const NodeLine &node = nodes[i];
        const NodeLine *next = i + 1 < nodes.size() ? &nodes[i + 1] : nullptr;
        const auto refuse = [&](const QString &why) {
            return Outcome<QByteArray>::failure(QStringLiteral("Строка %1: %2").arg(node.line).arg(why));
        };
        if (i == 0 && node.item)
            return refuse(QStringLiteral("карта начинается с группы"));
        const int kind = node.kind.value_or(next && next->item ? tablekind::Item : tablekind::Group);
        if (isTableKind(kind) && next && next->item)
            return refuse(QStringLiteral("за таблицей следует группа, а не элемент"));
        if (node.item)
            map.append(2, '\0');
        const QByteArray name = EncodeMapText(node.name).value();
        QByteArray core(kMapNodeCoreSize, '\0');
        core[0] = static_cast<char>(name.size());
        core.replace(1, name.size(), name);
        core[65] = static_cast<char>(node.level);
        core[66] = static_cast<char>(kind);
        map.append(core);
        if (isTableKind(kind)) {
            const Outcome<QByteArray> block = encodeTableDescriptor(node.table);
            if (!block)
                return refuse(block.error());
            map.append(block.value());
        }
    }
    map.append(2, '\0');
    return Outcome<QByteArray>::success(map);
}

} // namespace korvel
