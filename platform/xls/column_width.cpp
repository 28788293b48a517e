#include "platform/xls/column_width.h"

#include <algorithm>
#include <cmath>

namespace tav::xls {

namespace {

// Pixels a column adds to its characters: a margin on either side and the grid line.
int paddingPixels(int digitWidth) {
    return 2 * std::max((digitWidth + 3) / 4, 2) + 1;
}

} // namespace

int columnWidthToPixels(double characters, int digitWidth) {
    if (characters <= 0) {
        return 0;
    }
    const int pad = paddingPixels(digitWidth);
    if (characters < 1) {
        return static_cast<int>(std::lround(characters * (digitWidth + pad)));
    }
    return static_cast<int>(std::trunc(characters * digitWidth + pad));
}

double columnWidthToPoints(double characters, int digitWidth) {
    return columnWidthToPixels(characters, digitWidth) * 72.0 / 96.0;
}

std::uint16_t coldxFor(double characters, int digitWidth) {
    const int px = columnWidthToPixels(characters, digitWidth);
    return static_cast<std::uint16_t>(std::min(65535.0, std::floor(px * 256.0 / digitWidth)));
}

int coldxToPixels(std::uint16_t coldx, int digitWidth) {
    return static_cast<int>(std::lround(coldx * static_cast<double>(digitWidth) / 256.0));
}

double pixelsToCharacters(int pixels, int digitWidth) {
    const int pad = paddingPixels(digitWidth);
    if (pixels >= digitWidth + pad) {
        return static_cast<double>(pixels - pad) / digitWidth;
    }
    return static_cast<double>(pixels) / (digitWidth + pad);
}

} // namespace tav::xls
