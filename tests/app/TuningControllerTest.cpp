#include "app/TuningController.h"
#include "TestSupport.h"
#include "WaitFor.h"
#include "app/LiveLoop.h"
#include "app/SessionTimers.h"
#include "app/ViewState.h"
#include "core/ControlBoard.h"
#include "core/ControlNames.h"
#include "core/LogDirectory.h"
#include "core/ProgramLog.h"
#include "core/SettingNames.h"
#include "core/SettingsList.h"
#include "firmware/Conversions.h"
#include "firmware/DemoFirmware.h"
#include "firmware/FirmwareIdentity.h"
#include "firmware/FirmwareStore.h"
#include "live/EngineTick.h"
#include "live/LiveSettings.h"
#include "live/TuningTrace.h"
#include "tuning/CorrectionRules.h"
#include "tuning/TuningTables.h"
#include "tuning/TuningWrites.h"
#include "tuning/WriteBack.h"

#include <QDirIterator>
#include <QFile>

#include <cmath>

#include <gtest/gtest.h>

using namespace korvel;

namespace {

class Writes : public TuningWrites {
public:
    bool isBusy = false;
    QStringList commands;
    QList<QByteArray> data;
    QList<int> addresses;
    int blocks = 0, lastCount = 0;

    bool busy() const override { return isBusy; }
    void remake(int address, std::uint8_t value, int) override { note("remake", address, QByteArray(1, char(value))); }
    void remakeFourPoints(int address, const QByteArray &b) override { note("remake_four_points", address, b); }
    void remakeGbc(int address, const QByteArray &b) override { note("remakegbc", address, b); }
    void remakePopr(int address, const QByteArray &b) override { note("remakepopr", address, b); }
    void remakeUoz(int address, const QByteArray &b) override { note("remakeuoz", address, b); }
    void correct23DF(int address, const QByteArray &b, int n, int last) override {
        note("correct23DF", address, b);
        blocks = n;
        lastCount = last;
    }

private:
    void note(const QString &command, int address, const QByteArray &bytes) {
        commands.append(command);
        addresses.append(address);
        data.append(bytes);
    }
};

const QStringList kDemoComplectation = {"29", "10", "00", "00", "00", "00", "00", "00", "00", "00", "00"};

// The demo firmware identified and set up as after a connect, a tuning
// controller on it with a link that is up and the engine timer running.
struct Rig {
    test::WorkDir dir;
    SessionTimers timers;
    SettingsList settings;
    ProgramLog log;
    ControlBoard board;
    ViewState view;
    FirmwareStore store{&log, &board};
    FirmwareIdentity identity;
    TuningTables tables{store, identity, log, &board};
    Writes writes;
    bool linkUp = true;
    bool offered = true;
    TuningController tuning{{timers, settings, log, board, view, store, identity, tables},
                            {[this] { return linkUp; }, [this](bool on) { offered = on; }, nullptr}};

    explicit Rig(const QString &firmwareType = "j5ls") {
        settings.setValue(setting::FirmwareType, firmwareType);
        settings.setValue(setting::TuneBy, "Дросселю");
        for (const auto &[name, value] : std::initializer_list<std::pair<QString, QString>>{
                 {setting::MinRpm, "600"},
                 {setting::MinCorrection, "0.5"},
                 {setting::MaxCorrection, "1.5"},
                 {setting::NeighbourFactor, "50"},
                 {setting::PhaseTuning, "нет"},
                 {setting::FourPoints, "нет"},
                 {setting::FirmwareSaveInterval, "60000"},
                 {setting::WriteBackInterval, "10000"},
                 {setting::NeighbourInterval, "5000"},
             })
            settings.setValue(name, value);
        tables.startUp(dir.path());
        store.loadImage(*FirmwareImage::fromBytes(makeDemoFirmware()));
        identity.ImageSwid(store.image());
        identity.EcuSwid(store.image().slice(0, 224));
        tables.postConnectSetup(settings, kDemoComplectation, dir.path());
        tuning.setWrites(&writes);
        tuning.startConnection(Protocol::Fast);
        timers.engineTimer.start(3600000);
        log.clear();
    }
    static void fire(QTimer &timer) { QMetaObject::invokeMethod(&timer, "timeout"); }
    std::int64_t gbcTable() const { return tables.addressSets().air().gbcTable; }
};

} // namespace

