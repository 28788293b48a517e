#include "app/list_extent.h"

#include "app/extent_list_view.h"

#include <QAbstractItemView>
#include <QComboBox>
#include <QFontMetrics>
#include <QFontMetricsF>
#include <QStyle>
#include <QStyleOptionComboBox>

#include <algorithm>

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

void fitListExtentToText(ExtentListView& list, const QFont& font, const QString& text) {
    const auto extent = newListExtent(list.horizontalExtent(), textWidthPixels(font, text),
                                      textWidthPixels(font, QStringLiteral("   ")));
    if (extent) {
        list.setHorizontalExtent(*extent);
    }
}

namespace {

// The width `combo` needs to show the widest of its entries whole.
int widthForEntries(const QComboBox& combo) {
    const QFontMetrics metrics(combo.font());
    int widest = 0;
    for (int i = 0; i < combo.count(); ++i) {
        widest = std::max(widest, metrics.horizontalAdvance(combo.itemText(i)));
    }
    QStyleOptionComboBox option;
    option.initFrom(&combo);
    option.editable = combo.isEditable();
    return combo.style()
        ->sizeFromContents(QStyle::CT_ComboBox, &option, QSize(widest, metrics.height()), &combo)
        .width();
}

} // namespace

void fitComboToEntries(QComboBox& combo) {
    const int needed = widthForEntries(combo);
    if (needed > combo.width()) {
        combo.resize(needed, combo.height());
    }
    combo.view()->setMinimumWidth(needed);
}

void fitComboListToEntries(QComboBox& combo) {
    combo.view()->setMinimumWidth(widthForEntries(combo));
}

} // namespace tav
