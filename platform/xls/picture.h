// Picture pixels of the engine: reduction to the stored size and JPEG encoding
// (libturbojpeg).
#pragma once

#include <QByteArray>
#include <QImage>
#include <QSize>

namespace tav::xls {

struct PictureData;

// Picture JPEG settings: stored pixels per inch of the placed size, quality.
inline constexpr double StoredPixelsPerInch = 220.0;
inline constexpr int JpegQuality = 85;

// Encodes `image` as a baseline JFIF JPEG with 4:2:0 subsampling at `quality`.
// Transparent pixels are laid over white first. Failure throws 1004.
QByteArray encodeJpeg(const QImage& image, int quality);

// `image` scaled to exactly `size` by Qt's smooth scaling, which averages areas when
// it shrinks (every source pixel counts with the share of it an output pixel covers).
// Transparent pixels are laid over white first; the result is opaque Format_RGB32.
QImage reduceImage(const QImage& image, QSize size);

// Placed size of a picture in stored pixels at 220 pixels per inch, never more than
// `source` pixels in either direction (aspect kept). A picture handed to the engine
// at this size (give or take a pixel of rounding) is stored without resampling.
QSize storedPixelSize(double widthPoints, double heightPoints, QSize source);

// Pixel size of JPEG file bytes from their start-of-frame marker; invalid when
// none is found.
QSize jpegPixelSize(const QByteArray& jpeg);

// Pixels of a template picture kept as a PNG (blip type 6) or DIB (type 7) blip
// record (PictureData::rawBlip); null for other types or undecodable bytes.
QImage decodeRasterBlip(const PictureData& picture);

} // namespace tav::xls
