#include "platform/image/picture_loader.h"

#include "platform/error.h"
#include "platform/image/exif_orientation.h"
#include "platform/image/metafile.h"
#include "platform/image/picture_formats.h"
#include "platform/image/turbojpeg_handle.h"

#include <QBuffer>
#include <QImageReader>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <memory>
#include <optional>

namespace tav {
namespace {

using picture::checkPixelCount;
using picture::flattenOverWhite;
using picture::invalid;
using picture::le16;
using picture::le32;
using picture::rasterInfo;
using picture::rasterPicture;

// The picture type by content. The file list offers the types by extension, but a
// file's name says nothing reliable about what is inside it.
PictureFormat sniff(const QByteArray& data, const QString& name) {
    if (data.isEmpty())
        invalid(name, ErrorText::PictureFileEmpty);
    const auto* p = reinterpret_cast<const unsigned char*>(data.constData());
    const qsizetype n = data.size();
    if (n >= 3 && p[0] == 0xFF && p[1] == 0xD8 && p[2] == 0xFF)
        return PictureFormat::Jpeg;
    if (n >= 2 && p[0] == 'B' && p[1] == 'M')
        return PictureFormat::Bmp;
    if (n >= 6 && (data.startsWith("GIF87a") || data.startsWith("GIF89a")))
        return PictureFormat::Gif;
    if (n >= 4 && le32(data, 0) == 0x9AC6CDD7) // placeable metafile header
        return PictureFormat::Wmf;
    if (n >= 18 && (le16(data, 0) == 1 || le16(data, 0) == 2) && le16(data, 2) == 9 &&
        (le16(data, 4) == 0x0100 || le16(data, 4) == 0x0300))
        return PictureFormat::Wmf; // standard metafile header without the placeable part
    if (n >= 44 && le32(data, 0) == 1 && le32(data, 40) == 0x464D4520)
        return PictureFormat::Emf;
    if (data.startsWith(QByteArrayView("\x89PNG\r\n\x1a\n", 8)))
        return PictureFormat::Png;
    if (data.startsWith(QByteArrayView("II*\0", 4)) ||
        data.startsWith(QByteArrayView("MM\0*", 4)) ||
        data.startsWith(QByteArrayView("II+\0", 4)) || data.startsWith(QByteArrayView("MM\0+", 4)))
        return PictureFormat::Tiff; // classic and big TIFF, either byte order
    if (n >= 12 && data.startsWith("RIFF") && data.mid(8, 4) == "WEBP")
        return PictureFormat::Webp;
    if (picture::isHeif(data))
        return PictureFormat::Heif;
    invalid(name, ErrorText::PictureUnknownType);
}

// ---- JPEG through libturbojpeg ---------------------------------------------------

struct JpegHeader {
    int width = 0; // stored, before the orientation
    int height = 0;
    int colorspace = TJCS_RGB;
    int orientation = 1;
};

JpegHeader readJpegHeader(tjhandle h, const QByteArray& data, const QString& name) {
    JpegHeader header;
    int subsamp = 0;
    const auto* bytes = reinterpret_cast<const unsigned char*>(data.constData());
    if (tjDecompressHeader3(h, bytes, static_cast<unsigned long>(data.size()), &header.width,
                            &header.height, &subsamp, &header.colorspace) != 0)
        invalid(name, ErrorText::PictureHeaderDamaged, QString::fromLocal8Bit(tjGetErrorStr2(h)));
    header.orientation = jpegExifOrientation(bytes, std::size_t(data.size()));
    return header;
}

QSize uprightSize(const JpegHeader& header) {
    return orientationSwapsSides(header.orientation) ? QSize(header.height, header.width)
                                                     : QSize(header.width, header.height);
}

// The smallest DCT scale (1/8, 1/4, 1/2, 1/1) whose result covers `need` (stored
// orientation); 3/8 and the other odd factors are slower than the next power of two.
tjscalingfactor chooseScale(const JpegHeader& header, QSize need) {
    static const tjscalingfactor kScales[] = {{1, 8}, {1, 4}, {1, 2}};
    if (need.width() <= 0 && need.height() <= 0)
        return {1, 1}; // nothing asked for: the full picture
    for (const tjscalingfactor& sf : kScales) {
        if (TJSCALED(header.width, sf) >= need.width() &&
            TJSCALED(header.height, sf) >= need.height())
            return sf;
    }
    return {1, 1};
}

// Adobe writes CMYK JPEGs with inverted components; libjpeg hands them over as stored,
// so the ink amounts are 255 - value and the light left is value * k / 255.
void cmykToRgb32(const unsigned char* cmyk, int w, int h, QImage& out) {
    for (int y = 0; y < h; ++y) {
        const unsigned char* in = cmyk + std::size_t(y) * std::size_t(w) * 4;
        auto* dst = reinterpret_cast<QRgb*>(out.scanLine(y));
        for (int x = 0; x < w; ++x, in += 4) {
            const int k = in[3];
            dst[x] = qRgb(in[0] * k / 255, in[1] * k / 255, in[2] * k / 255);
        }
    }
}

// The EXIF thumbnail as the picture, when it covers `need` (stored orientation) and has
// the main picture's aspect ratio; nothing when it is missing, damaged or too small.
std::optional<LoadedPicture> loadEmbeddedThumbnail(tjhandle h, const QByteArray& data,
                                                   const JpegHeader& header, QSize need) {
    const auto* bytes = reinterpret_cast<const unsigned char*>(data.constData());
    const ExifThumbnail thumb = jpegExifThumbnail(bytes, std::size_t(data.size()));
    if (thumb.size == 0)
        return std::nullopt;
    const unsigned char* t = bytes + thumb.offset;
    const auto tsize = static_cast<unsigned long>(thumb.size);
    int tw = 0, th = 0, subsamp = 0, colorspace = 0;
    if (tjDecompressHeader3(h, t, tsize, &tw, &th, &subsamp, &colorspace) != 0 || tw <= 0 ||
        th <= 0 || colorspace == TJCS_CMYK || colorspace == TJCS_YCCK)
        return std::nullopt;
    if (tw < need.width() || th < need.height() || tw >= header.width)
        return std::nullopt;
    // A thumbnail of another shape (letterboxed, or left over from before a crop) is not
    // this picture.
    const double aspect = double(header.width) / header.height;
    if (std::abs(double(tw) / th - aspect) > 0.01 * aspect)
        return std::nullopt;
    QImage stored(tw, th, QImage::Format_RGB32);
    if (stored.isNull() || tjDecompress2(h, t, tsize, stored.bits(), tw, int(stored.bytesPerLine()),
                                         th, TJPF_BGRX, 0) != 0)
        return std::nullopt;
    return rasterPicture(PictureFormat::Jpeg,
                         applyExifOrientation(std::move(stored), header.orientation),
                         uprightSize(header));
}

LoadedPicture loadJpeg(const QByteArray& data, const QString& name, const LoadOptions& options) {
    const TjHandle tj = newTjDecompressor();
    if (!tj)
        throw Error(err::OutOfMemory, errorText(ErrorText::PictureReaderUnavailable));
    const JpegHeader header = readJpegHeader(tj.get(), data, name);
    checkPixelCount(header.width, header.height, data.size(), name);

    QSize need = options.minimumSize;
    if (orientationSwapsSides(header.orientation))
        need.transpose();
    if (options.allowEmbeddedThumbnail && (need.width() > 0 || need.height() > 0)) {
        if (std::optional<LoadedPicture> thumb =
                loadEmbeddedThumbnail(tj.get(), data, header, need))
            return std::move(*thumb);
    }
    const tjscalingfactor sf = chooseScale(header, need);
    const int w = TJSCALED(header.width, sf);
    const int h = TJSCALED(header.height, sf);

    QImage stored = picture::newImage(QSize(w, h), QImage::Format_RGB32);
    const auto* bytes = reinterpret_cast<const unsigned char*>(data.constData());
    const auto size = static_cast<unsigned long>(data.size());
    // TJFLAG_LIMITSCANS refuses progressive files with absurd scan counts, which would
    // otherwise take minutes to decode.
    const int flags = TJFLAG_LIMITSCANS;
    int rc;
    const bool cmyk = header.colorspace == TJCS_CMYK || header.colorspace == TJCS_YCCK;
    if (cmyk) {
        std::unique_ptr<unsigned char[]> buffer(
            new (std::nothrow) unsigned char[std::size_t(w) * h * 4]);
        if (!buffer)
            throw Error(err::OutOfMemory, errorText(ErrorText::NoMemoryForPicture,
                                                    QString::number(w), QString::number(h)));
        rc = tjDecompress2(tj.get(), bytes, size, buffer.get(), w, w * 4, h, TJPF_CMYK, flags);
        if (rc == 0 || tjGetErrorCode(tj.get()) == TJERR_WARNING)
            cmykToRgb32(buffer.get(), w, h, stored);
    } else {
        rc = tjDecompress2(tj.get(), bytes, size, stored.bits(), w, int(stored.bytesPerLine()), h,
                           TJPF_BGRX, flags);
    }
    if (rc != 0) {
        const QString message = QString::fromLocal8Bit(tjGetErrorStr2(tj.get()));
        // Warnings such as extraneous bytes before a marker are common in camera files and
        // harmless; a file that ends before its picture does is not a picture.
        if (tjGetErrorCode(tj.get()) != TJERR_WARNING ||
            message.contains(QLatin1String("Premature end")))
            invalid(name, ErrorText::PictureDataDamaged, message);
    }
    return rasterPicture(PictureFormat::Jpeg,
                         applyExifOrientation(std::move(stored), header.orientation),
                         uprightSize(header));
}

// ---- bmp and gif through Qt's readers ----------------------------------------------

// Qt's bmp reader knows the info headers of 12, 40, 64, 108 and 124 bytes. Between the
// 40-byte header and the 108-byte one sit two that image editors write for 32-bit
// pictures with bit fields: 52 bytes (the red, green and blue masks inside the header)
// and 56 bytes (the same plus an alpha mask). Both are the first 56 bytes of the
// 108-byte header, so the picture is handed to Qt with its header widened to 108 bytes:
// masks kept, no colour space, the colour table and the pixels moved along.
QByteArray widenedBmpHeader(const QByteArray& data) {
    constexpr qsizetype kFileHeader = 14;
    constexpr qsizetype kWide = 108;
    if (data.size() < kFileHeader + 4)
        return data;
    const qsizetype headerSize = qsizetype(le32(data, kFileHeader));
    if ((headerSize != 52 && headerSize != 56) || data.size() < kFileHeader + headerSize)
        return data;
    const qsizetype grow = kWide - headerSize;
    QByteArray wide;
    wide.reserve(data.size() + grow);
    wide.append(data.constData(), kFileHeader + headerSize);
    wide.append(QByteArray(grow, '\0'));
    wide.append(data.constData() + kFileHeader + headerSize,
                data.size() - kFileHeader - headerSize);
    auto put32 = [&wide](qsizetype offset, std::uint32_t v) {
        for (int i = 0; i < 4; ++i)
            wide[offset + i] = char((v >> (8 * i)) & 0xFF);
    };
    put32(2, le32(data, 2) + std::uint32_t(grow));
    const std::uint32_t pixelsAt = le32(data, 10);
    if (pixelsAt >= std::uint32_t(kFileHeader + headerSize))
        put32(10, pixelsAt + std::uint32_t(grow));
    put32(kFileHeader, std::uint32_t(kWide));
    return wide;
}

QSize absoluteSize(QSize size) {
    if (size.width() <= 0 || size.height() == 0)
        return QSize(); // (-1, -1) when the reader cannot tell
    return QSize(size.width(), std::abs(size.height()));
}

LoadedPicture loadWithQt(const QByteArray& data, const QString& name, PictureFormat format) {
    QByteArray copy = format == PictureFormat::Bmp ? widenedBmpHeader(data) : data;
    QBuffer buffer(&copy);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer, format == PictureFormat::Gif ? "gif" : "bmp");
    reader.setAutoTransform(false);
    // Qt's bmp reader reports a top-down bitmap with its negative height.
    const QSize declared = absoluteSize(reader.size());
    if (declared.isEmpty())
        invalid(name, ErrorText::PictureHeaderDamaged,
                format == PictureFormat::Gif ? QStringLiteral("gif") : QStringLiteral("bmp"));
    checkPixelCount(declared.width(), declared.height(), data.size(), name);
    // Qt refuses pictures beyond its allocation limit (256 MB by default); the checks
    // above are the real limit here.
    const int neededMb = int(qint64(declared.width()) * declared.height() * 4 / (1024 * 1024)) + 64;
    if (QImageReader::allocationLimit() < neededMb)
        QImageReader::setAllocationLimit(neededMb);
    QImage image;
    if (!reader.read(&image) || image.isNull())
        invalid(name, ErrorText::PictureDataDamaged, reader.errorString());
    QImage flat = flattenOverWhite(image);
    const QSize size = flat.size();
    return rasterPicture(format, std::move(flat), size);
}

// ---- metafiles ---------------------------------------------------------------------

QSize metafileRasterSize(QSize logical, QSize minimum) {
    double scale = kMetafileRasterScale;
    if (minimum.width() > 0 || minimum.height() > 0)
        scale = std::max(double(std::max(minimum.width(), 0)) / logical.width(),
                         double(std::max(minimum.height(), 0)) / logical.height());
    const double pixels = double(logical.width()) * logical.height() * scale * scale;
    if (pixels > double(kMaxMetafileRasterPixels)) {
        scale *= std::sqrt(double(kMaxMetafileRasterPixels) / pixels);
        return QSize(std::max(1, int(logical.width() * scale)),
                     std::max(1, int(logical.height() * scale)));
    }
    return QSize(std::max(1, int(std::ceil(logical.width() * scale - 1e-9))),
                 std::max(1, int(std::ceil(logical.height() * scale - 1e-9))));
}

LoadedPicture loadMetafile(const QByteArray& data, const QString& name, PictureFormat format,
                           const LoadOptions& options) {
    const metafile::SvgPicture svg = format == PictureFormat::Wmf ? metafile::wmfToSvg(data, name)
                                                                  : metafile::emfToSvg(data, name);
    LoadedPicture result;
    result.image = metafile::rasterise(
        svg.svg, metafileRasterSize(svg.logicalSize, options.minimumSize), name);
    result.logicalSize = svg.logicalSize;
    result.isVector = true;
    result.format = format;
    return result;
}

} // namespace

