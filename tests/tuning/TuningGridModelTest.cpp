#include "tuning/TuningGridModel.h"
#include "TestSupport.h"
#include "core/ProgramLog.h"
#include "core/SettingNames.h"
#include "core/SettingsList.h"
#include "firmware/DemoFirmware.h"
#include "firmware/FirmwareIdentity.h"
#include "firmware/FirmwareStore.h"
#include "tuning/TuningTables.h"

#include <QSignalSpy>

#include <gtest/gtest.h>

using namespace korvel;

namespace {

// The tables as the session holds them, with the demo firmware loaded and the
// demo ECU's equipment (air-flow sensor, phase sensor) decoded.
struct Tables {
    test::WorkDir dir;
    ProgramLog log;
    FirmwareStore store{&log, nullptr};
    FirmwareIdentity identity;
    TuningTables tables{store, identity, log};
    TuningGridModel model{tables};

    Tables() { tables.startUp(dir.path()); }
    void connectWithDemoFirmware() {
        store.loadImage(*FirmwareImage::fromBytes(makeDemoFirmware()));
        identity.ImageSwid(store.image());
        identity.EcuSwid(store.image().slice(0, 224));
        SettingsList settings;
        settings.setValue(setting::FirmwareType, "j5ls");
        settings.setValue(setting::TuneBy, "Дросселю");
        const QStringList equipment = {"29", "10", "00", "00", "00", "00", "00", "00", "00", "00", "00"};
        ASSERT_TRUE(tables.postConnectSetup(settings, equipment, dir.path()).ok());
    }
    void choose(const QString &choice) {
        ASSERT_TRUE(tables.gridChoices().contains(choice)) << choice.toStdString();
        tables.setGridChoice(static_cast<int>(tables.gridChoices().indexOf(choice)));
    }
    QString header(Qt::Orientation orientation, int section) const {
        return model.headerData(section, orientation).toString();
    }
    QString text(int row, int col) const { return model.data(model.index(row, col)).toString(); }
};

struct ChangeSpy {
    QSignalSpy cells;
    QSignalSpy headers;
    explicit ChangeSpy(TuningGridModel &model)
        : cells(&model, &TuningGridModel::dataChanged), headers(&model, &TuningGridModel::headerDataChanged) {}
    QList<Qt::Orientation> changedHeaders() const {
        QList<Qt::Orientation> orientations;
        for (const QList<QVariant> &args : headers)
            orientations.append(args.at(0).value<Qt::Orientation>());
        return orientations;
    }
};

} // namespace

TEST(TuningCellView, ShowsTheChosenQuantityInItsFormat) {
    TuningCell cell;
    cell.applied = 2;
    cell.sampleCount = 7;
    cell.meanCoef = 0.5f;
    cell.corrThr = 1.0546875f;
    cell.gbcThr = 85.25f;
    cell.corr32a = 0.75f;
    cell.ignThr = 30.5f;
    cell.alfKpa = 14.642578125f;
    cell.phase = -60;
    cell.knockThr = 3;
    cell.injLoadKpa = 41.6;
    cell.newGbc = 400.25f;
    struct Case {
        int index;
        const char *choice;
        double value;
        const char *text;
    };
    const Case cases[] = {
        {0, "РТ %", 2.7, "2.7"}, // two evaluations, seven samples waiting
        {1, "Коррекция кПа", 0.5, "0.5"},
        {3, "Поправка %", 1.0546875, "1.055"},
        {2, "БЦН %", 85.25, "85"},
        {4, "Поправка 32-1ч", 0.75, "0.75"},
        {5, "УОЗ %", 30.5, "30.5"},
        {9, "ALF кПа", 14.642578125, "14.6"},
        {7, "Фаза", -60, "-60"},
        {10, "Детонация %", 3, "3"},
        {12, "Загрузка форсунок кПа", 41.6, "42"},
        {14, "Новое БЦН", 400.25, "400"},
        {-1, "", 2.7, "2.7"}, // nothing chosen yet: as entry 0
    };
    for (const Case &c : cases) {
        const TuningCellView view = tuningCellView(cell, c.index, QString::fromUtf8(c.choice));
        EXPECT_DOUBLE_EQ(view.value, c.value) << c.choice;
        EXPECT_EQ(view.text, QString::fromLatin1(c.text)) << c.choice;
    }
    // Entries 0 and 1 go by place: "РТ кПа" in place 1 shows the mean coefficient.
    EXPECT_EQ(tuningCellView(cell, 1, "РТ кПа").text, "0.5");
}

TEST(TuningGridModel, HeadersAreTheSpeedAndTheChosenLoadAxis) {
    Tables t;
    EXPECT_EQ(t.model.rowCount(), 16);
    EXPECT_EQ(t.model.columnCount(), 16);
    EXPECT_EQ(t.text(15, 15), "0") << "no firmware: every cell shows 0";
    EXPECT_EQ(t.model.rowCount(t.model.index(0, 0)), 0) << "a table has no children";

    t.connectWithDemoFirmware();
    for (int i = 0; i < 16; ++i) {
        EXPECT_EQ(t.header(Qt::Horizontal, i), QString::number(demofirmware::kRpmBreakpoints[i])) << i;
        EXPECT_EQ(t.header(Qt::Vertical, i), QString::number(t.tables.axes().throttle[i])) << i;
    }
    t.choose("Фаза");
    EXPECT_EQ(t.header(Qt::Vertical, 0), QString::number(t.tables.axes().air[0]));
    t.choose("УОЗ кПа");
    EXPECT_EQ(t.header(Qt::Vertical, 15), QString::number(t.tables.axes().pressure[15]));
}

TEST(TuningGridModel, CellsShowTheGridAtTheirRowAndColumn) {
    Tables t;
    t.connectWithDemoFirmware();
    t.choose("УОЗ %");
    const TuningCell &cell = t.tables.grid().at(2, 9);
    const QModelIndex index = t.model.index(2, 9);
    EXPECT_DOUBLE_EQ(t.model.data(index, TuningGridModel::ValueRole).toDouble(), cell.ignThr);
    EXPECT_EQ(t.text(2, 9), tuningCellView(cell, t.tables.gridChoice(), "УОЗ %").text);
    EXPECT_NE(t.text(2, 9), t.text(9, 2)) << "rows are load, columns speed";
    EXPECT_EQ(t.model.data(index, Qt::TextAlignmentRole).value<Qt::Alignment>(), Qt::AlignCenter);
}

TEST(TuningGridModel, RefreshAnnouncesTheCellsAndOnlyTheHeadersThatChanged) {
    Tables t;
    ChangeSpy spy(t.model);
    t.model.refresh();
    ASSERT_EQ(spy.cells.size(), 1);
    EXPECT_EQ(spy.cells.at(0).at(0).toModelIndex(), t.model.index(0, 0));
    EXPECT_EQ(spy.cells.at(0).at(1).toModelIndex(), t.model.index(15, 15));
    EXPECT_TRUE(spy.headers.isEmpty()) << "the axes did not change";

    t.connectWithDemoFirmware();
    t.model.refresh();
    EXPECT_EQ(spy.changedHeaders(), (QList<Qt::Orientation>{Qt::Horizontal, Qt::Vertical}));

    spy.headers.clear();
    t.choose("Фаза");
    t.model.refresh();
    EXPECT_EQ(spy.changedHeaders(), QList<Qt::Orientation>{Qt::Vertical}) << "another load axis, the same speeds";
    t.model.refresh();
    EXPECT_EQ(spy.headers.size(), 1);
    EXPECT_EQ(spy.cells.size(), 4);
}
