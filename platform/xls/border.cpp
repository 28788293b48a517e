#include "platform/xls/border.h"

#include "platform/xls/automation_constants.h"
#include "platform/xls/object_model.h"

#include <algorithm>

namespace tav::xls {

namespace {

// XF byte 9: the cell's border is its own, not its style's (fAtrBdr).
constexpr std::uint8_t XfOwnBorder = 0x20;

// Colour number of the automatic colour; palette index n is colour n + 7.
constexpr int AutomaticColor = 64;

// A cell's four edges, in the order of their line styles in the XF record (4 bits each
// in the 32-bit word at byte 10).
enum Edge { Left, Right, Top, Bottom };

// Where the XF record keeps an edge's colour: 7 bits of the word at byte 10 or 14.
struct ColorField {
    int word;
    int shift;
};
constexpr ColorField ColorFields[] = {{10, 16}, {10, 23}, {14, 0}, {14, 7}};

std::uint32_t xfWord(const XfBytes& x, int at) {
    return x[at] | (x[at + 1] << 8) | (x[at + 2] << 16) |
           (static_cast<std::uint32_t>(x[at + 3]) << 24);
}

void setXfWord(XfBytes& x, int at, std::uint32_t value) {
    for (int i = 0; i < 4; ++i) {
        x[at + i] = static_cast<std::uint8_t>(value >> (8 * i));
    }
}

// The automation pair (line style, weight) of each BIFF border style 0..13.
struct LineAndWeight {
    int lineStyle;
    int weight;
};
constexpr LineAndWeight StylePairs[] = {
    {xl::LineNone, xl::WeightThin},         {xl::LineContinuous, xl::WeightThin},
    {xl::LineContinuous, xl::WeightMedium}, {xl::LineDash, xl::WeightThin},
    {xl::LineDot, xl::WeightThin},          {xl::LineContinuous, xl::WeightThick},
    {xl::LineDouble, xl::WeightThick},      {xl::LineContinuous, xl::WeightHairline},
    {xl::LineDash, xl::WeightMedium},       {xl::LineDashDot, xl::WeightThin},
    {xl::LineDashDot, xl::WeightMedium},    {xl::LineDashDotDot, xl::WeightThin},
    {xl::LineDashDotDot, xl::WeightMedium}, {xl::LineSlantDashDot, xl::WeightMedium},
};

// BIFF border style from the automation pair (line style, weight); -1 for a line
// style the engine does not know.
int borderStyle(int lineStyle, int weight) {
    const bool heavy = weight == xl::WeightMedium || weight == xl::WeightThick;
    switch (lineStyle) {
    case xl::LineNone:
        return 0;
    case xl::LineContinuous:
        return weight == xl::WeightHairline ? 7
               : weight == xl::WeightThin   ? 1
               : weight == xl::WeightMedium ? 2
                                            : 5;
    case xl::LineDash:
        return heavy ? 8 : 3;
    case xl::LineDot:
        return 4;
    case xl::LineDouble:
        return 6;
    case xl::LineDashDot:
        return heavy ? 10 : 9;
    case xl::LineDashDotDot:
        return heavy ? 12 : 11;
    case xl::LineSlantDashDot:
        return 13;
    default:
        return -1;
    }
}

int edgeStyle(const XfBytes& x, Edge e) {
    return static_cast<int>((xfWord(x, 10) >> (4 * e)) & 0x0F);
}

int edgeColor(const XfBytes& x, Edge e) {
    const ColorField field = ColorFields[e];
    return static_cast<int>((xfWord(x, field.word) >> field.shift) & 0x7F);
}

// An edge without a line keeps no colour.
void setEdge(XfBytes& x, Edge e, int style, int color) {
    const std::uint32_t styles = xfWord(x, 10);
    setXfWord(x, 10,
              (styles & ~(0x0Fu << (4 * e))) | (static_cast<std::uint32_t>(style) << (4 * e)));
    const ColorField field = ColorFields[e];
    const std::uint32_t c = style == 0 ? 0u : static_cast<std::uint32_t>(color) & 0x7F;
    const std::uint32_t word = xfWord(x, field.word);
    setXfWord(x, field.word, (word & ~(0x7Fu << field.shift)) | (c << field.shift));
    x[9] |= XfOwnBorder;
}

// Calls fn(row, col, edge) for each cell edge a border index names within `a`.
template <typename Fn> void forEdges(const Area& a, int index, Fn fn) {
    switch (index) {
    case xl::EdgeLeft:
        for (int r = a.r1; r <= a.r2; ++r)
            fn(r, a.c1, Left);
        break;
    case xl::EdgeTop:
        for (int c = a.c1; c <= a.c2; ++c)
            fn(a.r1, c, Top);
        break;
    case xl::EdgeBottom:
        for (int c = a.c1; c <= a.c2; ++c)
            fn(a.r2, c, Bottom);
        break;
    case xl::EdgeRight:
        for (int r = a.r1; r <= a.r2; ++r)
            fn(r, a.c2, Right);
        break;
    case xl::InsideVertical:
        for (int r = a.r1; r <= a.r2; ++r)
            for (int c = a.c1; c < a.c2; ++c)
                fn(r, c, Right);
        break;
    case xl::InsideHorizontal:
        for (int r = a.r1; r < a.r2; ++r)
            for (int c = a.c1; c <= a.c2; ++c)
                fn(r, c, Bottom);
        break;
    default:
        break;
    }
}

// Changes the (line style, weight, colour) of the edges `index` names through
// `change(int& lineStyle, int& weight, int& color)`.
template <typename Fn>
void editBorder(SheetModel& sheet, const std::vector<Area>& areas, int index, Fn change) {
    checkCellCount(areas, "bordering");
    for (const Area& a : areas) {
        forEdges(a, index, [&](int r, int c, Edge e) {
            editXf(sheet, r, c, [&](XfBytes& x) {
                const LineAndWeight pair = StylePairs[std::clamp(edgeStyle(x, e), 0, 13)];
                int lineStyle = pair.lineStyle;
                int weight = pair.weight;
                int color = edgeColor(x, e);
                change(lineStyle, weight, color);
                setEdge(x, e, borderStyle(lineStyle, weight), color == 0 ? AutomaticColor : color);
            });
        });
    }
}

} // namespace

Border::Border(const Range& range, int index) : range_(range), index_(index) {}

void Border::setLineStyle(int lineStyle) {
    if (borderStyle(lineStyle, xl::WeightThin) < 0) {
        refuse(QStringLiteral("border line style %1 refused").arg(lineStyle));
    }
    editBorder(*range_.sheet_, range_.areas_->list, index_,
               [lineStyle](int& line, int&, int&) { line = lineStyle; });
}

void Border::setWeight(int weight) {
    if (weight != xl::WeightHairline && weight != xl::WeightThin && weight != xl::WeightMedium &&
        weight != xl::WeightThick) {
        refuse(QStringLiteral("border weight %1 refused").arg(weight));
    }
    editBorder(*range_.sheet_, range_.areas_->list, index_, [weight](int& line, int& w, int&) {
        if (line == xl::LineNone) {
            line = xl::LineContinuous; // a weight on no line draws a continuous one
        }
        w = weight;
    });
}

void Border::setColorIndex(int colorIndex) {
    int color = 0;
    if (colorIndex == xl::ColorAutomatic || colorIndex == xl::ColorNone) {
        color = AutomaticColor;
    } else if (colorIndex >= 1 && colorIndex <= 56) {
        color = colorIndex + 7;
    } else {
        refuse(QStringLiteral("border colour index %1 refused").arg(colorIndex));
    }
    editBorder(*range_.sheet_, range_.areas_->list, index_,
               [color](int&, int&, int& c) { c = color; });
}

} // namespace tav::xls
