#include "ui/TTHEXeditor.h"

#include "core/ControlNames.h"
#include "firmware/FirmwareStore.h"

#include <QHeaderView>
#include <QLineEdit>
#include <QPainter>
#include <QPushButton>
#include <QScrollBar>
#include <QStyledItemDelegate>
#include <QTableView>
#include <QVBoxLayout>

namespace korvel::ui {
namespace {

constexpr int kHexCellWidth = 24;
constexpr int kLabelWidth = 40;
constexpr int kTextWidth = 130;
constexpr int kRowHeight = 18;
constexpr int kTextIndent = 5;
constexpr int kFontPoints = 8;
constexpr int kSidePanelWidth = 220;

// Cells in their own colours; the selected one red. The text sits at the top,
// a little in from the left edge.
class HexCellDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    void paint(QPainter *painter, const QStyleOptionViewItem &option, const QModelIndex &index) const override {
        const bool selected = option.state.testFlag(QStyle::State_Selected);
        const int rgb = selected ? HexModel::kSelectedRgb : index.data(HexModel::BackgroundRgbRole).toInt();
        painter->fillRect(option.rect, QColor::fromRgb(static_cast<QRgb>(rgb)));
        painter->setPen(option.palette.color(QPalette::Text));
        painter->setFont(option.font);
        painter->drawText(option.rect.adjusted(kTextIndent, 0, 0, 0), Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine,
                          index.data().toString());
    }
};

QTableView *makeGrid(HexModel *model, QWidget *parent) {
    auto *grid = new QTableView(parent);
    grid->setObjectName(control::StringGridhex);
    grid->setModel(model);
    grid->setItemDelegate(new HexCellDelegate(grid));
    grid->setEditTriggers(QAbstractItemView::NoEditTriggers);
    grid->setSelectionMode(QAbstractItemView::SingleSelection);
    grid->setSelectionBehavior(QAbstractItemView::SelectItems);
    grid->setWordWrap(false);
    // Row 0 and column 0 are the fixed header cells: shown by the headers so
    // that they stay in place while the grid scrolls.
    grid->setRowHidden(0, true);
    grid->setColumnHidden(0, true);
    QHeaderView *top = grid->horizontalHeader();
    QHeaderView *left = grid->verticalHeader();
    for (QHeaderView *header : {top, left}) {
        header->setSectionResizeMode(QHeaderView::Fixed);
        header->setHighlightSections(false);
        header->setDefaultAlignment(Qt::AlignLeft | Qt::AlignTop);
        header->setStyleSheet(QStringLiteral("QHeaderView::section { background-color: #%1; padding-left: %2px; "
                                             "border: 0px; border-right: 1px solid #7777CC; "
                                             "border-bottom: 1px solid #7777CC; }")
                                  .arg(HexModel::kHeaderRgb, 6, 16, QLatin1Char('0'))
                                  .arg(kTextIndent));
    }
    left->setMinimumSectionSize(kRowHeight);
    left->setDefaultSectionSize(kRowHeight);
    left->setFixedWidth(kLabelWidth);
    top->setMinimumSectionSize(kHexCellWidth);
    top->setFixedHeight(kRowHeight + 2);
    for (int c = 1; c <= kHexBytesPerRow; ++c)
        grid->setColumnWidth(c, kHexCellWidth);
    grid->setColumnWidth(kHexTextColumn, kTextWidth);
    // A small font, so that 16 characters fit the text column's 130 pixels.
    QFont font = grid->font();
    font.setPointSize(kFontPoints);
    grid->setFont(font);
    top->setFont(font);
    left->setFont(font);
    // As wide as its columns: the search panel sits right next to it.
    const int width = kLabelWidth + kHexBytesPerRow * kHexCellWidth + kTextWidth + 2 * grid->frameWidth() +
                      grid->verticalScrollBar()->sizeHint().width();
    grid->setMaximumWidth(width);
    grid->setMinimumWidth(width);
    grid->hide(); // until the first snapshot
    return grid;
}

} // namespace

TTHEXeditor::TTHEXeditor(QWidget *parent) : QSplitter(parent) {
    using namespace control;
    m_grid = makeGrid(&m_model, this);
    addWidget(m_grid);

    auto *side = new QWidget(this);
    side->setObjectName(Toysset);
    auto *layout = new QVBoxLayout(side);
    m_pattern = new QLineEdit(side);
    m_pattern->setObjectName(Edithexfind);
    m_pattern->setToolTip(QStringLiteral("Байты в шестнадцатеричном виде, например 6DC8"));
    auto *find = new QPushButton(QStringLiteral("Поиск"), side);
    find->setObjectName(Findhexbut);
    m_next = new QPushButton(QStringLiteral("Дальше"), side);
    m_next->setObjectName(Buttonhexfindnext);
    m_next->setEnabled(false);
    layout->addWidget(m_pattern);
    layout->addWidget(find);
    layout->addWidget(m_next);
    layout->addStretch(1);
    side->setMaximumWidth(kSidePanelWidth);
    addWidget(side);
    setStretchFactor(0, 0);
    setStretchFactor(1, 1);

    connect(find, &QPushButton::clicked, this, &TTHEXeditor::findhex);
    connect(m_next, &QPushButton::clicked, this, &TTHEXeditor::findnext);
}

void TTHEXeditor::open(const FirmwareStore &firmware) {
    if (!firmware.FirmwareLoaded())
        return;
    m_model.takehex(firmware.image());
    m_grid->show();
}

void TTHEXeditor::findhex() {
    if (const auto cell = m_model.findhex(m_pattern->text())) {
        select(*cell);
        m_next->setEnabled(true);
    }
}

void TTHEXeditor::findnext() {
    const HexSearch::Next next = m_model.findnext();
    if (next.cell)
        select(*next.cell);
    if (next.end)
        m_next->setEnabled(false);
}

void TTHEXeditor::select(const HexCell &cell) {
    const QModelIndex index = m_model.indexOf(cell);
    m_grid->selectionModel()->setCurrentIndex(index, QItemSelectionModel::ClearAndSelect);
    m_grid->scrollTo(index);
}

} // namespace korvel::ui