TEST(TuningControl, StartAndStopSwitchTimersAndButtons) {
    struct Case {
        QString neighbourFactor, phaseTuning;
        bool timer6, timerFasa;
    } cases[] = {{"0", "да", false, true}, {"50", "нет", true, false}, {"-1", "нет", false, false}};
    for (const Case &c : cases) {
        Rig rig;
        rig.settings.setValue(setting::NeighbourFactor, c.neighbourFactor);
        rig.settings.setValue(setting::PhaseTuning, c.phaseTuning);
        rig.settings.setValue(setting::IntakeOpen, "20");
        rig.settings.setValue(setting::IntakeClose, "40");
        ASSERT_TRUE(rig.tuning.startTuning()) << rig.log.lines().join("\n").toStdString();
        EXPECT_TRUE(rig.tuning.tuningOn());
        EXPECT_EQ(rig.tuning.accumulator().neighbourOn(), c.timer6) << c.neighbourFactor.toStdString();
        EXPECT_EQ(rig.timers.Timer6.isActive(), c.timer6) << c.neighbourFactor.toStdString();
        EXPECT_EQ(rig.timers.TimerFasa.isActive(), c.timerFasa) << c.phaseTuning.toStdString();
        EXPECT_TRUE(rig.timers.Timer4.isActive());
        EXPECT_TRUE(rig.timers.Timer2.isActive());
        EXPECT_EQ(rig.timers.Timer2.interval(), 60000);
        EXPECT_FALSE(rig.board.isEnabled(control::TButTune));
        EXPECT_TRUE(rig.board.isEnabled(control::TButStopTune));
        EXPECT_FALSE(rig.offered);

        rig.tables.grid().at(3, 3).sampleCount = 4;
        rig.tuning.stopTuning();
        EXPECT_FALSE(rig.tuning.tuningOn());
        for (QTimer *t : {&rig.timers.Timer2, &rig.timers.Timer4, &rig.timers.Timer6, &rig.timers.TimerFasa})
            EXPECT_FALSE(t->isActive()) << t->objectName().toStdString();
        EXPECT_TRUE(rig.board.isEnabled(control::TButTune));
        EXPECT_FALSE(rig.board.isEnabled(control::TButStopTune));
        EXPECT_TRUE(rig.offered);
        EXPECT_EQ(rig.tables.grid().at(3, 3).sampleCount, 4) << "stopping keeps the samples";
    }
}

TEST(TuningControl, ABadTuningSettingStopsTheStartAndIsNamed) {
    struct Case {
        QString name, value;
    } cases[] = {
        {setting::CorrectionWeight, "семьдесят"}, {setting::MaxCorrection, ""}, {setting::WriteBackInterval, "0"}};
    for (const Case &c : cases) {
        Rig rig;
        rig.settings.setValue(c.name, c.value);
        EXPECT_FALSE(rig.tuning.startTuning()) << c.name.toStdString();
        EXPECT_FALSE(rig.tuning.tuningOn());
        EXPECT_FALSE(rig.timers.Timer4.isActive());
        ASSERT_FALSE(rig.log.lines().isEmpty()) << c.name.toStdString();
        EXPECT_TRUE(rig.log.last().contains(c.name)) << rig.log.last().toStdString();
    }
}

TEST(TuningControl, ChannelOneCarriesTheComputedWorkingPoint) {
    Rig rig;
    ControlBoard board;
    EngineTick engine(board);
    engine.startConnection(Protocol::Fast);
    QByteArray frame(51, '\0');
    frame[7] = char(200); // the ECU's own working point byte
    frame[11] = 20;       // throttle %
    frame[12] = 75;       // 3000 rpm
    engine.processFrame(frame, 1, {});
    TuningTrace trace;
    rig.tuning.engineStep(engine, true, trace, TuningInstant{});

    const GridAxes &axes = rig.tables.axes();
    const int expected = (axes.throttleTable[20] >> 4) * 16 + (axes.speedTable[3000 / axes.rpmStep] >> 4);
    EXPECT_EQ(rig.tuning.workingPoint().index(), expected);
    EXPECT_EQ(engine.channels().value(1), static_cast<float>(expected));
    EXPECT_NE(expected, 200);
    EXPECT_EQ(rig.view.statusBar().panelText[5], "GBC//P/A//All:0//0/0//0");
}

