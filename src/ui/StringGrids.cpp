#include "ui/StringGrids.h"

#include "core/ControlNames.h"
#include "tuning/TuningGridModel.h"

#include <QColor>
#include <QHeaderView>
#include <QPainter>
#include <QStyledItemDelegate>
#include <QTableView>

namespace korvel::ui {
namespace {

template <typename Grid> Grid *named(Grid *grid, const QString &name) {
    grid->setObjectName(name);
    grid->setEditTriggers(QAbstractItemView::NoEditTriggers);
    return grid;
}

// Paints each tuning cell in the colour its model decides (tuning progress,
// the highlighted cell, the gradient); a locked cell is framed and hatched
// over its colour, so that its value stays readable.
class TuningCellColours : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    void paint(QPainter *painter, const QStyleOptionViewItem &option, const QModelIndex &index) const override {
        QStyledItemDelegate::paint(painter, option, index);
        if (!index.data(TuningGridModel::LockedRole).toBool())
            return;
        painter->save();
        painter->setPen(QPen(QColor(40, 40, 40), 2));
        painter->setBrush(QBrush(QColor(0, 0, 0, 90), Qt::BDiagPattern));
        painter->drawRect(option.rect.adjusted(1, 1, -2, -2));
        painter->restore();
    }

protected:
    void initStyleOption(QStyleOptionViewItem *option, const QModelIndex &index) const override {
        QStyledItemDelegate::initStyleOption(option, index);
        const QVariant rgb = index.data(TuningGridModel::ColourRole);
        if (rgb.isValid())
            option->backgroundBrush = QColor(static_cast<QRgb>(rgb.toInt()));
    }
};

} // namespace

QTableView *makeTuningGrid(QAbstractItemModel *model, QWidget *parent) {
    auto *grid = named(new QTableView(parent), control::StringGrid2);
    grid->setModel(model);
    grid->setItemDelegate(new TuningCellColours(grid));
    // Room for the widest row title (pressure in tenths of a kPa) before the axes arrive with a firmware.
    grid->verticalHeader()->setMinimumWidth(grid->fontMetrics().horizontalAdvance(QStringLiteral("00000")));
    grid->horizontalHeader()->setSectionResizeMode(QHeaderView::Stretch);
    grid->verticalHeader()->setSectionResizeMode(QHeaderView::Stretch);
    return grid;
}

QTableView *makeStatisticsGrid(const QString &name, QAbstractItemModel *model, QWidget *parent) {
    auto *grid = named(new QTableView(parent), name);
    grid->setModel(model);
    grid->horizontalHeader()->setDefaultSectionSize(40);
    grid->verticalHeader()->setMinimumSectionSize(16); // the style's minimum is higher
    grid->verticalHeader()->setDefaultSectionSize(16);
    grid->verticalHeader()->hide();
    grid->setColumnWidth(0, 200);
    return grid;
}

} // namespace korvel::ui
