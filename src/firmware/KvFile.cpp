#include "firmware/KvFile.h"

#include "core/Cp1251.h"
#include "core/TextFile.h"

#include <algorithm>
#include <optional>

namespace korvel {
namespace {

// Line numbers (from 1) of the header fields.
constexpr int kSwidLine = 3;
constexpr int kNameLine = 4;
constexpr int kColumnsLine = 6;
constexpr int kRowsLine = 7;

std::optional<int> decimal(const QString &text) {
    bool ok = false;
    const int value = text.toInt(&ok, 10);
    return ok ? std::optional<int>(value) : std::nullopt;
}

Outcome<TableGrid> refused(const QString &why) {
    return Outcome<TableGrid>::failure(why);
}

} // namespace

QString kvNameLine(const QString &tableName) {
    QByteArray bytes;
    for (const QChar c : tableName) {
        const QString one(c);
        if (cp1251::canEncode(one)) {
            bytes += cp1251::encode(one);
            continue;
        }
        // The map byte the character was decoded from, when the code page
        // gives that byte back unchanged; '?' as Windows writes otherwise.
        const QByteArray own(1, static_cast<char>(c.unicode()));
        bytes += c.unicode() <= 0xFF && cp1251::encode(cp1251::decode(own)) == own ? own : QByteArray("?");
    }
    return cp1251::decode(bytes);
}

QStringList kvExportLines(const KvHeader &header, const TableGrid &grid) {
    QStringList lines = {header.mapLabel,
                         header.firmwareLabel,
                         header.swid,
                         kvNameLine(header.tableName),
                         header.unit,
                         QString::number(grid.columns),
                         QString::number(grid.rows),
                         kKvDataLine};
    lines += grid.cells;
    return lines;
}

QByteArray encodeKvFile(const QStringList &lines) {
    return encodeLines(lines, TextLayout{TextEncoding::Cp1251, QStringLiteral("\r\n"), true});
}

Outcome<TableGrid> kvImportGrid(const QStringList &lines, const QString &imageSwid, const QString &tableName,
                                int columns, int rows) {
    if (lines.size() < kKvHeaderLines)
        return refused(QStringLiteral("в файле %1 строк, заголовок занимает %2").arg(lines.size()).arg(kKvHeaderLines));
    if (lines.at(kSwidLine - 1) != imageSwid)
        return refused(QStringLiteral("SWID файла %1, прошивки %2").arg(lines.at(kSwidLine - 1), imageSwid));
    if (lines.at(kNameLine - 1) != kvNameLine(tableName))
        return refused(QStringLiteral("таблица файла \"%1\", открыта \"%2\"").arg(lines.at(kNameLine - 1), tableName));
    const std::optional<int> n = decimal(lines.at(kColumnsLine - 1));
    const std::optional<int> m = decimal(lines.at(kRowsLine - 1));
    if (!n || !m)
        return refused(QStringLiteral("размер таблицы \"%1\" x \"%2\" не число")
                           .arg(lines.at(kRowsLine - 1), lines.at(kColumnsLine - 1)));
    // Another size under the same name is another version of the map: its
    // cells would land in the wrong places.
    if (*n != columns || *m != rows)
        return refused(
            QStringLiteral("размер в файле %1 x %2, у таблицы %3 x %4").arg(*m).arg(*n).arg(rows).arg(columns));
    const qsizetype cells = static_cast<qsizetype>(columns) * rows;
    if (lines.size() - kKvHeaderLines < cells)
        return refused(QStringLiteral("в файле %1 значений из %2").arg(lines.size() - kKvHeaderLines).arg(cells));
    TableGrid grid;
    grid.columns = columns;
    grid.rows = rows;
    grid.cells = lines.mid(kKvHeaderLines, cells);
    return Outcome<TableGrid>::success(grid);
}

QString kvProposedFileName(const QString &firmwareLabel, const QString &tableName) {
    return firmwareLabel.mid(9, std::max<qsizetype>(0, firmwareLabel.size() - 14)) + QLatin1Char('-') + tableName;
}

QString kvExportedLine(const QString &tableName) {
    return QStringLiteral("Экспорт калибровки:") + tableName;
}

QString kvImportedLine(const QString &tableName) {
    return QStringLiteral("Калибровка") + tableName + QStringLiteral("загружена");
}

} // namespace korvel
