#include "ui/TableViewPage.h"
#include "ui/NamedWidgets.h"

#include "core/ControlNames.h"
#include "editor/TableEditorController.h"
#include "editor/TableGridModel.h"
#include "firmware/CalibrationMap.h"
#include "ui/EntryPanelWidgets.h"
#include "ui/FlowLayout.h"
#include "ui/FullScreenPanel.h"
#include "ui/TableCellDelegate.h"
#include "ui/TableChartView.h"
#include "ui/TableSurface.h"

#include <QAction>
#include <QCheckBox>
#include <QClipboard>
#include <QColorDialog>
#include <QComboBox>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QHideEvent>
#include <QItemSelectionModel>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>
#include <QScrollArea>
#include <QSlider>
#include <QStackedWidget>
#include <QTableView>
#include <QToolButton>
#include <QVBoxLayout>

namespace korvel::ui {
namespace {

inline const QString kUnsupportedText =
    QStringLiteral("К сожалению выбранная  калибровка не поддерживается данным ПО.");

// The block commands: caption, key (shown in the tooltip) and what they do.
struct BlockCommandDef {
    BlockCommand command;
    const char *name;
    QString caption;
    QString hint;
    Qt::Key key;
};

const BlockCommandDef kBlockCommandDefs[] = {
    {BlockCommand::InterpolateRows, "ActionInterpolateRows", QStringLiteral("По строкам"),
     QStringLiteral("Интерполировать блок по строкам: между первой и последней ячейкой каждой строки"), Qt::Key_H},
    {BlockCommand::InterpolateColumns, "ActionInterpolateColumns", QStringLiteral("По столбцам"),
     QStringLiteral("Интерполировать блок по столбцам: между верхней и нижней ячейкой каждого столбца"), Qt::Key_V},
    {BlockCommand::Interpolate2D, "ActionInterpolate2D", QStringLiteral("По обеим осям"),
     QStringLiteral("Интерполировать блок по обеим осям: середина по всем четырём краям"), Qt::Key_I},
    {BlockCommand::ScalePercent, "ActionScalePercent", QStringLiteral("Умножить на %"),
     QStringLiteral("Умножить блок на % из поля шага (105 — прибавить 5 %)"), Qt::Key_P},
    {BlockCommand::Mean, "ActionMean", QStringLiteral("Среднее"), QStringLiteral("Заполнить блок его средним"),
     Qt::Key_M},
    {BlockCommand::Smooth, "ActionSmooth", QStringLiteral("Сгладить"),
     QStringLiteral("Сгладить блок: среднее 3 × 3, края блока остаются"), Qt::Key_S},
};

QPushButton *namedButton(const QString &name, const QString &text, QWidget *parent) {
    auto *b = new QPushButton(text, parent);
    b->setObjectName(name);
    return b;
}

QSlider *namedSlider(const QString &name, int minimum, int maximum, QWidget *parent) {
    auto *s = new QSlider(Qt::Horizontal, parent);
    s->setObjectName(name);
    s->setRange(minimum, maximum);
    return s;
}

} // namespace

TableViewPage::TableViewPage(TableEditorController &editor, QWidget *parent) : QWidget(parent), m_editor(editor) {
    using namespace control;
    setObjectName(QStringLiteral("TableViewPage"));
    m_model = new TableGridModel(editor, this);

    m_title = namedLabel(Label1dname, this);
    QFont bold = m_title->font();
    bold.setBold(true);
    bold.setPointSize(bold.pointSize() + 2);
    m_title->setFont(bold);
    m_diff = namedLabel(Labeldiff, this);

    m_stack = new QStackedWidget(this);
    m_empty = new QWidget(m_stack);
    m_tables = new QWidget(m_stack);
    m_tables->setObjectName(gr2d);
    m_grid = new QTableView(m_tables);
    m_grid->setObjectName(StringGrid4);
    m_grid->setModel(m_model);
    m_grid->setItemDelegate(new TableCellDelegate(m_grid));
    m_grid->horizontalHeader()->setSectionResizeMode(QHeaderView::Stretch);
    m_grid->horizontalHeader()->setMinimumSectionSize(20);
    m_grid->verticalHeader()->setMinimumSectionSize(14);
    m_grid->verticalHeader()->setSectionResizeMode(QHeaderView::Stretch);
    // As in a spreadsheet: typing starts editing the current cell, Enter
    // commits and moves down.
    m_grid->setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed |
                            QAbstractItemView::AnyKeyPressed);
    connect(m_grid->itemDelegate(), &QAbstractItemDelegate::closeEditor, this,
            [this](QWidget *, QAbstractItemDelegate::EndEditHint hint) {
                if (hint == QAbstractItemDelegate::SubmitModelCache)
                    moveCurrentDown();
            });
    connect(m_grid->selectionModel(), &QItemSelectionModel::selectionChanged, this, [this] {
        if (m_selectingByKeys)
            takeSelectedBlock();
    });
    m_grid->viewport()->installEventFilter(this);
    m_grid->installEventFilter(this); // Ctrl+C / Ctrl+V of a block
    m_chart = new TableChartView(editor, m_tables);
    m_surface = new TableSurface(m_tables);
    auto *tablesLayout = new QVBoxLayout(m_tables);
    tablesLayout->setContentsMargins(0, 0, 0, 0);
    tablesLayout->addWidget(m_grid);
    tablesLayout->addWidget(m_chart, 1);
    tablesLayout->addWidget(m_surface, 1);

