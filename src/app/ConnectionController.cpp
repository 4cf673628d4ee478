#include "app/ConnectionController.h"

#include "app/CatalogController.h"
#include "app/FirmwareController.h"
#include "app/LinkWorkers.h"
#include "app/LiveController.h"
#include "app/LiveLoop.h"
#include "app/SessionTimers.h"
#include "app/StatusController.h"
#include "app/ViewState.h"
#include "core/ControlBoard.h"
#include "core/ControlNames.h"
#include "core/ProgramLog.h"
#include "core/SettingNames.h"
#include "core/SettingsList.h"
#include "firmware/FirmwareIdentity.h"
#include "live/FrameLayout.h"
#include "tuning/TuningTables.h"

#include <QDir>
#include <QFileInfo>

namespace korvel {
namespace {

// Pauses of the sequences, in ms.
constexpr int kBeforeWorkerFields = 100;
constexpr int kAfterEngineStop = 300;
constexpr int kBeforeClosingPorts = 500;
constexpr int kBeforeRepaintTimer = 200;
constexpr int kBeforeWindowCloses = 1000;
// How often a disconnect looks whether both workers have closed their ports.
constexpr int kPortsClosedCheckMs = 20;

// Lambda port line settings: even parity, 8 data bits, one stop bit.
constexpr int kLambdaParity = 2;
constexpr int kLambdaByteSize = 8;
constexpr int kLambdaStopBits = 0;

// The standard protocol's own grid choices.
const QStringList kStandardGridChoices = {QStringLiteral("Новая Поправка %"), QStringLiteral("Новое БЦН")};

// Buttons a disconnect disables.
const QStringList &linkButtons() {
    using namespace control;
    static const QStringList names = {TButDisconnectEcu, TButLoadfirmware, TButTune,       TButStopTune,
                                      TButReTune,        TButshowgrid,     TButCalibrovka, ToolButton16,
                                      TButshowSmallDia,  TButshowBiglDia};
    return names;
}

} // namespace

ConnectionController::ConnectionController(Parts parts, QString workDir)
    : m_parts(parts), m_workDir(std::move(workDir)) {
    connect(&parts.timers.Timer3, &QTimer::timeout, this, &ConnectionController::onTimer3);
    connect(&parts.timers.Timer5, &QTimer::timeout, this, &ConnectionController::onTimer5);
    m_portsClosedCheck.setObjectName(QStringLiteral("portsClosedCheck"));
    m_portsClosedCheck.setInterval(kPortsClosedCheckMs);
    connect(&m_portsClosedCheck, &QTimer::timeout, this, &ConnectionController::onPortsClosedCheck);
}

void ConnectionController::after(int ms, std::function<void()> step) {
    ++m_pendingSteps;
    const unsigned sequence = m_sequence;
    QTimer::singleShot(ms, this, [this, sequence, step = std::move(step)] {
        --m_pendingSteps;
        if (sequence == m_sequence)
            step();
    });
}

void ConnectionController::cancel() {
    ++m_sequence;
    m_portsClosedCheck.stop();
    m_waitingForClose = false;
}

void ConnectionController::connectEcu() {
    using namespace control;
    Parts &p = m_parts;
    if (!p.workers.created() || m_linkUp || m_exiting)
        return;
    m_settings = ConnectionSettings::read(p.settings, p.log);
    if (!m_settings)
        return;
    ++m_sequence;
    m_linkUp = true;
    m_setUpArmed = false;
    // The ECU of this connection says who it is; an earlier one's SWID must not match the image.
    p.identity.clearEcuSwid();
    p.status.setTuningOffered(false);
    p.liveController.setSettings(LiveSettings::from(p.settings));

    // 1. The acceleration display starts empty.
    p.controls.setText(RazgonSpeed, QString());
    p.controls.setText(LabelSpeed, QString());
    p.controls.setColor(RazgonSpeed, kRed);

    // 2. Intervals of the tuning timers.
    p.timers.Timer2.setInterval(m_settings->firmwareSaveMs);
    p.timers.Timer4.setInterval(m_settings->writeBackMs);
    p.timers.Timer6.setInterval(m_settings->neighbourMs);

    // 3. The default firmware.
    if (m_settings->loadDefaultFirmware && !m_settings->defaultFirmware.isEmpty()) {
        const QString path = QDir(m_workDir).filePath(m_settings->defaultFirmware);
        if (QFileInfo(path).isFile())
            p.firmware.loadDefaultFirmware(path, m_settings->defaultFirmware);
    }

    // 4. The calibration map the settings name.
    p.catalog.loadConfiguredMap(p.settings.value(setting::FirmwareMap));

    // 5. The protocol's channels.
    p.view.setStatisticsRowNames(channelNames(m_settings->protocol));

    // 6. Buttons of a connection.
    p.controls.setEnabled(TButOpenfirmware, false);
    p.controls.setVisible(BitBtn14, false);
    p.controls.setVisible(BitBtn5, false);
    p.controls.setEnabled(TButDisconnectEcu, true);
    p.controls.setEnabled(TButConnectEcu, false);
    p.view.setProgressVisible(false);

    // 7. The current-cell highlight runs from now on.
    p.timers.FindpointTTimer.start();
    after(kBeforeWorkerFields, [this] { startWorkers(); });
}

void ConnectionController::startWorkers() {
    Parts &p = m_parts;
    const ConnectionSettings &settings = *m_settings;
    TECUThread &ecu = p.workers.ecu();

    // 8. The connect with its link, handed over in one piece.
    ecu.error.store(0);
    p.identity.setDefaultFirmwareFileName(settings.defaultFirmware);
    p.view.setPanelText(0, settings.ecuPort);
    EcuLinkSettings link{settings.ecuPort, settings.ecuSpeed, settings.protocol, settings.portTimeOut,
                         settings.portReadTimeOut};
    link.verifyWrites = settings.verifyWrites;
    link.fastExchange = settings.fastExchange;
    ecu.Command.replace({EcuCommandKind::OpenComPort, link});

    // 9. Timer3 waits for diagnostic polling.
    p.timers.Timer3.start();

    // 10. The CSV log.
    p.live.startConnection(settings.protocol, settings.writeLogs);

    // 11. The wideband controller.
    if (settings.widebandSensor)
        p.workers.lambda().Command.replace(
            {LambdaCommandKind::OpenComPort,
             {settings.lambdaPort, settings.oxygenSensor, kLambdaParity, kLambdaByteSize, kLambdaStopBits}});

    // 12. Settings stay as they are while connected; counters from zero.
    p.settings.setEditable(false);
    ecu.numlog.store(0);
}

void ConnectionController::onTimer3() {
    using namespace control;
    Parts &p = m_parts;
    if (p.workers.ecu().IsDiagnostic.load() == 1) {
        p.timers.Timer3.stop();
        p.controls.setVisible(StringGrid2, true);
        p.controls.setVisible(CheckBoxcolodgrid, true);
        p.timers.engineTimer.start();
        after(kBeforeRepaintTimer, [&p] { p.timers.Timer1.start(); });
        p.controls.setEnabled(TButshowgrid, true);
        p.controls.setEnabled(TButshowSmallDia, true);
        p.controls.setVisible(ScrollBox2, true);
        emit diagnosticsShown(m_settings->protocol == Protocol::Fast);
        emit diagnosticsStarted();
    }
    // Fires once per connection, counted from the first tick.
    if (!m_setUpArmed) {
        m_setUpArmed = true;
        p.timers.Timer5.start();
    }
}

void ConnectionController::onTimer5() {
    using namespace control;
    Parts &p = m_parts;
    p.timers.Timer5.stop();
    p.timers.engineTimer.stop();

    p.view.raisePage(PanelGrid);
    for (const QString &button :
         {TButshowgrid, TButshowSmallDia, TButOpenfirmware, TButLoadfirmware, TButshowBiglDia, ToolButton16, BitBtn5})
        p.controls.setEnabled(button, true);
    p.controls.setVisible(BitBtn5, true);

    const Outcome<TuningTargets> targets =
        p.tables.postConnectSetup(p.settings, p.workers.ecu().komplectecu_b.load(), m_workDir);
    if (targets)
        m_tuningTargets = targets.value();
    p.live.engine().setErrorNames(p.tables.errorNames().names);

    if (m_settings->protocol == Protocol::Standard) {
        // Reading the firmware needs the fast protocol.
        p.controls.setEnabled(TButLoadfirmware, false);
        p.tables.addGridChoices(kStandardGridChoices);
    }
    p.timers.engineTimer.start();
    emit setUpFinished();
}

void ConnectionController::disconnectEcu() {
    using namespace control;
    Parts &p = m_parts;
    if (!p.workers.created() || !m_linkUp || m_exiting || m_waitingForClose)
        return;
    ++m_sequence; // what is left of a connect does not run any more

    // 1. The diagnostic panel goes away.
    p.controls.setVisible(ScrollBox2, false);
    emit diagnosticsHidden();
    emit diagnosticsStopped();
    // A connect that never reached polling must not finish its set-up later.
    p.timers.Timer3.stop();
    p.timers.Timer5.stop();

    // 2. The engine stops; a pending worker command is dropped.
    p.timers.engineTimer.stop();
    after(kAfterEngineStop, [this, &p] {
        p.timers.FindpointTTimer.stop();
        p.workers.ecu().Command.clear();

        // 3. Back to the offline controls; the CSV log writes what it holds.
        p.controls.setEnabled(TButSettings, true);
        p.controls.setEnabled(TButOpenfirmware, true);
        p.controls.setVisible(BitBtn5, true);
        p.controls.setVisible(BitBtn14, true);
        p.live.stopConnection();
        p.settings.setEditable(true);
        p.timers.engineTimer.stop();
        p.timers.Timer2.stop();
        p.timers.Timer4.stop();
        after(kBeforeClosingPorts, [this] { closePorts(); });
    });
}

void ConnectionController::connectFinished(EcuConnectOutcome outcome) {
    if (outcome == EcuConnectOutcome::IdentificationFailed || outcome == EcuConnectOutcome::ClearFailed)
        disconnectEcu();
}

void ConnectionController::closePorts() {
    using namespace control;
    Parts &p = m_parts;
    // 4. Both ports close.
    p.workers.ecu().Command.replace({EcuCommandKind::CloseComPort, {}});
    p.workers.lambda().Command.replace({LambdaCommandKind::CloseComPort, {}});

    // 5. Nothing of the connection stays usable.
    for (const QString &button : linkButtons())
        p.controls.setEnabled(button, false);
    p.status.setTuningOffered(false);
    if (p.view.frontPage() == Paneldia)
        p.view.raisePage(Eculog);
    // Connect comes back only once both workers have closed their ports: a
    // worker still inside a long connect step takes the close after it, and a
    // new connect must not overwrite that close.
    m_waitingForClose = true;
    m_portsClosedCheck.start();
    onPortsClosedCheck();
}

void ConnectionController::onPortsClosedCheck() {
    const LinkWorkers &workers = m_parts.workers;
    const TECUThread &ecu = workers.ecu();
    const TLAMBDAThread &lambda = workers.lambda();
    // A worker that found no port at all takes no command; its port is closed anyway.
    const bool ecuClosed = ecu.IsComConnected.load() == 0 &&
                           (ecu.Command.kind() != EcuCommandKind::CloseComPort || ecu.ErrorComPorts.load() != 0);
    const bool lambdaClosed = !lambda.ComConnect.load() && lambda.Command.kind() != LambdaCommandKind::CloseComPort;
    if (!ecuClosed || !lambdaClosed)
        return;
    m_portsClosedCheck.stop();
    m_waitingForClose = false;
    m_parts.controls.setEnabled(control::TButConnectEcu, true);
    m_linkUp = false;
}

void ConnectionController::exitProgram() {
    Parts &p = m_parts;
    if (m_exiting)
        return;
    m_exiting = true;
    ++m_sequence;
    m_portsClosedCheck.stop();
    const bool workers = p.workers.created();
    const int linkTimeouts = workers ? p.workers.ecu().PortReadTimeOut.load() + p.workers.ecu().PortTimeOut.load() : 0;
    after(std::max(linkTimeouts, 0), [this, &p, workers] {
        if (workers) {
            p.workers.ecu().Command.replace({EcuCommandKind::CloseComPort, {}});
            p.workers.lambda().Command.replace({LambdaCommandKind::CloseComPort, {}});
        }
        after(kBeforeWindowCloses, [&p] { emit p.view.closeRequested(); });
    });
}

} // namespace korvel
