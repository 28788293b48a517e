// What one BIFF8 worksheet holds. Header only, so that code which plans a workbook
// (the page layouts) checks the same limits the engine enforces without linking it.
#pragma once

namespace tav::xls {

// Rows and columns of a BIFF8 sheet.
inline constexpr int MaxRows = 65536;
inline constexpr int MaxColumns = 256;
// Manual page breaks one sheet can hold (the desktop program refuses more).
inline constexpr int MaxPageBreaks = 1026;
// Pictures one sheet holds in this engine; a paste or insert beyond it is refused.
inline constexpr int MaxPicturesPerSheet = 4000;

} // namespace tav::xls
