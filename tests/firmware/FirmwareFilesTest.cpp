#include "firmware/FirmwareFiles.h"
#include "TestSupport.h"
#include "core/ControlBoard.h"
#include "core/LogDirectory.h"
#include "core/ProgramLog.h"
#include "firmware/FirmwareIdentity.h"
#include "firmware/FirmwareStore.h"

#include <QDir>
#include <QFile>

#include <gtest/gtest.h>

using namespace korvel;

namespace {

const QDateTime kSavedAt(QDate(2014, 3, 5), QTime(17, 42, 9));

QByteArray pattern(int size, char seed = 1) {
    QByteArray bytes(size, '\0');
    for (int i = 0; i < size; ++i)
        bytes[i] = static_cast<char>(i * 7 + seed);
    return bytes;
}

struct Files {
    test::WorkDir dir{false};
    ProgramLog log;
    ControlBoard board;
    FirmwareStore store{&log, &board};
    FirmwareIdentity identity;
};

} // namespace

TEST(FirmwareFiles, OnlyWholeImagesAreOpened) {
    for (int size : {65535, 65537, 0}) {
        Files f;
        const FirmwareImage before = *FirmwareImage::fromBytes(pattern(kFirmwareSize, 3));
        f.store.loadImage(before);
        f.identity.ImageSwid(f.store.image());
        const QString swidBefore = f.identity.imageSwid();
        f.board.setText(kFirmwareLabel, "Прошивка:old");
        f.dir.write("bad.bin", pattern(size));

        EXPECT_FALSE(openFirmware(f.dir.path("bad.bin"), f.store, f.identity, f.log, &f.board));
        EXPECT_EQ(f.log.lines(), (QStringList{QStringLiteral("Размер файла:%1").arg(size), "Прошивка НЕ загружена!",
                                              "Прошивка должна быть 64кб"}));
        EXPECT_EQ(f.store.image(), before) << size;
        EXPECT_EQ(f.identity.imageSwid(), swidBefore);
        EXPECT_EQ(f.board.text(kFirmwareLabel), "Прошивка:old");

        EXPECT_FALSE(openComparison(f.dir.path("bad.bin"), f.store, f.log, &f.board));
        EXPECT_FALSE(f.store.ComparisonLoaded());
    }
}

TEST(FirmwareFiles, OpeningAWholeImageReplacesIt) {
    Files f;
    f.dir.write("J5.bin", pattern(kFirmwareSize));
    ASSERT_TRUE(openFirmware(f.dir.path("J5.bin"), f.store, f.identity, f.log, &f.board));
    EXPECT_TRUE(f.store.FirmwareLoaded());
    EXPECT_EQ(f.store.image().bytes(), pattern(kFirmwareSize));
    EXPECT_EQ(f.log.lines(), (QStringList{"Размер файла:65536", "Прошивка загружена " + f.dir.path("J5.bin")}));
    EXPECT_EQ(f.identity.imageSwid(), SwidCrc().swid(pattern(kFirmwareSize)));
    EXPECT_EQ(swidLogLine(f.identity.imageSwid()), "SWID[ " + f.identity.imageSwid() + "]");

    EXPECT_FALSE(openFirmware(f.dir.path("missing.bin"), f.store, f.identity, f.log, &f.board));
    EXPECT_EQ(f.store.image().bytes(), pattern(kFirmwareSize));
}

TEST(FirmwareFiles, LabelNameIsCutAtThePathsFirstDot) {
    const std::pair<const char *, const char *> cases[] = {
        {"C:\\fw\\J5.bin", "J5.bin"},
        {"C:\\my.dir\\J5.bin", "J5.bi"},
        {"/home/user/fw/J5.bin", "J5.bin"},
        {"/a.b/c/J5LS.bin", "J5"},
        {"C:\\fw\\J5", "J5"}, // no dot at all: the whole name
        {"J5.bin", "J5"},     // a bare name: cut at its own dot
    };
    for (const auto &[path, shown] : cases)
        EXPECT_EQ(labelName(QString::fromLatin1(path)), QString::fromLatin1(shown)) << path;
}

TEST(FirmwareFiles, ComparisonShowsItsCheckBox) {
    Files f;
    f.dir.write("other.bin", pattern(kFirmwareSize, 9));
    ASSERT_TRUE(openComparison(f.dir.path("other.bin"), f.store, f.log, &f.board));
    EXPECT_TRUE(f.store.ComparisonLoaded());
    EXPECT_FALSE(f.store.FirmwareLoaded());
    EXPECT_EQ(f.store.comparison().bytes(), pattern(kFirmwareSize, 9));
    EXPECT_TRUE(f.board.isVisible(kComparisonCheckBox));
    EXPECT_TRUE(f.board.text(kComparisonCheckBox).startsWith("Вторая прошивки: "));
}

