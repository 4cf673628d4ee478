// `korvel-cli map`: a map built from a description dumps back as its tree, and
// bad command lines and unreadable files give their exit statuses.
#include "cli/MapCommand.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QTemporaryDir>

using namespace korvel::cli;

namespace {

struct MapRun {
    int status = 0;
    QString out;
    QString err;
};

MapRun runMap(const QStringList &arguments) {
    MapRun r;
    QTextStream out(&r.out);
    QTextStream err(&r.err);
    r.status = runMapCommand(arguments, out, err);
    out.flush();
    err.flush();
    return r;
}

void writeFile(const QString &path, const QByteArray &bytes) {
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(bytes);
}

} // namespace

TEST(MapCommand, BuildsAMapThatDumpsBackAsItsTree) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString description = dir.filePath(QStringLiteral("demo.txt"));
    const QString map = dir.filePath(QStringLiteral("demo.j5"));
    // Windows-1251 text, as the files users exchange.
    writeFile(description, QByteArray("group 1 \xD2\xEE\xEF\xEB\xE8\xE2\xEE\r\n" // Топливо
                                      "item 2 \xD5\xD5\r\nkind 3\r\naddress 613C\r\ncelltype 2\r\n"));
    const MapRun built = runMap({QStringLiteral("build"), description, map});
    ASSERT_EQ(built.status, 0) << built.err.toStdString();
    EXPECT_TRUE(built.out.isEmpty());

    const MapRun dumped = runMap({QStringLiteral("dump"), map});
    EXPECT_EQ(dumped.status, 0) << dumped.err.toStdString();
    const QStringList lines = dumped.out.split(QLatin1Char('\n'));
    ASSERT_GE(lines.size(), 4) << dumped.out.toStdString();
    EXPECT_EQ(lines[0], QStringLiteral("demo.j5"));
    EXPECT_EQ(lines[1], QStringLiteral("  Топливо (kind 0, at 22)"));
    EXPECT_EQ(lines[2], QStringLiteral("    ХХ (kind 3, at 91)"));
    EXPECT_EQ(lines[3], QStringLiteral("        address 613C"));
}

TEST(MapCommand, RefusesBadCommandLinesAndFilesWithTheirStatus) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString bad = dir.filePath(QStringLiteral("bad.txt"));
    writeFile(bad, "group 1 a\nkind 2\nrows 999\n");
    const QString cut = dir.filePath(QStringLiteral("cut.j5"));
    writeFile(cut, QByteArray(22, '\0') + QByteArray(40, 'x'));
    struct Case {
        QStringList arguments;
        int status;
        QString errHolds;
    };
    const Case cases[] = {
        {{}, 2, "expected"},
        {{"dump"}, 2, "expected"},
        {{"build", bad}, 2, "expected"},
        {{"show", cut}, 2, "expected"},
        {{"dump", dir.filePath("none.j5")}, 1, "none.j5"},
        {{"build", dir.filePath("none.txt"), dir.filePath("out.j5")}, 1, "none.txt"},
        {{"build", bad, dir.filePath("out.j5")}, 1, "Строка 3"},
        {{"dump", cut}, 1, {}}, // the dump is printed, its last line says where it stopped
    };
    for (const Case &c : cases) {
        const MapRun r = runMap(c.arguments);
        EXPECT_EQ(r.status, c.status) << c.arguments.join(' ').toStdString();
        EXPECT_TRUE(r.err.contains(c.errHolds)) << r.err.toStdString();
    }
    EXPECT_FALSE(QFile::exists(dir.filePath("out.j5"))) << "a refused build writes nothing";
    EXPECT_TRUE(runMap({"dump", cut}).out.contains(QStringLiteral("\nstopped: ")));
    EXPECT_TRUE(runMap({"--help"}).out.contains(QStringLiteral("map build DESCRIPTION OUT")));
}
