// The calibration catalogue of the session: maps loaded at connect and by
// hand, the chosen table, and its export and import as .kv files.
#include "app/CatalogController.h"
#include "core/ControlBoard.h"
#include "core/ControlNames.h"
#include "core/Cp1251.h"
#include "core/ProgramLog.h"
#include "firmware/Conversions.h"
#include "firmware/DemoFirmware.h"
#include "firmware/DemoMap.h"
#include "firmware/FirmwareIdentity.h"
#include "firmware/FirmwareStore.h"
#include "firmware/MapBuilder.h"

#include "TestSupport.h"

#include <QSignalSpy>

#include <gtest/gtest.h>

using namespace korvel;

namespace {

// A catalogue over the demo firmware, with the demo map in the working folder.
struct Catalogue {
    Catalogue() : catalog(store, identity, log, controls, work.path()) {
        work.write(kDemoMapFile, makeDemoMap().value());
        store.loadImage(*FirmwareImage::fromBytes(makeDemoFirmware()));
        identity.ImageSwid(store.image());
        controls.setText(control::Label60, QStringLiteral("Прошивка:demo-firmware.bin"));
    }
    QModelIndex find(const QString &name) const {
        const QModelIndexList found = catalog.model().match(catalog.model().rootIndex(), Qt::DisplayRole, name, 1,
                                                            Qt::MatchExactly | Qt::MatchRecursive);
        return found.value(0);
    }
    void choose(const QString &name) {
        const QModelIndex index = find(name);
        ASSERT_TRUE(index.isValid()) << name.toStdString();
        catalog.selectNode(index);
    }
    bool logged(const QString &line) const { return log.lines().contains(line); }

    test::WorkDir work{false};
    ProgramLog log;
    ControlBoard controls;
    FirmwareStore store;
    FirmwareIdentity identity;
    CatalogController catalog;
};

} // namespace

TEST(Catalog, TheConnectLoadsTheMapTheSettingNames) {
    Catalogue c;
    c.catalog.loadConfiguredMap(QString());
    EXPECT_EQ(c.controls.text(control::Label59), "Карта не загружена");
    EXPECT_FALSE(c.catalog.mapLoaded());
    EXPECT_TRUE(c.catalog.needsMapChoice());

    QSignalSpy changed(&c.catalog, &CatalogController::mapChanged);
    c.catalog.loadConfiguredMap(kDemoMapFile); // relative to the working folder
    EXPECT_TRUE(c.catalog.mapLoaded());
    EXPECT_FALSE(c.catalog.needsMapChoice());
    EXPECT_EQ(changed.count(), 1);
    EXPECT_EQ(c.controls.text(control::Label59), "Карта прошивкиdemo-map.j5") << "the setting follows directly";
    EXPECT_FALSE(c.controls.isVisible(control::BitBtn3));
    const QModelIndex root = c.catalog.model().rootIndex();
    EXPECT_EQ(root.data().toString(), "demo-map.j5");
    EXPECT_EQ(c.catalog.model().rowCount(root), 6);
    EXPECT_TRUE(c.find("Впрыск при пуске").isValid());
}

TEST(Catalog, AChosenMapIsNamedByItsCutNameAndAnUnreadableOneKeepsThePrevious) {
    Catalogue c;
    ASSERT_TRUE(c.catalog.changeMap(c.work.path(kDemoMapFile)));
    EXPECT_EQ(c.controls.text(control::Label59), "Карта прошивки:demo-map.j5");
    EXPECT_TRUE(c.controls.isVisible(control::BitBtn3));
    c.choose("УОЗ");
    const int nodes = static_cast<int>(c.catalog.model().tree().nodes.size());

    QSignalSpy changed(&c.catalog, &CatalogController::mapChanged);
    for (const QString &bad : {c.work.path("missing.j5"), c.work.path()}) { // no file; a folder
        EXPECT_FALSE(c.catalog.changeMap(bad));
        c.catalog.loadConfiguredMap(bad);
    }
    EXPECT_EQ(changed.count(), 0);
    EXPECT_TRUE(c.catalog.mapLoaded());
    EXPECT_EQ(static_cast<int>(c.catalog.model().tree().nodes.size()), nodes);
    EXPECT_EQ(c.controls.text(control::Label59), "Карта прошивки:demo-map.j5");
    EXPECT_EQ(c.catalog.selection().name, "УОЗ");
    EXPECT_TRUE(c.log.lines().filter("Карта прошивки не загружена: ").size() == 4)
        << c.log.lines().join('\n').toStdString();
    EXPECT_TRUE(c.logged("Осталась прежняя карта"));
}

