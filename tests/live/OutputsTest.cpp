#include "TestSupport.h"
#include "core/LogDirectory.h"
#include "live/ExchangeStatistics.h"
#include "live/JpegWriter.h"
#include "live/MonitorLine.h"
#include "live/ScreenshotFiles.h"

#include <QDir>
#include <QFile>

#include <gtest/gtest.h>

#include <csetjmp>
#include <cstdio>

#include <jpeglib.h>

using namespace korvel;

namespace {

QByteArray gradient(int width, int height) {
    QByteArray rgb(width * height * 3, '\0');
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            char *pixel = rgb.data() + (y * width + x) * 3;
            pixel[0] = static_cast<char>(x * 255 / width);
            pixel[1] = static_cast<char>(y * 255 / height);
            pixel[2] = static_cast<char>(128);
        }
    return rgb;
}

struct JpegSize {
    int width = 0;
    int height = 0;
    int components = 0;
    long long samples = 0; // decoded bytes
};

struct DecodeErrors {
    jpeg_error_mgr base;
    std::jmp_buf escape;
};

extern "C" void failDecode(j_common_ptr info) {
    std::longjmp(reinterpret_cast<DecodeErrors *>(info->err)->escape, 1);
}

bool decodeJpeg(const QByteArray &bytes, JpegSize &size) {
    jpeg_decompress_struct info;
    DecodeErrors errors;
    info.err = jpeg_std_error(&errors.base);
    errors.base.error_exit = failDecode;
    if (setjmp(errors.escape)) {
        jpeg_destroy_decompress(&info);
        return false;
    }
    jpeg_create_decompress(&info);
    jpeg_mem_src(&info, reinterpret_cast<const unsigned char *>(bytes.constData()),
                 static_cast<unsigned long>(bytes.size()));
    jpeg_read_header(&info, TRUE);
    jpeg_start_decompress(&info);
    size.width = static_cast<int>(info.output_width);
    size.height = static_cast<int>(info.output_height);
    size.components = info.output_components;
    unsigned char row[4096 * 3];
    while (info.output_scanline < info.output_height) {
        JSAMPROW rows[1] = {row};
        size.samples += jpeg_read_scanlines(&info, rows, 1) * info.output_width * info.output_components;
    }
    jpeg_finish_decompress(&info);
    jpeg_destroy_decompress(&info);
    return true;
}

QByteArray readAll(const QString &path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

} // namespace

TEST(JpegWriter, WrittenFileDecodesToTheSameSize) {
    test::WorkDir work(false);
    const QString path = work.path(QStringLiteral("shot.jpg"));
    ASSERT_EQ(writeJpeg(path, 320, 201, gradient(320, 201), kScreenshotQuality), QString());
    JpegSize size;
    ASSERT_TRUE(decodeJpeg(readAll(path), size));
    EXPECT_EQ(size.width, 320);
    EXPECT_EQ(size.height, 201);
    EXPECT_EQ(size.components, 3);
    EXPECT_EQ(size.samples, 320LL * 201 * 3);
}

TEST(JpegWriter, RefusesInconsistentInput) {
    test::WorkDir work(false);
    const QString path = work.path(QStringLiteral("bad.jpg"));
    EXPECT_NE(writeJpeg(path, 10, 10, QByteArray(299, '\0'), 100), QString());
    EXPECT_NE(writeJpeg(path, 0, 10, QByteArray(), 100), QString());
    EXPECT_NE(writeJpeg(path, 10, 10, QByteArray(300, '\0'), 0), QString());
    EXPECT_FALSE(QFile::exists(path));
    EXPECT_NE(writeJpeg(work.path(QStringLiteral("no/such/folder.jpg")), 2, 2, gradient(2, 2), 100), QString());
}

TEST(ScreenshotFiles, NumbersTheShotsOfARunInOnePicFolder) {
    test::WorkDir work(false);
    LogDirectory directory(work.path());
    ScreenshotFiles shots(directory);
    for (int i = 0; i < 3; ++i) {
        const ScreenshotFiles::Result result = shots.save(16, 8, gradient(16, 8));
        ASSERT_EQ(result.error, QString());
        EXPECT_TRUE(result.path.endsWith(QStringLiteral("/pic/screenshot_%1.jpg").arg(i))) << result.path.toStdString();
    }
    const QDir pic(directory.ensure() + QStringLiteral("/pic"));
    EXPECT_EQ(pic.entryList(QDir::Files, QDir::Name),
              (QStringList{"screenshot_0.jpg", "screenshot_1.jpg", "screenshot_2.jpg"}));
    EXPECT_NE(shots.save(16, 8, QByteArray()).error, QString());
    EXPECT_EQ(shots.counter(), 3) << "a failed shot takes no number";
}

TEST(ExchangeStatistics, RatesPerSecondOverTheInterval) {
    EXPECT_EQ(exchangeStatisticsText(40, 38, 2000), "S[20.00//19.00]");
    EXPECT_EQ(exchangeStatisticsText(7, 1, 3000), "S[2.33//0.33]");
    EXPECT_EQ(exchangeStatisticsText(40, 38, 0), "S[0.00//0.00]");
    ExchangeStatistics statistics;
    EXPECT_EQ(statistics.update(100, 90, 2000), "S[50.00//45.00]");
    EXPECT_EQ(statistics.update(140, 100, 2000), "S[20.00//5.00]");
    statistics.reset();
    EXPECT_EQ(statistics.update(10, 10, 1000), "S[10.00//10.00]");
}

TEST(MonitorLine, ShowsTheMainValues) {
    LiveParameters p;
    p.rpm = 3000;
    p.throttle = 50;
    p.coolantTemp = 90;
    p.afrEcu = 14.7;
    p.afrWideband = 14.66;
    p.vehicleSpeed = 60;
    p.ignition = -5;
    p.injPulse = 4;
    p.batteryU = 137 * 0.093;
    p.injectorLoad = 10;
    p.pressure = 1013;
    p.flags[kKnockFlag - 1] = 1;
    EXPECT_EQ(monitorLine(p), "rpm=3000 thr=50 ect=90 afr=14.7 wb=14.66 spd=60 ign=-5 inj=4 ubat=12.741 load=10 "
                              "kpa=101 idle=0 knock=1");
}
