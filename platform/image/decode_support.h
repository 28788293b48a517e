// What the picture decoders of this folder share: the errors they raise, the limits
// they keep, the flattening of transparent pictures over white, and random access to a
// picture's bytes. Not for use outside platform/image/.
#pragma once

#include "platform/error_texts.h"
#include "platform/image/picture_loader.h"

#include <QByteArray>
#include <QImage>
#include <QSize>
#include <QString>

#include <cstdint>

namespace tav::picture {

// Little-endian integers at `offset` of `data` (the caller checks the length).
inline std::uint16_t le16(const QByteArray& data, qsizetype offset) {
    const auto* p = reinterpret_cast<const unsigned char*>(data.constData()) + offset;
    return std::uint16_t(p[0] | p[1] << 8);
}
inline std::uint32_t le32(const QByteArray& data, qsizetype offset) {
    const auto* p = reinterpret_cast<const unsigned char*>(data.constData()) + offset;
    return std::uint32_t(p[0]) | std::uint32_t(p[1]) << 8 | std::uint32_t(p[2]) << 16 |
           std::uint32_t(p[3]) << 24;
}

// What a probe of a raster picture reports: its upright pixel size, which is also its
// logical size.
PictureInfo rasterInfo(PictureFormat format, QSize upright);
// A loaded raster picture: its upright pixels and the logical size of the full picture.
LoadedPicture rasterPicture(PictureFormat format, QImage upright, QSize logicalSize);

// Files beyond this size are not pictures this program can hold in memory.
inline constexpr qint64 kMaxFileBytes = qint64(1) << 30;

// Throws error 481 (invalid picture): "画像ファイル「name」を読み込めません：" and the cause,
// a text of platform/error_texts.h, for the user; `detail` (a decoder's own message, a
// record offset) is for a developer.
[[noreturn]] void invalid(const QString& name, ErrorText cause, const QString& detail = QString());

// Refuses (481) a picture that declares no pixels, more than the loader decodes
// (kMaxPicturePixels), or far more than a file of `fileBytes` bytes can plausibly hold.
void checkPixelCount(qint64 width, qint64 height, qint64 fileBytes, const QString& name);

// A new picture of that size and format; throws error 7 when there is no memory for it.
QImage newImage(QSize size, QImage::Format format);

// The picture as Format_RGB32, transparent parts laid over white.
QImage flattenOverWhite(const QImage& image);

// Random access to the bytes of a picture: the whole file in memory for a load, the
// open file for a probe (which then reads only the headers it needs).
class ByteSource {
public:
    virtual ~ByteSource() = default;
    virtual qint64 size() const = 0;
    // Copies up to `length` bytes from `offset` into `buffer` and returns how many it
    // copied: fewer at the end of the file, 0 beyond it. Throws tav::Error when the file
    // cannot be read.
    virtual qint64 readAt(qint64 offset, void* buffer, qint64 length) const = 0;
    // Up to `length` bytes from `offset` (fewer at the end of the file).
    QByteArray bytesAt(qint64 offset, qint64 length) const;
};

class MemorySource final : public ByteSource {
public:
    explicit MemorySource(const QByteArray& data) : data_(data) {}
    qint64 size() const override { return data_.size(); }
    qint64 readAt(qint64 offset, void* buffer, qint64 length) const override;
    const QByteArray& data() const { return data_; }

private:
    const QByteArray& data_;
};

// True when `data` starts as a JPEG stream does (SOI and a marker).
bool looksLikeJpeg(const QByteArray& data);

// Finds where a JPEG stream ends (just after its EOI marker) in bytes that arrive piece
// by piece: scan() looks at what it has not seen yet, following the marker segments by
// their lengths (an EXIF thumbnail inside APP1 is skipped whole) and the entropy-coded
// data byte by byte.
class JpegEndScanner {
public:
    // The stream's length once its EOI is in `data`; 0 when more bytes are needed; -1
    // when `data` is no JPEG stream the scanner can follow. `data` must hold the bytes
    // of the previous calls unchanged.
    qint64 scan(const QByteArray& data);

private:
    qint64 position_ = 2; // after SOI
    bool inEntropyData_ = false;
};

// A picture file opened for reading. Refuses what cannot be a picture before reading
// anything: a folder (the file errors), a fifo or device (481), a file beyond 1 GB (481).
class PictureFile final : public ByteSource {
public:
    // Throws tav::Error: 53 no such file, 76 no such folder on the way, 70 no permission...
    explicit PictureFile(const QString& path);
    ~PictureFile() override;
    PictureFile(const PictureFile&) = delete;
    PictureFile& operator=(const PictureFile&) = delete;

    qint64 size() const override { return size_; }
    qint64 readAt(qint64 offset, void* buffer, qint64 length) const override;
    const QString& path() const { return path_; }

private:
    QString path_;
    int fd_ = -1;
    qint64 size_ = 0;
};

} // namespace tav::picture
