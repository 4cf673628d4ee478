#include "ui/TuningGridPage.h"

#include "app/Session.h"
#include "app/TuningController.h"
#include "core/ControlNames.h"
#include "tuning/TuningGridModel.h"
#include "tuning/TuningTables.h"
#include "ui/LogTuningBar.h"
#include "ui/StringGrids.h"
#include "ui/TuningRefusalsPanel.h"

#include <QCheckBox>
#include <QComboBox>
#include <QEvent>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QSignalBlocker>
#include <QTableView>
#include <QToolButton>
#include <QVBoxLayout>

namespace korvel::ui {
namespace {

// The scale labels' colours: maximum red, average yellow, minimum green, as the gradient paints them.
constexpr QRgb kMaxColour = qRgb(255, 0, 0);
constexpr QRgb kAvgColour = qRgb(255, 255, 0);
constexpr QRgb kMinColour = qRgb(0, 255, 0);

QLabel *scaleLabel(const QString &name, QRgb colour, QWidget *parent) {
    auto *label = new QLabel(parent);
    label->setObjectName(name);
    label->setAutoFillBackground(true);
    QPalette palette = label->palette();
    palette.setColor(QPalette::Window, QColor::fromRgb(colour));
    palette.setColor(QPalette::WindowText, Qt::black);
    label->setPalette(palette);
    label->setMargin(2);
    return label;
}

QString number(double value, int decimals) {
    return QString::number(value, 'f', decimals);
}

} // namespace

TuningGridPage::TuningGridPage(Session &session, QWidget *parent) : QWidget(parent), m_session(session) {
    setObjectName(control::PanelGrid);
    m_grid = makeTuningGrid(&session.tuningGridModel(), this);
    m_corner = new QLabel(m_grid);
    m_corner->setObjectName(control::LabelGridCorner);
    m_corner->setAlignment(Qt::AlignCenter);
    m_corner->setAttribute(Qt::WA_TransparentForMouseEvents);
    m_grid->installEventFilter(this);
    m_grid->horizontalHeader()->installEventFilter(this);
    m_grid->verticalHeader()->installEventFilter(this);

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(makeBar());
    layout->addWidget(new LogTuningBar(session, this));
    auto *body = new QHBoxLayout;
    body->addWidget(m_grid, 1);
    body->addWidget(makePanelTest());
    m_refusals = new TuningRefusalsPanel(session, *m_grid, this);
    body->addWidget(m_refusals);
    layout->addLayout(body, 1);
    layout->addWidget(makeScale());

    connect(&session.tuning(), &TuningController::markingChanged, this, &TuningGridPage::refreshMarks);
    connect(&session.tuning(), &TuningController::gridChanged, this, &TuningGridPage::refreshMarks);
    refreshMarks();
}

QWidget *TuningGridPage::makeBar() {
    using namespace control;
    auto *bar = new QWidget(this);
    auto *row = new QHBoxLayout(bar);
    row->setContentsMargins(0, 0, 0, 0);
    m_choice = new QComboBox(bar); // the items follow the tuning tables
    m_choice->setObjectName(Maingridchange_CBOX);
    m_choice->setToolTip(QStringLiteral("Выбор таблицы"));
    m_choice->setSizeAdjustPolicy(QComboBox::AdjustToContents);
    connect(m_choice, &QComboBox::activated, this, [this](int index) { m_session.selectGridChoice(index); });
    row->addWidget(m_choice);
    auto *colours = new QCheckBox(QStringLiteral("Раскрасить таблицу"), bar);
    colours->setObjectName(CheckBoxcolodgrid);
    connect(colours, &QCheckBox::toggled, this, [this](bool on) { m_session.tuningGridModel().setGradient(on); });
    row->addWidget(colours);

    // The part-load ignition rework, offered with "УОЗ %" while tuning is off.
    auto *rework = new QWidget(bar);
    rework->setObjectName(Panel5);
    auto *reworkRow = new QHBoxLayout(rework);
    reworkRow->setContentsMargins(0, 0, 0, 0);
    auto *reworkButton = new QPushButton(QStringLiteral("Изменить УОЗ на ЧН"), rework);
    reworkButton->setObjectName(BitBtn15);
    auto *writeButton = new QPushButton(QStringLiteral("Перезаписать УОЗ на ЧН"), rework);
    writeButton->setObjectName(Button7);
    writeButton->hide();
    reworkRow->addWidget(reworkButton);
    reworkRow->addWidget(writeButton);
    rework->hide();
    connect(reworkButton, &QPushButton::clicked, this, [this] { m_session.tuning().reworkIgnition(); });
    connect(writeButton, &QPushButton::clicked, this, [this] { m_session.tuning().writeIgnition(); });
    row->addWidget(rework);
    row->addStretch(1);

    auto *showTest = new QToolButton(bar);
    showTest->setObjectName(ButtonPanelTest);
    showTest->setText(QStringLiteral("РТ"));
    showTest->setToolTip(QStringLiteral("Рабочая точка: индекс, веса и поправка, которую считает ЭБУ"));
    showTest->setCheckable(true);
    connect(showTest, &QToolButton::toggled, this, [this](bool on) {
        m_panelTest->setVisible(on);
        refreshPanelTest();
    });
    row->addWidget(showTest);
    return bar;
}

QWidget *TuningGridPage::makeScale() {
    m_scale = new QWidget(this);
    auto *row = new QHBoxLayout(m_scale);
    row->setContentsMargins(0, 0, 0, 0);
    m_max = scaleLabel(control::LabelGridMax, kMaxColour, m_scale);
    m_avg = scaleLabel(control::LabelGridAvg, kAvgColour, m_scale);
    m_min = scaleLabel(control::LabelGridMin, kMinColour, m_scale);
    for (QLabel *label : {m_max, m_avg, m_min})
        row->addWidget(label);
    row->addStretch(1);
    m_scale->hide();
    return m_scale;
}

QWidget *TuningGridPage::makePanelTest() {
    auto *box = new QGroupBox(QStringLiteral("Рабочая точка"), this);
    box->setObjectName(control::PanelTest);
    m_panelTestText = new QLabel(box);
    m_panelTestText->setTextFormat(Qt::PlainText);
    m_panelTestText->setTextInteractionFlags(Qt::TextSelectableByMouse);
    QFont fixed = m_panelTestText->font();
    fixed.setFamily(QStringLiteral("monospace"));
    fixed.setStyleHint(QFont::TypeWriter);
    m_panelTestText->setFont(fixed);
    auto *layout = new QVBoxLayout(box);
    layout->addWidget(m_panelTestText);
    layout->addStretch(1);
    m_panelTest = box;
    box->hide();
    return box;
}

// The choices appear after the post-connect set-up (and grow in the standard
// protocol); the selection follows the tables.
void TuningGridPage::refreshChoices() {
    const TuningTables &tables = m_session.tables();
    QStringList shown;
    for (int i = 0; i < m_choice->count(); ++i)
        shown << m_choice->itemText(i);
    const QSignalBlocker quiet(m_choice);
    if (shown != tables.gridChoices()) {
        m_choice->clear();
        m_choice->addItems(tables.gridChoices());
    }
    if (m_choice->currentIndex() != tables.gridChoice() && tables.gridChoice() < m_choice->count())
        m_choice->setCurrentIndex(tables.gridChoice());
}

void TuningGridPage::refreshMarks() {
    refreshChoices();
    const TuningController &tuning = m_session.tuning();
    m_corner->setText(tuning.cornerText());
    placeCorner();
    const std::optional<QStringList> &labels = tuning.scaleLabels();
    m_scale->setVisible(labels.has_value());
    if (labels && labels->size() == 3) {
        m_max->setText(labels->at(0));
        m_avg->setText(labels->at(1));
        m_min->setText(labels->at(2));
    }
    refreshPanelTest();
    m_refusals->refresh();
}

// The four corners of the correction table around the working point, their
// weights and the correction the ECU interpolates from them.
void TuningGridPage::refreshPanelTest() {
    if (!m_panelTest->isVisible())
        return;
    const InterpolatedCorrection test = m_session.tuning().panelTest();
    const WorkingPoint &p = test.point;
    const QString text = QStringLiteral("РТ: %1 (строка %2, столбец %3)\n"
                                        "Доли: нагрузка %4/16, обороты %5/16\n\n"
                                        "Поправки в углах:\n  k11 %6   k12 %7\n  k21 %8   k22 %9\n\n"
                                        "Веса:\n  k11 %10   k12 %11\n  k21 %12   k22 %13\n"
                                        "Сумма весов: %14\n\nПоправка ЭБУ: %15")
                             .arg(p.index())
                             .arg(p.row)
                             .arg(p.col)
                             .arg(p.loadFraction)
                             .arg(p.speedFraction)
                             .arg(number(test.corners[0], 3), number(test.corners[1], 3), number(test.corners[2], 3),
                                  number(test.corners[3], 3))
                             .arg(number(p.k11, 4), number(p.k12, 4), number(p.k21, 4), number(p.k22, 4))
                             .arg(number(test.weightSum, 4), number(test.correction, 4));
    m_panelTestText->setText(text);
}

// The label covers the grid's corner button, between the two headers.
void TuningGridPage::placeCorner() {
    const int w = m_grid->verticalHeader()->width();
    const int h = m_grid->horizontalHeader()->height();
    m_corner->setGeometry(m_grid->frameWidth(), m_grid->frameWidth(), w, h);
    m_corner->raise();
}

bool TuningGridPage::eventFilter(QObject *watched, QEvent *event) {
    if (event->type() == QEvent::Resize || event->type() == QEvent::Show)
        placeCorner();
    return QWidget::eventFilter(watched, event);
}

} // namespace korvel::ui