TEST(FirmwareFiles, SaveAsAlwaysAppendsBin) {
    Files f;
    const FirmwareImage image = *FirmwareImage::fromBytes(pattern(kFirmwareSize));
    const Outcome<QString> saved = saveFirmwareAs(f.dir.path("copy.bin"), image);
    ASSERT_TRUE(saved.ok()) << saved.error().toStdString();
    EXPECT_EQ(saved.value(), f.dir.path("copy.bin.bin"));
    EXPECT_EQ(f.dir.read("copy.bin.bin"), image.bytes());
    EXPECT_FALSE(QFile::exists(f.dir.path("copy.bin")));
}

TEST(FirmwareFiles, AFullDiskLeavesThePreviousFileIntact) {
    Files f;
    const QByteArray previous = pattern(kFirmwareSize, 5);
    f.dir.write("copy.bin", previous);
    {
        test::FileSizeLimit full(4096);
        EXPECT_FALSE(saveFirmwareAs(f.dir.path("copy"), *FirmwareImage::fromBytes(pattern(kFirmwareSize))).ok());
    }
    EXPECT_EQ(f.dir.read("copy.bin"), previous);
    EXPECT_EQ(QDir(f.dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{"copy.bin"}) << "no temporary left";
}

TEST(FirmwareFiles, AutomaticSavesGoIntoTheRunsFolder) {
    Files f;
    LogDirectory logDir(f.dir.path());
    EXPECT_FALSE(FirmwareSave(f.store, f.identity, logDir, kSavedAt).ok()) << "nothing loaded, nothing saved";
    EXPECT_FALSE(logDir.isNamed());

    f.store.loadImage(*FirmwareImage::fromBytes(pattern(kFirmwareSize)));
    f.identity.checkbin("vrk", kSavedAt);
    f.identity.setDefaultFirmwareFileName(QString());
    const Outcome<QString> saved = FirmwareSave(f.store, f.identity, logDir, kSavedAt);
    ASSERT_TRUE(saved.ok()) << saved.error().toStdString();
    EXPECT_EQ(saved.value(), f.dir.path("05.03.14-17.42.09/VRK_05.03.14-17.42.09.bin"));
    EXPECT_EQ(f.dir.read("05.03.14-17.42.09/VRK_05.03.14-17.42.09.bin"), pattern(kFirmwareSize));

    // The connect command names the save after the default firmware setting, a path or not.
    f.identity.setDefaultFirmwareFileName("C:\\fw\\j5ls.bin");
    EXPECT_EQ(FirmwareSave(f.store, f.identity, logDir, kSavedAt).value(), f.dir.path("05.03.14-17.42.09/j5ls.bin"));
}

TEST(FirmwareFiles, EveryFirmwareReadAddsTheEcuPrefix) {
    Files f;
    LogDirectory logDir(f.dir.path());
    f.store.loadImage(*FirmwareImage::fromBytes(pattern(kFirmwareSize)));
    f.identity.checkbin("j5ls", kSavedAt);
    f.identity.setDefaultFirmwareFileName(QString());
    EXPECT_TRUE(saveFirmwareReadFromEcu(f.store, f.identity, logDir, f.log, kSavedAt).ok());
    EXPECT_EQ(f.identity.DefaultFirmwareFileName(), "ECU_J5LS_05.03.14-17.42.09.bin");
    EXPECT_TRUE(saveFirmwareReadFromEcu(f.store, f.identity, logDir, f.log, kSavedAt).ok());
    EXPECT_EQ(f.identity.DefaultFirmwareFileName(), "ECU_ECU_J5LS_05.03.14-17.42.09.bin");
    EXPECT_EQ(f.log.lines(), (QStringList{"Прошивка сохранена", "Прошивка сохранена"}));
    EXPECT_EQ(QDir(f.dir.path("05.03.14-17.42.09")).entryList(QDir::Files).size(), 2);

    f.log.clear();
    QFile::setPermissions(f.dir.path("05.03.14-17.42.09"), QFile::ReadOwner | QFile::ExeOwner);
    {
        test::FileSizeLimit full(1024); // also for root, who ignores the folder's permissions
        EXPECT_FALSE(saveFirmwareReadFromEcu(f.store, f.identity, logDir, f.log, kSavedAt).ok());
    }
    QFile::setPermissions(f.dir.path("05.03.14-17.42.09"), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    ASSERT_EQ(f.log.lines().size(), 1);
    EXPECT_TRUE(f.log.last().startsWith("Прошивка не сохранена: ")) << "a failed save is not reported as saved";
}

TEST(FirmwareFiles, ComplectationMismatchMessage) {
    EXPECT_EQ(complectationMismatch("2910", "2910", false), std::nullopt);
    EXPECT_EQ(complectationMismatch("2910", "2110", true), "Комплектация не совпадает");
    EXPECT_EQ(complectationMismatch("2910", "2110", false), "Комплектация и тип прошивки(SWID) не совпадают");
}
