#pragma once
// Screenshots that GUI tests leave for people to look at.

#include "TestSupport.h"

#include <QDir>
#include <QImage>
#include <QWidget>

#include <gtest/gtest.h>

namespace korvel::test {

// Into the test artifacts, and a copy where KORVEL_SHOTS points.
inline void saveShot(const QImage &image, const QString &file) {
    EXPECT_TRUE(image.save(QDir(artifactDir()).filePath(file))) << file.toStdString();
    if (const QByteArray dir = qgetenv("KORVEL_SHOTS"); !dir.isEmpty()) {
        QDir().mkpath(QString::fromLocal8Bit(dir));
        image.save(QDir(QString::fromLocal8Bit(dir)).filePath(file));
    }
}

inline void saveShot(QWidget &widget, const QString &file) {
    saveShot(widget.grab().toImage(), file);
}

} // namespace korvel::test