TEST(TuningControl, Timer4WritesNewFillingsAndRetriesWhileTheWorkerIsBusy) {
    for (const QString type : {"j5ls", "vrk"}) {
        Rig rig(type);
        ASSERT_TRUE(rig.tuning.startTuning());
        ASSERT_EQ(rig.identity.FirmwareFamily(), type == "vrk" ? 2 : 1);
        const QByteArray secondCopyBefore = rig.store.image().slice(kSecondGbcCopy, 256);

        // Nothing new: no write, no message.
        Rig::fire(rig.timers.Timer4);
        EXPECT_TRUE(rig.writes.commands.isEmpty());
        EXPECT_TRUE(rig.log.lines().isEmpty());

        rig.tables.grid().at(2, 5).gbcNew = 100;
        rig.writes.isBusy = true;
        Rig::fire(rig.timers.Timer4);
        EXPECT_EQ(rig.log.lines(), QStringList{kGbcRetry});
        EXPECT_EQ(rig.timers.Timer4.interval(), 1000);
        EXPECT_EQ(rig.tuning.accumulator().counters().gbcWrites, 0);

        rig.writes.isBusy = false;
        Rig::fire(rig.timers.Timer4);
        EXPECT_EQ(rig.log.last(), kGbcWrite + "1)") << "the retry writes though nothing else changed";
        ASSERT_EQ(rig.writes.commands, QStringList{"remakegbc"});
        const QByteArray table = rig.writes.data[0];
        EXPECT_EQ(static_cast<std::uint8_t>(table[2 * 16 + 5]), 38);
        EXPECT_EQ(rig.store.image().slice(rig.gbcTable(), 256), table);
        EXPECT_EQ(rig.timers.Timer4.interval(), 10000);
        EXPECT_EQ(rig.tuning.accumulator().counters().gbcWrites, 1);
        EXPECT_TRUE(rig.timers.Timer4.isActive());
        ASSERT_NE(secondCopyBefore, table);
        // VRK's by-pressure table is no copy of the throttle one: it lies over
        // another axis on another scale. Nothing is copied; the log says so once.
        EXPECT_EQ(rig.store.image().slice(kSecondGbcCopy, 256), secondCopyBefore);
        EXPECT_EQ(rig.log.lines().count(kNoSecondGbcCopy), type == "vrk" ? 1 : 0);
        rig.tables.grid().at(2, 6).gbcNew = 100;
        Rig::fire(rig.timers.Timer4);
        EXPECT_EQ(rig.log.lines().count(kNoSecondGbcCopy), type == "vrk" ? 1 : 0) << "once";
    }
}

TEST(TuningControl, WriteBackSkipsSilentlyWithoutLinkOrTuning) {
    Rig rig;
    rig.tables.grid().at(2, 5).gbcNew = 100;
    Rig::fire(rig.timers.Timer4); // tuning off
    ASSERT_TRUE(rig.tuning.startTuning());
    rig.linkUp = false;
    Rig::fire(rig.timers.Timer4);
    EXPECT_TRUE(rig.writes.commands.isEmpty());
    EXPECT_TRUE(rig.log.lines().isEmpty());
    EXPECT_TRUE(rig.timers.Timer4.isActive()) << "the timer stays armed";
}

TEST(TuningControl, Timer6HandsOverTheLearnedCorrections) {
    Rig rig;
    ASSERT_TRUE(rig.tuning.startTuning());
    TuningCell &cell = rig.tables.grid().at(4, 6);
    cell.learned = cell.corrCurrent + 0.1f;
    rig.writes.isBusy = true;
    Rig::fire(rig.timers.Timer6);
    EXPECT_EQ(rig.log.lines(), QStringList{"РТ не записались. Перезапись через 1сек.!5000"});
    EXPECT_EQ(rig.timers.Timer6.interval(), 1000);
    EXPECT_TRUE(rig.timers.engineTimer.isActive());

    cell.learned += 0.1f;
    rig.writes.isBusy = false;
    Rig::fire(rig.timers.Timer6);
    EXPECT_EQ(rig.log.last(), kNeighbourWrite + "1)");
    ASSERT_EQ(rig.writes.commands, QStringList{"remakepopr"});
    const std::int64_t table = rig.tables.addressSets().air().correctionTable;
    EXPECT_EQ(rig.writes.addresses[0], table);
    EXPECT_EQ(rig.store.image().slice(table, 256), rig.writes.data[0]);
    EXPECT_EQ(rig.timers.Timer6.interval(), 5000);
    EXPECT_EQ(cell.applied, 1) << "taken over once, when it was handed over";
}

// A file opened while connected: the counters start again, and the engine
// tick and the write-back stop for the new image and come back 200 ms later.
TEST(TuningControl, AnImageOpenedWhileConnectedRestartsCountersAndTimers) {
    for (const bool neighbours : {false, true}) {
        Rig rig;
        rig.settings.setValue(setting::NeighbourFactor, neighbours ? "50" : "0");
        ASSERT_TRUE(rig.tuning.startTuning());
        rig.tuning.accumulator().counters().evaluations = 7;
        rig.tuning.accumulator().counters().gbcWrites = 2;
        rig.tuning.imageOpenedWhileConnected();
        EXPECT_EQ(rig.tuning.statusText(), "GBC//P/A//All:0//0/0//0");
        for (QTimer *timer : {&rig.timers.engineTimer, &rig.timers.Timer4, &rig.timers.Timer6})
            EXPECT_FALSE(timer->isActive()) << timer->objectName().toStdString();
        EXPECT_TRUE(test::waitFor([&] { return rig.timers.engineTimer.isActive(); }, 5000));
        EXPECT_TRUE(rig.timers.Timer4.isActive());
        EXPECT_EQ(rig.timers.Timer6.isActive(), neighbours) << "neighbour learning goes on where it ran";
    }
}

