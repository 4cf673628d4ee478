#include "core/ControlBoard.h"

namespace korvel {

ControlBoard::Control &ControlBoard::at(const QString &name) {
    return m_controls[name];
}

// The status timer re-applies its rules every 50 ms; only real changes reach the window.
template <typename T> static bool assign(T &field, const T &value) {
    if (field == value)
        return false;
    field = value;
    return true;
}

void ControlBoard::setEnabled(const QString &name, bool on) {
    const bool fresh = !m_controls.contains(name);
    if (assign(at(name).enabled, on) || fresh)
        emit changed(name);
}

void ControlBoard::setVisible(const QString &name, bool on) {
    const bool fresh = !m_controls.contains(name);
    if (assign(at(name).visible, on) || fresh)
        emit changed(name);
}

void ControlBoard::setText(const QString &name, const QString &text) {
    const bool fresh = !m_controls.contains(name) || !at(name).textSet;
    at(name).textSet = true;
    if (assign(at(name).text, text) || fresh)
        emit changed(name);
}

void ControlBoard::setColor(const QString &name, int rgb) {
    const bool fresh = !m_controls.contains(name);
    if (assign(at(name).color, rgb) || fresh)
        emit changed(name);
}

bool ControlBoard::isEnabled(const QString &name) const {
    const auto it = m_controls.constFind(name);
    return it == m_controls.cend() || it->enabled;
}

bool ControlBoard::isVisible(const QString &name) const {
    const auto it = m_controls.constFind(name);
    return it == m_controls.cend() || it->visible;
}

bool ControlBoard::hasText(const QString &name) const {
    const auto it = m_controls.constFind(name);
    return it != m_controls.cend() && it->textSet;
}

QString ControlBoard::text(const QString &name) const {
    const auto it = m_controls.constFind(name);
    return it == m_controls.cend() ? QString() : it->text;
}

int ControlBoard::color(const QString &name) const {
    const auto it = m_controls.constFind(name);
    return it == m_controls.cend() ? -1 : it->color;
}

} // namespace korvel
