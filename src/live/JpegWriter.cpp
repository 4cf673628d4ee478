#include "live/JpegWriter.h"

#include "core/SafeFile.h"

#include <csetjmp>
#include <cstdio>
#include <memory>

#include <jpeglib.h>

namespace korvel {
namespace {

// libjpeg ends the process on errors unless error_exit returns elsewhere.
struct ErrorManager {
    jpeg_error_mgr base;
    std::jmp_buf escape;
    char message[JMSG_LENGTH_MAX];
};

extern "C" void leaveOnError(j_common_ptr info) {
    auto *errors = reinterpret_cast<ErrorManager *>(info->err);
    (*info->err->format_message)(info, errors->message);
    std::longjmp(errors->escape, 1);
}

// Collects the compressed bytes in a buffer owned by the caller, so that an
// error leaves nothing to free but what libjpeg frees itself.
struct ByteDestination {
    static constexpr std::size_t kChunk = 64 * 1024;
    jpeg_destination_mgr base;
    QByteArray *out;
    JOCTET chunk[kChunk];
};

extern "C" void startChunk(j_compress_ptr info) {
    auto *dest = reinterpret_cast<ByteDestination *>(info->dest);
    dest->base.next_output_byte = dest->chunk;
    dest->base.free_in_buffer = ByteDestination::kChunk;
}

extern "C" boolean flushChunk(j_compress_ptr info) {
    auto *dest = reinterpret_cast<ByteDestination *>(info->dest);
    dest->out->append(reinterpret_cast<const char *>(dest->chunk), ByteDestination::kChunk);
    startChunk(info);
    return TRUE;
}

extern "C" void finishChunks(j_compress_ptr info) {
    auto *dest = reinterpret_cast<ByteDestination *>(info->dest);
    const std::size_t used = ByteDestination::kChunk - dest->base.free_in_buffer;
    dest->out->append(reinterpret_cast<const char *>(dest->chunk), static_cast<qsizetype>(used));
}

// Kept free of objects with destructors: a libjpeg error jumps back into it.
bool compress(int width, int height, const unsigned char *rgb, int quality, ByteDestination *dest, char *message) {
    jpeg_compress_struct info;
    ErrorManager errors;
    info.err = jpeg_std_error(&errors.base);
    errors.base.error_exit = leaveOnError;
    if (setjmp(errors.escape)) {
        jpeg_destroy_compress(&info);
        std::snprintf(message, JMSG_LENGTH_MAX, "%s", errors.message);
        return false;
    }
    jpeg_create_compress(&info);
    dest->base.init_destination = startChunk;
    dest->base.empty_output_buffer = flushChunk;
    dest->base.term_destination = finishChunks;
    info.dest = &dest->base;
    info.image_width = static_cast<JDIMENSION>(width);
    info.image_height = static_cast<JDIMENSION>(height);
    info.input_components = 3;
    info.in_color_space = JCS_RGB;
    jpeg_set_defaults(&info);
    jpeg_set_quality(&info, quality, TRUE);
    jpeg_start_compress(&info, TRUE);
    const std::size_t stride = static_cast<std::size_t>(width) * 3;
    while (info.next_scanline < info.image_height) {
        JSAMPROW row = const_cast<unsigned char *>(rgb + info.next_scanline * stride);
        jpeg_write_scanlines(&info, &row, 1);
    }
    jpeg_finish_compress(&info);
    jpeg_destroy_compress(&info);
    return true;
}

} // namespace

bool encodeJpeg(int width, int height, const QByteArray &rgb888, int quality, QByteArray &jpeg, QString &error) {
    constexpr int kMaxSide = JPEG_MAX_DIMENSION;
    if (width <= 0 || height <= 0 || width > kMaxSide || height > kMaxSide) {
        error = QStringLiteral("недопустимый размер изображения %1×%2").arg(width).arg(height);
        return false;
    }
    if (rgb888.size() != static_cast<qsizetype>(width) * height * 3) {
        error = QStringLiteral("размер данных изображения не совпадает с %1×%2").arg(width).arg(height);
        return false;
    }
    if (quality < 1 || quality > 100) {
        error = QStringLiteral("недопустимое качество JPEG %1").arg(quality);
        return false;
    }
    auto dest = std::make_unique<ByteDestination>();
    dest->out = &jpeg;
    jpeg.clear();
    char message[JMSG_LENGTH_MAX] = {};
    if (compress(width, height, reinterpret_cast<const unsigned char *>(rgb888.constData()), quality, dest.get(),
                 message))
        return true;
    jpeg.clear();
    error = QString::fromLocal8Bit(message);
    return false;
}

QString writeJpeg(const QString &path, int width, int height, const QByteArray &rgb888, int quality) {
    QByteArray jpeg;
    QString error;
    if (!encodeJpeg(width, height, rgb888, quality, jpeg, error))
        return error;
    return writeFileSafely(path, jpeg);
}

} // namespace korvel
