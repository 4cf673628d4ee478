#include "ui/ControlBinder.h"

#include "app/ControlBoard.h"

#include <QAbstractButton>
#include <QAction>
#include <QLabel>
#include <QWidget>

namespace korvel::ui {

ControlBinder::ControlBinder(ControlBoard &board, QObject *root, QObject *parent)
    : QObject(parent), m_board(board), m_root(root) {
    connect(&board, &ControlBoard::changed, this, &ControlBinder::apply);
}

void ControlBinder::applyAll() {
    for (const QString &name : m_board.names())
        apply(name);
}

void ControlBinder::apply(const QString &name) {
    if (auto *action = m_root->findChild<QAction *>(name)) {
        action->setEnabled(m_board.isEnabled(name));
        action->setVisible(m_board.isVisible(name));
        return;
    }
    auto *widget = m_root->objectName() == name ? qobject_cast<QWidget *>(m_root) : m_root->findChild<QWidget *>(name);
    if (!widget)
        return;
    widget->setEnabled(m_board.isEnabled(name));
    widget->setVisible(m_board.isVisible(name));
    if (!m_board.knows(name))
        return;
    const QString text = m_board.text(name);
    if (auto *label = qobject_cast<QLabel *>(widget)) {
        label->setText(text);
        const int rgb = m_board.color(name);
        label->setStyleSheet(rgb < 0 ? QString() : QStringLiteral("color: #%1;").arg(rgb, 6, 16, QLatin1Char('0')));
    }
}

} // namespace korvel::ui
