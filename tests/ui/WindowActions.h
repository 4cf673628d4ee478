#pragma once

#include "ui/MainWindow.h"

#include <QAction>
#include <QString>

#include <gtest/gtest.h>

namespace korvel::test {

// Presses a toolbar button as the user does: it must be there and enabled.
inline void press(ui::MainWindow &window, const QString &button) {
    QAction *action = window.findChild<QAction *>(button);
    ASSERT_NE(action, nullptr) << button.toStdString();
    ASSERT_TRUE(action->isEnabled()) << button.toStdString();
    action->trigger();
}

} // namespace korvel::test