TEST(TuningControl, EditorTablesAndTheIgnitionRework) {
    Rig rig;
    rig.tuning.scheduleTableWrite(0x5000, 100);
    rig.writes.isBusy = true;
    Rig::fire(rig.timers.TimerRW);
    EXPECT_TRUE(rig.writes.commands.isEmpty());
    EXPECT_TRUE(rig.timers.TimerRW.isActive()) << "tries again while the worker is busy";
    rig.writes.isBusy = false;
    Rig::fire(rig.timers.TimerRW);
    ASSERT_EQ(rig.writes.commands, QStringList{"correct23DF"});
    EXPECT_EQ(rig.writes.addresses[0], 0x5000);
    EXPECT_EQ(rig.writes.blocks, 2);
    EXPECT_EQ(rig.writes.lastCount, 36);
    EXPECT_EQ(rig.writes.data[0].size(), 128);

    rig.tuning.reworkIgnition();
    EXPECT_TRUE(rig.board.isVisible(control::Button7));
    EXPECT_FALSE(rig.board.isVisible(control::BitBtn15));
    rig.timers.Timer4.start();
    rig.tuning.writeIgnition();
    EXPECT_EQ(rig.log.last(), kIgnitionWrite);
    ASSERT_EQ(rig.writes.commands.last(), "remakeuoz");
    EXPECT_EQ(rig.writes.addresses.last(), kPartLoadIgnitionTable);
    EXPECT_EQ(rig.writes.data.last(), rig.store.image().slice(kPartLoadIgnitionTable, 256));
    EXPECT_TRUE(rig.timers.Timer4.isActive());
    EXPECT_TRUE(rig.timers.engineTimer.isActive());
    EXPECT_FALSE(rig.board.isVisible(control::Button7));
}

TEST(TuningControl, TheHighlightTimerMarksTheCellOrTheFourPointBlock) {
    for (const QString fourPoint : {"нет", "да"}) {
        Rig rig;
        rig.settings.setValue(setting::FourPoints, fourPoint);
        rig.settings.setValue(setting::ShowMinMax, "да");
        ControlBoard board;
        EngineTick engine(board);
        engine.startConnection(Protocol::Fast);
        QByteArray frame(51, '\0');
        frame[11] = 20; // throttle %
        frame[12] = 75; // 3000 rpm
        engine.processFrame(frame, 1, {});
        TuningTrace trace;
        rig.tuning.engineStep(engine, true, trace, TuningInstant{});
        Rig::fire(rig.timers.FindpointTTimer);

        const auto &highlight = rig.tuning.marking().highlight;
        ASSERT_TRUE(highlight) << fourPoint.toStdString();
        const GridAxes &axes = rig.tables.axes();
        const int col = highlight->col;
        const int row = highlight->row;
        if (fourPoint == "да") {
            EXPECT_EQ(highlight->rows, 2);
            EXPECT_EQ(highlight->cols, 2);
            EXPECT_LE(axes.rpm[static_cast<std::size_t>(col)], 3000);
            EXPECT_GT(axes.rpm[static_cast<std::size_t>(col + 1)], 3000);
        } else {
            EXPECT_EQ(highlight->rows * highlight->cols, 1);
            EXPECT_LT(axes.rpmBounds[static_cast<std::size_t>(col)], 3000);
            EXPECT_GE(axes.rpmBounds[static_cast<std::size_t>(col + 1)], 3000);
            EXPECT_LT(axes.throttleBounds[static_cast<std::size_t>(row)], 20);
            EXPECT_GE(axes.throttleBounds[static_cast<std::size_t>(row + 1)], 20);
        }
        TuningGridModel model(rig.tables);
        model.setMarking(rig.tuning.marking());
        EXPECT_EQ(model.data(model.index(row, col), TuningGridModel::ColourRole), QVariant(0xFF0000));
        EXPECT_FALSE(model.data(model.index(row + 2, col + 2), TuningGridModel::ColourRole).isValid());
        EXPECT_FALSE(rig.tuning.scaleLabels()) << "every cell shows 0";
    }
}