LoadedPicture loadPictureData(const QByteArray& data, const QString& name,
                              const LoadOptions& options) {
    const PictureFormat format = sniff(data, name);
    switch (format) {
    case PictureFormat::Jpeg:
        return loadJpeg(data, name, options);
    case PictureFormat::Bmp:
    case PictureFormat::Gif:
        return loadWithQt(data, name, format);
    case PictureFormat::Wmf:
    case PictureFormat::Emf:
        return loadMetafile(data, name, format, options);
    case PictureFormat::Png:
        return picture::loadPng(data, name);
    case PictureFormat::Tiff:
        return picture::loadTiff(data, name);
    case PictureFormat::Webp:
        return picture::loadWebp(data, name, options);
    case PictureFormat::Heif:
        return picture::loadHeif(data, name, options);
    }
    invalid(name, ErrorText::PictureUnknownType);
}

QByteArray readPictureFile(const QString& path) {
    const picture::PictureFile file(path);
    // A JPEG ends at its end-of-image marker; whatever follows (padding, a second
    // picture of a multi-picture file) is read no further.
    constexpr qint64 kFirstRead = 256 << 10;
    QByteArray data = file.bytesAt(0, std::min(kFirstRead, file.size()));
    if (!picture::looksLikeJpeg(data)) {
        return data.size() < file.size() ? file.bytesAt(0, file.size()) : data;
    }
    picture::JpegEndScanner scanner;
    qint64 chunk = kFirstRead;
    for (;;) {
        const qint64 end = scanner.scan(data);
        if (end > 0) {
            data.truncate(qsizetype(end));
            return data;
        }
        if (end < 0 || data.size() >= file.size()) {
            break;
        }
        chunk = std::min<qint64>(chunk * 2, 16 << 20);
        data.append(file.bytesAt(data.size(), std::min(chunk, file.size() - data.size())));
    }
    // Not a stream the scanner can follow: the whole file, as any other type.
    return data.size() < file.size() ? file.bytesAt(0, file.size()) : data;
}