    m_single = new SingleValuePanel(editor, m_stack);
    // The flag panel places its boxes in two fixed columns; scrolled, it does
    // not set the whole window's smallest width.
    m_flagsScroll = new QScrollArea(m_stack);
    m_flagsScroll->setFrameShape(QFrame::NoFrame);
    m_flags = new FlagPanel(editor, m_flagsScroll);
    m_flagsScroll->setWidget(m_flags);
    m_ident = new IdentPanel(editor, m_stack);
    m_unknown = new QWidget(m_stack);
    m_unknown->setObjectName(unknow);
    auto *unknownText = new QLabel(kUnsupportedText, m_unknown);
    (new QVBoxLayout(m_unknown))->addWidget(unknownText, 0, Qt::AlignCenter);
    for (QWidget *w : {m_empty, m_tables, static_cast<QWidget *>(m_single), static_cast<QWidget *>(m_flagsScroll),
                       static_cast<QWidget *>(m_ident), m_unknown})
        m_stack->addWidget(w);

    auto *layout = new QVBoxLayout(this);
    auto *titleLine = new QHBoxLayout;
    titleLine->addStretch(1);
    titleLine->addWidget(m_title);
    titleLine->addStretch(1);
    titleLine->addWidget(m_diff);
    layout->addLayout(titleLine);
    buildBars();
    buildMarksPanel();
    layout->addWidget(m_stack, 1);

    connect(&editor, &TableEditorController::viewChanged, this, &TableViewPage::refresh);
    connect(&editor, &TableEditorController::selectionChanged, this, &TableViewPage::refreshSelection);
    refresh();
}

