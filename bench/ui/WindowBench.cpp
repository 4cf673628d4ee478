// The window as a user meets it: the time from the program's start to the
// first shown window, and the resident memory of the demo running with every
// chart of the full diagnostic view ticked. A printing benchmark:
//
//   window_bench [--seconds N]
//
// prints "startup_ms", "rss_start_kb" and "rss_all_charts_kb" lines (N seconds
// of polling the simulator with all 56 charts drawn; 20 by default).
#include "app/ChartsController.h"
#include "app/Session.h"
#include "core/ControlNames.h"
#include "sim/DemoRig.h"
#include "ui/MainWindow.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <cstdio>
#include <functional>

#include <unistd.h>

using namespace korvel;

namespace {

constexpr int kConnectMs = 120000;

// Milliseconds since the kernel started this process (its start time in
// clock ticks after boot against the uptime), so that loading the libraries
// counts as the user's wait does.
double msSinceProcessStart() {
    QFile stat(QStringLiteral("/proc/self/stat"));
    QFile uptime(QStringLiteral("/proc/uptime"));
    if (!stat.open(QIODevice::ReadOnly) || !uptime.open(QIODevice::ReadOnly))
        return -1;
    const QByteArray line = stat.readAll();
    // Field 22 counts after the command name, which may hold spaces.
    const QList<QByteArray> fields = line.mid(line.lastIndexOf(')') + 2).split(' ');
    const double startTicks = fields.value(19).toDouble();
    const double up = uptime.readAll().split(' ').value(0).toDouble();
    return (up - startTicks / static_cast<double>(sysconf(_SC_CLK_TCK))) * 1000;
}

long residentKb() {
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : status.readAll().split('\n'))
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').value(0).toLong();
    return -1;
}

bool waitFor(const std::function<bool()> &done, int ms) {
    QElapsedTimer timer;
    timer.start();
    while (!done()) {
        if (timer.elapsed() > ms)
            return false;
        QTest::qWait(20);
    }
    return true;
}

} // namespace

int main(int argc, char **argv) {
    QApplication app(argc, argv);
    const QStringList args = app.arguments();
    const qsizetype at = args.indexOf(QStringLiteral("--seconds"));
    const int seconds = at >= 0 && at + 1 < args.size() ? qMax(1, args.at(at + 1).toInt()) : 20;

    QTemporaryDir work;
    for (const QString &name : Session::requiredFiles())
        QFile::copy(QDir(QStringLiteral(KORVEL_DATA_DIR)).filePath(name), QDir(work.path()).filePath(name));
    sim::DemoRig rig(work.path());
    QString error;
    if (!rig.start(&error)) {
        fprintf(stderr, "simulator: %s\n", qPrintable(error));
        return 1;
    }
    Session session(work.path());
    session.setSettingOverrides(rig.settingOverrides());
    ui::MainWindow window(session);
    window.resize(1280, 860);
    window.show();
    if (!session.startUp() || !QTest::qWaitForWindowExposed(&window)) {
        fprintf(stderr, "the window did not come up\n");
        return 1;
    }
    QApplication::processEvents();
    printf("startup_ms %.1f\n", msSinceProcessStart());
    printf("rss_start_kb %ld\n", residentKb());
    fflush(stdout);

    session.connectEcu();
    if (!waitFor([&] { return session.charts().built(); }, kConnectMs)) {
        fprintf(stderr, "no diagnostics\n%s\n", qPrintable(session.log().lines().join('\n')));
        return 1;
    }
    for (int q = 1; q <= session.charts().channelCount(); ++q)
        session.charts().setTicked(q, true);
    session.raisePage(control::Paneldia);
    QTest::qWait(seconds * 1000);
    printf("rss_all_charts_kb %ld\n", residentKb());
    printf("frames %d\n", session.charts().framesSinceBuild());
    fflush(stdout);
    session.disconnectEcu();
    waitFor([&] { return !session.isConnecting(); }, kConnectMs);
    session.shutDown();
    return 0;
}
