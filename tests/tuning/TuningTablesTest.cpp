#include "tuning/TuningTables.h"
#include "TestSupport.h"
#include "core/ControlBoard.h"
#include "core/ProgramLog.h"
#include "core/SettingNames.h"
#include "core/SettingsList.h"
#include "firmware/DemoFirmware.h"
#include "firmware/FirmwareIdentity.h"
#include "firmware/FirmwareStore.h"

#include <gtest/gtest.h>

using namespace korvel;

namespace {

constexpr int kCell = 2 * 16 + 3; // row 2, column 3

struct ByteAt {
    int table;
    std::uint8_t value;
};

FirmwareImage imageWithCell(std::initializer_list<ByteAt> bytes) {
    FirmwareImage image;
    for (const ByteAt &b : bytes)
        image.setByte(b.table + kCell, b.value);
    return image;
}

TuningAddressSets selected(int row, const QString &airBit, const QString &tuneBy = "Дросселю") {
    TuningAddressSets sets;
    ProgramLog log;
    sets.addhexdata(row, test::dataDir());
    sets.selectAirMeasurement(airBit, tuneBy, log);
    return sets;
}

} // namespace

TEST(Addtabl, LoadsEveryPresentTableWithItsScale) {
    const FirmwareImage image = imageWithCell({{0x75EF, 150},
                                               {0x7CF7, 64},
                                               {0x8E2A, 192},
                                               {0x6DC8, 61},
                                               {0x852F, 50},
                                               {0x6953, 128},
                                               {0x76EF, 0},
                                               {0x64D3, 0xF6}});
    TuningGrid grid;
    grid.at(2, 3).applied = 5;
    grid.at(2, 3).setSample(3, 1.1f);
    grid.at(2, 3).meanCoef = 1.02f;
    grid.at(0, 0).knockThr = 7;
    ASSERT_TRUE(addtabl(grid, image, selected(2, "0")));

    const TuningCell &c = grid.at(2, 3);
    EXPECT_FLOAT_EQ(c.gbcThr, 400);
    EXPECT_FLOAT_EQ(c.corrThr, 0.5f);
    EXPECT_FLOAT_EQ(c.corrKpa, 1.5f);
    EXPECT_FLOAT_EQ(c.ignThr, 30.5f);
    EXPECT_FLOAT_EQ(c.ignKpa, 25);
    EXPECT_FLOAT_EQ(c.alfThr, 14.7f);
    EXPECT_FLOAT_EQ(c.alfKpa, 7.35f);
    EXPECT_FLOAT_EQ(c.phase, -60) << "the phase table is signed";
    EXPECT_FLOAT_EQ(c.corrCurrent, 0.5f);
    EXPECT_FLOAT_EQ(c.gbcWritten, 400);
    EXPECT_FLOAT_EQ(c.gbcNew, 400);
    EXPECT_FLOAT_EQ(c.ignPartLoad, 30.5f);
    EXPECT_FLOAT_EQ(c.newCorr, 0.5f);
    EXPECT_FLOAT_EQ(c.newGbc, 400);
    EXPECT_FLOAT_EQ(c.learned, 0.5f);

    EXPECT_EQ(c.applied, 0) << "tuning state starts over";
    EXPECT_EQ(c.meanCoef, TuningCell::kNotEvaluated);
    EXPECT_TRUE(c.samples.empty());
    EXPECT_EQ(grid.at(0, 0).knockThr, 0);
    EXPECT_FLOAT_EQ(grid.at(2, 4).gbcThr, 0) << "only its own offset";
    EXPECT_FLOAT_EQ(grid.at(2, 3).gbcKpa, 0) << "J5LS has no pressure filling table";
}

TEST(Addtabl, WorkingCopiesComeFromTheTablesTuningWrites) {
    // VRK without the air-flow sensor, by pressure: correction 736D, filling 726D.
    const FirmwareImage image = imageWithCell({{0x726D, 30}, {0x736D, 96}, {0x7CF7, 128}, {0x75EF, 60}});
    TuningGrid grid;
    ASSERT_TRUE(addtabl(grid, image, selected(3, "1", "Давлению")));
    const TuningCell &c = grid.at(2, 3);
    EXPECT_FLOAT_EQ(c.gbcKpa, 160) << "the pressure grid shows byte * 16 / 3";
    EXPECT_FLOAT_EQ(c.gbcWritten, 160) << "the working copy is on the scale of the table it is written to";
    EXPECT_FLOAT_EQ(c.gbcNew, 160);
    EXPECT_FLOAT_EQ(c.corrCurrent, 0.75f);
    EXPECT_FLOAT_EQ(c.corrThr, 1.0f);
    EXPECT_FLOAT_EQ(c.newCorr, 1.0f) << "the standard protocol's values start from the throttle tables";
    EXPECT_FLOAT_EQ(c.newGbc, 160);
}

TEST(Addtabl, AnAbsentChosenTableIsReportedNotRead) {
    ProgramLog log;
    TuningGrid grid;
    // The standard set has no pressure correction table: the chosen address is 65535.
    EXPECT_FALSE(addtabl(grid, FirmwareImage(), selected(1, "1", "Давлению"), &log));
    EXPECT_EQ(log.lines(), QStringList{"Таблицы вне прошивки: FFFF"});
    EXPECT_FLOAT_EQ(grid.at(15, 15).corrCurrent, 0);
}