void TableViewPage::buildBars() {
    using namespace control;
    auto *bars = new QWidget(this);
    auto *rows = new QVBoxLayout(bars);
    rows->setContentsMargins(0, 0, 0, 0);
    auto *displayLine = new QWidget(bars);
    auto *display = new FlowLayout(displayLine);
    m_displayMode = namedButton(BitBtn7, QStringLiteral("Режим отображения"), bars);
    m_fullScreen = namedButton(BitBtn9, QStringLiteral("График на весь экран"), bars);
    m_marksButton = namedButton(BitBtn17, QStringLiteral("Настройка меток на графике"), bars);
    m_send = namedButton(BitBtn6, QStringLiteral("Перезапись калибровки"), bars);
    m_depth = new QCheckBox(QStringLiteral("3D"), bars);
    m_depth->setObjectName(Check3D);
    m_row = namedSlider(TrackBar1, 0, 0, bars);
    m_row->setFixedWidth(160);
    for (QWidget *w : {static_cast<QWidget *>(m_displayMode), static_cast<QWidget *>(m_fullScreen),
                       static_cast<QWidget *>(m_marksButton), static_cast<QWidget *>(m_send),
                       static_cast<QWidget *>(m_depth), static_cast<QWidget *>(m_row)})
        display->addWidget(w);
    // While a comparison firmware is drawn (`vs`), cells can show their difference.
    m_cellShow = new QComboBox(bars);
    m_cellShow->setObjectName(QStringLiteral("ComboCellShow"));
    m_cellShow->addItems({QStringLiteral("Значения"), QStringLiteral("Разница"), QStringLiteral("Разница, %")});
    m_cellShow->setToolTip(QStringLiteral("Что показывают ячейки при сравнении со второй прошивкой (D)"));
    display->addWidget(m_cellShow);
    rows->addWidget(displayLine);

    auto *rangeLine = new QWidget(bars);
    auto *range = new FlowLayout(rangeLine);
    m_selectionLabel = namedLabel(LabelChangepoints, bars);
    m_step = new QLineEdit(m_editor.changeText(), bars);
    m_step->setObjectName(EditChangepoints);
    m_step->setFixedWidth(70);
    range->addWidget(m_selectionLabel);
    range->addWidget(m_step);
    const std::pair<QString, QString> buttons[] = {
        {BitBtn21, QStringLiteral("Сгладить точки на выбранном отрезке")},
        {BitBtn22, QStringLiteral("Уменьшить на значение")},
        {BitBtn23, QStringLiteral("Увеличить на значение")},
        {BitBtn24, QStringLiteral("Принять значение")},
    };
    const RangeCommand commands[] = {RangeCommand::Smooth, RangeCommand::Lower, RangeCommand::Raise,
                                     RangeCommand::Accept};
    for (int i = 0; i < 4; ++i) {
        QPushButton *b = namedButton(buttons[i].first, buttons[i].second, bars);
        b->hide();
        const RangeCommand command = commands[i];
        connect(b, &QPushButton::clicked, this, [this, command] { m_editor.runRangeCommand(command); });
        range->addWidget(b);
        m_rangeButtons << b;
    }
    buildBlockCommands(bars, range);
    m_pasteNote = new QLabel(bars);
    m_pasteNote->setObjectName(QStringLiteral("LabelPaste"));
    m_pasteNote->setWordWrap(true); // a long report wraps instead of widening the page
    range->addWidget(m_pasteNote);
    rows->addWidget(rangeLine);
    static_cast<QVBoxLayout *>(layout())->addWidget(bars);
    connect(&m_editor, &TableEditorController::pasteReported, m_pasteNote, &QLabel::setText);
    connect(m_cellShow, &QComboBox::currentIndexChanged, this,
            [this](int i) { changeOptions([i](DisplayOptions &o) { o.cellShow = static_cast<CellShow>(i); }); });
    auto *nextShow = new QAction(this);
    nextShow->setShortcut(Qt::Key_D);
    nextShow->setShortcutContext(Qt::WidgetWithChildrenShortcut);
    connect(nextShow, &QAction::triggered, this, [this] {
        if (m_cellShow->isVisible())
            m_cellShow->setCurrentIndex((m_cellShow->currentIndex() + 1) % m_cellShow->count());
    });
    addAction(nextShow);

    connect(m_step, &QLineEdit::textChanged, this, [this](const QString &t) { m_editor.setChangeText(t); });
    connect(m_displayMode, &QPushButton::clicked, this, [this] { m_editor.nextDisplay(); });
    connect(m_fullScreen, &QPushButton::clicked, this, [this] {
        if (m_fullScreenPanel)
            return;
        showFullScreen(m_editor.fullScreenTarget() == TableEditorController::Front::Surface
                           ? static_cast<QWidget *>(m_surface)
                           : static_cast<QWidget *>(m_chart));
    });
    connect(m_marksButton, &QPushButton::clicked, this, [this] {
        m_angleText->setText(QString::number(m_angle->value() * 15));
        m_everyText->setText(QString::number(m_every->value()));
        m_fontText->setText(QString::number(m_fontSize->value()));
        m_marks->setVisible(!m_marks->isVisible());
        m_marks->raise();
    });
    connect(m_send, &QPushButton::clicked, this, [this] { m_editor.sendToEcu(); });
    connect(m_depth, &QCheckBox::toggled, this, [this](bool on) {
        m_row->setEnabled(!on);
        changeOptions([on](DisplayOptions &o) { o.depth = on; });
    });
    connect(m_row, &QSlider::valueChanged, this,
            [this](int v) { changeOptions([v](DisplayOptions &o) { o.flatRow = v; }); });
}

