#include "platform/xls/picture.h"

#include "platform/error.h"
#include "platform/image/turbojpeg_handle.h"
#include "platform/xls/biff.h"
#include "platform/xls/drawing.h"
#include "platform/xls/model.h"

#include <QPainter>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <memory>

namespace tav::xls {

namespace {

QImage opaqueRgb32(const QImage& image) {
    if (image.format() == QImage::Format_RGB32) {
        return image;
    }
    if (!image.hasAlphaChannel()) {
        return image.convertToFormat(QImage::Format_RGB32);
    }
    QImage flat(image.size(), QImage::Format_RGB32);
    if (flat.isNull()) {
        throw Error(err::OutOfMemory, errorText(ErrorText::NoMemory));
    }
    flat.fill(Qt::white);
    QPainter painter(&flat);
    painter.drawImage(0, 0, image);
    painter.end();
    return flat;
}

} // namespace

QImage reduceImage(const QImage& image, QSize size) {
    QImage src = opaqueRgb32(image);
    if (src.size() == size) {
        return src;
    }
    // Qt's smooth scaling averages areas when it shrinks (every source pixel counts with
    // the share of it an output pixel covers) and splits large pictures over the cores.
    QImage out = src.scaled(size, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    if (out.isNull()) {
        throw Error(err::OutOfMemory, errorText(ErrorText::NoMemory));
    }
    return out;
}

QByteArray encodeJpeg(const QImage& image, int quality) {
    const QImage src = opaqueRgb32(image);
    // One compressor per thread, kept for the program's life: a run encodes hundreds
    // of pictures, and setting up the encoder's tables each time is measurable.
    thread_local const TjHandle handle = newTjCompressor();
    if (!handle) {
        throw Error(err::EngineRefused, errorText(ErrorText::JpegEncoderUnavailable));
    }
    unsigned char* buffer = nullptr;
    unsigned long size = 0;
    const int rc = tjCompress2(
        handle.get(), src.constBits(), src.width(), static_cast<int>(src.bytesPerLine()),
        src.height(), QSysInfo::ByteOrder == QSysInfo::LittleEndian ? TJPF_BGRX : TJPF_XRGB,
        &buffer, &size, TJSAMP_420, quality, TJFLAG_ACCURATEDCT);
    if (rc != 0) {
        const QString why = QString::fromLocal8Bit(tjGetErrorStr2(handle.get()));
        tjFree(buffer);
        throw Error(err::EngineRefused, errorText(ErrorText::JpegEncodingFailed), why);
    }
    QByteArray out(reinterpret_cast<const char*>(buffer), static_cast<qsizetype>(size));
    tjFree(buffer);
    return out;
}

QSize jpegPixelSize(const QByteArray& jpeg) {
    const auto* p = reinterpret_cast<const unsigned char*>(jpeg.constData());
    const qsizetype n = jpeg.size();
    if (n < 4 || p[0] != 0xFF || p[1] != 0xD8) {
        return {};
    }
    qsizetype i = 2;
    while (i + 4 <= n) {
        if (p[i] != 0xFF) {
            return {};
        }
        const unsigned char marker = p[i + 1];
        if (marker == 0xFF) {
            ++i;
            continue;
        }
        const int length = (p[i + 2] << 8) | p[i + 3];
        const bool sof =
            marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC;
        if (sof && i + 9 <= n) {
            return QSize((p[i + 7] << 8) | p[i + 8], (p[i + 5] << 8) | p[i + 6]);
        }
        if (length < 2) {
            return {};
        }
        i += 2 + length;
    }
    return {};
}

QSize storedPixelSize(double widthPoints, double heightPoints, QSize source) {
    const double scale = StoredPixelsPerInch / 72.0;
    double w = std::max(1.0, widthPoints * scale);
    double h = std::max(1.0, heightPoints * scale);
    if (source.isValid()) {
        // Never more pixels than the source: shrink both sides by the same factor.
        const double limit = std::min({1.0, source.width() / w, source.height() / h});
        if (limit < 1.0) {
            w *= limit;
            h *= limit;
        }
    }
    return QSize(std::max(1, static_cast<int>(std::lround(w))),
                 std::max(1, static_cast<int>(std::lround(h))));
}

void settlePicture(ShapeModel& shape) {
    PictureData& pic = *shape.picture;
    if (pic.image.isNull()) {
        return;
    }
    QSize target = storedPixelSize(shape.width, shape.height, pic.image.size());
    const QSize have = pic.image.size();
    if (std::abs(have.width() - target.width()) <= 1 &&
        std::abs(have.height() - target.height()) <= 1) {
        // Handed over at its stored size already (the run reduces before it turns);
        // a pixel of rounding either way is not worth a resampling pass that would
        // only blur the picture.
        target = have;
    }
    if (target == have && !pic.imageJpeg.isEmpty()) {
        pic.jpeg = std::move(pic.imageJpeg);
    } else {
        pic.jpeg =
            encodeJpeg(target == have ? pic.image : reduceImage(pic.image, target), JpegQuality);
    }
    pic.imageJpeg.clear();
    pic.jpegPixels = target;
    pic.blipType = blipType::Jpeg;
    pic.rawBlip.clear();
    pic.image = QImage();
}

QImage decodeRasterBlip(const PictureData& picture) {
    const QByteArray& blip = picture.rawBlip;
    if (blip.size() < 8 + 17 ||
        (picture.blipType != blipType::Png && picture.blipType != blipType::Dib)) {
        return {};
    }
    QByteArray data = blip.mid(blipDataOffset(blip));
    if (picture.blipType == blipType::Dib) {
        // A DIB lacks the 14-byte file header of a .bmp file: the file size, and where
        // the pixels start after the info header, the colour masks and the palette.
        if (data.size() < 40) {
            return {};
        }
        const std::uint32_t headerSize = get32(data, 0);
        const int bits = get16(data, 14);
        std::uint32_t colours = get32(data, 32);
        if (colours == 0 && bits <= 8) {
            colours = 1u << bits;
        }
        const std::uint32_t masks = (get32(data, 16) == 3 && headerSize == 40) ? 12 : 0;
        const std::uint32_t offset = 14 + headerSize + masks + 4 * colours;
        QByteArray file("BM");
        put32(file, static_cast<std::uint32_t>(14 + data.size()));
        put32(file, 0);
        put32(file, offset);
        data.prepend(file);
    }
    return QImage::fromData(data);
}

} // namespace tav::xls
