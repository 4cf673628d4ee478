// Every fault the simulated ECU can make, met during every stage of a session:
// the connect, polling, a firmware read and a table write. Whatever the
// fault, the window's thread keeps running, the log and the error count say
// what happened, a spoilt answer never shows as a diagnostic frame, and the
// session either goes on polling or closes cleanly and connects again.
#include "app/Session.h"
#include "core/ControlNames.h"
#include "core/SettingNames.h"
#include "ecu/EcuTexts.h"
#include "ecu/EcuWriteCommands.h"
#include "sim/Faults.h"
#include "sim/RequestKind.h"
#include "sim/Simulator.h"

#include "SessionRig.h"
#include "SimulatedCar.h"
#include "WaitFor.h"

#include <QElapsedTimer>
#include <QSignalSpy>
#include <QTimer>

#include <gtest/gtest.h>

#include <memory>
#include <optional>
#include <tuple>

using namespace korvel;
using korvel::test::kConnectMs;
using korvel::test::runEventsFor;
using korvel::test::waitFor;
using Rig = korvel::test::SessionRig;
using sim::FaultKind;
using sim::RequestKind;

namespace {

constexpr int kFirmwareReadMs = 300000;
// With the fast exchange each answer is taken as soon as it is in; the read
// timeout only bounds an answer that never comes.
constexpr int kReadTimeOut = 1000;
// A late answer comes well after the read timeout, while the next request is out.
constexpr int kLateMs = 1500;
// The window's thread may stall under a loaded sanitizer run, never for this long.
constexpr qint64 kLongestStallMs = 5000;
constexpr int kTableAddress = 0x9000;
constexpr int kNextWriteAddress = 0x9100;

enum class Stage { Connect, Polling, FirmwareRead, TableWrite };
enum class Ending { Recovers, Disconnects };

// What the log shows for a fault: a line that starts and ends so; `none`: no
// error line at all ("ECU: << " or a counter line).
struct Line {
    QString starts;
    QString ends;
    bool none = false;
    bool matches(const QString &line) const { return line.startsWith(starts) && line.endsWith(ends); }
};

Line silent() {
    return {{}, {}, true};
}
Line exact(const QString &text) {
    return {text, {}};
}

struct Expectation {
    Ending ending;
    int errors; // added to the link error count
    Line line;
};

const char *stageName(Stage stage) {
    switch (stage) {
    case Stage::Connect:
        return "Connect";
    case Stage::Polling:
        return "Polling";
    case Stage::FirmwareRead:
        return "FirmwareRead";
    case Stage::TableWrite:
        return "TableWrite";
    }
    return "";
}

const char *faultName(FaultKind kind) {
    switch (kind) {
    case FaultKind::NoAnswer:
        return "NoAnswer";
    case FaultKind::BadChecksum:
        return "BadChecksum";
    case FaultKind::WrongLength:
        return "WrongLength";
    case FaultKind::NegativeResponse:
        return "NegativeResponse";
    case FaultKind::GarbageBeforeAnswer:
        return "GarbageBeforeAnswer";
    case FaultKind::LateAnswer:
        return "LateAnswer";
    case FaultKind::Vanish:
        return "Vanish";
    case FaultKind::CorruptWrite:
        return "CorruptWrite";
    }
    return "";
}

// The request each stage's fault meets.
RequestKind requestOf(Stage stage) {
    switch (stage) {
    case Stage::Connect:
        return RequestKind::StartCommunication;
    case Stage::Polling:
        return RequestKind::FastFrame;
    case Stage::FirmwareRead:
        return RequestKind::ReadMemory;
    case Stage::TableWrite:
        return RequestKind::WriteMemory;
    }
    return RequestKind::Other;
}

// The K-line echoes every request, so an ECU that keeps silent still leaves
// the echo: the answer then shows as "null". A session answer that is not the
// one expected is an error line with request, answer and expected answer; a
// memory read answer of the wrong shape is a read error; a diagnostic frame
// or a write answer that is wrong fails without a line.
Expectation expectationFor(Stage stage, FaultKind kind) {
    const QString portLost = ecutext::PortLost;
    if (kind == FaultKind::Vanish)
        return {Ending::Disconnects, 0, {portLost, ecutext::PortLostTail}};
    switch (stage) {
    case Stage::Connect: {
        const auto session = [](const char *answer) {
            return exact(QStringLiteral("Запрос - 81; Ответ - %1; (C16B8F)").arg(QLatin1String(answer)));
        };
        switch (kind) {
        case FaultKind::NoAnswer:
        case FaultKind::BadChecksum:
        case FaultKind::GarbageBeforeAnswer:
        case FaultKind::LateAnswer:
            return {Ending::Disconnects, 1, session("null")};
        case FaultKind::WrongLength:
            return {Ending::Disconnects, 1, session("C16B")};
        case FaultKind::NegativeResponse:
            return {Ending::Disconnects, 1, session("7F8122")};
        default:
            break;
        }
        break;
    }
    case Stage::Polling:
        return {Ending::Recovers, 0, silent()};
    case Stage::FirmwareRead: {
        const QString read = ecutext::WrongReadLength + QStringLiteral("2300");
        switch (kind) {
        case FaultKind::NoAnswer:
        case FaultKind::BadChecksum:
        case FaultKind::GarbageBeforeAnswer:
        case FaultKind::LateAnswer:
            return {Ending::Recovers, 1, {read, QStringLiteral("60; Ответ - null;")}};
        case FaultKind::WrongLength:
            return {Ending::Recovers, 1, {read, QString()}};
        case FaultKind::NegativeResponse:
            return {Ending::Recovers, 1, {read, QStringLiteral("60; Ответ - 7F2322;")}};
        default:
            break;
        }
        break;
    }
    case Stage::TableWrite: {
        // No write answer is accepted, so none counts as an error; but a
        // write the ECU refused or never answered is not taken for written.
        const QString block = QStringLiteral("9000");
        switch (kind) {
        case FaultKind::NoAnswer:
        case FaultKind::LateAnswer:
            return {Ending::Recovers, 0, exact(ecutext::WriteUnanswered + block)};
        case FaultKind::NegativeResponse:
            return {Ending::Recovers, 0, exact(ecutext::WriteFailed + block)};
        default:
            return {Ending::Recovers, 0, silent()};
        }
    }
    }
    return {Ending::Recovers, 0, silent()};
}

// Faults after which the ECU has not carried the request out.
bool requestLost(FaultKind kind) {
    return sim::faultSkipsRequest(kind);
}

QByteArray pattern(int size, int seed) {
    QByteArray bytes(size, '\0');
    for (int i = 0; i < size; ++i)
        bytes[i] = static_cast<char>((i * 11 + seed) & 0xFF);
    return bytes;
}

// Only the faults injected may spoil an exchange: a request the program's
// thread writes with a stall on a loaded machine must not be cut in half.
void patientEcu(sim::SimulatorOptions &options) {
    options.interByteTimeoutMs = 2000;
}

using Case = std::tuple<Stage, FaultKind>;

class FaultMatrix : public ::testing::TestWithParam<Case> {
protected:
    void SetUp() override {
        rig = std::make_unique<Rig>(sim::Protocol::Fast, sim::WidebandType::None, patientEcu);
        ASSERT_TRUE(rig->started);
        useQuickExchange();
        // The window's thread: a timer of the test thread must keep firing.
        heartbeat.setInterval(20);
        QObject::connect(&heartbeat, &QTimer::timeout, [this] {
            if (sinceBeat.isValid())
                longestStall = qMax(longestStall, sinceBeat.elapsed());
            sinceBeat.restart();
            ++beats;
        });
        heartbeat.start();
        QObject::connect(&s().log(), &ProgramLog::appended, [this](const QString &line) { appended.append(line); });
        QObject::connect(&s(), &Session::ecuWriteFinished,
                         [this](const EcuWriteResult &result) { writes.append(result); });
    }

