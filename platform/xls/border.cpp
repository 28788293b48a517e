#include "platform/xls/border.h"

#include "platform/xls/object_model.h"

#include <algorithm>

namespace tav::xls {

namespace {

constexpr std::uint8_t AtrBdr = 0x20;

enum Edge { Left, Right, Top, Bottom };

// BIFF border style from the automation pair (line style, weight).
int borderStyle(int lineStyle, int weight) {
    const bool heavy = weight == -4138 || weight == 4;
    switch (lineStyle) {
    case -4142:
        return 0;
    case 1: // xlContinuous
        return weight == 1 ? 7 : weight == 2 ? 1 : weight == -4138 ? 2 : 5;
    case -4115: // xlDash
        return heavy ? 8 : 3;
    case -4118: // xlDot
        return 4;
    case -4119: // xlDouble
        return 6;
    case 4: // xlDashDot
        return heavy ? 10 : 9;
    case 5: // xlDashDotDot
        return heavy ? 12 : 11;
    case 13: // xlSlantDashDot
        return 13;
    default:
        return -1;
    }
}

void styleToPair(int style, int* lineStyle, int* weight) {
    static const int ls[14] = {-4142, 1, 1, -4115, -4118, 1, -4119, 1, -4115, 4, 4, 5, 5, 13};
    static const int wt[14] = {2, 2, -4138, 2, 2, 4, 4, 1, -4138, 2, -4138, 2, -4138, -4138};
    const int s = std::clamp(style, 0, 13);
    *lineStyle = ls[s];
    *weight = wt[s];
}

int edgeStyle(const XfBytes& x, Edge e) {
    const std::uint32_t w =
        x[10] | (x[11] << 8) | (x[12] << 16) | (static_cast<std::uint32_t>(x[13]) << 24);
    return static_cast<int>((w >> (4 * e)) & 0x0F);
}

void setEdge(XfBytes& x, Edge e, int style, int icv) {
    std::uint32_t w =
        x[10] | (x[11] << 8) | (x[12] << 16) | (static_cast<std::uint32_t>(x[13]) << 24);
    std::uint32_t v =
        x[14] | (x[15] << 8) | (x[16] << 16) | (static_cast<std::uint32_t>(x[17]) << 24);
    w = (w & ~(0x0Fu << (4 * e))) | (static_cast<std::uint32_t>(style) << (4 * e));
    const std::uint32_t c = style == 0 ? 0u : static_cast<std::uint32_t>(icv) & 0x7F;
    switch (e) {
    case Left:
        w = (w & ~(0x7Fu << 16)) | (c << 16);
        break;
    case Right:
        w = (w & ~(0x7Fu << 23)) | (c << 23);
        break;
    case Top:
        v = (v & ~0x7Fu) | c;
        break;
    case Bottom:
        v = (v & ~(0x7Fu << 7)) | (c << 7);
        break;
    }
    for (int i = 0; i < 4; ++i) {
        x[10 + i] = static_cast<std::uint8_t>(w >> (8 * i));
        x[14 + i] = static_cast<std::uint8_t>(v >> (8 * i));
    }
    x[9] |= AtrBdr;
}

int edgeColor(const XfBytes& x, Edge e) {
    const std::uint32_t w =
        x[10] | (x[11] << 8) | (x[12] << 16) | (static_cast<std::uint32_t>(x[13]) << 24);
    const std::uint32_t v =
        x[14] | (x[15] << 8) | (x[16] << 16) | (static_cast<std::uint32_t>(x[17]) << 24);
    switch (e) {
    case Left:
        return static_cast<int>((w >> 16) & 0x7F);
    case Right:
        return static_cast<int>((w >> 23) & 0x7F);
    case Top:
        return static_cast<int>(v & 0x7F);
    case Bottom:
        return static_cast<int>((v >> 7) & 0x7F);
    }
    return 0;
}

// Calls fn(row, col, edge) for each cell edge a border index names within `a`.
template <typename Fn> void forEdges(const Area& a, int index, Fn fn) {
    switch (index) {
    case 7:
        for (int r = a.r1; r <= a.r2; ++r)
            fn(r, a.c1, Left);
        break;
    case 8:
        for (int c = a.c1; c <= a.c2; ++c)
            fn(a.r1, c, Top);
        break;
    case 9:
        for (int c = a.c1; c <= a.c2; ++c)
            fn(a.r2, c, Bottom);
        break;
    case 10:
        for (int r = a.r1; r <= a.r2; ++r)
            fn(r, a.c2, Right);
        break;
    case 11:
        for (int r = a.r1; r <= a.r2; ++r)
            for (int c = a.c1; c < a.c2; ++c)
                fn(r, c, Right);
        break;
    case 12:
        for (int r = a.r1; r < a.r2; ++r)
            for (int c = a.c1; c <= a.c2; ++c)
                fn(r, c, Bottom);
        break;
    default:
        break;
    }
}

} // namespace

Border::Border(const Range& range, int index) : range_(range), index_(index) {}

namespace {
// Changes the (line style, weight, colour) of the edges `index` names.
template <typename Fn>
void editBorder(const Range& range, SheetModel& sheet, const std::vector<Area>& areas, int index,
                Fn change) {
    Q_UNUSED(range);
    checkCellCount(areas, "bordering");
    for (const Area& a : areas) {
        forEdges(a, index, [&](int r, int c, Edge e) {
            editXf(sheet, r, c, [&](XfBytes& x) {
                int lineStyle = 0;
                int weight = 0;
                styleToPair(edgeStyle(x, e), &lineStyle, &weight);
                int icv = edgeColor(x, e);
                change(lineStyle, weight, icv);
                const int style = borderStyle(lineStyle, weight);
                setEdge(x, e, style, icv == 0 ? 64 : icv);
            });
        });
    }
}
} // namespace

void Border::setLineStyle(int lineStyle) {
    if (borderStyle(lineStyle, 2) < 0) {
        refuse(QStringLiteral("border line style %1 refused").arg(lineStyle));
    }
    editBorder(range_, *range_.sheet_, range_.areas_->list, index_,
               [lineStyle](int& ls, int&, int&) { ls = lineStyle; });
}

void Border::setWeight(int weight) {
    if (weight != 1 && weight != 2 && weight != -4138 && weight != 4) {
        refuse(QStringLiteral("border weight %1 refused").arg(weight));
    }
    editBorder(range_, *range_.sheet_, range_.areas_->list, index_,
               [weight](int& ls, int& w, int&) {
                   if (ls == -4142) {
                       ls = 1; // a weight on no line draws a continuous one
                   }
                   w = weight;
               });
}

void Border::setColorIndex(int colorIndex) {
    int icv = 0;
    if (colorIndex == -4105 || colorIndex == -4142) {
        icv = 64;
    } else if (colorIndex >= 1 && colorIndex <= 56) {
        icv = colorIndex + 7;
    } else {
        refuse(QStringLiteral("border colour index %1 refused").arg(colorIndex));
    }
    editBorder(range_, *range_.sheet_, range_.areas_->list, index_,
               [icv](int&, int&, int& c) { c = icv; });
}

} // namespace tav::xls
