#include "app/Connection.h"

#include "app/Session.h"
#include "core/SettingNames.h"
#include "core/ControlNames.h"
#include "ecu/EcuCommands.h"
#include "firmware/FirmwareFiles.h"
#include "live/FrameLayout.h"

#include <QFileInfo>
#include <QTimer>

namespace korvel {
namespace {

// Pauses of the sequences, in ms.
constexpr int kBeforeWorkerFields = 100;
constexpr int kAfterEngineStop = 300;
constexpr int kBeforeClosingPorts = 500;
constexpr int kBeforeRepaintTimer = 200;
constexpr int kBeforeWindowCloses = 1000;

// Lambda port line settings: even parity, 8 data bits, one stop bit.
constexpr int kLambdaParity = 2;
constexpr int kLambdaByteSize = 8;
constexpr int kLambdaStopBits = 0;

const QString kUnknownProtocol = QStringLiteral("Ошибка: '%1' не является протоколом обмена (настройка \"%2\")");
const QString kNotAnInterval = QStringLiteral("Ошибка: '%1' не является интервалом в мс больше нуля (настройка \"%2\")");
const QString kNoMap = QStringLiteral("Карта не загружена");
// The standard protocol's own grid choices.
const QStringList kStandardGridChoices = {QStringLiteral("Новая Поправка %"), QStringLiteral("Новое БЦН")};

// Buttons a disconnect disables.
const QStringList &linkButtons() {
    using namespace control;
    static const QStringList names = {TButDisconnectEcu, TButLoadfirmware, TButTune,   TButStopTune,
                                      TButReTune,        TButshowgrid,     TButCalibrovka, ToolButton16,
                                      TButshowSmallDia,  TButshowBiglDia};
    return names;
}

} // namespace

std::optional<ConnectSettings> ConnectSettings::read(const SettingsList &settings, ProgramLog &log) {
    ConnectSettings read;
    const std::pair<const QString *, int *> fields[] = {
        {&setting::Timeout1, &read.portTimeOut},
        {&setting::Timeout2, &read.portReadTimeOut},
        {&setting::FirmwareSaveInterval, &read.firmwareSaveMs},
        {&setting::WriteBackInterval, &read.writeBackMs},
        {&setting::NeighbourInterval, &read.neighbourMs},
        {&setting::MinLoad, &read.minLoadPercent},
    };
    for (const auto &[name, field] : fields) {
        const std::optional<int> value = settings.integer(*name, log);
        if (!value)
            return std::nullopt;
        *field = *value;
    }
    // A timer of 0 ms would fire on every pass of the event loop.
    for (const auto &[name, value] : {std::pair{&setting::FirmwareSaveInterval, read.firmwareSaveMs},
                                      std::pair{&setting::WriteBackInterval, read.writeBackMs},
                                      std::pair{&setting::NeighbourInterval, read.neighbourMs}})
        if (value <= 0) {
            log.append(kNotAnInterval.arg(settings.value(*name), *name));
            return std::nullopt;
        }
    return read;
}

Connection::Connection(Session &session) : m_session(session) {
    connect(&session.timers.Timer3, &QTimer::timeout, this, &Connection::onTimer3);
    connect(&session.timers.Timer5, &QTimer::timeout, this, &Connection::onTimer5);
}

void Connection::after(int ms, std::function<void()> step) {
    ++m_pendingSteps;
    const unsigned sequence = m_sequence;
    QTimer::singleShot(ms, this, [this, sequence, step = std::move(step)] {
        --m_pendingSteps;
        if (sequence == m_sequence)
            step();
    });
}

void Connection::connectEcu() {
    using namespace control;
    Session &s = m_session;
    if (!s.workers.created() || m_linkUp || m_exiting)
        return;
    const QString protocolName = s.settings.value(setting::Protocol);
    const std::optional<Protocol> protocol = protocolFromSetting(protocolName);
    if (!protocol) {
        s.log.append(kUnknownProtocol.arg(protocolName, setting::Protocol));
        return;
    }
    m_settings = ConnectSettings::read(s.settings, s.log);
    if (!m_settings)
        return;
    ++m_sequence;
    m_protocol = *protocol;
    m_linkUp = true;
    m_setUpArmed = false;
    // The ECU of this connection says who it is; an earlier one's SWID must not match the image.
    s.identity.clearEcuSwid();

    // 1. The acceleration display starts empty.
    s.controls.setText(control::RazgonSpeed, QString());
    s.controls.setText(control::LabelSpeed, QString());
    s.controls.setColor(control::RazgonSpeed, control::kRed);

    // 2. Intervals of the tuning timers.
    s.timers.Timer2.setInterval(m_settings->firmwareSaveMs);
    s.timers.Timer4.setInterval(m_settings->writeBackMs);
    s.timers.Timer6.setInterval(m_settings->neighbourMs);

    // 3. The default firmware.
    const QString defaultFirmware = s.settings.value(setting::DefaultFirmware);
    if (s.settings.value(setting::LoadDefaultFirmware) == setting::Yes && !defaultFirmware.isEmpty()) {
        const QString path = s.pathInWorkDir(defaultFirmware);
        if (QFileInfo(path).isFile())
            loadDefaultFirmware(path, s.firmware, s.identity, s.log, &s.controls);
    }

    // 4. The calibration map label.
    s.controls.setText(Label59, kNoMap);

    // 5. The protocol's channels.
    s.setStatisticsRowNames(channelNames(m_protocol));

    // 6. Buttons of a connection.
    s.controls.setEnabled(TButOpenfirmware, false);
    s.controls.setVisible(BitBtn14, false);
    s.controls.setVisible(BitBtn5, false);
    s.controls.setEnabled(TButDisconnectEcu, true);
    s.controls.setEnabled(TButConnectEcu, false);
    StatusBarState bar = s.statusBar();
    bar.progressVisible = false;
    s.setStatusBar(bar);

    // 7. The current-cell highlight runs from now on.
    s.timers.FindpointTTimer.start();
    after(kBeforeWorkerFields, [this] { startWorkers(m_protocol); });
}

void Connection::startWorkers(Protocol protocol) {
    using namespace control;
    Session &s = m_session;
    TECUThread &ecu = s.workers.ecu();

    // 8. Every field before the command.
    const QString port = s.settings.value(setting::EcuCom);
    ecu.error.store(0);
    ecu.PortName.store(port);
    ecu.PortSpeed.store(s.settings.value(setting::EcuSpeed));
    ecu.Protocol.store(protocol == Protocol::Standard ? kStandardProtocol : kFastProtocol);
    ecu.PortTimeOut.store(m_settings->portTimeOut);
    ecu.PortReadTimeOut.store(m_settings->portReadTimeOut);
    ecu.PPortReadTimeOut.store(m_settings->portReadTimeOut);
    s.identity.setDefaultFirmwareFileName(s.settings.value(setting::DefaultFirmware));
    StatusBarState bar = s.statusBar();
    bar.panelText[0] = port;
    s.setStatusBar(bar);
    ecu.Command.store(ecucommand::OpenComPort);

    // 9. Timer3 waits for diagnostic polling.
    s.timers.Timer3.start();

    // 10. The CSV log.
    s.live.startConnection(protocol, s.settings.value(setting::WriteLogs) == setting::Yes, s.logFieldSeparator());

    // 11. The wideband controller.
    const QString sensor = s.settings.value(setting::OxygenSensor);
    if (sensor != setting::Narrowband) {
        TLAMBDAThread &lambda = s.workers.lambda();
        lambda.PortName.store(s.settings.value(setting::LambdaCom));
        lambda.typeafr.store(sensor);
        lambda.PortParity.store(kLambdaParity);
        lambda.PortByteSize.store(kLambdaByteSize);
        lambda.PortStopBits.store(kLambdaStopBits);
        lambda.Command.store(lambdacommand::OpenComPort);
    }

    // 12. Settings stay as they are while connected; counters from zero.
    s.settings.setEditable(false);
    ecu.numlog.store(0);
}

void Connection::onTimer3() {
    using namespace control;
    Session &s = m_session;
    if (s.workers.ecu().IsDiagnostic.load() == 1) {
        s.timers.Timer3.stop();
        s.controls.setVisible(StringGrid2, true);
        s.controls.setVisible(CheckBoxcolodgrid, true);
        s.timers.engineTimer.start();
        after(kBeforeRepaintTimer, [&s] { s.timers.Timer1.start(); });
        s.controls.setEnabled(TButshowgrid, true);
        s.controls.setEnabled(TButshowSmallDia, true);
        s.controls.setVisible(ScrollBox2, true);
    }
    // Fires once per connection, counted from the first tick.
    if (!m_setUpArmed) {
        m_setUpArmed = true;
        s.timers.Timer5.start();
    }
}

void Connection::onTimer5() {
    using namespace control;
    Session &s = m_session;
    s.timers.Timer5.stop();
    s.timers.engineTimer.stop();

    s.raisePage(PanelGrid);
    for (const QString &button : {TButshowgrid, TButshowSmallDia, TButOpenfirmware, TButLoadfirmware,
                                  TButshowBiglDia, ToolButton16, BitBtn5})
        s.controls.setEnabled(button, true);
    s.controls.setVisible(BitBtn5, true);

    const Outcome<TuningTargets> targets =
        s.tables.postConnectSetup(s.settings, s.workers.ecu().komplectecu_b.load(), s.workDir());
    if (targets)
        s.setTuningTargets(targets.value());
    s.live.engine().setErrorNames(s.tables.errorNames().names);

    if (m_protocol == Protocol::Standard) {
        // Reading the firmware needs the fast protocol.
        s.controls.setEnabled(TButLoadfirmware, false);
        s.tables.addGridChoices(kStandardGridChoices);
    }
    s.timers.engineTimer.start();
}

void Connection::disconnectEcu() {
    using namespace control;
    Session &s = m_session;
    if (!s.workers.created() || !m_linkUp || m_exiting)
        return;
    ++m_sequence; // what is left of a connect does not run any more

    // 1. The diagnostic panel goes away.
    s.controls.setVisible(ScrollBox2, false);
    // A connect that never reached polling must not finish its set-up later.
    s.timers.Timer3.stop();
    s.timers.Timer5.stop();

    // 2. The engine stops; a pending worker command is dropped.
    s.timers.engineTimer.stop();
    after(kAfterEngineStop, [this, &s] {
        s.timers.FindpointTTimer.stop();
        s.workers.ecu().Command.store(QString());

        // 3. Back to the offline controls; the CSV log writes what it holds.
        s.controls.setEnabled(TButSettings, true);
        s.controls.setEnabled(TButOpenfirmware, true);
        s.controls.setVisible(BitBtn5, true);
        s.controls.setVisible(BitBtn14, true);
        s.live.stopConnection();
        s.settings.setEditable(true);
        s.timers.engineTimer.stop();
        s.timers.Timer2.stop();
        s.timers.Timer4.stop();
        after(kBeforeClosingPorts, [this] { finishDisconnect(); });
    });
}

void Connection::finishDisconnect() {
    using namespace control;
    Session &s = m_session;
    // 4. Both ports close.
    s.workers.ecu().Command.store(ecucommand::CloseComPort);
    s.workers.lambda().Command.store(lambdacommand::CloseComPort);

    // 5. Nothing of the connection stays usable.
    for (const QString &button : linkButtons())
        s.controls.setEnabled(button, false);
    s.controls.setEnabled(TButConnectEcu, true);
    if (s.frontPage() == Paneldia)
        s.raisePage(Eculog);
    m_linkUp = false;
}

void Connection::exitProgram() {
    Session &s = m_session;
    if (m_exiting)
        return;
    m_exiting = true;
    ++m_sequence;
    const bool workers = s.workers.created();
    const int linkTimeouts =
        workers ? s.workers.ecu().PortReadTimeOut.load() + s.workers.ecu().PortTimeOut.load() : 0;
    after(std::max(linkTimeouts, 0), [this, &s, workers] {
        if (workers) {
            s.workers.ecu().Command.store(ecucommand::CloseComPort);
            s.workers.lambda().Command.store(lambdacommand::CloseComPort);
        }
        after(kBeforeWindowCloses, [&s] { emit s.closeRequested(); });
    });
}

} // namespace korvel
