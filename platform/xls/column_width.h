// Column widths: the automation interface gives them in characters of the workbook's
// default font; the sheet draws them in pixels at 96 dpi, and a COLINFO record stores
// them in 1/256 of a character with the column's padding included.
#pragma once

#include <cstdint>

namespace tav::xls {

// Geometry of the default font of the shipped template (Arial 11 pt, like the Japanese
// ＭＳ Ｐゴシック 11 pt the layouts were designed with): its
// digit is 8 pixels wide at 96 dpi. A column of w characters is
// trunc(w × 8 + 5) pixels wide for w ≥ 1 and round(w × 13) pixels below.
inline constexpr int DefaultDigitWidthPx = 8;
// The template's font for cell text (page numbers, titles, captions, notes), at the
// same 11 pt: its Japanese metrics fit the layouts' rows. Text is measured in it too.
inline constexpr const char* CellFontFamily = "IPAPGothic";
inline constexpr int CellFontPoints = 11;

// Pixels at 96 dpi of a column `characters` wide for a font whose digit is
// `digitWidth` pixels wide.
int columnWidthToPixels(double characters, int digitWidth = DefaultDigitWidthPx);
// Points of a column `characters` wide (pixels × 72 / 96).
double columnWidthToPoints(double characters, int digitWidth = DefaultDigitWidthPx);

// Engine internals: the COLINFO width field (coldx) for a width in characters, the
// pixels a coldx value draws, and the characters a pixel width shows.
std::uint16_t coldxFor(double characters, int digitWidth);
int coldxToPixels(std::uint16_t coldx, int digitWidth);
double pixelsToCharacters(int pixels, int digitWidth);

} // namespace tav::xls