    void TearDown() override {
        heartbeat.stop();
        EXPECT_LT(longestStall, kLongestStallMs) << "the window's thread stalled";
        rig.reset(); // while what its signals write into is still there
    }

    Session &s() { return *rig->session; }
    Stage stage() const { return std::get<0>(GetParam()); }
    FaultKind fault() const { return std::get<1>(GetParam()); }
    QString logText() { return s().log().lines().join('\n'); }
    int errors() { return s().workers().ecu().error.load(); }

    // Answers taken as soon as they are in, a second for one that never comes.
    void useQuickExchange() {
        rig->set(setting::OxygenSensor, setting::Narrowband);
        rig->set(setting::FastExchange, setting::Yes);
        rig->set(setting::Timeout1, QStringLiteral("0"));
        rig->set(setting::Timeout2, QString::number(kReadTimeOut));
    }

    void inject() {
        sim::FaultRule rule{fault(), requestOf(stage())};
        rule.delayMs = kLateMs;
        rig->simulator->injectFault(rule);
    }

    // Runs the window's events until `condition`, checking at every turn
    // that the engine values still come from good frames of the steady cruise.
    bool waitWatching(const std::function<bool()> &condition, int ms = 20000) {
        return waitFor(
            [&] {
                watchFrames();
                return condition();
            },
            ms);
    }