void TableViewPage::buildBlockCommands(QWidget *bars, QLayout *row) {
    // One action per command: its key works anywhere on the page, and the
    // buttons show its caption and tooltip.
    for (const BlockCommandDef &def : kBlockCommandDefs) {
        auto *action = new QAction(def.caption, this);
        action->setObjectName(QString::fromLatin1(def.name));
        action->setShortcut(def.key);
        action->setShortcutContext(Qt::WidgetWithChildrenShortcut);
        action->setToolTip(
            QStringLiteral("%1 (%2)").arg(def.hint, QKeySequence(def.key).toString(QKeySequence::NativeText)));
        action->setEnabled(false);
        const BlockCommand command = def.command;
        connect(action, &QAction::triggered, this, [this, command] { m_editor.runBlockCommand(command); });
        addAction(action);
        m_blockActions << action;
    }
    auto *interpolate = new QToolButton(bars);
    interpolate->setObjectName(QStringLiteral("BlockInterpolate"));
    interpolate->setText(QStringLiteral("Интерполировать"));
    interpolate->setToolTip(QStringLiteral("Интерполировать блок: по строкам (H), по столбцам (V), по обеим осям (I)"));
    interpolate->setPopupMode(QToolButton::InstantPopup);
    auto *menu = new QMenu(interpolate);
    for (int i = 0; i < 3; ++i)
        menu->addAction(m_blockActions[i]);
    menu->setToolTipsVisible(true);
    interpolate->setMenu(menu);
    row->addWidget(interpolate);
    for (int i = 3; i < m_blockActions.size(); ++i) {
        auto *button = new QToolButton(bars);
        button->setObjectName(QStringLiteral("Block") + m_blockActions[i]->objectName().mid(6));
        button->setDefaultAction(m_blockActions[i]);
        row->addWidget(button);
    }
}

void TableViewPage::buildMarksPanel() {
    using namespace control;
    m_marks = new QWidget(this);
    m_marks->setObjectName(Panel1);
    m_marks->setAutoFillBackground(true);
    auto *grid = new QHBoxLayout(m_marks);
    m_marksOn = new QCheckBox(QStringLiteral("Метки"), m_marks);
    m_marksOn->setObjectName(Checkmarks);
    m_angle = namedSlider(TrackBar3, 0, 6, m_marks);
    m_every = namedSlider(TrackBar4, 1, 10, m_marks);
    m_fontSize = namedSlider(TrackBar5, 8, 20, m_marks);
    m_angleText = namedLabel(Label63, m_marks);
    m_everyText = namedLabel(Label64, m_marks);
    m_fontText = namedLabel(Label66, m_marks);
    m_colourText = namedLabel(Label67, m_marks);
    m_colourText->setText(QStringLiteral("Цвет"));
    auto *colour = namedButton(BitBtn18, QStringLiteral("Цвет меток"), m_marks);
    grid->addWidget(m_marksOn);
    for (auto [caption, slider, text] : {std::tuple{QStringLiteral("Угол"), m_angle, m_angleText},
                                         std::tuple{QStringLiteral("Шаг"), m_every, m_everyText},
                                         std::tuple{QStringLiteral("Шрифт"), m_fontSize, m_fontText}}) {
        grid->addWidget(new QLabel(caption, m_marks));
        grid->addWidget(slider);
        grid->addWidget(text);
    }
    grid->addWidget(m_colourText);
    grid->addWidget(colour);
    m_marks->hide();
    static_cast<QVBoxLayout *>(layout())->addWidget(m_marks);

    const auto marksChanged = [this] {
        m_angleText->setText(QString::number(m_angle->value() * 15));
        m_everyText->setText(QString::number(m_every->value()));
        m_fontText->setText(QString::number(m_fontSize->value()));
        changeOptions([this](DisplayOptions &o) {
            o.marks = m_marksOn->isChecked();
            o.markAngleStep = m_angle->value();
            o.markEvery = m_every->value();
            o.markFontSize = m_fontSize->value();
        });
        m_marks->raise();
    };
    connect(m_marksOn, &QCheckBox::toggled, this, marksChanged);
    for (QSlider *s : {m_angle, m_every, m_fontSize})
        connect(s, &QSlider::valueChanged, this, marksChanged);
    connect(colour, &QPushButton::clicked, this, [this] {
        const QColor chosen =
            QColorDialog::getColor(QColor::fromRgb(static_cast<QRgb>(m_editor.options().markColour)), this);
        if (!chosen.isValid())
            return;
        m_colourText->setStyleSheet(QStringLiteral("color: %1;").arg(chosen.name()));
        changeOptions([chosen](DisplayOptions &o) { o.markColour = static_cast<int>(chosen.rgb() & 0xFFFFFF); });
        m_marks->raise();
    });
}

