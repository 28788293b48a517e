#include "app/list_extent.h"

#include "app/extent_list_widget.h"

#include <QFontMetricsF>

#include <cfenv>
#include <cmath>

namespace tav {

std::optional<int> newListExtent(int currentExtent, double textWidth, double threeSpacesWidth) {
    // std::nearbyint rounds in the current mode, which is to-nearest-even by default.
    const int rounded = static_cast<int>(std::nearbyint(textWidth));
    const int extent = rounded + 4;
    if (extent > currentExtent || threeSpacesWidth > extent) {
        return extent;
    }
    return std::nullopt;
}

double textWidthPixels(const QFont& font, const QString& text) {
    return QFontMetricsF(font).horizontalAdvance(text);
}

void SetListExtent(ExtentListWidget& list, const QFont& font, const QString& text) {
    const auto extent = newListExtent(list.horizontalExtent(), textWidthPixels(font, text),
                                      textWidthPixels(font, QStringLiteral("   ")));
    if (extent) {
        list.setHorizontalExtent(*extent);
    }
}

} // namespace tav
