// The installed tree as a user gets it: cmake --install into a temporary
// prefix, then bin/korvel-launcher started as the desktop entry does, with an
// empty home folder.
#include "app/Session.h"
#include "launcher/ShippedData.h"
#include "launcher/WorkFolder.h"
#include "ui/MainWindow.h"

#include "TestSupport.h"
#include "WaitFor.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QPlainTextEdit>
#include <QProcess>
#include <QSettings>
#include <QTemporaryDir>
#include <QToolBar>

#include <gtest/gtest.h>

#include <csignal>

using namespace korvel;
using korvel::test::waitFor;

namespace {

constexpr int kPatienceMs = 120000; // the window's start-up takes seconds under the sanitizers
const QString kMissingFiles = QStringLiteral("Ошибка: Отсутствуют один или несколько необходимых файлов настроек");

QByteArray readProgramFile(const QString &path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// The process image and the signal handlers of a running process, from /proc.
struct ProcessView {
    explicit ProcessView(qint64 pid) : dir(QStringLiteral("/proc/%1").arg(pid)) {}
    QString program() const { return QFileInfo(dir + "/exe").canonicalFilePath(); }
    QString workingFolder() const { return QFileInfo(dir + "/cwd").canonicalFilePath(); }
    bool catches(int signal) const {
        for (const QByteArray &line : readProgramFile(dir + "/status").split('\n'))
            if (line.startsWith("SigCgt:"))
                return (line.mid(7).trimmed().toULongLong(nullptr, 16) >> (signal - 1)) & 1U;
        return false;
    }
    QString dir;
};

// korvel is ready for a user's SIGTERM once the launcher has become korvel
// and the window's stop handler is in place.
bool waitUntilKorvelRuns(QProcess &process, const QString &korvel) {
    const ProcessView view(process.processId());
    return waitFor(
               [&] {
                   return process.state() == QProcess::NotRunning ||
                          (view.program() == korvel && view.catches(SIGTERM));
               },
               kPatienceMs) &&
           process.state() == QProcess::Running;
}

class InstalledTree : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(prefix.isValid() && home.isValid());
        QProcess install;
        install.start(QStringLiteral(KORVEL_CMAKE),
                      {"--install", QStringLiteral(KORVEL_BUILD_DIR), "--prefix", prefix.path()});
        ASSERT_TRUE(install.waitForFinished(kPatienceMs));
        ASSERT_EQ(install.exitCode(), 0) << install.readAllStandardError().toStdString();
    }

    QString installed(const QString &path) const { return QDir(prefix.path()).filePath(path); }

    // Starts the installed launcher with nothing of the build tree in its way.
    void startLauncher(QProcess &process) const {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("HOME", home.path());
        env.insert("LC_ALL", "C.UTF-8");
        for (const char *name : {"XDG_CONFIG_HOME", "XDG_DATA_HOME", "KORVEL_DATA_DIR", "KORVEL_PROGRAM"})
            env.remove(name);
        process.setProcessEnvironment(env);
        process.setWorkingDirectory(home.path());
        process.start(installed("bin/korvel-launcher"), {"--no-dialogs"});
    }

    static void stop(QProcess &process) {
        ::kill(static_cast<pid_t>(process.processId()), SIGTERM);
        ASSERT_TRUE(process.waitForFinished(kPatienceMs));
        EXPECT_EQ(process.exitStatus(), QProcess::NormalExit);
        EXPECT_EQ(process.exitCode(), 0) << process.readAllStandardError().toStdString();
    }

    QTemporaryDir prefix;
    QTemporaryDir home;
};

} // namespace

