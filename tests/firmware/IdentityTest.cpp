#include "firmware/FirmwareIdentity.h"
#include "firmware/FirmwareImage.h"

#include <gtest/gtest.h>

using namespace korvel;

namespace {

const QDateTime kNow(QDate(2014, 3, 5), QTime(17, 42, 9));

// An ECU identification block whose SWID is the given table entry cannot be
// forged by hand, so these tests set the ECU SWID through a block and compare
// with what the same block gives.
QByteArray block(char fill) {
    return QByteArray(kSwidBlockSize, fill);
}

FirmwareImage imageStartingWith(const QByteArray &bytes) {
    FirmwareImage image;
    image.setBytes(0, bytes);
    return image;
}

} // namespace

TEST(Identity, SwidTableLooksUpExactly) {
    const std::tuple<QString, QString, int> cases[] = {
        {"0E847F18", "VRK239", 2},     {"A9281EF8", "J5LS_V43", 1},  {"993A5713", "J5LS_V43", 1},
        {"8ABD6470", "J7ESA(075)", 3}, {"4ED41CAC", "VRK249_06", 2}, {"6B3E4B7A", "VRK243", 2},
        {"0e847f18", "Unknown", 0},    {"12345678", "Unknown", 0},   {"", "Unknown", 0},
    };
    for (const auto &[swid, name, family] : cases) {
        EXPECT_EQ(firmwareTypeOfSwid(swid).name, name) << swid.toStdString();
        EXPECT_EQ(firmwareTypeOfSwid(swid).family, family) << swid.toStdString();
    }
}

TEST(Identity, CheckbinFollowsTheSetting) {
    struct Case {
        QString setting;
        QString expectedName;
        int expectedFamily;
    };
    // The ECU SWID of a zero block is C2DEA49C: not in the table.
    const Case cases[] = {
        {"авто", "Unknown", 0},
        {"j7es", "J7ESA", 3},
        {"j5ls", "J5LS", 1},
        {"vrk", "VRK", 2},
        {"стандартная", "стандартная", 0},
        {"ручной режим", "", 0}, // right after start-up: nothing yet
        {"", "", 0},
    };
    for (const Case &c : cases) {
        FirmwareIdentity identity;
        identity.EcuSwid(block('\0'));
        const int row = identity.checkbin(c.setting, kNow);
        EXPECT_EQ(identity.FirmwareTypeName(), c.expectedName) << c.setting.toStdString();
        EXPECT_EQ(identity.FirmwareFamily(), c.expectedFamily) << c.setting.toStdString();
        EXPECT_EQ(row, c.expectedFamily + 1) << c.setting.toStdString();
        EXPECT_EQ(identity.DefaultFirmwareFileName(), c.expectedName + "_05.03.14-17.42.09.bin");
    }
}

TEST(Identity, AutoUsesTheTableAndOverridesWin) {
    // Find the table rows reached through a real block: any block is fine for
    // the override, and "авто" must give what the table says for its SWID.
    FirmwareIdentity identity;
    identity.EcuSwid(block('\x01'));
    identity.checkbin("авто", kNow);
    EXPECT_EQ(identity.FirmwareTypeName(), firmwareTypeOfSwid(identity.ecuSwid()).name);
    identity.checkbin("vrk", kNow);
    EXPECT_EQ(identity.FirmwareTypeName(), "VRK");
    EXPECT_EQ(identity.FirmwareFamily(), 2);
}

TEST(Identity, ManualModeKeepsThePreviousIdentification) {
    FirmwareIdentity identity;
    identity.checkbin("j7es", kNow);
    const int row = identity.checkbin("ручной режим", kNow.addSecs(60));
    EXPECT_EQ(identity.FirmwareTypeName(), "J7ESA");
    EXPECT_EQ(identity.FirmwareFamily(), 3);
    EXPECT_EQ(row, 4);
    EXPECT_EQ(identity.DefaultFirmwareFileName(), "J7ESA_05.03.14-17.43.09.bin");
}

TEST(Identity, EcuSwidTakesOnlyWholeBlocks) {
    FirmwareIdentity identity;
    identity.EcuSwid(block('\0').left(223));
    EXPECT_TRUE(identity.ecuSwid().isEmpty());
    EXPECT_FALSE(identity.ecuSwidValid());
    identity.EcuSwid(block('\0') + "x");
    EXPECT_TRUE(identity.ecuSwid().isEmpty()) << "a longer block is not an identification block either";
    identity.EcuSwid(block('\0'));
    EXPECT_EQ(identity.ecuSwid(), "C2DEA49C");
    EXPECT_TRUE(identity.ecuSwidValid());
    identity.ClearIdentity();
    EXPECT_TRUE(identity.ecuSwid().isEmpty());
    EXPECT_FALSE(identity.ecuSwidValid());
}

TEST(Identity, AMatchAsksForOneAutomaticSave) {
    FirmwareIdentity identity;
    int saves = 0;
    identity.setAutoSave([&saves] { ++saves; });

    identity.EcuSwid(block('\0'));
    EXPECT_EQ(saves, 0) << "no image yet";
    identity.ImageSwid(imageStartingWith(QByteArray(8, '\x55')));
    EXPECT_FALSE(identity.swidMatch());
    EXPECT_EQ(saves, 0);

    identity.ImageSwid(FirmwareImage()); // first 224 bytes zero, like the ECU block
    EXPECT_TRUE(identity.swidMatch());
    EXPECT_EQ(identity.imageSwid(), "C2DEA49C");
    EXPECT_EQ(saves, 1);

    identity.ClearIdentity();
    EXPECT_FALSE(identity.swidMatch());
    EXPECT_FALSE(identity.CheckSwid()) << "two empty SWIDs are no match";
    EXPECT_EQ(saves, 1);
}

TEST(Identity, IdentityAreaShowsTheComparison) {
    FirmwareIdentity identity;
    IdentityArea area = identityArea(identity);
    EXPECT_EQ(area.text, "[firmware:] []") << "nothing loaded: green with empty brackets";
    EXPECT_EQ(area.rgb, kIdentityGreen);

    identity.ImageSwid(FirmwareImage());
    area = identityArea(identity);
    EXPECT_EQ(area.text, "[C2DEA49C]/[]") << "image before connecting";
    EXPECT_EQ(area.rgb, kIdentityRed);
    EXPECT_FALSE(area.tuningAllowed);

    identity.EcuSwid(block('\0'));
    identity.checkbin("j5ls", kNow);
    area = identityArea(identity);
    EXPECT_EQ(area.text, "[firmware:J5LS] [C2DEA49C]");
    EXPECT_EQ(area.rgb, kIdentityGreen);
    EXPECT_TRUE(area.tuningAllowed);

    identity.EcuSwid(block('\x01'));
    area = identityArea(identity);
    EXPECT_EQ(area.text, QStringLiteral("[C2DEA49C]/[%1]").arg(identity.ecuSwid()));
    EXPECT_FALSE(area.tuningAllowed);
}