void TableViewPage::setCompare(bool on) {
    changeOptions([on](DisplayOptions &o) { o.compare = on; });
}

void TableViewPage::changeOptions(const std::function<void(DisplayOptions &)> &change) {
    if (m_updating)
        return;
    DisplayOptions options = m_editor.options();
    change(options);
    m_editor.setOptions(options);
}

QWidget *TableViewPage::frontPanel() const {
    QWidget *front = m_stack->currentWidget();
    return front == m_flagsScroll ? m_flags : front;
}

QImage TableViewPage::snapshot() {
    QImage image = grab().toImage();
    if (m_surface->isVisible() && m_surface->width() > 0 && m_surface->height() > 0) {
        QPainter painter(&image);
        painter.drawImage(m_surface->mapTo(this, QPoint(0, 0)), m_surface->render(m_surface->size()));
    }
    return image;
}

void TableViewPage::refresh() {
    m_updating = true;
    const int kind = m_editor.kind();
    const bool table = kind == tablekind::OneDimensional || kind == tablekind::TwoDimensional;
    const TableView &view = m_editor.view();
    QWidget *front = m_empty;
    bool unsupported = false;
    switch (kind) {
    case tablekind::OneDimensional:
    case tablekind::TwoDimensional:
        front = m_tables;
        unsupported = view.unsupported;
        m_title->setText(view.title);
        break;
    case tablekind::SingleValue:
        front = m_single;
        unsupported = m_editor.singleValue().unsupported;
        m_single->refresh();
        m_title->setText(m_editor.singleValue().title);
        break;
    case tablekind::BitFlags:
        front = m_flagsScroll;
        m_flags->refresh();
        m_title->clear();
        break;
    case tablekind::TextFields:
        front = m_ident;
        m_ident->refresh();
        m_title->setText(m_editor.ident().title);
        break;
    default:
        m_title->clear();
        break;
    }
    m_stack->setCurrentWidget(unsupported ? m_unknown : front);

    const bool map = kind == tablekind::TwoDimensional;
    m_displayMode->setVisible(map);
    m_fullScreen->setVisible(table);
    // BitBtn6 follows the status timer's button rules; BitBtn17 goes with
    // BitBtn9 there too, and is kept in step here at once so that a panel
    // without a chart never offers the marks settings.
    m_marksButton->setVisible(m_editor.fullScreenShown());
    if (!m_editor.fullScreenShown())
        m_marks->hide();
    m_depth->setVisible(map);
    m_depth->setChecked(m_editor.options().depth);
    m_row->setVisible(map && !m_editor.options().depth);
    m_row->setRange(0, std::max(0, view.table.rows - 1));
    m_row->setValue(m_editor.options().flatRow);
    m_selectionLabel->setVisible(table);
    m_step->setVisible(table);
    m_diff->setVisible(table && !view.comparison.empty());
    m_cellShow->setVisible(table && !view.comparison.empty());
    m_cellShow->setEnabled(m_editor.options().compare);
    m_cellShow->setCurrentIndex(static_cast<int>(m_editor.options().cellShow));
    m_diff->setText(QStringLiteral("Отличается ячеек от прошивки №2: %1").arg(view.changedCells));
    if (table) {
        m_chart->refresh();
        if (map)
            m_surface->show3D(view);
        placeTableViews();
    }
    refreshSelection();
    m_updating = false;
}