TEST(TuningControl, TheCsvLineCarriesTheComputedWorkingPointAndTheTrace) {
    Rig rig;
    ControlBoard board;
    LogDirectory directory(rig.dir.path());
    ProgramLog log;
    LiveLoop live(board, directory, log);
    live.setTuningStep([&rig](EngineTick &engine, bool newRequest, TuningTrace &trace) {
        rig.tuning.engineStep(engine, newRequest, trace, TuningInstant{});
    });
    ASSERT_TRUE(rig.tuning.startTuning());
    live.startConnection(Protocol::Fast, true);
    QByteArray frame(51, '\0');
    frame[7] = char(200);
    frame[11] = 20;
    frame[12] = 75;
    live.tick(frame, 1, {});
    live.stopConnection();

    QDirIterator files(rig.dir.path(), {"лог.csv"}, QDir::Files, QDirIterator::Subdirectories);
    ASSERT_TRUE(files.hasNext());
    QFile file(files.next());
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QStringList lines = QString::fromUtf8(file.readAll()).split("\r\n", Qt::SkipEmptyParts);
    ASSERT_EQ(lines.size(), 2);
    const QStringList fields = lines.last().split(kLogFieldSeparator);
    EXPECT_EQ(fields.value(1), QString::number(rig.tuning.workingPoint().index())) << "not the ECU's 200";
    EXPECT_EQ(fields.value(fields.size() - 8), "1") << "tuning started";
}

TEST(TuningControl, TimerFasaWritesThePhaseTableInFourBlocks) {
    Rig rig;
    rig.settings.setValue(setting::PhaseTuning, "да");
    rig.settings.setValue(setting::IntakeOpen, "20");
    rig.settings.setValue(setting::IntakeClose, "40");
    ASSERT_TRUE(rig.tuning.startTuning());
    ASSERT_TRUE(rig.timers.TimerFasa.isActive());
    const std::int64_t table = HexToInt(rig.tables.addressSets().address(tuningcolumn::Phase)).valueOr(-1);
    ASSERT_GE(table, 0);
    rig.tables.grid().at(6, 9).phase = 442;

    rig.writes.isBusy = true;
    Rig::fire(rig.timers.TimerFasa);
    EXPECT_EQ(rig.log.lines(), QStringList{kPhaseRetry});
    EXPECT_EQ(rig.timers.TimerFasa.interval(), 1000);
    EXPECT_EQ(rig.store.image().byteAt(table + 6 * 16 + 9), 74) << "the image has it at once";

    rig.writes.isBusy = false;
    Rig::fire(rig.timers.TimerFasa);
    EXPECT_EQ(rig.log.last(), kPhaseWrite);
    ASSERT_EQ(rig.writes.commands, QStringList{"correct23DF"});
    EXPECT_EQ(rig.writes.addresses[0], table);
    EXPECT_EQ(rig.writes.blocks, 4);
    EXPECT_EQ(rig.writes.data[0], rig.store.image().slice(table, 256));
    EXPECT_EQ(rig.timers.TimerFasa.interval(), 69000);
    EXPECT_TRUE(rig.timers.TimerFasa.isActive());
    EXPECT_TRUE(rig.timers.engineTimer.isActive());
}

// A wideband that reads nothing yet (warming up, out of range, silent) gives
// the four-point method no coefficient: its shares would be 0 and drive the
// corrections to the floor. Only ticks with a reading are shared out.
TEST(TuningControl, TheFourPointMethodSharesOnlyTicksWithAMixtureReading) {
    Rig rig;
    rig.settings.setValue(setting::FourPoints, "да");
    rig.tuning.startConnection(Protocol::Fast);
    ASSERT_TRUE(rig.tuning.startTuning()) << rig.log.lines().join("\n").toStdString();
    ControlBoard board;
    EngineTick engine(board);
    engine.startConnection(Protocol::Fast);
    QByteArray frame(51, '\0');
    frame[9] = char(128); // the ECU aims at 14.7
    frame[11] = 20;       // throttle %
    frame[12] = 75;       // 3000 rpm
    TuningTrace trace;
    const auto drive = [&](double widebandAfr, int ticks) {
        TickInputs inputs;
        inputs.lambdaAfr = widebandAfr;
        for (int i = 0; i < ticks; ++i) {
            engine.processFrame(frame, 2 + i % 2, inputs);
            rig.tuning.engineStep(engine, true, trace, TuningInstant{});
        }
    };
    drive(0, 30);
    const int point = rig.tuning.workingPoint().index();
    EXPECT_EQ(rig.tuning.fourPoint().shareCount(point), 0) << "no reading, no shares";
    drive(15.4, 30);
    EXPECT_GT(rig.tuning.fourPoint().shareCount(point), 0);
    for (int slot = 0; slot < rig.tuning.fourPoint().shareCount(point); ++slot)
        EXPECT_GT(rig.tuning.fourPoint().share(point, slot), 0) << slot;
}

namespace {

// The ECU's RAM as the writes tuning hands over leave it, with a worker that
// finds itself busy at every `busyEvery`-th question (0: never).
class RamWrites : public TuningWrites {
public:
    explicit RamWrites(const QByteArray &image) : ram(image) {}

    QByteArray ram;
    int busyEvery = 0;
    QStringList commands;

