// The decoders of the picture types beyond the classic five, each through the library
// that the field uses for it. Every one returns the picture upright in Format_RGB32,
// transparent parts over white, and throws tav::Error like loadPicture (481 for content
// it cannot decode). A probe reads the headers only, through the ByteSource.
// Not for use outside platform/image/; callers go through picture_loader.h.
#pragma once

#include "platform/image/decode_support.h"
#include "platform/image/picture_loader.h"

#include <QByteArray>
#include <QDateTime>

#include <optional>

namespace tav::picture {

// PNG through Qt's reader; the orientation of its EXIF block (eXIf chunk) is applied.
PictureInfo probePng(const ByteSource& source, const QString& name);
LoadedPicture loadPng(const QByteArray& data, const QString& name);
// The payload of the eXIf chunk wherever it stands (writers put it before or after the
// pixel data), reading only the chunk headers on the way; empty when there is none.
QByteArray pngExifBlock(const ByteSource& source);

// TIFF through libtiff: the first page, turned by its Orientation tag. A file whose
// chain of pages loops back on itself is refused.
PictureInfo probeTiff(const ByteSource& source, const QString& name);
LoadedPicture loadTiff(const QByteArray& data, const QString& name);
// DateTimeOriginal of the first page's EXIF directory.
std::optional<QDateTime> tiffDateTaken(const ByteSource& source, const QString& name);

// WebP through libwebp: the first frame of an animation, the orientation of its EXIF
// chunk applied; decoded straight at a smaller size when LoadOptions asks for less.
PictureInfo probeWebp(const ByteSource& source, const QString& name);
LoadedPicture loadWebp(const QByteArray& data, const QString& name, const LoadOptions& options);
// The payload of the EXIF chunk, which follows the pixel data; only the chunk headers on
// the way are read. Empty when there is none.
QByteArray webpExifBlock(const ByteSource& source);

// HEIF (HEIC, AVIF and the rest of its family) through libheif: the primary picture with
// the container's own turns and mirrors. Its EXIF orientation is not applied: the
// container's transformations already describe the upright picture. An embedded
// thumbnail image may stand in when LoadOptions allows it.
bool isHeif(const QByteArray& head);
PictureInfo probeHeif(const ByteSource& source, const QString& name);
LoadedPicture loadHeif(const QByteArray& data, const QString& name, const LoadOptions& options);
// The primary picture's EXIF block (the TIFF structure); empty when there is none.
QByteArray heifExifBlock(const ByteSource& source, const QString& name);

} // namespace tav::picture