void TableViewPage::placeTableViews() {
    if (m_editor.kind() == tablekind::OneDimensional) {
        // A curve: the two-row strip above its chart.
        m_grid->show();
        m_grid->setFixedHeight(m_grid->horizontalHeader()->sizeHint().height() + 30);
        m_chart->show();
        m_surface->hide();
        return;
    }
    m_grid->setMinimumHeight(0);
    m_grid->setMaximumHeight(QWIDGETSIZE_MAX);
    const TableEditorController::Front front = m_editor.front();
    const QWidget *overPage = m_fullScreenPanel ? m_fullScreenPanel->content() : nullptr;
    m_grid->setVisible(front == TableEditorController::Front::Grid);
    if (m_chart != overPage)
        m_chart->setVisible(front == TableEditorController::Front::Chart);
    if (m_surface != overPage)
        m_surface->setVisible(front == TableEditorController::Front::Surface);
}

void TableViewPage::refreshSelection() {
    const PointSelection &s = m_editor.selection();
    m_selectionLabel->setText(s.label());
    for (QPushButton *b : m_rangeButtons)
        b->setVisible(s.active());
    const bool table = m_editor.kind() == tablekind::OneDimensional || m_editor.kind() == tablekind::TwoDimensional;
    for (QAction *a : m_blockActions)
        a->setEnabled(table && s.active());
    m_chart->viewport()->update();
}

void TableViewPage::showFullScreen(QWidget *target) {
    if (m_fullScreenPanel)
        return;
    m_fullScreenIndex = m_tables->layout()->indexOf(target);
    m_tables->layout()->removeWidget(target);
    const QString title = m_editor.view().title;
    m_fullScreenPanel = new FullScreenPanel(target, title, m_fullScreenHost ? m_fullScreenHost : this);
    target->installEventFilter(this);
    connect(m_fullScreenPanel, &FullScreenPanel::leaveRequested, this, &TableViewPage::leaveFullScreen);
}

QWidget *TableViewPage::fullScreenPanel() const {
    return m_fullScreenPanel;
}

void TableViewPage::leaveFullScreen() {
    if (!m_fullScreenPanel)
        return;
    QWidget *w = m_fullScreenPanel->content();
    m_fullScreenPanel->release();
    m_fullScreenPanel = nullptr;
    // Leaving full screen puts the chart back and shows the table again.
    if (w) {
        w->removeEventFilter(this);
        static_cast<QVBoxLayout *>(m_tables->layout())->insertWidget(m_fullScreenIndex, w, 1);
    }
    m_editor.redisplay();
}

void TableViewPage::hideEvent(QHideEvent *event) {
    // Another page in front: the chart does not stay over it.
    if (m_fullScreenPanel && !event->spontaneous())
        leaveFullScreen();
    QWidget::hideEvent(event);
}

QRect TableViewPage::selectedBlock() const {
    int left = 0, top = 0, right = 0, bottom = 0;
    for (const QModelIndex &i : m_grid->selectionModel()->selectedIndexes()) {
        const int c = i.column() + 1;
        const int r = i.row() + 1;
        left = left == 0 ? c : std::min(left, c);
        top = top == 0 ? r : std::min(top, r);
        right = std::max(right, c);
        bottom = std::max(bottom, r);
    }
    return left == 0 ? QRect() : QRect(QPoint(left, top), QPoint(right, bottom));
}

void TableViewPage::moveCurrentDown() {
    const QModelIndex current = m_grid->currentIndex();
    if (!current.isValid())
        return;
    const QModelIndex below = m_model->index(current.row() + 1, current.column());
    if (below.isValid())
        m_grid->setCurrentIndex(below);
}

