// The working folder rules: made once from the shipped files, remembered,
// and the user's files never overwritten.
#include "launcher/WorkFolder.h"
#include "launcher/ShippedData.h"

#include "TestSupport.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSettings>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <functional>

using namespace korvel;
using namespace korvel::launcher;

namespace {

QByteArray readFile(const QString &path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<unreadable>");
}

void writeFile(const QString &path, const QByteArray &bytes) {
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly)) << path.toStdString();
    f.write(bytes);
}

// A home folder, the launcher's settings file and an installed share/korvel
// (the repository's data files, read-only as installed, and a demo firmware).
struct LauncherHome {
    LauncherHome() : settings(root.filePath("launcher.conf"), QSettings::IniFormat) {
        QDir().mkpath(home());
        QDir().mkpath(data());
        for (const QString &name : shippedFiles()) {
            const QString to = QDir(data()).filePath(name);
            if (name == "demo-firmware.bin")
                writeFile(to, QByteArray(65536, '\xFF'));
            else if (name == "demo-map.j5")
                writeFile(to, QByteArray(24, '\0'));
            else
                QFile::copy(QDir(test::dataDir()).filePath(name), to);
            QFile::setPermissions(to, QFileDevice::ReadOwner | QFileDevice::ReadGroup | QFileDevice::ReadOther);
        }
    }
    QString home() const { return root.filePath("home"); }
    QString data() const { return root.filePath("share/korvel"); }
    QString inHome(const QString &path) const { return QDir(home()).filePath(path); }
    WorkFolder open(const QString &chosen = {}) { return openWorkFolder(settings, home(), data(), chosen); }

    QTemporaryDir root;
    QSettings settings;
};

} // namespace

TEST(WorkFolder, FirstUseMakesKorvelInHomeFromTheShippedFilesThenReusesIt) {
    LauncherHome h;
    const WorkFolder first = h.open();
    ASSERT_EQ(first.error, "");
    EXPECT_EQ(first.path, h.inHome("Korvel"));
    EXPECT_EQ(first.copied, shippedFiles());
    for (const QString &name : shippedFiles()) {
        SCOPED_TRACE(name.toStdString());
        const QString copy = QDir(first.path).filePath(name);
        EXPECT_EQ(readFile(copy), readFile(QDir(h.data()).filePath(name)));
        EXPECT_TRUE(QFileInfo(copy).isWritable()) << "the user edits the copies";
    }

    writeFile(QDir(first.path).filePath("config.ini"), "Ecu com=/dev/serial/by-id/usb-adapter\r\n");
    QFile::remove(QDir(first.path).filePath("doNOTchange.cfg"));
    const WorkFolder second = h.open();
    EXPECT_EQ(second.error, "");
    EXPECT_EQ(second.path, first.path);
    EXPECT_TRUE(second.copied.isEmpty()) << "a folder holding config.ini is the user's as it is";
    EXPECT_EQ(readFile(QDir(first.path).filePath("config.ini")), "Ecu com=/dev/serial/by-id/usb-adapter\r\n");
    EXPECT_FALSE(QFile::exists(QDir(first.path).filePath("doNOTchange.cfg")));
}

TEST(WorkFolder, AChosenFolderIsRememberedAndAnExistingCarFolderIsLeftAlone) {
    LauncherHome h;
    ASSERT_TRUE(QDir().mkpath(h.inHome("cars/lada")));
    writeFile(h.inHome("cars/lada/config.ini"), "mine");
    const WorkFolder chosen = h.open("cars/lada"); // relative to home, as typed in a shell there
    ASSERT_EQ(chosen.error, "");
    EXPECT_EQ(chosen.path, h.inHome("cars/lada"));
    EXPECT_TRUE(chosen.copied.isEmpty());
    EXPECT_EQ(readFile(h.inHome("cars/lada/config.ini")), "mine");
    EXPECT_FALSE(QFile::exists(h.inHome("cars/lada/errors.cfg")));

    EXPECT_EQ(h.open().path, h.inHome("cars/lada"));
    EXPECT_EQ(rememberedWorkFolder(h.settings, h.home()), h.inHome("cars/lada"));
    EXPECT_FALSE(QFile::exists(h.inHome("Korvel")));
}

TEST(WorkFolder, AFolderWithoutSettingsGetsOnlyTheFilesItLacks) {
    LauncherHome h;
    // A remembered folder that was deleted since, and one the user made empty
    // or half-filled by hand: both are (re)made without touching what is there.
    ASSERT_EQ(h.open().error, "");
    ASSERT_TRUE(QDir(h.inHome("Korvel")).removeRecursively());
    EXPECT_EQ(h.open().copied, shippedFiles());

    ASSERT_TRUE(QDir().mkpath(h.inHome("car2")));
    writeFile(h.inHome("car2/errors.cfg"), "own names");
    const WorkFolder filled = h.open(h.inHome("car2"));
    EXPECT_EQ(filled.error, "");
    EXPECT_FALSE(filled.copied.contains("errors.cfg"));
    EXPECT_TRUE(filled.copied.contains("config.ini"));
    EXPECT_EQ(readFile(h.inHome("car2/errors.cfg")), "own names");
}

TEST(WorkFolder, ProblemsAreReportedAndNothingIsRemembered) {
    struct Case {
        const char *what;
        std::function<void(LauncherHome &)> spoil;
        QString errorHolds;
    };
    const Case cases[] = {
        {"a required shipped file is missing",
         [](LauncherHome &h) { QFile::remove(QDir(h.data()).filePath("hexdata.cfg")); }, "hexdata.cfg"},
        {"the folder cannot be made (a file is in the way)",
         [](LauncherHome &h) { writeFile(h.inHome("Korvel"), "a file"); }, "Cannot create the working folder"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        LauncherHome h;
        c.spoil(h);
        const WorkFolder folder = h.open();
        EXPECT_TRUE(folder.error.contains(c.errorHolds)) << folder.error.toStdString();
        EXPECT_FALSE(h.settings.contains("workFolder"));
    }
}
