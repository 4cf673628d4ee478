#include "ui/AccelerationPanel.h"

#include "app/AccelerationController.h"
#include "app/Session.h"
#include "core/ControlNames.h"
#include "ui/StringGrids.h"

#include <QComboBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPushButton>
#include <QStyledItemDelegate>
#include <QTableView>
#include <QVBoxLayout>

namespace korvel::ui {

namespace {

// A run cell: its shade (when the run grid gives one) as background, the
// text 5 pixels from the left edge at the top.
class RunCellDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    void paint(QPainter *painter, const QStyleOptionViewItem &option, const QModelIndex &index) const override {
        const QVariant shade = index.data(AccelerationRuns::ShadeRole);
        if (!shade.isValid()) {
            QStyledItemDelegate::paint(painter, option, index);
            return;
        }
        painter->fillRect(option.rect, QColor::fromRgb(shade.toUInt()));
        painter->setPen(Qt::black);
        painter->drawText(option.rect.adjusted(5, 0, 0, 0), Qt::AlignLeft | Qt::AlignTop,
                          index.data(Qt::DisplayRole).toString());
    }
};

QLabel *boldLabel(const QString &name, const QString &caption, QWidget *parent) {
    auto *label = new QLabel(caption, parent);
    label->setObjectName(name);
    QFont font = label->font();
    font.setBold(true);
    label->setFont(font);
    return label;
}

} // namespace

AccelerationPanel::AccelerationPanel(Session &session, QWidget *parent) : QWidget(parent) {
    using namespace control;
    AccelerationController &acceleration = session.acceleration();
    auto *layout = new QVBoxLayout(this);
    auto *bar = new QHBoxLayout;

    auto *start = new QLineEdit(acceleration.startText(), this);
    start->setObjectName(QStringLiteral("Pointrazgon1"));
    start->setToolTip(QStringLiteral("Начальная скорость"));
    auto *end = new QLineEdit(acceleration.endText(), this);
    end->setObjectName(QStringLiteral("Pointrazgon2"));
    end->setToolTip(QStringLiteral("Конечная скорость"));
    for (QLineEdit *edit : {start, end})
        edit->setMaximumWidth(60);
    connect(start, &QLineEdit::textChanged, this, [&acceleration](const QString &t) { acceleration.setStartText(t); });
    connect(end, &QLineEdit::textChanged, this, [&acceleration](const QString &t) { acceleration.setEndText(t); });

    auto *arm = new QPushButton(QStringLiteral("▶"), this);
    arm->setObjectName(QStringLiteral("BitBtn25"));
    arm->setToolTip(QStringLiteral("Начать Тест разгона"));
    connect(arm, &QPushButton::clicked, this, [&acceleration] { acceleration.toggleArmed(); });

    auto *runs = new QComboBox(this);
    runs->setObjectName(ComboBoxRazgon);
    runs->hide();
    connect(&acceleration, &AccelerationController::runsListed, runs, [runs](const QStringList &entries) {
        runs->clear();
        runs->addItems(entries);
        runs->setCurrentIndex(static_cast<int>(entries.size()) - 1);
    });

    bar->addWidget(start);
    bar->addWidget(end);
    bar->addWidget(arm);
    bar->addWidget(boldLabel(RazgonSpeed, QStringLiteral("Замеров"), this));
    bar->addWidget(boldLabel(LabelSpeed, QStringLiteral("Speed"), this));
    bar->addWidget(runs);
    bar->addStretch(1);
    layout->addLayout(bar);

    QTableView *grid = makeStatisticsGrid(QStringLiteral("StringGridRazgon"), &acceleration.runs(), this);
    grid->setItemDelegate(new RunCellDelegate(grid));
    layout->addWidget(grid);
}

} // namespace korvel::ui
