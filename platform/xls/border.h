// One border of a range of cells (Range::borders).
#pragma once

#include "platform/xls/range.h"

namespace tav::xls {

// One border of a range (Range::borders(index)). Setting a property applies it to
// the cell edges the index names: 9 the bottom edge of the range's last row, 12 the
// lines between its rows, 7/8/10/11 left, top, right, inside vertical.
class Border {
public:
    // xlContinuous (1) or xlLineStyleNone (-4142); 1 alone draws a thin line.
    void setLineStyle(int lineStyle);
    // xlHairline (1), xlThin (2), xlMedium (-4138), xlThick (4).
    void setWeight(int weight);
    // xlColorIndexAutomatic (-4105) or a palette index 1..56.
    void setColorIndex(int colorIndex);

private:
    friend class Range;
    Border(const Range& range, int index);
    Range range_;
    int index_;
};

} // namespace tav::xls
