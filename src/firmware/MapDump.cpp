#include "firmware/MapDump.h"

#include "core/Numbers.h"

#include <QStringList>

namespace korvel {
namespace {

QString hex(std::uint32_t value, int digits) {
    return QStringLiteral("%1").arg(value, digits, 16, QLatin1Char('0')).toUpper();
}

QString quoted(const QString &text) {
    return QLatin1Char('"') + text + QLatin1Char('"');
}

class FieldLines {
public:
    FieldLines(QStringList &out, int depth) : m_out(out), m_indent(2 * depth + 4, QLatin1Char(' ')) {}

    void add(const QString &key, const QString &value) { m_out << m_indent + key + QLatin1Char(' ') + value; }
    void text(const QString &key, const QString &value) { add(key, quoted(value)); }
    void number(const QString &key, long long value) { add(key, QString::number(value)); }
    void real(const QString &key, double value) { add(key, shortestDecimal(value)); }

    void conversion(const TableConversion &c) {
        number(QStringLiteral("celltype"), c.cellType);
        real(QStringLiteral("d1"), c.d1);
        real(QStringLiteral("d2"), c.d2);
        real(QStringLiteral("d3"), c.d3);
        real(QStringLiteral("d4"), c.d4);
        real(QStringLiteral("d5"), c.d5);
    }

private:
    QStringList &m_out;
    QString m_indent;
};

void dumpDescriptor(FieldLines &f, const TableDescriptor &d) {
    const bool table = d.kind == tablekind::OneDimensional || d.kind == tablekind::TwoDimensional;
    if (table)
        f.add(QStringLiteral("id"), hex(d.identifier, 8));
    if (table || d.kind == tablekind::SingleValue)
        f.add(QStringLiteral("address"), hex(d.address, 4));
    if (table) {
        f.text(QStringLiteral("xname"), d.xName);
        f.text(QStringLiteral("unit"), d.valueName);
    }
    if (d.kind == tablekind::TwoDimensional)
        f.text(QStringLiteral("yname"), d.yName);
    if (table)
        f.text(QStringLiteral("xcode"), d.xAxisCode);
    if (d.kind == tablekind::TwoDimensional)
        f.text(QStringLiteral("ycode"), d.yAxisCode);
    if (table) {
        f.number(QStringLiteral("cells"), d.columns);
        f.add(QStringLiteral("marker"), hex(static_cast<std::uint32_t>(d.marker), 4));
    }
    if (d.kind == tablekind::TwoDimensional)
        f.number(QStringLiteral("rows"), d.rows);
    if (table) {
        f.real(QStringLiteral("xstart"), d.xStart);
        f.real(QStringLiteral("xend"), d.xEnd);
    }
    if (d.kind == tablekind::TwoDimensional) {
        f.real(QStringLiteral("ystart"), d.yStart);
        f.real(QStringLiteral("yend"), d.yEnd);
    }
    if (d.kind == tablekind::SingleValue)
        f.text(QStringLiteral("unit"), d.valueName);
    if (table || d.kind == tablekind::SingleValue) {
        f.real(QStringLiteral("min"), d.minimum);
        f.real(QStringLiteral("max"), d.maximum);
        f.conversion(d.conversion);
    }
    if (d.kind == tablekind::TwoDimensional)
        f.add(QStringLiteral("mark"), hex(static_cast<std::uint32_t>(d.typeMark), 2));
    if (table || d.kind == tablekind::SingleValue)
        f.add(QStringLiteral("trailer"), hex(static_cast<std::uint32_t>(d.trailer), 4));
    if (d.kind == tablekind::BitFlags) {
        for (int i = 0; i < 8; ++i) {
            const FlagDescription &flag = d.flags[static_cast<std::size_t>(i)];
            f.add(QStringLiteral("flag"),
                  QStringLiteral("%1 %2 %3").arg(i).arg(hex(flag.address, 4), quoted(flag.name)));
            for (int j = 0; j < 8; ++j) {
                const QString &bit = flag.bitNames[static_cast<std::size_t>(j)];
                if (!bit.isEmpty())
                    f.add(QStringLiteral("bit"), QStringLiteral("%1 %2 %3").arg(i).arg(j).arg(quoted(bit)));
            }
        }
    }
    if (d.kind == tablekind::TextFields) {
        f.text(QStringLiteral("title"), d.title);
        for (int i = 0; i < 8; ++i) {
            const TextDescription &field = d.texts[static_cast<std::size_t>(i)];
            f.add(QStringLiteral("text"), QStringLiteral("%1 %2 %3 %4")
                                              .arg(i)
                                              .arg(hex(field.address, 4))
                                              .arg(field.length)
                                              .arg(quoted(field.name)));
        }
    }
}

} // namespace

QString dumpCalibrationMap(const CalibrationMap &map, const QString &rootText) {
    const MapTree tree = BuildMapTree(map, rootText);
    QStringList out{rootText};
    for (const MapNode &node : tree.nodes) {
        out << QStringLiteral("%1%2 (kind %3, at %4)")
                   .arg(QString(2 * node.depth, QLatin1Char(' ')), node.name)
                   .arg(node.kind)
                   .arg(node.reference);
        if (!isTableKind(node.kind))
            continue;
        FieldLines fields(out, node.depth);
        const Outcome<TableDescriptor> d = readTableDescriptor(map, node.kind, node.reference);
        if (d)
            dumpDescriptor(fields, d.value());
        else
            fields.add(QStringLiteral("error"), d.error());
    }
    if (!tree.stopReason.isEmpty())
        out << QStringLiteral("stopped: ") + tree.stopReason;
    return out.join(QLatin1Char('\n')) + QLatin1Char('\n');
}

} // namespace korvel
