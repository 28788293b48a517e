// Positions and sizes of the program's windows are designed in twips (1/1440 inch);
// at 96 dpi one logical pixel is 15 twips. Qt scales logical pixels on high-DPI screens.
// Every window of the program (main window, row dialogs, wait and version windows, the
// preview) converts through these.
#pragma once

#include <QWidget>

namespace tav {

inline constexpr int TwipsPerPixel = 15;

constexpr int twipsToPixels(int twips) {
    return twips / TwipsPerPixel;
}

// Places `w` at (left, top) with size (width, height), all in twips.
inline void placeTwips(QWidget* w, int left, int top, int width, int height) {
    w->setGeometry(twipsToPixels(left), twipsToPixels(top), twipsToPixels(width),
                   twipsToPixels(height));
}

} // namespace tav
