#pragma once

// Widgets made with the object name the window's registry gives them.
#include <QColor>
#include <QLabel>
#include <QPushButton>
#include <QString>

namespace korvel::ui {

inline QPushButton *namedButton(const QString &name, const QString &caption, const QString &hint, QWidget *parent) {
    auto *b = new QPushButton(caption, parent);
    b->setObjectName(name);
    b->setToolTip(hint);
    return b;
}

inline QLabel *namedLabel(const QString &name, QWidget *parent) {
    auto *l = new QLabel(parent);
    l->setObjectName(name);
    return l;
}

// A colour the core keeps as 0xRRGGBB.
inline QColor colourOf(int rgb) {
    return QColor::fromRgb(static_cast<QRgb>(rgb));
}

} // namespace korvel::ui