void TableViewPage::takeSelectedBlock() {
    const QRect block = selectedBlock();
    if (block.isNull())
        return;
    // The block as two corners, as a click and a Shift-click give them.
    m_editor.gridReleased(false, block.left(), block.top(), block.left(), block.top(), 0, 0);
    m_editor.gridReleased(true, block.left(), block.top(), block.right(), block.bottom(), 0, 0);
}

bool TableViewPage::gridKey(const QKeyEvent *key) {
    // An open cell editor takes its own Enter (commit, then down); this is Enter on the grid itself.
    if ((key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) && key->modifiers() == Qt::NoModifier) {
        moveCurrentDown();
        return true;
    }
    // The grid would take a letter as the start of an edit; the page's
    // one-letter commands (no cell holds letters) come first.
    if (key->modifiers() == Qt::NoModifier)
        for (QAction *action : actions())
            if (action->isEnabled() && action->shortcut() == QKeySequence(key->key())) {
                action->trigger();
                return true;
            }
    // Ctrl+C copies the block with its breakpoints; Ctrl+Shift+C the values alone.
    const bool valuesOnly = key->key() == Qt::Key_C && key->modifiers() == (Qt::ControlModifier | Qt::ShiftModifier);
    if (key->matches(QKeySequence::Copy) || valuesOnly) {
        const QRect block = selectedBlock();
        if (!block.isNull())
            QGuiApplication::clipboard()->setText(
                valuesOnly ? m_editor.copyBlock(block.left(), block.top(), block.right(), block.bottom())
                           : m_editor.copyBlockWithAxes(block.left(), block.top(), block.right(), block.bottom()));
        return true;
    }
    if (key->matches(QKeySequence::Paste)) {
        // The block lands with its first cell on the selection's top left (or the current cell).
        QRect block = selectedBlock();
        const QModelIndex current = m_grid->currentIndex();
        if (block.isNull() && current.isValid())
            block = QRect(current.column() + 1, current.row() + 1, 1, 1);
        if (!block.isNull())
            m_editor.pasteBlock(block.left(), block.top(), QGuiApplication::clipboard()->text(), block.right(),
                                block.bottom());
        return true;
    }
    return false;
}

bool TableViewPage::eventFilter(QObject *watched, QEvent *event) {
    if (watched == m_grid && event->type() == QEvent::KeyPress) {
        const auto *key = static_cast<QKeyEvent *>(event);
        if (gridKey(key))
            return true;
        // Shift with a moving key extends the block: it becomes the range of the range commands.
        const bool moving = key->key() == Qt::Key_Left || key->key() == Qt::Key_Right || key->key() == Qt::Key_Up ||
                            key->key() == Qt::Key_Down || key->key() == Qt::Key_Home || key->key() == Qt::Key_End ||
                            key->key() == Qt::Key_PageUp || key->key() == Qt::Key_PageDown;
        m_selectingByKeys = moving && (key->modifiers() & Qt::ShiftModifier);
        return false;
    }
    if (watched == m_grid && event->type() == QEvent::KeyRelease)
        m_selectingByKeys = false;
    if (watched == m_grid->viewport() && event->type() == QEvent::MouseButtonRelease) {
        const auto *mouse = static_cast<QMouseEvent *>(event);
        const QRect block = selectedBlock();
        const bool shiftOnly = mouse->modifiers() == Qt::ShiftModifier && mouse->buttons() == Qt::NoButton;
        const QPoint p = mouse->position().toPoint();
        if (!shiftOnly && !block.isNull() && block.width() * block.height() > 1) {
            // A block dragged out with the mouse is a range, as a click and a Shift-click make one.
            takeSelectedBlock();
            return false;
        }
        if (block.isNull())
            m_editor.gridReleased(shiftOnly, 0, 0, 0, 0, p.x(), p.y());
        else
            m_editor.gridReleased(shiftOnly, block.left(), block.top(), block.right(), block.bottom(), p.x(), p.y());
        return false;
    }
    if (m_fullScreenPanel && watched == m_fullScreenPanel->content() && event->type() == QEvent::MouseButtonDblClick) {
        leaveFullScreen();
        return true;
    }
    return QWidget::eventFilter(watched, event);
}

} // namespace korvel::ui
