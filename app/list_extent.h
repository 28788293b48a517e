// Widths that show whole texts: the horizontal extents of the selection list's list
// boxes, and combo boxes wide enough for their longest entry.
#pragma once

#include <QString>

#include <optional>

class QComboBox;
class QFont;

namespace tav {

class ExtentListView;

// The extent rule on measured widths (pixels, unrounded): the text's width rounded to
// the nearest pixel (halves to the even neighbour) plus 4 replaces the current extent
// when it is larger, or when three spaces are wider than it (an empty or one-space
// text, which removes the scroll bar). Nothing when the extent stays.
std::optional<int> newListExtent(int currentExtent, double textWidth, double threeSpacesWidth);

// Width of `text` in `font` in pixels, unrounded.
double textWidthPixels(const QFont& font, const QString& text);

// Adjusts `list`'s horizontal extent to `text` measured in `font` (the main window's).
void fitListExtentToText(ExtentListView& list, const QFont& font, const QString& text);

// Widens `combo` to the right, when it is narrower, so that its edit field shows the
// widest of its entries whole ("0.4", not ".4"); its drop-down list is made at least as
// wide as that entry too.
void fitComboToEntries(QComboBox& combo);
// Only the drop-down list, for a combo box that cannot grow (the drive list, whose
// column is fixed: there a long volume name shows whole when the list is open).
void fitComboListToEntries(QComboBox& combo);

} // namespace tav
