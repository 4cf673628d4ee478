#include "ui/DiagnosticSidePanel.h"

#include "app/ActuatorController.h"
#include "app/ActuatorLayout.h"
#include "app/ChartsController.h"
#include "core/ControlNames.h"
#include "core/Numbers.h"
#include "ui/IndicatorPictures.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QScrollArea>
#include <QSignalBlocker>
#include <QSlider>
#include <QToolButton>

namespace korvel::ui {
namespace {

constexpr int kListTop = 18;
constexpr int kListBottomMargin = 28;
constexpr int kTickedListShrink = 50;
constexpr int kMinimumWidth = 240;
constexpr int kSideValuePointSize = 30;
constexpr int kTrackMaximum = 255;
// The check box's first word ends in a Latin "e", as the program always spelled it.
const QString kActuatorsCaption = QStringLiteral("Исполнительныe механизмы");

} // namespace

DiagnosticSidePanel::DiagnosticSidePanel(ActuatorController &actuators, const ChartsController *charts, QWidget *parent)
    : QWidget(parent), m_actuators(actuators), m_charts(charts) {
    setObjectName(control::Paneldia2);
    // Wide enough for the channel names, the actuator names and the 30 point value.
    setMinimumWidth(kMinimumWidth);
    m_list = new QScrollArea(this); // the channel list, filled while diagnostics run
    m_list->setObjectName(control::ScrollBox2);
    m_list->hide();
    connect(&actuators, &ActuatorController::builtChanged, this, &DiagnosticSidePanel::buildActuatorControls);
    connect(&actuators, &ActuatorController::changed, this, &DiagnosticSidePanel::showActuatorState);
    if (charts) // a new set of panels shows the list at its full height
        connect(charts, &ChartsController::chartsBuilt, this, [this] { place(false); });
    if (actuators.built())
        buildActuatorControls();
}

void DiagnosticSidePanel::buildActuatorControls() {
    using namespace control;
    if (m_box || !m_actuators.built())
        return;
    m_box = new QCheckBox(kActuatorsCaption, this);
    m_box->setObjectName(CheckBoxActuators);
    QFont bold = m_box->font();
    bold.setBold(true);
    m_box->setFont(bold);

    m_combo = new QComboBox(this);
    m_combo->setObjectName(ComboBoxActuators);
    for (const ActuatorRow &row : actuatorTable())
        m_combo->addItem(row.name);
    m_combo->setCurrentIndex(m_actuators.selectedRow());

    m_trackBar = new QSlider(Qt::Horizontal, this);
    m_trackBar->setObjectName(TrackBar6);
    m_trackBar->setRange(0, kTrackMaximum);

    m_value = new QLabel(this);
    m_value->setObjectName(LabelActuatorValue);
    m_value->setAlignment(Qt::AlignCenter);
    QFont large = m_value->font();
    large.setPointSize(kSideValuePointSize);
    large.setBold(true);
    m_value->setFont(large);

    for (int row = 0; row < kActuatorCount; ++row) {
        auto *name = new QLabel(actuatorTable()[row].name, this);
        name->setObjectName(LabelActuatorRow + QString::number(row + 1));
        m_names[row] = name;
    }
    // The indicators are squares as high as the rows' labels.
    const int side = std::max(m_names[0]->sizeHint().height(), 1);
    m_normal = QIcon(actuatorNormalPicture(side));
    m_overridden = QIcon(actuatorOverriddenPicture(side));
    for (int row = 0; row < kActuatorCount; ++row) {
        auto *indicator = new QToolButton(this);
        indicator->setObjectName(ImageActuatorRow + QString::number(row + 1));
        indicator->setAutoRaise(true);
        indicator->setToolTip(QStringLiteral("Вернуть управление блоку"));
        indicator->setIconSize(QSize(side, side));
        m_indicators[row] = indicator;
        connect(indicator, &QToolButton::clicked, this, [this, row] { m_actuators.clickIndicator(row); });
    }

    connect(m_box, &QCheckBox::toggled, &m_actuators, &ActuatorController::setChecked);
    connect(m_combo, &QComboBox::currentIndexChanged, &m_actuators, &ActuatorController::selectRow);
    connect(m_trackBar, &QSlider::valueChanged, &m_actuators, &ActuatorController::moveTrackBar);
    // Built while the panel may already be on screen: a new child shows only when told.
    m_box->show();
    m_shownChecked = !m_actuators.checked(); // the first showing places everything
    showActuatorState();
}

void DiagnosticSidePanel::showActuatorState() {
    if (!m_box)
        return;
    const bool checked = m_actuators.checked();
    {
        // What the controller decided is shown, not taken as a new user action.
        const QSignalBlocker box(m_box), combo(m_combo), track(m_trackBar);
        m_box->setChecked(checked);
        m_combo->setCurrentIndex(m_actuators.selectedRow());
        m_trackBar->setValue(m_actuators.trackPosition());
    }
    m_value->setText(m_actuators.valueText());
    QList<QWidget *> controls{m_combo, m_trackBar, m_value};
    for (int row = 0; row < kActuatorCount; ++row) {
        controls << m_names[row] << m_indicators[row];
        m_indicators[row]->setIcon(m_actuators.rows()[row].overridden ? m_overridden : m_normal);
    }
    for (QWidget *control : controls) {
        control->setVisible(checked);
        control->setEnabled(checked);
    }
    if (checked != m_shownChecked) {
        m_shownChecked = checked;
        place(checked);
    }
}

void DiagnosticSidePanel::place(bool justChecked) {
    if (!m_box) {
        m_list->setGeometry(0, kListTop, width(), height() - kListTop - kListBottomMargin);
        return;
    }
    ActuatorLayoutInput in;
    in.panelWidth = width();
    in.panelHeight = height();
    in.listTop = kListTop;
    in.checkBoxHeight = m_box->sizeHint().height();
    in.comboHeight = m_combo->sizeHint().height();
    in.rowLabelHeight = m_names[0]->sizeHint().height();
    in.checked = m_actuators.checked();
    in.justChecked = justChecked;
    const ActuatorLayoutResult at = actuatorLayout(in);
    m_list->setGeometry(at.list);
    m_box->setGeometry(at.checkBox);
    m_combo->setGeometry(at.combo);
    m_trackBar->setGeometry(at.trackBar);
    m_value->setGeometry(at.value);
    for (int row = 0; row < kActuatorCount; ++row) {
        m_names[row]->setGeometry(at.names[row]);
        m_indicators[row]->setGeometry(at.indicators[row]);
    }
}

void DiagnosticSidePanel::placeOnResize() {
    if (!m_charts || !m_charts->built() || m_box) {
        // The actuator controls stack under the list, the check box 4 below it.
        place(false);
        return;
    }
    // Built panels without actuator controls leave the lower half of the panel free.
    m_list->setGeometry(0, kListTop, width(),
                        static_cast<int>(roundHalfEven((height() - kListTop) / 2.0)) - kTickedListShrink);
}

void DiagnosticSidePanel::resizeEvent(QResizeEvent *event) {
    QWidget::resizeEvent(event);
    placeOnResize();
}

} // namespace korvel::ui
