#include "platform/error.h"
#include "platform/image/exif_orientation.h"
#include "platform/image/picture_formats.h"

#include <webp/decode.h>
#include <webp/demux.h>

#include <cmath>
#include <cstring>

namespace tav::picture {
namespace {

constexpr qint64 kMaxExifBytes = 1 << 20;

std::uint32_t le32(const unsigned char* p) {
    return std::uint32_t(p[0]) | std::uint32_t(p[1]) << 8 | std::uint32_t(p[2]) << 16 |
           std::uint32_t(p[3]) << 24;
}

} // namespace

QByteArray webpExifBlock(const ByteSource& source) {
    unsigned char head[30];
    // Only the extended layout (a "VP8X" chunk first) carries metadata chunks.
    if (source.readAt(0, head, sizeof head) != qint64(sizeof head) ||
        std::memcmp(head, "RIFF", 4) != 0 || std::memcmp(head + 12, "VP8X", 4) != 0)
        return QByteArray();
    const qint64 end = std::min<qint64>(source.size(), qint64(le32(head + 4)) + 8);
    qint64 pos = 12;
    while (pos + 8 <= end) {
        unsigned char chunk[8];
        if (source.readAt(pos, chunk, 8) != 8)
            break;
        const qint64 length = le32(chunk + 4);
        if (std::memcmp(chunk, "EXIF", 4) == 0)
            return length <= kMaxExifBytes ? source.bytesAt(pos + 8, length) : QByteArray();
        pos += 8 + length + (length & 1); // chunks are padded to an even length
    }
    return QByteArray();
}

namespace {

struct WebpHeader {
    QSize stored; // the canvas
    bool alpha = false;
    bool animated = false;
    int orientation = 1;
};

// The size and kind from the first chunk (libwebp reads it from the first bytes), the
// orientation from the EXIF chunk.
WebpHeader readWebpHeader(const ByteSource& source, const QString& name) {
    const QByteArray head = source.bytesAt(0, 64);
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(head.constData());
    WebPBitstreamFeatures features{};
    if (WebPGetFeatures(bytes, size_t(head.size()), &features) != VP8_STATUS_OK)
        invalid(name, ErrorText::PictureHeaderDamaged);
    WebpHeader header;
    header.stored = QSize(features.width, features.height);
    header.alpha = features.has_alpha != 0;
    header.animated = features.has_animation != 0;

    const QByteArray exif = webpExifBlock(source);
    header.orientation = exifBlockOrientation(
        reinterpret_cast<const unsigned char*>(exif.constData()), std::size_t(exif.size()));
    return header;
}

QSize upright(const WebpHeader& header) {
    return orientationSwapsSides(header.orientation) ? header.stored.transposed() : header.stored;
}

// Refuses a picture libwebp could not decode, by what went wrong.
[[noreturn]] void decodeFailed(VP8StatusCode status, QSize size, const QString& name) {
    switch (status) {
    case VP8_STATUS_OUT_OF_MEMORY:
        throw Error(err::OutOfMemory,
                    errorText(ErrorText::NoMemoryForPicture, QString::number(size.width()),
                              QString::number(size.height())));
    case VP8_STATUS_UNSUPPORTED_FEATURE:
        invalid(name, ErrorText::PictureKindUnsupported);
    case VP8_STATUS_NOT_ENOUGH_DATA:
        invalid(name, ErrorText::PictureDataDamaged, QStringLiteral("the file ends too early"));
    default:
        invalid(name, ErrorText::PictureDataDamaged,
                QStringLiteral("libwebp status %1").arg(int(status)));
    }
}

// The smallest size with the picture's shape that covers `need` (stored orientation);
// the full size when nothing smaller does.
QSize decodeSize(QSize stored, QSize need) {
    if (need.width() <= 0 && need.height() <= 0)
        return stored;
    const double scale = std::max(double(std::max(need.width(), 0)) / stored.width(),
                                  double(std::max(need.height(), 0)) / stored.height());
    if (scale >= 1.0)
        return stored;
    const QSize size(int(std::ceil(stored.width() * scale - 1e-9)),
                     int(std::ceil(stored.height() * scale - 1e-9)));
    return size.expandedTo(need).expandedTo(QSize(1, 1)).boundedTo(stored);
}

// A still picture, decoded into the picture's own pixels: opaque ones straight as
// Format_RGB32 (libwebp writes 0xFF as the fourth byte), the others with their alpha
// multiplied in, then laid over white.
QImage decodeStill(const QByteArray& data, const WebpHeader& header, QSize size,
                   const QString& name) {
    WebPDecoderConfig config;
    if (WebPInitDecoderConfig(&config) == 0)
        throw Error(err::OutOfMemory, errorText(ErrorText::PictureReaderUnavailable));
    QImage image =
        newImage(size, header.alpha ? QImage::Format_ARGB32_Premultiplied : QImage::Format_RGB32);
    config.output.colorspace = header.alpha ? MODE_bgrA : MODE_BGRA;
    config.output.is_external_memory = 1;
    config.output.u.RGBA.rgba = image.bits();
    config.output.u.RGBA.stride = int(image.bytesPerLine());
    config.output.u.RGBA.size = size_t(image.sizeInBytes());
    if (size != header.stored) {
        config.options.use_scaling = 1;
        config.options.scaled_width = size.width();
        config.options.scaled_height = size.height();
    }
    const VP8StatusCode status = WebPDecode(reinterpret_cast<const std::uint8_t*>(data.constData()),
                                            size_t(data.size()), &config);
    WebPFreeDecBuffer(&config.output); // libwebp's bookkeeping; the pixels are the image's
    if (status != VP8_STATUS_OK)
        decodeFailed(status, size, name);
    return flattenOverWhite(image);
}

// The first frame of an animation on its canvas, laid over white.
QImage decodeFirstFrame(const QByteArray& data, const WebpHeader& header, const QString& name) {
    WebPAnimDecoderOptions options;
    if (WebPAnimDecoderOptionsInit(&options) == 0)
        throw Error(err::OutOfMemory, errorText(ErrorText::PictureReaderUnavailable));
    options.color_mode = MODE_bgrA;
    options.use_threads = 0;
    const WebPData webp{reinterpret_cast<const std::uint8_t*>(data.constData()),
                        size_t(data.size())};
    struct Decoder {
        WebPAnimDecoder* decoder;
        ~Decoder() { WebPAnimDecoderDelete(decoder); }
    } decoder{WebPAnimDecoderNew(&webp, &options)};
    WebPAnimInfo info{};
    if (decoder.decoder == nullptr || WebPAnimDecoderGetInfo(decoder.decoder, &info) == 0 ||
        QSize(int(info.canvas_width), int(info.canvas_height)) != header.stored)
        invalid(name, ErrorText::PictureDataDamaged,
                QStringLiteral("the animation's canvas is missing or not the header's"));
    std::uint8_t* canvas = nullptr;
    int timestamp = 0;
    if (WebPAnimDecoderGetNext(decoder.decoder, &canvas, &timestamp) == 0 || canvas == nullptr)
        invalid(name, ErrorText::PictureDataDamaged, QStringLiteral("no first frame"));
    // The canvas belongs to the decoder: laid over white into a picture of our own
    // before the decoder goes.
    const QImage frame(canvas, header.stored.width(), header.stored.height(),
                       qsizetype(header.stored.width()) * 4, QImage::Format_ARGB32_Premultiplied);
    return flattenOverWhite(frame);
}

} // namespace

PictureInfo probeWebp(const ByteSource& source, const QString& name) {
    const WebpHeader header = readWebpHeader(source, name);
    checkPixelCount(header.stored.width(), header.stored.height(), source.size(), name);
    return rasterInfo(PictureFormat::Webp, upright(header));
}

LoadedPicture loadWebp(const QByteArray& data, const QString& name, const LoadOptions& options) {
    const WebpHeader header = readWebpHeader(MemorySource(data), name);
    checkPixelCount(header.stored.width(), header.stored.height(), data.size(), name);
    QImage stored;
    if (header.animated) {
        stored = decodeFirstFrame(data, header, name);
    } else {
        QSize need = options.minimumSize;
        if (orientationSwapsSides(header.orientation))
            need.transpose();
        stored = decodeStill(data, header, decodeSize(header.stored, need), name);
    }
    return rasterPicture(PictureFormat::Webp,
                         applyExifOrientation(std::move(stored), header.orientation),
                         upright(header));
}

} // namespace tav::picture