TEST(Catalog, ChoosingANodePublishesItsKindNameAndReference) {
    Catalogue c;
    c.catalog.changeMap(c.work.path(kDemoMapFile));
    QSignalSpy selected(&c.catalog, &CatalogController::tableSelected);

    c.catalog.selectNode(c.catalog.model().rootIndex());
    EXPECT_EQ(selected.count(), 0) << "the root is the map, not a table";

    struct Case {
        QString name;
        int kind;
        int columns;
        int rows;
    };
    const Case cases[] = {
        {"Задержка форсунок", 1, 16, 1}, {"Впрыск при пуске", 2, 8, 8}, {"Крутизна датчика давления", 3, 0, 0},
        {"Комплектация", 4, 0, 0},       {"Идентификация", 5, 0, 0},    {"Топливо", 255, 0, 0},
        {"Датчик давления", 0, 0, 0}};
    for (const Case &k : cases) {
        c.choose(k.name);
        ASSERT_FALSE(selected.isEmpty());
        const auto table = selected.takeLast().at(0).value<TableSelection>();
        EXPECT_EQ(table.kind, k.kind) << k.name.toStdString();
        EXPECT_EQ(table.name, k.name);
        EXPECT_EQ(table.reference, c.catalog.model().node(c.find(k.name))->reference);
        EXPECT_EQ(c.catalog.selection(), table);
        EXPECT_EQ(c.catalog.grid().columns, k.columns) << k.name.toStdString();
        EXPECT_EQ(c.catalog.grid().rows, k.rows) << k.name.toStdString();
    }
}

TEST(Catalog, ExportWritesTheKvFileAndImportBringsItBack) {
    Catalogue c;
    c.catalog.changeMap(c.work.path(kDemoMapFile));
    c.choose("Задержка форсунок");
    const TableGrid shown = c.catalog.grid();
    ASSERT_EQ(shown.cells.size(), 16);
    EXPECT_EQ(shown.cells.first(), "1.8");

    const QString file = c.work.path("lag.kv");
    ASSERT_TRUE(c.catalog.exportTable(file));
    EXPECT_TRUE(c.logged("Экспорт калибровки:Задержка форсунок"));
    const QByteArray bytes = c.work.read("lag.kv");
    const QList<QByteArray> lines = bytes.split('\n');
    ASSERT_EQ(lines.size(), 8 + 16 + 1) << "CR LF after every line, the last included";
    EXPECT_EQ(lines.at(0), cp1251::encode("Карта прошивки:demo-map.j5\r"));
    EXPECT_EQ(lines.at(1), cp1251::encode("Прошивка:demo-firmware.bin\r"));
    EXPECT_EQ(lines.at(2), c.identity.imageSwid().toLatin1() + "\r");
    EXPECT_EQ(lines.at(4), cp1251::encode("мс\r"));
    EXPECT_EQ(lines.at(6), "1\r");
    EXPECT_EQ(lines.at(8), "1.8\r");

    // Edited outside: the grid takes the file's texts.
    QByteArray edited = bytes;
    edited.replace("\r\n1.8\r\n", "\r\n2.5\r\n");
    c.work.write("edited.kv", edited);
    QSignalSpy imported(&c.catalog, &CatalogController::gridImported);
    ASSERT_TRUE(c.catalog.importTable(c.work.path("edited.kv")));
    EXPECT_EQ(c.catalog.grid().cells.first(), "2.5");
    EXPECT_EQ(c.catalog.grid().cells.mid(1), shown.cells.mid(1));
    EXPECT_EQ(imported.count(), 1);
    EXPECT_TRUE(c.logged("КалибровкаЗадержка форсунокзагружена"));

    ASSERT_TRUE(c.catalog.importTable(file));
    EXPECT_EQ(c.catalog.grid(), shown) << "the exported file restores the grid";
}

TEST(Catalog, AnImportForAnotherFirmwareOrTableIsRefusedAndTheGridStays) {
    Catalogue c;
    c.catalog.changeMap(c.work.path(kDemoMapFile));
    c.choose("Задержка форсунок");
    ASSERT_TRUE(c.catalog.exportTable(c.work.path("lag.kv")));
    c.choose("Впрыск при пуске");
    ASSERT_TRUE(c.catalog.exportTable(c.work.path("start.kv")));
    QByteArray otherSwid = c.work.read("start.kv");
    otherSwid.replace(c.identity.imageSwid().toLatin1(), "00000000");
    c.work.write("other-swid.kv", otherSwid);
    const TableGrid shown = c.catalog.grid();

    QSignalSpy imported(&c.catalog, &CatalogController::gridImported);
    for (const char *file : {"lag.kv", "other-swid.kv", "missing.kv"}) {
        c.log.clear();
        EXPECT_FALSE(c.catalog.importTable(c.work.path(file))) << file;
        EXPECT_TRUE(c.logged("Калибровка не может быть загружена")) << file;
    }
    EXPECT_EQ(c.catalog.grid(), shown);
    EXPECT_EQ(imported.count(), 0);

    c.choose("Комплектация");
    c.log.clear();
    EXPECT_FALSE(c.catalog.exportTable(c.work.path("flags.kv"))) << "only curves and maps";
    EXPECT_FALSE(c.catalog.importTable(c.work.path("lag.kv")));
    EXPECT_TRUE(c.log.lines().isEmpty());
}

