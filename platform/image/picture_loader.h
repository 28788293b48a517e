// Picture loading: the picture types the program offers (picture_types.h lists them):
// bmp, jpg, gif, wmf and emf, and png, tiff, webp and the HEIF family (heic, heif, avif).
//
// Every picture comes back upright as a 32-bit QImage (Format_RGB32; transparent parts
// are flattened over white). Upright means: the EXIF orientation of a JPEG, PNG (eXIf)
// or WebP file is applied, so is a TIFF's Orientation tag, and a HEIF picture gets the
// turns and mirrors of its container (and not its EXIF orientation as well, which
// describes the same turn once more). A TIFF gives its first page, a HEIF its primary
// picture, an animated gif or WebP its first frame; 10- and 16-bit samples come as 8-bit.
// Next to the pixels the loader reports the picture's logical size: its pixel size at
// 96 dpi for raster pictures, the frame of a metafile converted to 96 dpi for wmf and
// emf. The logical size is what the windows and the workbook measure with; the
// pixels may be finer (metafiles are rasterised at a multiple of their logical size so
// that they print sharply) or coarser (a reduced decode asked for through LoadOptions).
//
// The type is told by the file's content, not by its extension. Failures throw
// tav::Error: the file errors (53 not found, 76 path not found, 70 permission, ...) when
// the file cannot be read, 481 (invalid picture) when its content cannot be decoded,
// with a description that names the file and the reason.
//
// Usage:
//     const tav::PictureInfo info = tav::probePicture(path);        // header only
//     tav::LoadOptions options;
//     options.minimumSize = QSize(800, 600);                          // what the caller needs
//     const tav::LoadedPicture picture = tav::loadPicture(path, options);
#pragma once

#include <QDateTime>
#include <QImage>
#include <QSize>
#include <QString>

#include <cstdint>
#include <optional>

namespace tav {

// Heif covers the whole family read through libheif: HEIC, HEIF and AVIF.
enum class PictureFormat { Bmp, Jpeg, Gif, Wmf, Emf, Png, Tiff, Webp, Heif };

// Largest picture the loader decodes, in pixels of the full picture. Beyond it the
// loader refuses with error 481 instead of allocating gigabytes.
inline constexpr std::int64_t kMaxPicturePixels = 300'000'000;

// How much finer than its logical size a metafile is rasterised (when the caller does
// not ask for a particular size), and the pixel count that rasterisation never exceeds.
inline constexpr double kMetafileRasterScale = 3.0;
inline constexpr std::int64_t kMaxMetafileRasterPixels = 24'000'000;

struct LoadOptions {
    // The smallest pixel size of the upright picture the caller needs. A side of 0 or less
    // asks for nothing in that direction; the default (both sides -1) asks for the full
    // picture. A JPEG is decoded with DCT scaling at the smallest of 1/8, 1/4, 1/2 and 1/1
    // whose result still covers this size in both directions; a WebP is decoded straight
    // at the smallest size of its shape that covers it; a metafile is rasterised at this
    // size (aspect ratio kept, at least covering it); other raster types load at full
    // size.
    QSize minimumSize;
    // An embedded preview picture (a JPEG's EXIF thumbnail, a HEIF's thumbnail image) may
    // stand in for the picture when it covers minimumSize and has the picture's aspect
    // ratio (within 1 %): a few kilobytes to decode instead of the whole file. For
    // on-screen previews only; the logical size reported stays the picture's own.
    bool allowEmbeddedThumbnail = false;
};

// What probePicture() learns without decoding pixels.
struct PictureInfo {
    PictureFormat format = PictureFormat::Bmp;
    QSize pixelSize;   // upright pixel size of a full load (metafiles: their default raster)
    QSize logicalSize; // upright size in pixels at 96 dpi (metafiles: their frame)
    bool isVector = false;
};

struct LoadedPicture {
    QImage image;      // upright, Format_RGB32, never null on success
    QSize logicalSize; // of the full picture, even after a reduced decode
    bool isVector = false;
    PictureFormat format = PictureFormat::Bmp;
};

// Reads the header of the picture file: its type, upright size and logical size.
// Throws tav::Error like loadPicture (file errors, 481).
PictureInfo probePicture(const QString& path);

// The same for a picture already in memory (readPictureFile); `name` only appears in
// error descriptions.
PictureInfo probePictureData(const QByteArray& data, const QString& name);

// The moment the picture was taken: the EXIF DateTimeOriginal of a JPEG, PNG, WebP, TIFF
// or HEIF file, read from its headers and metadata only. Nothing for the other types, a
// picture without that tag, and a file that cannot be read (it never throws).
std::optional<QDateTime> pictureDateTaken(const QString& path);

// Loads the picture file. Throws tav::Error (file errors, 481).
LoadedPicture loadPicture(const QString& path, const LoadOptions& options = {});

// The bytes of the picture file that its picture needs, read once: the whole file, but
// for a JPEG only up to the end of its picture (a camera's padding or appended second
// picture, however large, is not read). Throws the file errors of loadPicture.
QByteArray readPictureFile(const QString& path);

// The same for a picture already in memory; `name` only appears in error descriptions.
LoadedPicture loadPictureData(const QByteArray& data, const QString& name,
                              const LoadOptions& options = {});

} // namespace tav
