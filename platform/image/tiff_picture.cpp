#include "platform/error.h"
#include "platform/image/exif_orientation.h"
#include "platform/image/picture_formats.h"

#include <tiffio.h>

#include <cstdarg>
#include <cstdio>
#include <memory>
#include <unordered_set>

namespace tav::picture {
namespace {

// libtiff reads through these callbacks from a ByteSource: the bytes in memory for a
// load (handed over as a mapping, so strips are read in place), the open file for a
// probe. Errors are collected here instead of going to the terminal, and a read failure
// of the file (a tav::Error) is kept until libtiff has returned.
struct TiffClient {
    const ByteSource* source = nullptr;
    const QByteArray* mapped = nullptr;
    qint64 position = 0;
    QString firstError;
    std::exception_ptr readFailure;
};

TiffClient& client(thandle_t handle) {
    return *static_cast<TiffClient*>(handle);
}

tmsize_t readProc(thandle_t handle, void* buffer, tmsize_t size) {
    TiffClient& c = client(handle);
    try {
        const qint64 n = c.source->readAt(c.position, buffer, size);
        c.position += n;
        return tmsize_t(n);
    } catch (...) {
        c.readFailure = std::current_exception();
        return -1;
    }
}

tmsize_t writeProc(thandle_t, void*, tmsize_t) {
    return -1;
}

toff_t seekProc(thandle_t handle, toff_t offset, int whence) {
    TiffClient& c = client(handle);
    qint64 base = 0;
    if (whence == SEEK_CUR)
        base = c.position;
    else if (whence == SEEK_END)
        base = c.source->size();
    // No picture file comes near 2^62 bytes; such an offset is damage.
    if (offset > (toff_t(1) << 62))
        return toff_t(-1);
    const qint64 target = base + qint64(offset);
    c.position = target;
    return toff_t(target);
}

int closeProc(thandle_t) {
    return 0;
}

toff_t sizeProc(thandle_t handle) {
    return toff_t(client(handle).source->size());
}

int mapProc(thandle_t handle, void** base, toff_t* size) {
    const TiffClient& c = client(handle);
    if (c.mapped == nullptr)
        return 0;
    // libtiff only reads through a read-only open's mapping.
    *base = const_cast<char*>(c.mapped->constData());
    *size = toff_t(c.mapped->size());
    return 1;
}

void unmapProc(thandle_t, void*, toff_t) {}

int errorHandler(TIFF*, void* userData, const char* module, const char* format, va_list args) {
    TiffClient& c = *static_cast<TiffClient*>(userData);
    if (c.firstError.isEmpty()) {
        char text[512];
        std::vsnprintf(text, sizeof text, format, args);
        c.firstError =
            module != nullptr && *module != '\0'
                ? QString::fromUtf8(module) + QStringLiteral(": ") + QString::fromUtf8(text)
                : QString::fromUtf8(text);
    }
    return 1; // handled: nothing goes to the terminal
}

int warningHandler(TIFF*, void*, const char*, const char*, va_list) {
    return 1; // unknown tags and the like: the picture decides
}

struct TiffCloser {
    void operator()(TIFF* tif) const { TIFFClose(tif); }
};
using TiffHandle = std::unique_ptr<TIFF, TiffCloser>;

struct OpenedTiff {
    TiffClient client;
    TiffHandle tif;
};

// Opens the file's first page. Every allocation libtiff makes for it stays below what
// the largest picture the loader decodes needs (16-bit samples, four of them a pixel).
void openTiff(OpenedTiff& opened, const ByteSource& source, const QByteArray* mapped,
              const QString& name) {
    opened.client.source = &source;
    opened.client.mapped = mapped;
    TIFFOpenOptions* options = TIFFOpenOptionsAlloc();
    if (options == nullptr)
        throw Error(err::OutOfMemory, errorText(ErrorText::PictureReaderUnavailable));
    TIFFOpenOptionsSetMaxSingleMemAlloc(options, tmsize_t(kMaxPicturePixels) * 8);
    TIFFOpenOptionsSetErrorHandlerExtR(options, errorHandler, &opened.client);
    TIFFOpenOptionsSetWarningHandlerExtR(options, warningHandler, &opened.client);
    const QByteArray fileName = name.toUtf8();
    opened.tif.reset(TIFFClientOpenExt(fileName.constData(), "r", &opened.client, readProc,
                                       writeProc, seekProc, closeProc, sizeProc, mapProc, unmapProc,
                                       options));
    TIFFOpenOptionsFree(options);
    if (opened.client.readFailure)
        std::rethrow_exception(opened.client.readFailure);
    if (!opened.tif)
        invalid(name, ErrorText::PictureHeaderDamaged, opened.client.firstError);
}

// Walks the chain of page directories from the header: false when a directory points
// back to one already seen. libtiff guards its own walks, but a file built to loop is
// not a picture to show. The walk reads a few bytes a page and stops at a chain that
// leaves the file (a cut multi-page file still shows its first page).
bool pageChainEnds(const ByteSource& source) {
    unsigned char header[16];
    if (source.readAt(0, header, 16) < 8)
        return true; // libtiff reports the damaged header
    const bool big = header[0] == 'M';
    auto read = [&](qint64 offset, int bytes, quint64& value) {
        unsigned char b[8];
        if (source.readAt(offset, b, bytes) != bytes)
            return false;
        value = 0;
        for (int i = 0; i < bytes; ++i)
            value |= quint64(b[big ? i : bytes - 1 - i]) << (8 * (bytes - 1 - i));
        return true;
    };
    quint64 magic = 0;
    if (!read(2, 2, magic))
        return true;
    const bool bigTiff = magic == 43;
    const int offsetBytes = bigTiff ? 8 : 4;
    const int countBytes = bigTiff ? 8 : 2;
    const int entryBytes = bigTiff ? 20 : 12;
    quint64 directory = 0;
    if (!read(bigTiff ? 8 : 4, offsetBytes, directory))
        return true;
    std::unordered_set<quint64> seen;
    while (directory != 0 && directory < quint64(source.size())) {
        if (!seen.insert(directory).second)
            return false;
        quint64 count = 0;
        if (!read(qint64(directory), countBytes, count) || count > 0xFFFF)
            return true;
        const qint64 next = qint64(directory) + countBytes + qint64(count) * entryBytes;
        if (!read(next, offsetBytes, directory))
            return true;
    }
    return true;
}

struct TiffHeader {
    QSize stored;
    int orientation = 1;
};

TiffHeader readTiffHeader(const OpenedTiff& opened, const ByteSource& source, const QString& name) {
    if (!pageChainEnds(source))
        invalid(name, ErrorText::PictureDataDamaged,
                QStringLiteral("the chain of pages loops back on itself"));
    TIFF* tif = opened.tif.get();
    std::uint32_t width = 0, height = 0;
    std::uint16_t orientation = ORIENTATION_TOPLEFT;
    if (TIFFGetField(tif, TIFFTAG_IMAGEWIDTH, &width) != 1 ||
        TIFFGetField(tif, TIFFTAG_IMAGELENGTH, &height) != 1)
        invalid(name, ErrorText::PictureHeaderDamaged, QStringLiteral("no picture size"));
    TIFFGetFieldDefaulted(tif, TIFFTAG_ORIENTATION, &orientation);
    if (width > 0x7FFFFFFF || height > 0x7FFFFFFF)
        invalid(name, ErrorText::PictureHeaderDamaged,
                QStringLiteral("%1 x %2 pixels").arg(width).arg(height));
    checkPixelCount(width, height, source.size(), name);
    TiffHeader header;
    header.stored = QSize(int(width), int(height));
    header.orientation = orientation >= 1 && orientation <= 8 ? orientation : 1;
    return header;
}

QSize upright(const TiffHeader& header) {
    return orientationSwapsSides(header.orientation) ? header.stored.transposed() : header.stored;
}

} // namespace

PictureInfo probeTiff(const ByteSource& source, const QString& name) {
    OpenedTiff opened;
    openTiff(opened, source, nullptr, name);
    const TiffHeader header = readTiffHeader(opened, source, name);
    return rasterInfo(PictureFormat::Tiff, upright(header));
}

std::optional<QDateTime> tiffDateTaken(const ByteSource& source, const QString& name) {
    OpenedTiff opened;
    openTiff(opened, source, nullptr, name);
    TIFF* tif = opened.tif.get();
    toff_t exifDirectory = 0;
    if (TIFFGetField(tif, TIFFTAG_EXIFIFD, &exifDirectory) != 1 ||
        TIFFReadEXIFDirectory(tif, exifDirectory) != 1)
        return std::nullopt;
    const char* text = nullptr;
    if (TIFFGetField(tif, EXIFTAG_DATETIMEORIGINAL, &text) != 1 || text == nullptr)
        return std::nullopt;
    return exifDateText(QByteArray(text));
}

LoadedPicture loadTiff(const QByteArray& data, const QString& name) {
    const MemorySource source(data);
    OpenedTiff opened;
    openTiff(opened, source, &data, name);
    const TiffHeader header = readTiffHeader(opened, source, name);
    TIFF* tif = opened.tif.get();

    // libtiff's RGBA reader covers every photometric kind a scanner or an editor writes
    // (bilevel with either sense of white, grey, palette, RGB, CMYK, YCbCr, 1 to 16 bits
    // a sample, strips and tiles, every compression libtiff knows) and hands over 8-bit
    // samples with the alpha multiplied in.
    char message[1024] = {};
    if (TIFFRGBAImageOK(tif, message) != 1)
        invalid(name, ErrorText::PictureKindUnsupported, QString::fromUtf8(message));
    TIFFRGBAImage reader{};
    if (TIFFRGBAImageBegin(&reader, tif, 1, message) != 1)
        invalid(name, ErrorText::PictureDataDamaged, QString::fromUtf8(message));
    struct ReaderEnd {
        TIFFRGBAImage* reader;
        ~ReaderEnd() { TIFFRGBAImageEnd(reader); }
    } end{&reader};
    // Rows in the order they are stored; the orientation is applied afterwards, which
    // also covers the four orientations that exchange width and height.
    reader.req_orientation = reader.orientation;
    QImage stored = newImage(header.stored, QImage::Format_RGBA8888_Premultiplied);
    const int ok = TIFFRGBAImageGet(&reader, reinterpret_cast<std::uint32_t*>(stored.bits()),
                                    std::uint32_t(header.stored.width()),
                                    std::uint32_t(header.stored.height()));
    if (opened.client.readFailure)
        std::rethrow_exception(opened.client.readFailure);
    if (ok != 1)
        invalid(name, ErrorText::PictureDataDamaged, opened.client.firstError);
    if (reader.alpha == 0)
        stored.reinterpretAsFormat(QImage::Format_RGBX8888);
    return rasterPicture(PictureFormat::Tiff,
                         applyExifOrientation(flattenOverWhite(stored), header.orientation),
                         upright(header));
}

} // namespace tav::picture