    bool busy() const override { return busyEvery > 0 && ++m_asked % busyEvery == 0; }
    void remake(int address, std::uint8_t value, int) override { put("remake", address, QByteArray(1, char(value))); }
    void remakeFourPoints(int address, const QByteArray &b) override { put("remake_four_points", address, b.left(18)); }
    void remakeGbc(int address, const QByteArray &b) override { put("remakegbc", address, b); }
    void remakePopr(int address, const QByteArray &b) override { put("remakepopr", address, b); }
    void remakeUoz(int address, const QByteArray &b) override { put("remakeuoz", address, b); }
    void correct23DF(int address, const QByteArray &b, int, int) override { put("correct23DF", address, b); }

private:
    void put(const QString &command, int address, const QByteArray &bytes) {
        commands.append(command);
        ram.replace(address, bytes.size(), bytes);
    }
    mutable int m_asked = 0;
};

// The engine held at a few operating points, each with its own mixture error,
// as frames through the engine tick into the tuning controller.
struct Drive {
    Rig &rig;
    ControlBoard board;
    EngineTick engine{board};
    TuningTrace trace;
    int numlog = 0;

    explicit Drive(Rig &r) : rig(r) { engine.startConnection(Protocol::Fast); }

    // `rpmByte` × 40 rpm, throttle %, the manifold sensor's byte; the
    // wideband reads `ratio` times the ECU's 14.7.
    void hold(int rpmByte, int throttle, int pressureByte, double ratio, int ticks) {
        QByteArray frame(51, '\0');
        frame[9] = char(128); // the ECU aims at 14.7
        frame[11] = static_cast<char>(throttle);
        frame[12] = static_cast<char>(rpmByte);
        frame[26] = static_cast<char>(pressureByte);
        TickInputs inputs;
        inputs.settings = LiveSettings::from(rig.settings);
        inputs.lambdaAfr = 14.7 * ratio;
        inputs.pressureSensor = {true, 20, 0}; // 100 kPa at 5 V
        for (int i = 0; i < ticks; ++i) {
            engine.processFrame(frame, ++numlog, inputs);
            rig.tuning.engineStep(engine, true, trace, TuningInstant{});
        }
    }
    // Twelve operating points, each off by its own few per cent, visited
    // `rounds` times; the write-back timers fire every second of driving.
    void around(int rounds) {
        for (int round = 0; round < rounds; ++round)
            for (int i = 0; i < 12; ++i) {
                hold(40 + 10 * (i % 4), 12 + 10 * (i / 4), 90 + 20 * (i / 4), 1.0 + 0.06 * std::sin(i * 1.7), 20);
                for (QTimer *t : {&rig.timers.Timer4, &rig.timers.Timer6})
                    if (t->isActive())
                        Rig::fire(*t);
            }
    }
};

// Tuning stopped: what stays owed goes out on Timer4's retries.
void drain(Rig &rig) {
    for (int i = 0; i < 20 && rig.timers.Timer4.isActive(); ++i)
        Rig::fire(rig.timers.Timer4);
}

} // namespace

// Whatever the method and however often the worker is busy, every correction
// that reaches the image reaches RAM: once tuning has stopped and the owed
// bytes are out, the tuned tables in the image and in RAM are the same, and
// the grid shows no correction or filling that neither of them holds.
TEST(TuningControl, TheImageAndRamNeverDriftApart) {
    struct Case {
        const char *what;
        QString fourPoint, neighbours;
        int busyEvery;
    } cases[] = {
        {"accumulation", "нет", "0", 0},
        {"accumulation, busy", "нет", "0", 4},
        {"accumulation, neighbours, busy", "нет", "30", 4},
        {"accumulation, neighbours, busy often", "нет", "30", 2},
        {"four points", "да", "0", 0},
        {"four points, busy", "да", "0", 4},
        {"four points, neighbours, busy", "да", "30", 3},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        Rig rig;
        RamWrites ram(rig.store.image().bytes());
        ram.busyEvery = c.busyEvery;
        rig.tuning.setWrites(&ram);
        rig.settings.setValue(setting::FourPoints, c.fourPoint);
        rig.settings.setValue(setting::NeighbourFactor, c.neighbours);
        rig.settings.setValue(setting::MinCorrection, "0.05");
        rig.settings.setValue(setting::MaxCorrection, "1.95");
        rig.tuning.startConnection(Protocol::Fast);
        ASSERT_TRUE(rig.tuning.startTuning());
        const std::int64_t correction = rig.tables.addressSets().air().correctionTable;
        const std::int64_t gbc = rig.gbcTable();
        const QByteArray before = rig.store.image().slice(correction, 256);

        Drive drive(rig);
        drive.around(6);
        rig.tuning.stopTuning();
        drain(rig);

        const QByteArray image = rig.store.image().slice(correction, 256);
        ASSERT_NE(image, before) << "the drive corrected something";
        int differ = 0;
        for (int i = 0; i < 256; ++i)
            differ += image[i] != ram.ram.at(correction + i);
        EXPECT_EQ(differ, 0) << "correction bytes that differ between the image and RAM";
        EXPECT_EQ(rig.store.image().slice(gbc, 256), ram.ram.mid(gbc, 256)) << "the cycle-filling table";
        EXPECT_FALSE(rig.timers.Timer4.isActive()) << "the write-back stops once nothing is owed";
        for (int i = 0; i < 256; ++i) {
            const TuningCell &cell = rig.tables.grid().cells[static_cast<std::size_t>(i)];
            const int shown = correctionByte(cell.corrThr);
            EXPECT_TRUE(shown == static_cast<std::uint8_t>(image[i]) ||
                        shown == static_cast<std::uint8_t>(ram.ram.at(correction + i)))
                << "cell " << i << " shows " << shown;
            const int filling = gbcByte(cell.gbcThr);
            EXPECT_TRUE(filling == rig.store.image().byteAt(gbc + i) ||
                        filling == static_cast<std::uint8_t>(ram.ram.at(gbc + i)))
                << "cell " << i << " shows the filling byte " << filling;
        }
    }
}