    // Once the steady cruise shows, every later frame must show it too.
    void watchFrames() {
        const QByteArray frame = s().workers().ecu().DiagnosticInfo.load();
        if (!frame.isEmpty() && frame.size() != 51)
            badFrames.append(frame);
        const bool cruise = s().live().engine().parameters().rpm == test::steadyCruise().rpm;
        if (cruiseSeen && !cruise)
            badFrames.append(frame);
        cruiseSeen = cruiseSeen || cruise;
    }

    bool connectAndSetUp() {
        if (!rig->connectAndPoll())
            return false;
        if (!waitWatching([&] { return s().controls().isEnabled(control::TButLoadfirmware); }, kConnectMs))
            return false;
        rig->simulator->setLineTiming(false);
        rig->simulator->setLatencyMs(0);
        return true;
    }

    // The requests of the fault's kind that reached the ECU since `from`.
    int requestsOfKind(qsizetype from) const {
        const QList<QByteArray> log = rig->simulator->requestLog();
        int count = 0;
        for (qsizetype i = from; i < log.size(); ++i)
            count += sim::classifyRequest(log[i]) == requestOf(stage()) ? 1 : 0;
        return count;
    }

    void checkLog(const Expectation &expected, const QStringList &lines) {
        runEventsFor(100); // what the worker has handed over so far
        if (expected.line.none) {
            for (const QString &line : lines) {
                EXPECT_FALSE(line.startsWith(QStringLiteral("ECU: << ")) || line.startsWith(ecutext::ErrorNumber))
                    << line.toStdString();
            }
            return;
        }
        // The worker changes its flags before its line reaches the log.
        const auto found = [&] {
            for (const QString &line : lines)
                if (expected.line.matches(line))
                    return true;
            return false;
        };
        EXPECT_TRUE(waitWatching(found)) << "expected a line starting \"" << expected.line.starts.toStdString()
                                         << "\" and ending \"" << expected.line.ends.toStdString() << "\" in:\n"
                                         << lines.join('\n').toStdString();
        if (expected.errors > 0) {
            EXPECT_TRUE(lines.contains(ecutext::ErrorNumber + QString::number(errors())))
                << lines.join('\n').toStdString();
        }
    }

    // Stages: each hits its fault and checks what the stage itself promises.
    void faultDuringConnect() {
        std::optional<EcuConnectOutcome> outcome;
        // Connected for this stage only: the reconnect that follows must not write to `outcome`.
        const QObject stage;
        QObject::connect(&s(), &Session::ecuConnectFinished, &stage, [&](EcuConnectOutcome ended) { outcome = ended; });
        imageBefore = makeDemoFirmware(); // the default firmware the connect loads
        inject();
        s().connectEcu();
        ASSERT_TRUE(waitWatching([&] { return outcome.has_value(); }, kConnectMs)) << logText().toStdString();
        EXPECT_NE(*outcome, EcuConnectOutcome::Polling);
        EXPECT_EQ(s().workers().ecu().IsDiagnostic.load(), 0) << "no polling without a session";
        EXPECT_TRUE(s().workers().ecu().DiagnosticInfo.load().isEmpty());
    }

    void faultDuringPolling() {
        ASSERT_TRUE(connectAndSetUp()) << logText().toStdString();
        errorsBefore = errors();
        imageBefore = s().firmware().image().bytes();
        appended.clear();
        const qsizetype from = rig->simulator->requestLog().size();
        inject();
        // The fault meets one of the next two polls; the third is past it.
        ASSERT_TRUE(waitWatching(
            [&] { return requestsOfKind(from) >= 3 || s().workers().ecu().IsComConnected.load() == 0; }, kConnectMs))
            << logText().toStdString();
    }