LoadedPicture loadPicture(const QString& path, const LoadOptions& options) {
    return loadPictureData(readPictureFile(path), path, options);
}

namespace {

PictureInfo probeSource(const picture::ByteSource& file, const QString& path) {
    // The JPEG header and its EXIF block sit at the start of the file: the first
    // 128 kB hold them for nearly every camera file, a megabyte for the rest. The
    // classic types are small enough to read whole; the newer ones read the headers they
    // need from the file.
    constexpr qint64 kProbeBytes = 128 << 10;
    constexpr qint64 kLongProbeBytes = 1 << 20;
    QByteArray data = file.bytesAt(0, kProbeBytes);
    PictureInfo info;
    info.format = sniff(data, path);
    switch (info.format) {
    case PictureFormat::Jpeg: {
        const TjHandle tj = newTjDecompressor();
        if (!tj)
            throw Error(err::OutOfMemory, errorText(ErrorText::PictureReaderUnavailable));
        JpegHeader header;
        for (;;) {
            try {
                header = readJpegHeader(tj.get(), data, path);
                break;
            } catch (const Error&) {
                // Large APP segments before the frame: read further.
                if (data.size() == file.size() || data.size() < kProbeBytes)
                    throw;
                data =
                    file.bytesAt(0, data.size() < kLongProbeBytes ? kLongProbeBytes : file.size());
            }
        }
        checkPixelCount(header.width, header.height, file.size(), path);
        return rasterInfo(info.format, uprightSize(header));
    }
    case PictureFormat::Bmp:
    case PictureFormat::Gif: {
        if (info.format == PictureFormat::Bmp)
            data = widenedBmpHeader(data);
        QBuffer buffer(&data); // the size sits in the first bytes
        buffer.open(QIODevice::ReadOnly);
        QImageReader reader(&buffer, info.format == PictureFormat::Gif ? "gif" : "bmp");
        const QSize size = absoluteSize(reader.size());
        if (size.isEmpty())
            invalid(path, ErrorText::PictureHeaderDamaged);
        checkPixelCount(size.width(), size.height(), file.size(), path);
        return rasterInfo(info.format, size);
    }
    case PictureFormat::Wmf:
    case PictureFormat::Emf: {
        if (data.size() == kProbeBytes)
            data = file.bytesAt(0, file.size());
        info.logicalSize = info.format == PictureFormat::Wmf ? metafile::wmfLogicalSize(data, path)
                                                             : metafile::emfLogicalSize(data, path);
        info.pixelSize = metafileRasterSize(info.logicalSize, QSize());
        info.isVector = true;
        return info;
    }
    case PictureFormat::Png:
        return picture::probePng(file, path);
    case PictureFormat::Tiff:
        return picture::probeTiff(file, path);
    case PictureFormat::Webp:
        return picture::probeWebp(file, path);
    case PictureFormat::Heif:
        return picture::probeHeif(file, path);
    }
    invalid(path, ErrorText::PictureUnknownType);
}

} // namespace