TEST(TuningSamples, AreCountedFromOneAndBounded) {
    TuningCell cell;
    EXPECT_TRUE(cell.setSample(1, 0.9f));
    EXPECT_TRUE(cell.setSample(3, 1.1f));
    EXPECT_EQ(cell.sample(1), 0.9f);
    EXPECT_EQ(cell.sample(2), 0.0f);
    EXPECT_EQ(cell.sample(3), 1.1f);
    EXPECT_EQ(cell.sample(4), 0.0f);
    EXPECT_FALSE(cell.setSample(0, 1));
    EXPECT_FALSE(cell.setSample(-8, 1)) << "the skipping index after an evaluation";
    EXPECT_FALSE(cell.setSample(TuningCell::kMaxSamples + 1, 1));
    EXPECT_TRUE(cell.setAirSample(16, 300));
    EXPECT_FALSE(cell.setAirSample(17, 300));
    EXPECT_EQ(cell.airSample(16), 300);
}

namespace {

struct Session {
    test::WorkDir dir;
    ProgramLog log;
    ControlBoard board;
    FirmwareStore store{&log, &board};
    FirmwareIdentity identity;
    TuningTables tables{store, identity, log, &board};
    SettingsList settings;

    Session(const QString &firmwareType, const QString &tuneBy = "Дросселю") {
        settings.setValue(setting::FirmwareType, firmwareType);
        settings.setValue(setting::TuneBy, tuneBy);
        tables.startUp(dir.path());
    }
    void loadDemo() {
        store.loadImage(*FirmwareImage::fromBytes(makeDemoFirmware()));
        identity.ImageSwid(store.image());
    }
};

const QStringList kDemoComplectation = {"29", "10", "00", "00", "00", "00", "00", "00", "00", "00", "00"};

} // namespace

TEST(TuningTables, PostConnectSetUpIdentifiesDecodesAndLoads) {
    Session s("j5ls");
    s.loadDemo();
    s.identity.EcuSwid(s.store.image().slice(0, 224));
    const Outcome<TuningTargets> targets = s.tables.postConnectSetup(s.settings, kDemoComplectation, s.dir.path());
    ASSERT_TRUE(targets.ok());

    EXPECT_EQ(s.identity.FirmwareTypeName(), "J5LS");
    EXPECT_EQ(s.board.text(TuningTables::kFirmwareNameEdit), "J5LS");
    EXPECT_EQ(s.tables.addressSets().selectedRow(), 2);
    EXPECT_EQ(s.log.lines(), (QStringList{"Комплектация:", "Датчик кислорода", "Датчик детонации", "ДФ",
                                          "Датчик скорости", "Работа по ДМРВ"}));
    EXPECT_EQ(targets.value().decpopr, 0x7CF7);
    EXPECT_EQ(targets.value().decgbc, 0x75EF);
    EXPECT_EQ(s.tables.gridChoices(),
              (QStringList{"РТ %", "Коррекция %", "БЦН %", "Поправка %", "Поправка кПа", "УОЗ %", "УОЗ кПа", "Фаза",
                           "ALF %", "ALF кПа", "Детонация %", "Загрузка форсунок %"}));
    EXPECT_EQ(s.tables.gridChoice(), 0);
    EXPECT_EQ(s.board.text(TuningTables::kGridSelector), "РТ %");
    EXPECT_EQ(s.tables.axes().rpm[15], 7480);
    EXPECT_GT(s.tables.grid().at(15, 8).gbcThr, s.tables.grid().at(0, 8).gbcThr);
    EXPECT_FLOAT_EQ(s.tables.pressureSensor().gain, 18.9f);
    EXPECT_FALSE(s.tables.errorNames().name(0, 0).isEmpty());
}

TEST(TuningTables, WithoutAFirmwareTheGridsStayEmpty) {
    Session s("авто");
    ASSERT_TRUE(s.tables.postConnectSetup(s.settings, kDemoComplectation, s.dir.path()).ok());
    EXPECT_EQ(s.identity.FirmwareTypeName(), "Unknown");
    EXPECT_EQ(s.tables.addressSets().selectedRow(), 1);
    EXPECT_EQ(s.tables.grid().at(8, 8).gbcThr, 0);
    EXPECT_EQ(s.tables.axes().rpm[16], 12000);
}

TEST(TuningTables, ARefusedComplectationStopsTheSetUp) {
    Session s("j5ls");
    s.loadDemo();
    s.tables.reloadFromImage();
    const float before = s.tables.grid().at(3, 3).gbcThr;
    QStringList bad = kDemoComplectation;
    bad[0] = "2g";
    EXPECT_FALSE(s.tables.postConnectSetup(s.settings, bad, s.dir.path()).ok());
    EXPECT_EQ(s.log.last(), "'2g' is not a valid integer value");
    EXPECT_TRUE(s.tables.gridChoices().isEmpty());
    EXPECT_EQ(s.tables.grid().at(3, 3).gbcThr, before);
}

TEST(TuningTables, GridKindFollowsTheChoice) {
    const std::pair<const char *, int> cases[] = {
        {"Фаза", 3},
        {"РТ %", 1},
        {"БЦН %", 1},
        {"Новое БЦН", 1},
        {"Новая Поправка %", 1},
        {"РТ кПа", 2},
        {"Поправка 32-1ч", 2},
        {"Загрузка форсунок кПа", 2},
    };
    for (const auto &[choice, kind] : cases)
        EXPECT_EQ(gridKindOf(QString::fromUtf8(choice)), kind) << choice;
}
