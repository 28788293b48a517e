// The EXIF Orientation tag and the date taken (DateTimeOriginal) of a JPEG file, and of
// the EXIF blocks that PNG (eXIf), WebP (EXIF) and HEIF files carry; TIFF files keep the
// same tags in their own directories.
//
// Cameras store the sensor's pixels as they come and record in tag 0x0112 of the EXIF
// block (APP1 segment "Exif\0\0", a small TIFF structure) how the picture must be turned
// to stand upright:
//
//   1 upright               5 mirrored along the main diagonal (transpose)
//   2 mirrored left-right   6 turned a quarter clockwise to stand upright
//   3 upside down           7 mirrored along the other diagonal (transverse)
//   4 mirrored top-bottom   8 turned a quarter anticlockwise to stand upright
//
// The parser trusts nothing it reads: every offset and count is checked against the
// buffer, loops are bounded, and anything malformed reads as 1 (upright) or no date.
#pragma once

#include <QDateTime>
#include <QImage>

#include <cstddef>
#include <optional>

namespace tav {

// Orientation 1..8 from the JPEG data (the EXIF block of the first APP1 segment that has
// one); 1 when there is no block, no tag, or the block is damaged.
int jpegExifOrientation(const unsigned char* data, std::size_t size);

// Orientation 1..8 from an EXIF block as PNG and WebP files keep it: the TIFF structure,
// some writers put "Exif\0\0" before it; 1 when there is no tag or the block is damaged.
int exifBlockOrientation(const unsigned char* block, std::size_t size);

// The moment the picture was taken, from tag 0x9003 (DateTimeOriginal) of the EXIF
// sub-directory: "YYYY:MM:DD HH:MM:SS" in the camera's local time, read as local time.
// Nothing when the block has no such tag, an empty or impossible date, or is damaged.
std::optional<QDateTime> jpegExifDateTaken(const unsigned char* data, std::size_t size);
std::optional<QDateTime> exifBlockDateTaken(const unsigned char* block, std::size_t size);
// The same text as the tag holds it, read the same way (TIFF files give it through
// libtiff).
std::optional<QDateTime> exifDateText(const QByteArray& text);

// Where a JPEG file keeps its embedded preview picture (the EXIF thumbnail of IFD1, a
// small JPEG of its own, stored in the same orientation as the main picture): offset and
// size in the file's bytes; size 0 when there is none or the block is damaged.
struct ExifThumbnail {
    std::size_t offset = 0;
    std::size_t size = 0;
};
ExifThumbnail jpegExifThumbnail(const unsigned char* data, std::size_t size);

// True for the orientations whose upright picture has width and height exchanged.
inline bool orientationSwapsSides(int orientation) {
    return orientation >= 5 && orientation <= 8;
}

// Applies an orientation to stored pixels so that the result stands upright.
// Works on any 32-bit image; returns the image unchanged for 1 or an unknown value.
QImage applyExifOrientation(QImage stored, int orientation);

} // namespace tav
