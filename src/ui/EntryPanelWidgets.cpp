#include "ui/EntryPanelWidgets.h"
#include "ui/NamedWidgets.h"

#include "core/ControlNames.h"
#include "editor/CellText.h"
#include "editor/TableEditorController.h"

#include <QCheckBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace korvel::ui {
namespace {} // namespace

SingleValuePanel::SingleValuePanel(TableEditorController &editor, QWidget *parent) : QWidget(parent), m_editor(editor) {
    using namespace control;
    setObjectName(gr1d);
    m_value = new QLineEdit(this);
    m_value->setObjectName(Edit78);
    QFont big = m_value->font();
    big.setPointSize(24);
    m_value->setFont(big);
    m_value->setMaximumWidth(260);
    m_previous = namedLabel(Label1d, this);
    auto *back = new QPushButton(QStringLiteral("Вернуть"), this);
    back->setObjectName(BitBtn8);
    m_minimum = new QLabel(this);
    m_maximum = new QLabel(this);
    m_comparison = namedLabel(Label5, this);
    m_comparisonCaption = namedLabel(Label7, this);
    m_comparisonCaption->setText(QStringLiteral("(Прошивка №2)"));

    auto *form = new QFormLayout;
    form->addRow(QStringLiteral("Значение:"), m_value);
    auto *previous = new QHBoxLayout;
    previous->addWidget(m_previous);
    previous->addWidget(back);
    previous->addStretch(1);
    form->addRow(QStringLiteral("Прошлое значение:"), previous);
    form->addRow(QStringLiteral("Минимальное значение"), m_minimum);
    form->addRow(QStringLiteral("Максимальное значение"), m_maximum);
    auto *second = new QHBoxLayout;
    second->addWidget(m_comparison);
    second->addWidget(m_comparisonCaption);
    second->addStretch(1);
    form->addRow(QString(), second);
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addStretch(1);

    connect(m_value, &QLineEdit::returnPressed, this, [this] { m_editor.enterSingleValue(m_value->text()); });
    connect(back, &QPushButton::clicked, this, [this] { m_value->setText(m_editor.previousValue()); });
}

void SingleValuePanel::refresh() {
    const SingleValueView &v = m_editor.singleValue();
    m_value->setText(v.valueText);
    m_previous->setText(v.valueText);
    m_minimum->setText(FloatToStr(v.minimum));
    m_maximum->setText(FloatToStr(v.maximum));
    m_comparison->setText(v.comparisonText);
    m_comparison->setVisible(v.comparisonShown);
    m_comparisonCaption->setVisible(v.comparisonShown);
}

FlagPanel::FlagPanel(TableEditorController &editor, QWidget *parent) : QWidget(parent), m_editor(editor) {
    setObjectName(control::flags);
    setMinimumSize(760, 27 * 15 + 30);
    for (int i = 0; i < 8; ++i) {
        m_groups[static_cast<std::size_t>(i)] = namedLabel(QStringLiteral("Label%1").arg(51 + i), this);
        m_groups[static_cast<std::size_t>(i)]->setStyleSheet(QStringLiteral("color: rgb(0, 128, 0);"));
    }
    for (int n = 0; n < 64; ++n) {
        auto *box = new QCheckBox(this);
        box->setObjectName(flagBoxName(7 + n));
        box->hide();
        // A click is the release of the mouse over the box: all flag bytes are written.
        connect(box, &QCheckBox::clicked, this, [this, n](bool on) { m_editor.setFlag(7 + n, on); });
        m_boxes[static_cast<std::size_t>(n)] = box;
    }
}

void FlagPanel::refresh() {
    const FlagPanelView &v = m_editor.flags();
    for (std::size_t i = 0; i < 8; ++i) {
        QLabel *caption = m_groups[i];
        caption->setText(v.groups[i].caption);
        caption->setVisible(!v.groups[i].caption.isEmpty());
        caption->move(v.groups[i].place.left, v.groups[i].place.top);
        caption->adjustSize();
    }
    for (QCheckBox *box : m_boxes)
        box->hide();
    for (const FlagBox &b : v.boxes) {
        QCheckBox *box = m_boxes[static_cast<std::size_t>(b.number - 7)];
        box->setText(b.text);
        box->setChecked(b.ticked);
        box->move(b.place.left, b.place.top);
        box->adjustSize();
        box->show();
    }
}

IdentPanel::IdentPanel(TableEditorController &editor, QWidget *parent) : QWidget(parent), m_editor(editor) {
    setObjectName(control::ident);
    auto *layout = new QVBoxLayout(this);
    for (int i = 0; i < 8; ++i) {
        QLabel *line = namedLabel(QStringLiteral("Label%1").arg(17 + i), this);
        line->setFont(QFont(QStringLiteral("Monospace")));
        layout->addWidget(line, 0, Qt::AlignHCenter);
        m_lines[static_cast<std::size_t>(i)] = line;
    }
    layout->addStretch(1);
}

void IdentPanel::refresh() {
    for (std::size_t i = 0; i < 8; ++i)
        m_lines[i]->setText(m_editor.ident().captions[i]);
}

} // namespace korvel::ui
