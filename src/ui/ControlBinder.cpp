#include "ui/ControlBinder.h"

#include "core/ControlBoard.h"

#include <QAction>
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
    if (!widget) {
        noteUnbound(name);
        return;
    }
    widget->setEnabled(m_board.isEnabled(name));
    // Pages of the main area are shown by the stack, never by visibility.
    if (!widget->property(kMainAreaPage).toBool())
        widget->setVisible(m_board.isVisible(name));
    if (m_board.hasText(name) && widget->metaObject()->indexOfProperty("text") >= 0)
        widget->setProperty("text", m_board.text(name));
    const int rgb = m_board.color(name);
    if (rgb >= 0 || !widget->styleSheet().isEmpty())
        widget->setStyleSheet(rgb < 0 ? QString() : QStringLiteral("color: #%1;").arg(rgb, 6, 16, QLatin1Char('0')));
}

void ControlBinder::noteUnbound(const QString &name) {
    if (m_unbound.contains(name))
        return;
    m_unbound.append(name);
    qWarning("No widget carries the control name %s", qPrintable(name));
}

} // namespace korvel::ui