    void faultDuringFirmwareRead() {
        ASSERT_TRUE(connectAndSetUp()) << logText().toStdString();
        ASSERT_TRUE(rig->simulator->writeMemory(0x9000, QByteArray::fromHex("0102030405060708")));
        s().workers().ecu().PortTimeOut = 0;
        errorsBefore = errors();
        imageBefore = s().firmware().image().bytes();
        appended.clear();
        QSignalSpy finished(&s(), &Session::firmwareReadFinished);
        rig->simulator->clearRequestLog();
        s().readFirmware();
        // Into the read, past its first blocks.
        const QByteArray tenthBlock = QByteArray::fromHex("2300036060");
        ASSERT_TRUE(waitWatching([&] { return rig->simulator->requestLog().contains(tenthBlock); }, kFirmwareReadMs));
        inject();
        ASSERT_TRUE(waitWatching([&] { return finished.size() == 1; }, kFirmwareReadMs)) << logText().toStdString();
        EXPECT_FALSE(s().statusBar().progressVisible);
        EXPECT_FALSE(s().timers().ReadFWTimer.isActive());
        if (fault() == FaultKind::Vanish) {
            EXPECT_FALSE(finished.first().at(0).toBool());
            EXPECT_TRUE(s().firmware().image().bytes() == imageBefore) << "a failed read leaves the image in work";
            EXPECT_FALSE(appended.contains(QStringLiteral("Прошивка считана из ECU")));
            EXPECT_TRUE(appended.filter(ecutext::FirmwareNoAnswer).size() == 1) << appended.join('\n').toStdString();
            return;
        }
        // One bad answer costs a retry of its block, not the read.
        EXPECT_TRUE(finished.first().at(0).toBool()) << appended.join('\n').toStdString();
        EXPECT_TRUE(s().firmware().image().bytes() == rig->simulator->memory()) << "the ECU's image, whole";
        EXPECT_TRUE(appended.contains(QStringLiteral("Прошивка считана из ECU")));
        EXPECT_FALSE(appended.filter(QStringLiteral("ECU: << Блок ")).isEmpty()) << appended.join('\n').toStdString();
        EXPECT_TRUE(appended.filter(ecutext::FirmwareNoAnswer).isEmpty());
        imageBefore = s().firmware().image().bytes(); // the image in work is the one read
    }

    void faultDuringTableWrite() {
        ASSERT_TRUE(connectAndSetUp()) << logText().toStdString();
        s().workers().ecu().PortTimeOut = 0;
        errorsBefore = errors();
        imageBefore = s().firmware().image().bytes();
        appended.clear();
        const QByteArray table = pattern(256, 3);
        ASSERT_NE(rig->simulator->readMemory(kTableAddress, 256), table);
        inject();
        ASSERT_TRUE(s().submitEcuWrite(ecuwrite::gbcTable(kTableAddress, table)));
        ASSERT_TRUE(waitWatching([&] { return !writes.isEmpty(); }, kConnectMs)) << logText().toStdString();
        const EcuWriteResult result = writes.first();
        EXPECT_EQ(result.command, EcuCommandKind::remakegbc);
        // A block reported written is in the ECU's memory.
        for (int k = 0; k < 4; ++k) {
            const int address = kTableAddress + 64 * k;
            if (rig->simulator->readMemory(address, 64) != table.mid(64 * k, 64)) {
                EXPECT_TRUE(result.failedAddresses.contains(address))
                    << "block " << k << " is reported written but the ECU does not hold it";
            }
        }
        if (requestLost(fault())) {
            EXPECT_TRUE(result.failed()) << "the ECU took no write of the first block";
        }
        EXPECT_TRUE(s().firmware().image().bytes() == imageBefore) << "a write to the ECU leaves the image in work";
    }

    // Endings.
    void checkRecovers() {
        ASSERT_EQ(s().workers().ecu().IsComConnected.load(), 1) << logText().toStdString();
        const int frames = s().live().engine().processedFrames();
        ASSERT_TRUE(waitWatching([&] { return s().live().engine().processedFrames() >= frames + 3; }, kConnectMs))
            << "polling resumes\n"
            << logText().toStdString();
        EXPECT_EQ(errors(), errorsBefore + expected().errors) << logText().toStdString();

        // The session takes the next command and carries it out.
        writes.clear();
        const QByteArray bytes = QByteArray::fromHex("A55AC33C");
        ASSERT_TRUE(waitWatching([&] { return s().submitEcuWrite(ecuwrite::shortWrite(kNextWriteAddress, bytes)); }))
            << logText().toStdString();
        ASSERT_TRUE(waitWatching([&] { return !writes.isEmpty(); }, kConnectMs)) << logText().toStdString();
        EXPECT_FALSE(writes.first().failed());
        EXPECT_EQ(rig->simulator->readMemory(kNextWriteAddress, bytes.size()), bytes);
        EXPECT_TRUE(rig->disconnect());
    }

