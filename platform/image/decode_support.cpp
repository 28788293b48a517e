#include "platform/image/decode_support.h"

#include "platform/error.h"
#include "platform/image/picture_loader.h"
#include "platform/paths.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QPainter>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace tav::picture {
namespace {

// A compressed picture cannot plausibly hold more than this many pixels per byte of its
// file; a tiny file that declares a huge picture is damaged or hostile, and decoding it
// would allocate gigabytes for nothing. Small pictures are always allowed.
constexpr qint64 kMaxPixelsPerFileByte = 1000;
constexpr qint64 kAlwaysAllowedPixels = 16'000'000;

// The picture's file and why it cannot be read, with a developer's detail.
[[noreturn]] void refuse(const QString& name, const QString& cause, const QString& detail) {
    throw Error(err::InvalidPicture, errorText(ErrorText::PictureUnreadable, name, cause), detail);
}

} // namespace

void invalid(const QString& name, ErrorText cause, const QString& detail) {
    refuse(name, errorText(cause), detail);
}

void checkPixelCount(qint64 width, qint64 height, qint64 fileBytes, const QString& name) {
    if (width <= 0 || height <= 0)
        invalid(name, ErrorText::PictureNoPixels);
    const qint64 pixels = width * height;
    if (pixels > kMaxPicturePixels)
        refuse(name,
               errorText(ErrorText::PictureTooManyPixels, QString::number(width),
                         QString::number(height), QString::number(kMaxPicturePixels)),
               QString());
    if (pixels > kAlwaysAllowedPixels && pixels / kMaxPixelsPerFileByte > fileBytes)
        refuse(name,
               errorText(ErrorText::PicturePixelsBeyondFile, QString::number(width),
                         QString::number(height)),
               QStringLiteral("%1 x %2 pixels in %3 bytes").arg(width).arg(height).arg(fileBytes));
}

PictureInfo rasterInfo(PictureFormat format, QSize upright) {
    PictureInfo info;
    info.format = format;
    info.pixelSize = info.logicalSize = upright;
    info.isVector = false;
    return info;
}

LoadedPicture rasterPicture(PictureFormat format, QImage upright, QSize logicalSize) {
    LoadedPicture result;
    result.image = std::move(upright);
    result.logicalSize = logicalSize;
    result.isVector = false;
    result.format = format;
    return result;
}

QImage newImage(QSize size, QImage::Format format) {
    QImage image(size, format);
    if (image.isNull())
        throw Error(err::OutOfMemory,
                    errorText(ErrorText::NoMemoryForPicture, QString::number(size.width()),
                              QString::number(size.height())));
    return image;
}

QImage flattenOverWhite(const QImage& image) {
    if (image.format() == QImage::Format_RGB32)
        return image;
    if (!image.hasAlphaChannel())
        return image.convertToFormat(QImage::Format_RGB32);
    QImage out = newImage(image.size(), QImage::Format_RGB32);
    out.fill(Qt::white);
    QPainter painter(&out);
    painter.drawImage(0, 0, image);
    painter.end();
    out.setDotsPerMeterX(image.dotsPerMeterX());
    out.setDotsPerMeterY(image.dotsPerMeterY());
    return out;
}

QByteArray ByteSource::bytesAt(qint64 offset, qint64 length) const {
    if (offset < 0 || length <= 0 || offset >= size())
        return {};
    length = std::min(length, size() - offset);
    QByteArray bytes(qsizetype(length), Qt::Uninitialized);
    bytes.truncate(qsizetype(readAt(offset, bytes.data(), length)));
    return bytes;
}

qint64 MemorySource::readAt(qint64 offset, void* buffer, qint64 length) const {
    if (offset < 0 || length <= 0 || offset >= data_.size())
        return 0;
    const qint64 n = std::min(length, qint64(data_.size()) - offset);
    std::memcpy(buffer, data_.constData() + offset, size_t(n));
    return n;
}