// With the air-flow sensor the correction table lies over the throttle: tuning
// by pressure there would write pressure rows into throttle rows. The load
// axis follows the table, and the log says once that the setting disagrees.
TEST(TuningControl, TheLoadAxisIsTheTunedTables) {
    struct Case {
        const char *what;
        QString fourPoint;
    } cases[] = {{"accumulation", "нет"}, {"four points", "да"}};
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        Rig rig; // the demo ECU measures air with the sensor
        rig.settings.setValue(setting::TuneBy, setting::TuneByPressure);
        rig.settings.setValue(setting::FourPoints, c.fourPoint);
        rig.settings.setValue(setting::MinCorrection, "0.05");
        rig.tuning.startConnection(Protocol::Fast);
        ASSERT_FALSE(rig.tables.addressSets().PressureMode());
        ASSERT_TRUE(rig.tuning.startTuning());
        const std::int64_t table = rig.tables.addressSets().air().correctionTable;
        const QByteArray before = rig.store.image().slice(table, 256);

        Drive drive(rig);
        drive.hold(50, 20, 200, 1.10, 60); // 2000 rpm, 20 %, a pressure far above the throttle's row
        const LiveParameters &live = drive.engine.parameters();
        const GridAxes &axes = rig.tables.axes();
        auto rowOf = [](const auto &bounds, double v) {
            for (int r = 0; r < 16; ++r)
                if (v > bounds[static_cast<std::size_t>(r)] && v <= bounds[static_cast<std::size_t>(r + 1)])
                    return r;
            return -1;
        };
        const int throttleRow = rowOf(axes.throttleBounds, live.throttle);
        const int pressureRow = rowOf(axes.pressureBounds, live.pressure);
        ASSERT_GE(throttleRow, 0);
        ASSERT_GT(std::abs(throttleRow - pressureRow), 2);
        const QByteArray after = rig.store.image().slice(table, 256);
        int changedThrottleRow = 0, changedElsewhere = 0;
        for (int i = 0; i < 256; ++i)
            if (after[i] != before[i]) // the four points lie on the rows either side of the throttle
                (std::abs(i / 16 - throttleRow) <= 1 ? changedThrottleRow : changedElsewhere) += 1;
        EXPECT_GT(changedThrottleRow, 0) << "the throttle's row was tuned";
        EXPECT_EQ(changedElsewhere, 0) << "no other row was touched";
        EXPECT_EQ(rig.log.lines().count(kLoadAxisByThrottle), 1) << rig.log.lines().join("\n").toStdString();
        EXPECT_EQ(live.loadValue, live.throttle) << "the load value follows the table too";
    }
}

// The cycle-filling table by pressure holds 3/16 of the filling per byte: a
// measured 320 is written as 60 and shown as 320 beside the unwritten cells.
TEST(TuningControl, TheFillingByPressureIsWrittenOnItsOwnScale) {
    Rig rig("vrk");
    rig.settings.setValue(setting::TuneBy, setting::TuneByPressure);
    QStringList withoutSensor = kDemoComplectation;
    withoutSensor[8] = "04"; // working without the air-flow sensor
    rig.tables.postConnectSetup(rig.settings, withoutSensor, rig.dir.path());
    rig.tuning.startConnection(Protocol::Fast);
    ASSERT_TRUE(rig.tables.addressSets().PressureMode());
    ASSERT_EQ(rig.gbcTable(), kSecondGbcCopy) << "VRK's table by pressure";
    ASSERT_TRUE(rig.tuning.startTuning());
    const int unwritten = rig.store.image().byteAt(rig.gbcTable() + 1).value_or(-1);
    rig.tables.grid().at(0, 0).gbcNew = 320;
    Rig::fire(rig.timers.Timer4);
    ASSERT_EQ(rig.writes.commands, QStringList{"remakegbc"});
    EXPECT_EQ(static_cast<std::uint8_t>(rig.writes.data[0][0]), 60);
    EXPECT_EQ(static_cast<std::uint8_t>(rig.writes.data[0][1]), unwritten) << "an unwritten cell keeps its byte";
    EXPECT_EQ(rig.store.image().byteAt(rig.gbcTable()), 60);
    EXPECT_FLOAT_EQ(rig.tables.grid().at(0, 0).gbcKpa, 320);
    EXPECT_FLOAT_EQ(rig.tables.grid().at(0, 1).gbcKpa, static_cast<float>(unwritten * 16 / 3.0));
}