TEST(Catalog, TheOpenTableIsReadAgainFromANewImage) {
    Catalogue c;
    c.catalog.changeMap(c.work.path(kDemoMapFile));
    c.choose("Задержка форсунок");
    FirmwareImage image = c.store.image();
    image.setBytes(demofirmware::kInjectorLagAddress, QByteArray::fromHex("E803")); // 1000 us
    c.store.loadImage(image);
    c.catalog.refreshTable();
    EXPECT_EQ(c.catalog.grid().cells.first(), "1");
}

// The export writes what the image holds at that moment: an edit or an undo
// since the table was chosen is in the file.
TEST(Catalog, TheExportWritesTheImageAsItIsNow) {
    Catalogue c;
    c.catalog.changeMap(c.work.path(kDemoMapFile));
    c.choose("Задержка форсунок");
    ASSERT_TRUE(c.store.WriteCell(1000, 2, IntToHexEven(demofirmware::kInjectorLagAddress))); // 1000 us
    ASSERT_TRUE(c.catalog.exportTable(c.work.path("lag.kv")));
    EXPECT_EQ(c.work.read("lag.kv").split('\n').at(8), "1\r") << "the edited cell, not the one shown at the choice";
    ASSERT_TRUE(c.store.UndoStep());
    ASSERT_TRUE(c.catalog.exportTable(c.work.path("lag.kv")));
    EXPECT_EQ(c.work.read("lag.kv").split('\n').at(8), "1.8\r");
}

// An import whose cells are not all numbers is refused before anything changes.
TEST(Catalog, AnImportOfNonNumbersIsRefused) {
    Catalogue c;
    c.catalog.changeMap(c.work.path(kDemoMapFile));
    c.choose("Задержка форсунок");
    ASSERT_TRUE(c.catalog.exportTable(c.work.path("lag.kv")));
    const TableGrid shown = c.catalog.grid();
    QSignalSpy imported(&c.catalog, &CatalogController::gridImported);
    for (const char *cell : {"abc", "", "1,000.5"}) {
        QByteArray bytes = c.work.read("lag.kv");
        bytes.replace("\r\n1.8\r\n", "\r\n" + QByteArray(cell) + "\r\n");
        c.work.write("bad.kv", bytes);
        c.log.clear();
        EXPECT_FALSE(c.catalog.importTable(c.work.path("bad.kv"))) << cell;
        EXPECT_TRUE(c.logged("Калибровка не может быть загружена")) << cell;
        EXPECT_TRUE(c.log.lines().filter("загружена").size() == 1) << c.log.lines().join('\n').toStdString();
    }
    EXPECT_EQ(imported.count(), 0);
    EXPECT_EQ(c.catalog.grid(), shown);
}

// A new map keeps the chosen table only when it holds the same entry at the
// same place; otherwise the offset would name other bytes of the new map.
TEST(Catalog, ANewMapKeepsTheChosenTableOnlyWhereItHoldsTheSameEntry) {
    Catalogue c;
    c.catalog.changeMap(c.work.path(kDemoMapFile));
    c.choose("Задержка форсунок");
    const TableSelection chosen = c.catalog.selection();
    ASSERT_TRUE(c.catalog.changeMap(c.work.path(kDemoMapFile)));
    EXPECT_EQ(c.catalog.selection(), chosen);
    EXPECT_EQ(c.catalog.grid().columns, 16);

    // Another map: no such entry at that place.
    const Outcome<QByteArray> other =
        buildCalibrationMap(QStringLiteral("group 1 Таблица\nkind 1\naddress 5000\ncells 3\n"));
    ASSERT_TRUE(other);
    c.work.write("other.j5", other.value());
    ASSERT_TRUE(c.catalog.changeMap(c.work.path("other.j5")));
    EXPECT_FALSE(c.catalog.selection().isChosen());
    EXPECT_EQ(c.catalog.grid().columns, 0);
    EXPECT_FALSE(c.catalog.exportTable(c.work.path("lag.kv")));
}
