#include "platform/xls/picture.h"

#include "platform/error.h"
#include "platform/xls/model.h"

#include <QPainter>

#include <turbojpeg.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <memory>

namespace tav::xls {

namespace {

struct TjDeleter {
    void operator()(void* handle) const { tjDestroy(handle); }
};
using TjHandle = std::unique_ptr<void, TjDeleter>;

// Area-averaging weights along one axis: output pixel o covers the input pixels
// first[o] .. first[o] + count[o] - 1, each with its share in weights (fixed point,
// summing to 1 << 14).
struct Taps {
    std::vector<int> first;
    std::vector<int> count;
    std::vector<int> offset; // into weights
    std::vector<std::uint16_t> weights;
};

Taps areaTaps(int in, int out) {
    Taps t;
    const double scale = static_cast<double>(in) / out;
    for (int o = 0; o < out; ++o) {
        const double a = o * scale;
        const double b = std::min<double>(in, (o + 1) * scale);
        const int first = static_cast<int>(std::floor(a));
        const int last = std::min(in - 1, static_cast<int>(std::ceil(b)) - 1);
        t.first.push_back(first);
        t.count.push_back(last - first + 1);
        t.offset.push_back(static_cast<int>(t.weights.size()));
        int sum = 0;
        std::size_t largest = t.weights.size();
        for (int i = first; i <= last; ++i) {
            const double cover = std::min<double>(b, i + 1) - std::max<double>(a, i);
            const int w = static_cast<int>(std::lround(cover / (b - a) * 16384.0));
            if (t.weights.size() == largest || w > t.weights[largest]) {
                largest = t.weights.size();
            }
            t.weights.push_back(static_cast<std::uint16_t>(w));
            sum += w;
        }
        // The rounding rest goes to the largest share, so that every output sums to 1.
        t.weights[largest] = static_cast<std::uint16_t>(t.weights[largest] + (16384 - sum));
    }
    return t;
}

// Downscale of a 32-bit image to `size` (both sides no larger) by area averaging, in
// fixed point: columns first (each output row sums a few whole source rows, a loop
// the compiler vectorises), then rows (on the few output rows only).
QImage areaReduce(const QImage& src, QSize size) {
    const int inW = src.width();
    const int outW = size.width();
    const int outH = size.height();
    const Taps xt = areaTaps(inW, outW);
    const Taps yt = areaTaps(src.height(), outH);
    const std::size_t inValues = static_cast<std::size_t>(inW) * 4;
    QImage result(size, QImage::Format_RGB32);
    if (result.isNull()) {
        throw Error(err::OutOfMemory, QStringLiteral("not enough memory to reduce a picture"));
    }
    std::vector<std::uint32_t> acc(inValues);
    std::vector<std::uint16_t> row(inValues);
    for (int y = 0; y < outH; ++y) {
        const std::size_t yi = static_cast<std::size_t>(y);
        std::fill(acc.begin(), acc.end(), 0u);
        for (int k = 0; k < yt.count[yi]; ++k) {
            const std::uint32_t w = yt.weights[static_cast<std::size_t>(yt.offset[yi] + k)];
            const std::uint8_t* __restrict in =
                reinterpret_cast<const std::uint8_t*>(src.constScanLine(yt.first[yi] + k));
            std::uint32_t* __restrict a = acc.data();
            for (std::size_t i = 0; i < inValues; ++i) {
                a[i] += in[i] * w;
            }
        }
        // Value × 64: six bits of fraction for the second pass (14-bit weights).
        for (std::size_t i = 0; i < inValues; ++i) {
            row[i] = static_cast<std::uint16_t>((acc[i] + 128) >> 8);
        }
        auto* line = reinterpret_cast<std::uint8_t*>(result.scanLine(y));
        for (int x = 0; x < outW; ++x) {
            const std::size_t xi = static_cast<std::size_t>(x);
            const std::uint16_t* w = &xt.weights[static_cast<std::size_t>(xt.offset[xi])];
            const std::uint16_t* p = &row[static_cast<std::size_t>(xt.first[xi]) * 4];
            std::uint32_t b = 0, g = 0, r = 0;
            for (int k = xt.count[xi]; k > 0; --k, p += 4, ++w) {
                b += p[0] * static_cast<std::uint32_t>(*w);
                g += p[1] * static_cast<std::uint32_t>(*w);
                r += p[2] * static_cast<std::uint32_t>(*w);
            }
            line[x * 4 + 0] =
                static_cast<std::uint8_t>(std::min<std::uint32_t>(255, (b + (1u << 19)) >> 20));
            line[x * 4 + 1] =
                static_cast<std::uint8_t>(std::min<std::uint32_t>(255, (g + (1u << 19)) >> 20));
            line[x * 4 + 2] =
                static_cast<std::uint8_t>(std::min<std::uint32_t>(255, (r + (1u << 19)) >> 20));
            line[x * 4 + 3] = 0xFF;
        }
    }
    return result;
}

QImage opaqueRgb32(const QImage& image) {
    if (image.format() == QImage::Format_RGB32) {
        return image;
    }
    if (!image.hasAlphaChannel()) {
        return image.convertToFormat(QImage::Format_RGB32);
    }
    QImage flat(image.size(), QImage::Format_RGB32);
    if (flat.isNull()) {
        throw Error(err::OutOfMemory, QStringLiteral("not enough memory for a picture"));
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
    if (size.width() <= src.width() && size.height() <= src.height()) {
        return areaReduce(src, size);
    }
    QImage out = src.scaled(size, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    if (out.isNull()) {
        throw Error(err::OutOfMemory, QStringLiteral("not enough memory to reduce a picture"));
    }
    return out;
}

QByteArray encodeJpeg(const QImage& image, int quality) {
    const QImage src = opaqueRgb32(image);
    // One compressor per thread, kept for the program's life: a run encodes hundreds
    // of pictures, and setting up the encoder's tables each time is measurable.
    thread_local const TjHandle handle(tjInitCompress());
    if (!handle) {
        throw Error(err::EngineRefused, QStringLiteral("JPEG encoder unavailable"));
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
        throw Error(err::EngineRefused, QStringLiteral("JPEG encoding failed: %1").arg(why));
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
    pic.jpeg = encodeJpeg(target == have ? pic.image : reduceImage(pic.image, target), JpegQuality);
    pic.jpegPixels = target;
    pic.blipType = 5;
    pic.rawBlip.clear();
    pic.image = QImage();
}

} // namespace tav::xls
