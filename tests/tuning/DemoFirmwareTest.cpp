#include "firmware/DemoFirmware.h"
#include "TestSupport.h"
#include "core/ProgramLog.h"
#include "firmware/Complectation.h"
#include "firmware/FirmwareIdentity.h"
#include "firmware/FirmwareImage.h"
#include "firmware/Swid.h"
#include "firmware/TuningAddressSets.h"
#include "tuning/GridAxes.h"
#include "tuning/TuningGrid.h"

#include <QProcess>

#include <gtest/gtest.h>

using namespace korvel;

namespace {

FirmwareImage demoImage() {
    return *FirmwareImage::fromBytes(makeDemoFirmware());
}

template <std::size_t N> bool rising(const std::array<int, N> &values, std::size_t count = N) {
    for (std::size_t i = 1; i < count; ++i)
        if (values[i] <= values[i - 1])
            return false;
    return true;
}

} // namespace

TEST(DemoFirmware, IsADeterministicWholeImage) {
    const QByteArray image = makeDemoFirmware();
    EXPECT_EQ(image.size(), kFirmwareSize);
    EXPECT_EQ(image, makeDemoFirmware());
}

TEST(DemoFirmware, IdentifiesAsUnknownUnlessForced) {
    FirmwareIdentity identity;
    const FirmwareImage image = demoImage();
    identity.ImageSwid(image);
    identity.EcuSwid(image.slice(0, kSwidBlockSize)); // the simulator answers with the same bytes
    EXPECT_TRUE(identity.swidMatch());
    EXPECT_EQ(firmwareTypeOfSwid(identity.ecuSwid()).name, "Unknown");

    identity.checkbin("авто");
    EXPECT_EQ(identity.FirmwareTypeName(), "Unknown");
    EXPECT_EQ(identity.FirmwareFamily(), 0);
    EXPECT_EQ(identity.checkbin("j5ls"), 2);
    EXPECT_EQ(identity.FirmwareTypeName(), "J5LS");
}

TEST(DemoFirmware, AxesReadBackCoherently) {
    for (int family : {0, 1, 3}) {
        const GridAxes axes = axesFromImage(demoImage(), family);
        EXPECT_EQ(axes.rpmStep, 40);
        for (std::size_t i = 0; i < 16; ++i) {
            EXPECT_EQ(axes.rpm[i], demofirmware::kRpmBreakpoints[i]) << i;
            EXPECT_EQ(axes.throttle[i], demofirmware::kThrottleBreakpoints[i]) << i;
        }
        EXPECT_TRUE(rising(axes.rpm));
        EXPECT_TRUE(rising(axes.throttle));
        EXPECT_TRUE(rising(axes.pressure));
        EXPECT_EQ(axes.pressure[0], demofirmware::kPressureBaseKpa * 10);
        EXPECT_GE(axes.pressure[15], 1000) << "the pressure axis reaches atmospheric pressure";
        EXPECT_LE(axes.pressure[15], 1100);
        EXPECT_TRUE(rising(axes.air));
        EXPECT_EQ(axes.air[0], 60);
        EXPECT_NEAR(axes.air[15], 600, 5);
        for (std::size_t i = 1; i < 17; ++i) {
            EXPECT_LT(axes.rpmBounds[i - 1], axes.rpmBounds[i]);
            EXPECT_LT(axes.throttleBounds[i - 1], axes.throttleBounds[i]);
            EXPECT_LT(axes.pressureBounds[i - 1], axes.pressureBounds[i]);
        }
        // 1 volt reads about 30 kPa, 4.5 volts about 96 kPa, whichever family's constants.
        const PressureSensorConstants p = axes.pressureSensor;
        EXPECT_NEAR((1.0 + p.offset) * p.gain, 29.6, 0.2) << family;
        EXPECT_NEAR((4.5 + p.offset) * p.gain, 95.7, 0.2) << family;
    }
}

TEST(DemoFirmware, ComplectationAndTablesArePlausible) {
    const FirmwareImage image = demoImage();
    EXPECT_EQ(ImageComplectationString(image), "2910" + QString(18, QLatin1Char('0')));
    const ComplectationReading equipment = readComplectation({"29", "10"}, 1).value();
    EXPECT_EQ(equipment.lines,
              (QStringList{"Комплектация:", "Датчик кислорода", "Датчик детонации", "ДФ", "Датчик скорости"}));
    EXPECT_TRUE(equipment.phaseSensor);
    EXPECT_EQ(equipment.airBit, "0") << "the air-flow sensor is fitted";

    TuningAddressSets sets;
    ProgramLog log;
    sets.addhexdata(2, test::dataDir());
    sets.selectAirMeasurement(equipment.airBit, "Дросселю", log);
    TuningGrid grid;
    ASSERT_TRUE(addtabl(grid, image, sets, &log));
    for (int r = 0; r < 16; ++r) {
        for (int c = 0; c < 16; ++c) {
            const TuningCell &cell = grid.at(r, c);
            EXPECT_NEAR(cell.corrThr, 1.0, 0.035);
            EXPECT_NEAR(cell.corrKpa, 1.0, 0.035);
            EXPECT_GE(cell.ignThr, 5);
            EXPECT_LE(cell.ignThr, 45);
            EXPECT_GE(cell.alfThr, 12.9);
            EXPECT_LE(cell.alfThr, 14.71);
            EXPECT_GE(cell.phase, 240);
            EXPECT_LE(cell.phase, 360);
            EXPECT_GE(cell.gbcThr, 40);
            EXPECT_LE(cell.gbcThr, 520);
            if (r > 0) {
                EXPECT_GT(cell.gbcThr, grid.at(r - 1, c).gbcThr) << "filling rises with the load";
            }
        }
    }
}

TEST(DemoFirmware, TheToolWritesTheImage) {
    const QString tool = QStringLiteral(KORVEL_DEMOFW_TOOL);
    ASSERT_TRUE(QFile::exists(tool)) << tool.toStdString();
    test::WorkDir dir(false);
    EXPECT_EQ(QProcess::execute(tool, {dir.path("demo.bin")}), 0);
    EXPECT_EQ(dir.read("demo.bin"), makeDemoFirmware());
    // A second path gets the firmware without the air-flow sensor: bit 2 of 5F05,
    // and a cycle filling rising with the pressure rows.
    EXPECT_EQ(QProcess::execute(tool, {dir.path("demo.bin"), dir.path("pressure.bin")}), 0);
    const QByteArray pressure = dir.read("pressure.bin");
    ASSERT_EQ(pressure, makeDemoPressureFirmware());
    EXPECT_EQ(static_cast<std::uint8_t>(pressure[0x5F05]) & 0x04, 0x04);
    EXPECT_EQ(static_cast<std::uint8_t>(makeDemoFirmware()[0x5F05]) & 0x04, 0);
    for (int r = 1; r < 16; ++r)
        EXPECT_GT(static_cast<std::uint8_t>(pressure[0x75EF + r * 16]),
                  static_cast<std::uint8_t>(pressure[0x75EF + (r - 1) * 16]));
    EXPECT_EQ(QProcess::execute(tool, {}), 2) << "usage";
    EXPECT_EQ(QProcess::execute(tool, {dir.path("no/such/folder/demo.bin")}), 1);
}
