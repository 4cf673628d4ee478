#pragma once

#include <QHash>
#include <QObject>
#include <QString>

namespace korvel {

// The state of the window's named controls (enabled, visible, text, colour) as
// the program decides it. The window binds each widget by its object name and
// paints what this board says, so every rule about buttons and labels is
// testable without a window.
class ControlBoard : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;

    void setEnabled(const QString &name, bool on);
    void setVisible(const QString &name, bool on);
    void setText(const QString &name, const QString &text);
    // Colours are 0xRRGGBB; -1 means the control's own colour.
    void setColor(const QString &name, int rgb);

    bool isEnabled(const QString &name) const;
    bool isVisible(const QString &name) const;
    QString text(const QString &name) const;
    int color(const QString &name) const;
    bool knows(const QString &name) const { return m_controls.contains(name); }
    // Whether the core ever gave the control a text (pictures never get one).
    bool hasText(const QString &name) const;
    QStringList names() const { return m_controls.keys(); }

signals:
    void changed(const QString &name);

private:
    struct Control {
        bool enabled = true;
        bool visible = true;
        QString text;
        bool textSet = false;
        int color = -1;
    };
    Control &at(const QString &name);

    QHash<QString, Control> m_controls;
};

} // namespace korvel
