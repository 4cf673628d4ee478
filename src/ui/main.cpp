#include "app/Session.h"
#include "core/StopSignals.h"
#include "sim/DemoRig.h"
#include "ui/DemoMode.h"
#include "ui/MainWindow.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QDir>
#include <QMessageBox>
#include <QTimer>

#include <memory>

int main(int argc, char **argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Korvel Online"));
    QApplication::setApplicationVersion(QStringLiteral(KORVEL_VERSION));

    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Korvel Online: diagnoses and tunes the engine control unit of a petrol car.\n"
                       "Runs in the current folder, which holds config.ini, hexdata.cfg and errors.cfg."));
    parser.addHelpOption();
    parser.addVersionOption();
    const QCommandLineOption demo(QStringLiteral("demo"),
                                  QStringLiteral("Without a car: a simulated ECU and wideband controller, "
                                                 "the demo firmware, and config.ini pointed at them."));
    parser.addOption(demo);
    parser.process(app);

    const QString workDir = QDir::currentPath();
    std::unique_ptr<korvel::sim::DemoRig> rig;
    if (parser.isSet(demo)) {
        rig = std::make_unique<korvel::sim::DemoRig>(workDir);
        QString error;
        if (!rig->start(&error)) {
            QMessageBox::critical(nullptr, QApplication::applicationName(),
                                  QStringLiteral("The simulator did not start: ") + error);
            return 1;
        }
    }

    korvel::Session session(workDir);
    if (rig) {
        session.setSettingOverrides(rig->settingOverrides());
        korvel::ui::openFirmwareWhenConnected(session, QDir(workDir).filePath(korvel::sim::DemoRig::kFirmwareFile));
    }
    korvel::ui::MainWindow window(session);
    // Ctrl+C or a shutdown of the system closes the window as the user would:
    // the CSV log is written and the ports are let go.
    korvel::StopSignals stopSignals;
    QObject::connect(&stopSignals, &korvel::StopSignals::received, &window, &QWidget::close);
    window.show();
    // Start-up may show a message; inside the event loop a signal that closes
    // the window then also ends the program.
    QTimer::singleShot(0, &session, [&session] { session.startUp(); });
    const int status = QApplication::exec();
    session.shutDown(); // the workers let go of the devices before the simulator goes
    return status;
}