    void checkDisconnects() {
        if (fault() == FaultKind::Vanish) {
            // The worker closes a device that went away by itself.
            ASSERT_TRUE(waitWatching([&] { return s().workers().ecu().IsComConnected.load() == 0; }, kConnectMs))
                << logText().toStdString();
            EXPECT_TRUE(waitWatching([&] { return s().statusBar().link.text == QLatin1String("OFFLINE"); }));
        }
        EXPECT_EQ(errors(), errorsBefore + expected().errors) << logText().toStdString();
        ASSERT_TRUE(rig->disconnect()) << logText().toStdString();
        EXPECT_TRUE(waitFor([&] { return s().statusBar().link.text == QLatin1String("OFFLINE"); }));
        EXPECT_TRUE(waitFor([&] { return !rig->simulator->ecuPortOpen(); })) << "the port is closed";
        EXPECT_TRUE(s().controls().isEnabled(control::TButConnectEcu));

        // A clean connect follows, to a new device when the old one is gone.
        if (fault() == FaultKind::Vanish) {
            sim::SimulatorOptions options = test::quickSimulatorOptions();
            options.wideband = sim::WidebandType::None;
            patientEcu(options);
            rig->simulator = std::make_unique<sim::Simulator>(options);
            ASSERT_TRUE(rig->simulator->start());
            rig->simulator->setEngineState(test::steadyCruise());
            rig->set(setting::EcuCom, rig->simulator->ecuDevicePath());
        }
        // A set-up shortened for the first connection would now run before polling.
        s().timers().Timer5.setInterval(30000);
        badFrames.clear(); // the reconnect starts a new session
        cruiseSeen = false;
        ASSERT_TRUE(rig->connectAndPoll()) << logText().toStdString();
        EXPECT_EQ(errors(), 0) << logText().toStdString();
        EXPECT_TRUE(rig->disconnect());
    }

    Expectation expected() const { return expectationFor(stage(), fault()); }

    std::unique_ptr<Rig> rig;
    QTimer heartbeat;
    QElapsedTimer sinceBeat;
    qint64 longestStall = 0;
    int beats = 0;
    QStringList appended;
    QList<EcuWriteResult> writes;
    QList<QByteArray> badFrames;
    bool cruiseSeen = false;
    QByteArray imageBefore;
    int errorsBefore = 0;
};

TEST_P(FaultMatrix, StaysResponsiveAndRecoversOrDisconnectsCleanly) {
    const Expectation expectation = expected();
    switch (stage()) {
    case Stage::Connect:
        faultDuringConnect();
        break;
    case Stage::Polling:
        faultDuringPolling();
        break;
    case Stage::FirmwareRead:
        faultDuringFirmwareRead();
        break;
    case Stage::TableWrite:
        faultDuringTableWrite();
        break;
    }
    if (HasFatalFailure())
        return;
    checkLog(expectation, appended);
    EXPECT_TRUE(badFrames.isEmpty()) << "a spoilt answer was taken for a diagnostic frame: "
                                     << badFrames.first().toHex().toStdString();
    EXPECT_TRUE(s().firmware().image().bytes() == imageBefore) << "the image in work changed";

    const int beatsBefore = beats;
    if (expectation.ending == Ending::Recovers)
        checkRecovers();
    else
        checkDisconnects();
    EXPECT_GT(beats, beatsBefore) << "the window's thread kept running";
    EXPECT_TRUE(badFrames.isEmpty());
}

std::string caseName(const ::testing::TestParamInfo<Case> &info) {
    return std::string(stageName(std::get<0>(info.param))) + "_" + faultName(std::get<1>(info.param));
}

INSTANTIATE_TEST_SUITE_P(
    EveryFaultInEveryStage, FaultMatrix,
    ::testing::Combine(::testing::Values(Stage::Connect, Stage::Polling, Stage::FirmwareRead, Stage::TableWrite),
                       ::testing::Values(FaultKind::NoAnswer, FaultKind::BadChecksum, FaultKind::WrongLength,
                                         FaultKind::NegativeResponse, FaultKind::GarbageBeforeAnswer,
                                         FaultKind::LateAnswer, FaultKind::Vanish)),
    caseName);

} // namespace
