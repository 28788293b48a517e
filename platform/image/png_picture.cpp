#include "platform/image/exif_orientation.h"
#include "platform/image/picture_formats.h"

#include <QBuffer>
#include <QImageReader>

#include <cstring>

namespace tav::picture {
namespace {

constexpr char kSignature[] = "\x89PNG\r\n\x1a\n";
// An EXIF block beyond this size is not an orientation worth reading.
constexpr qint64 kMaxExifBytes = 1 << 20;

std::uint32_t be32(const unsigned char* p) {
    return std::uint32_t(p[0]) << 24 | std::uint32_t(p[1]) << 16 | std::uint32_t(p[2]) << 8 |
           std::uint32_t(p[3]);
}

} // namespace

QByteArray pngExifBlock(const ByteSource& source) {
    qint64 pos = 8;
    const qint64 size = source.size();
    while (pos + 8 <= size) {
        unsigned char chunk[8];
        if (source.readAt(pos, chunk, 8) != 8)
            break;
        const qint64 length = be32(chunk);
        if (length > 0x7FFFFFFF)
            break; // a damaged chain: the pixels tell whether the file is usable
        if (std::memcmp(chunk + 4, "eXIf", 4) == 0)
            return length <= kMaxExifBytes ? source.bytesAt(pos + 8, length) : QByteArray();
        if (std::memcmp(chunk + 4, "IEND", 4) == 0)
            break;
        pos += 12 + length; // length, type, data, checksum
    }
    return QByteArray();
}

namespace {

struct PngHeader {
    QSize stored; // width and height of the IHDR chunk
    int orientation = 1;
};

// The size from the IHDR chunk, which must come first, and the orientation from the eXIf
// chunk.
PngHeader readPngHeader(const ByteSource& source, const QString& name) {
    unsigned char head[8 + 8 + 13];
    if (source.readAt(0, head, sizeof head) != qint64(sizeof head) ||
        std::memcmp(head, kSignature, 8) != 0 || be32(head + 8) != 13 ||
        std::memcmp(head + 12, "IHDR", 4) != 0)
        invalid(name, ErrorText::PictureHeaderDamaged,
                QStringLiteral("no signature and IHDR chunk at the start"));
    PngHeader header;
    const std::uint32_t width = be32(head + 16);
    const std::uint32_t height = be32(head + 20);
    if (width > 0x7FFFFFFF || height > 0x7FFFFFFF)
        invalid(name, ErrorText::PictureHeaderDamaged,
                QStringLiteral("IHDR declares %1 x %2 pixels").arg(width).arg(height));
    header.stored = QSize(int(width), int(height));
    const QByteArray exif = pngExifBlock(source);
    header.orientation = exifBlockOrientation(
        reinterpret_cast<const unsigned char*>(exif.constData()), std::size_t(exif.size()));
    return header;
}

QSize upright(QSize stored, int orientation) {
    return orientationSwapsSides(orientation) ? stored.transposed() : stored;
}

} // namespace

PictureInfo probePng(const ByteSource& source, const QString& name) {
    const PngHeader header = readPngHeader(source, name);
    checkPixelCount(header.stored.width(), header.stored.height(), source.size(), name);
    return rasterInfo(PictureFormat::Png, upright(header.stored, header.orientation));
}

LoadedPicture loadPng(const QByteArray& data, const QString& name) {
    const PngHeader header = readPngHeader(MemorySource(data), name);
    checkPixelCount(header.stored.width(), header.stored.height(), data.size(), name);
    QByteArray copy = data; // shared, not copied: QBuffer wants a non-const array
    QBuffer buffer(&copy);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer, "png");
    reader.setAutoTransform(false); // the orientation is applied below, once
    // 16-bit pictures with alpha take 8 bytes a pixel while Qt reads them.
    const int neededMb =
        int(qint64(header.stored.width()) * header.stored.height() * 8 / (1024 * 1024)) + 64;
    if (QImageReader::allocationLimit() < neededMb)
        QImageReader::setAllocationLimit(neededMb);
    QImage image;
    if (!reader.read(&image) || image.isNull())
        invalid(name, ErrorText::PictureDataDamaged, reader.errorString());
    if (image.size() != header.stored)
        invalid(name, ErrorText::PictureDataDamaged,
                QStringLiteral("decoded %1 x %2 pixels").arg(image.width()).arg(image.height()));
    QImage turned = applyExifOrientation(flattenOverWhite(image), header.orientation);
    const QSize size = turned.size();
    return rasterPicture(PictureFormat::Png, std::move(turned), size);
}

} // namespace tav::picture
