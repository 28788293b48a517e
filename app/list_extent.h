// Horizontal extents of the selection list's list boxes.
#pragma once

#include <QString>

#include <optional>

class QFont;

namespace tav {

class ExtentListWidget;

// The extent rule on measured widths (pixels, unrounded): the text's width rounded to
// the nearest pixel (halves to the even neighbour) plus 4 replaces the current extent
// when it is larger, or when three spaces are wider than it (an empty or one-space
// text, which removes the scroll bar). Nothing when the extent stays.
std::optional<int> newListExtent(int currentExtent, double textWidth, double threeSpacesWidth);

// Width of `text` in `font` in pixels, unrounded.
double textWidthPixels(const QFont& font, const QString& text);

// Adjusts `list`'s horizontal extent to `text` measured in `font` (the main window's).
void SetListExtent(ExtentListWidget& list, const QFont& font, const QString& text);

} // namespace tav
