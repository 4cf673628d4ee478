#pragma once

#include "core/ControlBoard.h"
#include "ui/MainWindow.h"

#include <QAction>

#include <gtest/gtest.h>

namespace korvel::test {

// Every name the core has set on the board is carried by exactly one widget
// or action of the window: a name nothing carries would be dropped, a name
// two carry would reach only the first.
inline void expectEachNameCarriedOnce(const ui::MainWindow &window, const ControlBoard &board) {
    EXPECT_TRUE(window.unboundControlNames().isEmpty())
        << "carried by nothing: " << window.unboundControlNames().join(QStringLiteral(", ")).toStdString();
    for (const QString &name : board.names()) {
        const qsizetype carriers = window.findChildren<QWidget *>(name).size() +
                                   window.findChildren<QAction *>(name).size() + (window.objectName() == name);
        EXPECT_EQ(carriers, 1) << name.toStdString();
    }
}

} // namespace korvel::test
