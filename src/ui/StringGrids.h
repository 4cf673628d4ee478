#pragma once

#include <QString>

class QAbstractItemModel;
class QTableView;
class QWidget;

namespace korvel::ui {

// The window's grids in their start-up shape: views on the session's models.
QTableView *makeTuningGrid(QAbstractItemModel *model, QWidget *parent); // StringGrid2
// StringGridlogs, StringGridRazgon
QTableView *makeStatisticsGrid(const QString &name, QAbstractItemModel *model, QWidget *parent);

} // namespace korvel::ui
