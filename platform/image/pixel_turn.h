// Quarter, half and three-quarter turns of 32-bit pixel pictures.
//
// Every pixel is moved as an opaque 32-bit value: no resampling, no colour change, so
// four quarter turns give back the very same pixels. The quarter turn walks the picture
// in square tiles that fit the first-level cache and transposes 4x4 blocks in SIMD
// registers, which keeps it within a small multiple of a memcpy of the same bytes (a
// plain per-pixel loop is many times slower on large photos because every target write
// lands on another cache line).
#pragma once

#include <QImage>

#include <cstddef>
#include <cstdint>

namespace tav {

// Turns w x h pixels of `src` (rows `srcStride` bytes apart) a quarter clockwise into
// `dst`, which receives h x w pixels (rows `dstStride` bytes apart): source pixel (x, y),
// counted from the top-left corner, lands at target pixel (h - 1 - y, x).
void rotateQuarterClockwise32(const std::uint32_t* src, std::ptrdiff_t srcStride, int w, int h,
                              std::uint32_t* dst, std::ptrdiff_t dstStride);

// The three-quarter turn in one pass: source pixel (x, y) lands at target (y, w - 1 - x).
void rotateQuarterAnticlockwise32(const std::uint32_t* src, std::ptrdiff_t srcStride, int w, int h,
                                  std::uint32_t* dst, std::ptrdiff_t dstStride);

// The quarter turn with the plain per-pixel loop (kept for the benchmark and as the reference in
// the tests).
void rotateQuarterClockwise32Naive(const std::uint32_t* src, std::ptrdiff_t srcStride, int w, int h,
                                   std::uint32_t* dst, std::ptrdiff_t dstStride);

// Picture-level turns. A 32-bit picture keeps its format; any other format is converted to
// Format_RGB32 first. A null picture gives a null picture. Throws tav::Error(7) when the
// target cannot be allocated.
QImage rotateQuarterClockwise(const QImage& src);
QImage rotateQuarterAnticlockwise(const QImage& src);
QImage rotateHalf(const QImage& src);

} // namespace tav