PictureInfo probePicture(const QString& path) {
    return probeSource(picture::PictureFile(path), path);
}

PictureInfo probePictureData(const QByteArray& data, const QString& name) {
    return probeSource(picture::MemorySource(data), name);
}

std::optional<QDateTime> pictureDateTaken(const QString& path) {
    constexpr qint64 kJpegHeadBytes = 1 << 17; // the EXIF segment is at most 64 KB
    try {
        const picture::PictureFile file(path);
        const QByteArray head = file.bytesAt(0, kJpegHeadBytes);
        const auto block = [](const QByteArray& exif) {
            return exifBlockDateTaken(reinterpret_cast<const unsigned char*>(exif.constData()),
                                      std::size_t(exif.size()));
        };
        switch (sniff(head, path)) {
        case PictureFormat::Jpeg:
            return jpegExifDateTaken(reinterpret_cast<const unsigned char*>(head.constData()),
                                     std::size_t(head.size()));
        case PictureFormat::Png:
            return block(picture::pngExifBlock(file));
        case PictureFormat::Webp:
            return block(picture::webpExifBlock(file));
        case PictureFormat::Heif:
            return block(picture::heifExifBlock(file, path));
        case PictureFormat::Tiff:
            return picture::tiffDateTaken(file, path);
        case PictureFormat::Bmp:
        case PictureFormat::Gif:
        case PictureFormat::Wmf:
        case PictureFormat::Emf:
            return std::nullopt;
        }
    } catch (const Error&) {
    }
    return std::nullopt;
}

} // namespace tav
