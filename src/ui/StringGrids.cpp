#include "ui/StringGrids.h"

#include <QHeaderView>
#include <QTableWidget>

namespace korvel::ui {
namespace {

constexpr int kGridCells = 16;

QTableWidget *makeGrid(const QString &name, int rows, int columns, QWidget *parent) {
    auto *grid = new QTableWidget(rows, columns, parent);
    grid->setObjectName(name);
    grid->setEditTriggers(QAbstractItemView::NoEditTriggers);
    return grid;
}

} // namespace

QTableWidget *makeTuningGrid(QWidget *parent) {
    auto *grid = makeGrid(QStringLiteral("StringGrid2"), kGridCells, kGridCells, parent);
    for (int r = 0; r < kGridCells; ++r)
        for (int c = 0; c < kGridCells; ++c) {
            auto *item = new QTableWidgetItem(QStringLiteral("0"));
            item->setTextAlignment(Qt::AlignCenter);
            grid->setItem(r, c, item);
        }
    grid->horizontalHeader()->setSectionResizeMode(QHeaderView::Stretch);
    grid->verticalHeader()->setSectionResizeMode(QHeaderView::Stretch);
    return grid;
}

QTableWidget *makeStatisticsGrid(const QString &name, QWidget *parent) {
    auto *grid = makeGrid(name, 0, 5, parent);
    grid->setHorizontalHeaderLabels({QStringLiteral("Time"), QStringLiteral("Мин."), QStringLiteral("Ср."),
                                     QStringLiteral("Макс."), QString()});
    grid->horizontalHeader()->setDefaultSectionSize(40);
    grid->verticalHeader()->setDefaultSectionSize(16);
    grid->verticalHeader()->hide();
    grid->setColumnWidth(0, 200);
    return grid;
}

void fillStatisticsRows(QTableWidget *grid, const QStringList &channelNames) {
    // Row 0 is the header row; one row per channel below it.
    grid->setRowCount(static_cast<int>(channelNames.size()));
    for (int row = 0; row < channelNames.size(); ++row)
        grid->setItem(row, 0, new QTableWidgetItem(channelNames.at(row)));
}

QTableWidget *makeHexGrid(QWidget *parent) {
    auto *grid = makeGrid(QStringLiteral("StringGridhex"), 4097, 18, parent);
    grid->setColumnWidth(0, 40);
    grid->setColumnWidth(17, 130);
    for (int c = 1; c <= 16; ++c)
        grid->setColumnWidth(c, 26);
    grid->verticalHeader()->hide();
    grid->horizontalHeader()->hide();
    return grid;
}

} // namespace korvel::ui
