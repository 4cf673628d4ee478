// The calibration catalogue on the calibration page: a map written by the map
// builder from the demo map's description, shown as a tree with icons by kind.
#include "app/CatalogController.h"
#include "app/Session.h"
#include "core/ControlNames.h"
#include "core/TextFile.h"
#include "firmware/DemoFirmware.h"
#include "firmware/MapBuilder.h"
#include "ui/MainWindow.h"

#include "TestSupport.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QLabel>
#include <QTreeView>

#include <gtest/gtest.h>

using namespace korvel;

namespace {

QModelIndex findRow(const QAbstractItemModel *model, const QString &text) {
    return model->match(model->index(0, 0), Qt::DisplayRole, text, 1, Qt::MatchExactly | Qt::MatchRecursive).value(0);
}

QImage iconImage(const QModelIndex &index) {
    return index.data(Qt::DecorationRole).value<QIcon>().pixmap(16, 16).toImage();
}

} // namespace

TEST(CatalogTree, AMapFromTheMapBuilderShowsAsATreeWithIconsByKind) {
    test::WorkDir work;
    TextLines description;
    ASSERT_TRUE(readTextFile(QDir(test::dataDir()).filePath("demo-map.txt"), description));
    const Outcome<QByteArray> map = buildCalibrationMap(description.lines.join('\n'));
    ASSERT_TRUE(map) << map.error().toStdString();
    work.write("demo-map.j5", map.value());

    Session session(work.path());
    ui::MainWindow window(session);
    window.resize(1280, 791);
    window.show();
    ASSERT_TRUE(session.startUp());
    work.write("demo-firmware.bin", makeDemoFirmware());
    ASSERT_TRUE(session.openFirmware(work.path("demo-firmware.bin")));

    // Without a catalogue the calibration page offers the map choice first.
    window.findChild<QAction *>(control::TButshowcalibr)->trigger();
    QApplication::processEvents();
    EXPECT_EQ(window.frontPage()->objectName(), control::Calibrpanel);
    auto *dialog = window.findChild<QFileDialog *>("mapDialog");
    ASSERT_NE(dialog, nullptr);
    EXPECT_TRUE(dialog->isVisible());
    EXPECT_EQ(dialog->nameFilters().value(0), "Карты прошивок (*.j5 *.j7)");
    emit dialog->fileSelected(work.path("demo-map.j5")); // what choosing the file in it sends
    dialog->close();
    QApplication::processEvents();
    ASSERT_TRUE(session.catalog().mapLoaded()) << session.log().lines().join('\n').toStdString();
    EXPECT_EQ(session.controls().text(control::Label59), "Карта прошивки:demo-map.j5");

    auto *tree = window.findChild<QTreeView *>(control::TreeView);
    ASSERT_NE(tree, nullptr);
    const QAbstractItemModel *model = tree->model();
    const QModelIndex root = model->index(0, 0);
    EXPECT_EQ(root.data().toString(), "demo-map.j5");
    EXPECT_EQ(model->rowCount(root), 6);
    EXPECT_TRUE(tree->isExpanded(root));

    const QModelIndex group = findRow(model, "Топливо");
    const QModelIndex curve = findRow(model, "Задержка форсунок");
    const QModelIndex grid = findRow(model, "Впрыск при пуске");
    const QModelIndex value = findRow(model, "Крутизна датчика давления");
    const QModelIndex flags = findRow(model, "Комплектация");
    const QModelIndex texts = findRow(model, "Идентификация");
    const QModelIndex item = findRow(model, "Датчик давления");
    const QModelIndex rows[] = {root, group, curve, grid, value, flags, texts, item};
    for (std::size_t i = 0; i < std::size(rows); ++i) {
        ASSERT_TRUE(rows[i].isValid()) << i;
        ASSERT_FALSE(iconImage(rows[i]).isNull()) << i;
        for (std::size_t j = 0; j < i; ++j)
            EXPECT_NE(iconImage(rows[i]), iconImage(rows[j])) << "icons " << i << " and " << j << " look alike";
    }
    EXPECT_EQ(iconImage(findRow(model, "Зажигание")), iconImage(group)) << "one icon per kind";

    // TreeViewChange: the current row is the open table, named under the tree.
    tree->setCurrentIndex(grid);
    EXPECT_EQ(session.catalog().selection().kind, 2);
    EXPECT_EQ(session.catalog().selection().name, "Впрыск при пуске");
    auto *choice = window.findChild<QLabel *>("catalogChoice");
    ASSERT_NE(choice, nullptr);
    EXPECT_EQ(choice->text(), "Впрыск при пуске (двумерная таблица)");
    tree->setCurrentIndex(curve);
    tree->scrollTo(curve);
    EXPECT_EQ(choice->text(), "Задержка форсунок (одномерная таблица)");
    EXPECT_EQ(session.catalog().grid().cells.value(0), "1.8");

    // With a catalogue the button only brings the page.
    window.findChild<QAction *>(control::TButshowcalibr)->trigger();
    QApplication::processEvents();
    for (const QFileDialog *d : window.findChildren<QFileDialog *>("mapDialog"))
        EXPECT_FALSE(d->isVisible());

    tree->expandAll();
    QApplication::processEvents();
    window.grab().save(QDir(test::artifactDir()).filePath("catalog-tree.png"));
}
