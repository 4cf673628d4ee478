#include "ui/TuningRefusalsPanel.h"

#include "app/Session.h"
#include "app/TuningController.h"
#include "core/ProgramLog.h"
#include "tuning/TuningGrid.h"

#include <QHBoxLayout>
#include <QItemSelectionModel>
#include <QLabel>
#include <QPushButton>
#include <QTableView>
#include <QVBoxLayout>

namespace korvel::ui {
namespace {

constexpr int kRefusalsPanelWidth = 250;

QLabel *refusalsLabel(QWidget *parent) {
    auto *label = new QLabel(parent);
    label->setWordWrap(true);
    label->setTextFormat(Qt::PlainText);
    label->setAlignment(Qt::AlignTop | Qt::AlignLeft);
    return label;
}

// A cell as the grid titles it: its speed and load breakpoints.
QString refusalsCellName(const QTableView &grid, int cell) {
    const QAbstractItemModel *model = grid.model();
    const int row = cell / TuningGrid::kSize, col = cell % TuningGrid::kSize;
    return QStringLiteral("РТ %1 × %2")
        .arg(model->headerData(col, Qt::Horizontal).toString(), model->headerData(row, Qt::Vertical).toString());
}

} // namespace

TuningRefusalsPanel::TuningRefusalsPanel(Session &session, QTableView &grid, QWidget *parent)
    : QGroupBox(QStringLiteral("Расширенная автонастройка"), parent), m_session(session), m_grid(grid) {
    setObjectName(QStringLiteral("PanelRefusals"));
    setFixedWidth(kRefusalsPanelWidth);
    m_state = refusalsLabel(this);
    m_cell = refusalsLabel(this);
    m_overall = refusalsLabel(this);
    m_delay = refusalsLabel(this);
    m_delay->setTextInteractionFlags(Qt::TextSelectableByMouse);

    auto *lock = new QPushButton(QStringLiteral("Блокировать"), this);
    lock->setObjectName(QStringLiteral("ButtonLockCells"));
    lock->setToolTip(QStringLiteral("Автонастройка не меняет выделенные ячейки"));
    auto *unlock = new QPushButton(QStringLiteral("Разблокировать"), this);
    unlock->setObjectName(QStringLiteral("ButtonUnlockCells"));
    auto *measure = new QPushButton(QStringLiteral("Измерить задержку ШДК"), this);
    measure->setObjectName(QStringLiteral("ButtonMeasureDelay"));
    measure->setToolTip(QStringLiteral("По шагам длительности впрыска в поездке: время до ответа ШДК, медиана"));
    connect(lock, &QPushButton::clicked, this, [this] { lockSelected(true); });
    connect(unlock, &QPushButton::clicked, this, [this] { lockSelected(false); });
    connect(measure, &QPushButton::clicked, this, &TuningRefusalsPanel::measureDelay);

    auto *locks = new QHBoxLayout;
    locks->addWidget(lock);
    locks->addWidget(unlock);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(m_state);
    layout->addWidget(m_cell);
    layout->addWidget(m_overall);
    layout->addLayout(locks);
    layout->addWidget(measure);
    layout->addWidget(m_delay);
    layout->addStretch(1);
    refresh();
}

void TuningRefusalsPanel::refresh() {
    const TuningController &tuning = m_session.tuning();
    const RefusalCounts &counts = tuning.refusals();
    m_state->setText(tuning.extendedOn() ? QStringLiteral("Фильтры, задержка ШДК и пределы поправки включены.")
                                         : QStringLiteral("Выключена: поправки по исходным правилам."));
    const int cell = tuning.currentCell();
    const RefusalCounts::PerReason here = counts.ofCell(cell);
    m_cell->setText(cell < 0 ? QStringLiteral("Текущая РТ: вне сетки")
                             : QStringLiteral("Отказы в %1: %2\n%3")
                                   .arg(refusalsCellName(m_grid, cell))
                                   .arg(RefusalCounts::totalOf(here))
                                   .arg(RefusalCounts::summary(here)));
    m_overall->setText(
        QStringLiteral("Отказы всего: %1\n%2").arg(counts.total()).arg(RefusalCounts::summary(counts.overall())));
}

void TuningRefusalsPanel::lockSelected(bool locked) {
    const QModelIndexList selected =
        m_grid.selectionModel() ? m_grid.selectionModel()->selectedIndexes() : QModelIndexList{};
    for (const QModelIndex &index : selected)
        m_session.tuning().setCellLocked(index.row() * TuningGrid::kSize + index.column(), locked);
    // The frame and hatching show at once, over the cells' own colours.
    m_grid.clearSelection();
}

void TuningRefusalsPanel::measureDelay() {
    const TuningController &tuning = m_session.tuning();
    const QString report = tuning.delayProbe().report(tuning.delayCurve());
    m_delay->setText(report);
    m_session.log().append(report);
}

} // namespace korvel::ui
