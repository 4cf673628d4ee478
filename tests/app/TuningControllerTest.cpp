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
#include "live/TuningTrace.h"
#include "tuning/TuningTables.h"
#include "tuning/TuningWrites.h"
#include "tuning/WriteBack.h"

#include <QDirIterator>
#include <QFile>

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
    rig.tuning.engineStep(engine, true, trace);

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
        if (type == "vrk")
            EXPECT_EQ(rig.store.image().slice(kSecondGbcCopy, 256), table) << "VRK keeps a second copy";
        else
            EXPECT_EQ(rig.store.image().slice(kSecondGbcCopy, 256), secondCopyBefore) << "only VRK";
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
    EXPECT_EQ(cell.applied, 2);
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
        rig.tuning.engineStep(engine, true, trace);
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
        rig.tuning.engineStep(engine, newRequest, trace);
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
            rig.tuning.engineStep(engine, true, trace);
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
