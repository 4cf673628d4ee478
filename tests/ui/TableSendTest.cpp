// A table edited in the window goes to the simulated ECU's RAM over the
// serial link with "Перезапись калибровки" and can be read back from there.
#include "app/CatalogController.h"
#include "editor/CellText.h"
#include "ui/TableViewPage.h"

#include "DemoWindow.h"

#include <QPushButton>
#include <QTableView>
#include <QTreeView>

using namespace korvel;
using korvel::test::waitFor;

namespace {

constexpr int kTable = 0x9000; // "Задержка форсунок": 16 cells of two bytes
constexpr int kTableBytes = 32;

} // namespace

TEST(TableSend, AnEditedCurveSentToTheEcuReadsBackFromItsMemory) {
    test::DemoWindow demo;
    QString error;
    ASSERT_TRUE(demo.startCar(&error)) << error.toStdString();
    ASSERT_TRUE(demo.openWindow());
    ASSERT_TRUE(demo.connectAndSetUp()) << demo.log();
    ASSERT_TRUE(waitFor([&] { return demo.session->identity().ecuSwid() == "AFF68EED"; })) << demo.log();
    Session &session = *demo.session;
    ui::MainWindow &window = *demo.window;
    sim::DemoRig &rig = demo.rig;
    ASSERT_TRUE(session.catalog().mapLoaded());

    session.showPagesFor(control::TButshowcalibr);
    test::runEventsFor(100);
    auto *tree = window.findChild<QTreeView *>(control::TreeView);
    ASSERT_NE(tree, nullptr);
    const QModelIndexList found =
        tree->model()->match(tree->model()->index(0, 0), Qt::DisplayRole, QStringLiteral("Задержка форсунок"), 1,
                             Qt::MatchRecursive | Qt::MatchExactly);
    ASSERT_EQ(found.size(), 1);
    tree->setCurrentIndex(found.first());
    ASSERT_EQ(session.editor().kind(), 1);
    auto *page = window.findChild<ui::TableViewPage *>();
    ASSERT_NE(page, nullptr);

    // Two cells typed into the grid as a user would.
    const QByteArray before = rig.simulator()->readMemory(kTable, kTableBytes);
    QAbstractItemModel *grid = page->grid()->model();
    for (int column : {2, 9}) {
        const double value = StrToFloat(grid->index(0, column).data().toString()).value();
        ASSERT_TRUE(grid->setData(grid->index(0, column), FloatToStr(value + 0.25), Qt::EditRole));
    }
    const auto image = [&] {
        QByteArray bytes;
        for (int i = 0; i < kTableBytes; ++i)
            bytes.append(static_cast<char>(session.firmware().image().byteAt(kTable + i).value_or(0)));
        return bytes;
    };
    ASSERT_NE(image(), before) << "the edit changed the image";
    EXPECT_EQ(rig.simulator()->readMemory(kTable, kTableBytes), before) << "nothing reaches the ECU before the send";

    auto *send = window.findChild<QPushButton *>(control::BitBtn6);
    ASSERT_NE(send, nullptr);
    EXPECT_EQ(send->text(), QStringLiteral("Перезапись калибровки"));
    // The button's own handler: the status rules enable it only once tuning is offered.
    ASSERT_TRUE(session.editor().sendToEcu());
    ASSERT_TRUE(waitFor([&] { return rig.simulator()->readMemory(kTable, kTableBytes) == image(); }))
        << session.log().lines().join('\n').toStdString();

    EXPECT_TRUE(demo.disconnect());
}
