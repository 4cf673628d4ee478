// Start-up in a working folder where an earlier run was killed while it
// appended to its CSV log.
#include "app/Session.h"
#include "core/Cp1251.h"

#include "TestSupport.h"

#include <QDir>

#include <gtest/gtest.h>

using namespace korvel;

TEST(SessionStartUp, RepairsTheTornCsvLogOfAnEarlierRun) {
    test::WorkDir work;
    ASSERT_TRUE(QDir(work.path()).mkpath(QStringLiteral("05.03.14-17.42.09")));
    const QString log = QStringLiteral("05.03.14-17.42.09/лог.csv");
    const QByteArray whole = cp1251::encode(QStringLiteral("Time,Обороты\r\n174209,850\r\n"));
    work.write(log, whole + "174210,8");

    Session session(work.path());
    ASSERT_TRUE(session.startUp());
    EXPECT_EQ(work.read(log), whole);
    EXPECT_TRUE(session.log().lines().contains(
        QStringLiteral("Лог %1 оборван на недописанной строке: отрезано 8 байт после последней целой строки")
            .arg(QDir::toNativeSeparators(work.path(log)))))
        << session.log().lines().join('\n').toStdString();
}