bool looksLikeJpeg(const QByteArray& data) {
    return data.size() >= 3 && quint8(data[0]) == 0xFF && quint8(data[1]) == 0xD8 &&
           quint8(data[2]) == 0xFF;
}

qint64 JpegEndScanner::scan(const QByteArray& data) {
    const auto* p = reinterpret_cast<const unsigned char*>(data.constData());
    const qint64 n = data.size();
    for (;;) {
        if (inEntropyData_) {
            // In scan data a 0xFF is followed by 0x00 (a stuffed byte), a restart marker
            // or fill bytes; anything else is the next marker.
            while (position_ + 1 < n) {
                if (p[position_] != 0xFF) {
                    ++position_;
                    continue;
                }
                const unsigned char next = p[position_ + 1];
                if (next == 0x00 || (next >= 0xD0 && next <= 0xD7)) {
                    position_ += 2;
                } else if (next == 0xFF) {
                    ++position_;
                } else {
                    inEntropyData_ = false;
                    break;
                }
            }
            if (inEntropyData_) {
                return 0;
            }
        }
        if (position_ + 2 > n) {
            return 0;
        }
        if (p[position_] != 0xFF) {
            return -1;
        }
        const unsigned char marker = p[position_ + 1];
        if (marker == 0xFF) {
            ++position_; // fill byte
            continue;
        }
        if (marker == 0xD9) {
            return position_ + 2;
        }
        if (marker == 0x01 || (marker >= 0xD0 && marker <= 0xD7)) {
            position_ += 2; // markers without a segment
            continue;
        }
        if (position_ + 4 > n) {
            return 0;
        }
        const int length = (p[position_ + 2] << 8) | p[position_ + 3];
        if (length < 2) {
            return -1;
        }
        position_ += 2 + length;
        inEntropyData_ = marker == 0xDA; // scan data follows the SOS segment
    }
}

PictureFile::PictureFile(const QString& path) : path_(path) {
    const QByteArray native = QFile::encodeName(path);
    // O_NONBLOCK keeps a fifo that happens to carry a picture's name from blocking the
    // open; anything but a regular file is refused below.
    fd_ = ::open(native.constData(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd_ < 0) {
        const int error = errno;
        // A missing folder on the way is "path not found", not "file not found".
        if (error == ENOENT && !QFileInfo(path).absoluteDir().exists())
            throw Error(err::PathNotFound,
                        failedOperation(FileOperation::Open, path,
                                        errorText(ErrorText::FolderMissing, folderOf(path))));
        throwErrno(error, FileOperation::Open, path);
    }
    try {
        struct stat st {};
        if (::fstat(fd_, &st) != 0)
            throwErrno(errno, FileOperation::ReadDetails, path);
        if (S_ISDIR(st.st_mode))
            throwErrno(EISDIR, FileOperation::Open, path);
        if (!S_ISREG(st.st_mode))
            invalid(path, ErrorText::PictureNotAFile);
        if (st.st_size > kMaxFileBytes)
            invalid(path, ErrorText::PictureFileTooLarge);
        size_ = st.st_size;
    } catch (...) {
        ::close(fd_);
        throw;
    }
}

PictureFile::~PictureFile() {
    ::close(fd_);
}

qint64 PictureFile::readAt(qint64 offset, void* buffer, qint64 length) const {
    if (offset < 0 || length <= 0)
        return 0;
    qint64 got = 0;
    auto* bytes = static_cast<char*>(buffer);
    while (got < length) {
        const ssize_t n = ::pread(fd_, bytes + got, size_t(length - got), off_t(offset + got));
        if (n < 0) {
            if (errno == EINTR)
                continue;
            throwErrno(errno, FileOperation::Read, path_);
        }
        if (n == 0)
            break; // the end of the file, or it shrank while we read it
        got += n;
    }
    return got;
}

} // namespace tav::picture
