#pragma once

#include "firmware/Outcome.h"
#include "firmware/TableGrid.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

namespace korvel {

// A table export file (.kv): one curve or map as text lines, Windows-1251
// with CR LF. Lines: the map label, the firmware label, the image SWID, the
// table name, its unit, N (cells per row), M (rows; "1" for a curve),
// "Данные:", then the M x N cell texts row after row.

inline const QString kKvExportFilter = QStringLiteral("Калибровки Korvel|*.kv|Все файлы|*.*");
inline const QString kKvImportFilter = QStringLiteral("Калибровки Korvel|*.kv;|Все файлы|*.*");
inline const QString kKvDataLine = QStringLiteral("Данные:");
inline const QString kKvImportRefused = QStringLiteral("Калибровка не может быть загружена");
inline constexpr int kKvHeaderLines = 8;

struct KvHeader {
    QString mapLabel;      // what Label59 shows
    QString firmwareLabel; // what Label60 shows
    QString swid;          // the image's
    QString tableName;
    QString unit;
};

// The table name as the file's name line holds it. A map name is single
// bytes; the few that Windows-1251 has no character for (the map's ¹ ² ³) are
// written as the map byte itself, so the file stays Windows-1251 for the
// programs users exchange it with and its import finds the same table.
QString kvNameLine(const QString &tableName);

QStringList kvExportLines(const KvHeader &header, const TableGrid &grid);
QByteArray encodeKvFile(const QStringList &lines);

// The grid of an import file, accepted only for the same image SWID and table
// name, with N and M the open table's own, and a cell line for each cell.
// Refused with the reason otherwise.
Outcome<TableGrid> kvImportGrid(const QStringList &lines, const QString &imageSwid, const QString &tableName,
                                int columns, int rows);

// The name the export dialog proposes: the firmware label from its 10th
// character, its length - 14 characters of it, then "-" and the table name.
QString kvProposedFileName(const QString &firmwareLabel, const QString &tableName);

// Log lines of the two commands.
QString kvExportedLine(const QString &tableName);
QString kvImportedLine(const QString &tableName);

} // namespace korvel