// The learned value follows every correction: neighbour learning switched on
// for a later run must not take a tuned cell back, and the four-point
// method's results survive the neighbours' write-back and a changed setting.
TEST(TuningControl, ALaterRunGoesOnFromEveryEarlierCorrection) {
    struct Case {
        const char *what;
        QString firstMethod;
    } cases[] = {{"accumulation", "нет"}, {"four points", "да"}};
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        Rig rig;
        rig.settings.setValue(setting::NeighbourFactor, "0");
        rig.settings.setValue(setting::FourPoints, c.firstMethod);
        rig.settings.setValue(setting::MinCorrection, "0.05");
        rig.tuning.startConnection(Protocol::Fast);
        ASSERT_TRUE(rig.tuning.startTuning());
        const std::int64_t table = rig.tables.addressSets().air().correctionTable;
        const QByteArray before = rig.store.image().slice(table, 256);
        Drive drive(rig);
        drive.hold(50, 20, 100, 1.10, 40);
        drive.hold(60, 30, 100, 0.92, 40);
        // Switched mid-run, the method stays the run's own.
        rig.settings.setValue(setting::FourPoints, c.firstMethod == "да" ? "нет" : "да");
        drive.hold(50, 20, 100, 1.10, 40);
        rig.tuning.stopTuning();
        const QByteArray tuned = rig.store.image().slice(table, 256);
        ASSERT_NE(tuned, before);
        for (int i = 0; i < 256; ++i)
            EXPECT_EQ(correctionByte(rig.tables.grid().cells[static_cast<std::size_t>(i)].corrCurrent),
                      static_cast<std::uint8_t>(tuned[i]))
                << "cell " << i << ": the correction being tuned is the image's";

        rig.settings.setValue(setting::NeighbourFactor, "30");
        ASSERT_TRUE(rig.tuning.startTuning());
        Rig::fire(rig.timers.Timer6);
        EXPECT_EQ(rig.store.image().slice(table, 256), tuned) << "nothing taken back";
        EXPECT_FALSE(rig.writes.commands.contains("remakepopr")) << "nothing learned to write";
    }
}

// A write the ECU reports failed leaves its bytes owed: they go out again at
// the next free hand-over, and after stop before the write-back ends.
TEST(TuningControl, AFailedWriteStaysOwed) {
    Rig rig;
    RamWrites ram(rig.store.image().bytes());
    rig.tuning.setWrites(&ram);
    rig.settings.setValue(setting::NeighbourFactor, "0");
    ASSERT_TRUE(rig.tuning.startTuning());
    const std::int64_t table = rig.tables.addressSets().air().correctionTable;
    Drive drive(rig);
    drive.hold(50, 20, 100, 1.10, 20);
    ASSERT_EQ(ram.commands.count("remake"), 1);
    // The ECU did not take it: RAM keeps the old byte, the report names it.
    int cell = -1;
    for (int i = 0; i < 256; ++i)
        if (ram.ram.at(table + i) != rig.store.image().bytes().at(table + i))
            cell = i;
    ASSERT_EQ(cell, -1);
    for (int i = 0; i < 256; ++i)
        if (rig.tables.grid().cells[static_cast<std::size_t>(i)].applied > 0)
            cell = i;
    ASSERT_GE(cell, 0);
    ram.ram[static_cast<qsizetype>(table + cell)] =
        static_cast<char>(128 + 77); // what RAM holds after the failed write
    EcuWriteResult failed;
    failed.command = EcuCommandKind::remake;
    failed.failedAddresses = {static_cast<int>(table + cell)};
    rig.tuning.takeWriteResult(failed);
    EXPECT_TRUE(rig.tuning.owedCorrections().owes(cell));

    ram.busyEvery = 1; // busy at the next tick: still owed
    drive.hold(50, 20, 100, 1.0, 1);
    EXPECT_TRUE(rig.tuning.owedCorrections().owes(cell));
    ram.busyEvery = 0;
    rig.tuning.stopTuning();
    drain(rig);
    EXPECT_EQ(ram.ram.mid(table, 256), rig.store.image().slice(table, 256));
    EXPECT_TRUE(rig.tuning.owedCorrections().empty());
}
