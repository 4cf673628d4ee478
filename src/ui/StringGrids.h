#pragma once

#include <QStringList>

class QTableWidget;
class QWidget;

namespace korvel::ui {

// The window's string grids in their start-up shape.
QTableWidget *makeTuningGrid(QWidget *parent);                 // StringGrid2
QTableWidget *makeStatisticsGrid(const QString &name, QWidget *parent); // StringGridlogs, StringGridRazgon
QTableWidget *makeHexGrid(QWidget *parent);                    // StringGridhex
// A statistics grid gets one row per channel of the connected protocol, named in column 0.
void fillStatisticsRows(QTableWidget *grid, const QStringList &channelNames);

} // namespace korvel::ui