TEST_F(InstalledTree, HoldsTheProgramsDataDesktopEntryIconAndManPages) {
    const char *files[] = {
        "bin/korvel",
        "bin/korvel-cli",
        "bin/korvel-sim",
        "bin/korvel-launcher",
        "share/korvel/config.ini",
        "share/korvel/hexdata.cfg",
        "share/korvel/errors.cfg",
        "share/korvel/doNOTchange.cfg",
        "share/korvel/demo-firmware.bin",
        "share/korvel/demo-map.j5",
        "share/applications/korvel.desktop",
        "share/icons/hicolor/scalable/apps/korvel.svg",
        "share/man/man1/korvel.1.gz",
        "share/man/man1/korvel-cli.1.gz",
        "share/man/man1/korvel-sim.1.gz",
        "share/man/man1/korvel-launcher.1.gz",
    };
    for (const char *file : files)
        EXPECT_TRUE(QFileInfo(installed(file)).isFile()) << file;
    for (const char *program : {"bin/korvel", "bin/korvel-cli", "bin/korvel-sim", "bin/korvel-launcher"})
        EXPECT_TRUE(QFileInfo(installed(program)).isExecutable()) << program;
    EXPECT_EQ(QFileInfo(installed("share/korvel/demo-firmware.bin")).size(), 65536);
    for (const char *name : {"config.ini", "hexdata.cfg", "errors.cfg", "doNOTchange.cfg"})
        EXPECT_EQ(readProgramFile(installed(QStringLiteral("share/korvel/") + name)),
                  readProgramFile(QDir(test::dataDir()).filePath(name)))
            << name;

    // The menu finds the launcher on PATH and the icon by its theme name.
    const QSettings entry(installed("share/applications/korvel.desktop"), QSettings::IniFormat);
    EXPECT_EQ(entry.value("Desktop Entry/Exec").toString(), "korvel-launcher");
    EXPECT_EQ(entry.value("Desktop Entry/Icon").toString(), "korvel");
    EXPECT_EQ(entry.value("Desktop Entry/Type").toString(), "Application");
}

TEST_F(InstalledTree, LauncherMakesTheWorkingFolderOnceAndStartsKorvelInIt) {
    const QString korvel = QFileInfo(installed("bin/korvel")).canonicalFilePath();
    const QString folder = QDir(home.path()).filePath("Korvel");

    QProcess first;
    startLauncher(first);
    ASSERT_TRUE(waitUntilKorvelRuns(first, korvel)) << first.readAllStandardError().toStdString();
    EXPECT_EQ(ProcessView(first.processId()).workingFolder(), QFileInfo(folder).canonicalFilePath());
    for (const QString &name : launcher::shippedFiles())
        EXPECT_EQ(readProgramFile(QDir(folder).filePath(name)), readProgramFile(installed("share/korvel/" + name)))
            << name.toStdString();
    stop(first);
    const QString message = QString::fromUtf8(first.readAllStandardOutput());
    for (const QString &says :
         {"Your working folder is " + folder + ".", QStringLiteral("dialout"), QStringLiteral("/dev/serial/by-id/")})
        EXPECT_TRUE(message.contains(says)) << says.toStdString() << " in: " << message.toStdString();

    // The user's edits survive, and the second start says nothing new.
    QFile config(QDir(folder).filePath("config.ini"));
    ASSERT_TRUE(config.open(QIODevice::Append));
    config.write("Ecu com=/dev/serial/by-id/usb-FTDI_K-line-if00-port0\r\n");
    config.close();
    const QByteArray edited = readProgramFile(config.fileName());

    QProcess second;
    startLauncher(second);
    ASSERT_TRUE(waitUntilKorvelRuns(second, korvel)) << second.readAllStandardError().toStdString();
    EXPECT_EQ(ProcessView(second.processId()).workingFolder(), QFileInfo(folder).canonicalFilePath());
    stop(second);
    EXPECT_EQ(second.readAllStandardOutput(), "");
    EXPECT_EQ(readProgramFile(config.fileName()), edited);
}

TEST(LauncherFolder, TheWindowStartsThereWithoutTheMissingFilesMessage) {
    // The folder the launcher makes against an empty one: only the second
    // may show the message, which proves the check can see it.
    QTemporaryDir root;
    QSettings settings(root.filePath("launcher.conf"), QSettings::IniFormat);
    const launcher::WorkFolder made = launcher::openWorkFolder(settings, root.path(), test::dataDir());
    ASSERT_EQ(made.error, "");
    ASSERT_TRUE(QDir().mkpath(root.filePath("empty")));
    const struct {
        QString folder;
        bool missingFiles;
    } cases[] = {{made.path, false}, {root.filePath("empty"), true}};
    for (const auto &c : cases) {
        SCOPED_TRACE(c.folder.toStdString());
        Session session(c.folder);
        ui::MainWindow window(session);
        window.show();
        EXPECT_EQ(session.startUp(), !c.missingFiles);
        auto *memo = window.findChild<QPlainTextEdit *>("Memo1");
        ASSERT_NE(memo, nullptr);
        EXPECT_EQ(memo->toPlainText().contains(kMissingFiles), c.missingFiles) << memo->toPlainText().toStdString();
        EXPECT_EQ(window.findChild<QToolBar *>("ControlBar1")->isVisibleTo(&window), !c.missingFiles);
        session.shutDown();
    }
}
