#pragma once

#include <QObject>
#include <QStringList>

namespace korvel {
class ControlBoard;
}

namespace korvel::ui {

// The property that marks a page of the window's main area: the stack shows
// pages, so their visibility is never set from the core's control states.
inline constexpr char kMainAreaPage[] = "korvelMainAreaPage";

// Applies the core's control states to the widgets and actions of the same
// object name under `root`. A name that nothing in the window carries is a
// programming error: it is warned about and kept in unboundNames().
class ControlBinder : public QObject {
    Q_OBJECT
public:
    ControlBinder(ControlBoard &board, QObject *root, QObject *parent = nullptr);
    void applyAll();

    // Names the core set that no widget or action carries, in the order first met.
    const QStringList &unboundNames() const { return m_unbound; }

private:
    void apply(const QString &name);
    void noteUnbound(const QString &name);

    ControlBoard &m_board;
    QObject *m_root;
    QStringList m_unbound;
};

} // namespace korvel::ui
