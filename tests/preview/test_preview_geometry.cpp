// The preview arithmetic in twips: the three display modes, the magnification text, the
// scroll bars, the scroll and pan rules, the information text.
#include "preview/preview_geometry.h"

#include <gtest/gtest.h>

namespace tav::preview {
namespace {

constexpr double ViewW = kViewWidth;
constexpr double ViewH = kViewHeight;
constexpr double CanvasW = kViewWidth + kCanvasMargin;  // 3255
constexpr double CanvasH = kViewHeight + kCanvasMargin; // 2455

struct ScaleRow {
    const char* what;
    double pictureW, pictureH;
    double x, y, sw, sh;
};

class ScaleMode : public ::testing::TestWithParam<ScaleRow> {};

TEST_P(ScaleMode, PlacesThePicture) {
    const ScaleRow& r = GetParam();
    const PaintPlan plan = planScale(r.pictureW, r.pictureH, CanvasW, CanvasH);
    EXPECT_TRUE(plan.paints);
    EXPECT_EQ(plan.canvasWidth, CanvasW);
    EXPECT_EQ(plan.canvasHeight, CanvasH);
    EXPECT_EQ(plan.x, r.x);
    EXPECT_EQ(plan.y, r.y);
    EXPECT_EQ(plan.width, r.sw);
    EXPECT_EQ(plan.height, r.sh);
    EXPECT_FALSE(plan.needsScrollBars);
}

INSTANTIATE_TEST_SUITE_P(
    Pictures, ScaleMode,
    ::testing::Values(
        // 100 x 80 px: own size, centred both ways, never enlarged.
        ScaleRow{"small", 1500, 1200, 877, 627, 1500, 1200},
        // 4000 x 1000 px: fills the width from x = 0, centred vertically.
        ScaleRow{"wide", 60000, 15000, 0, 820, 3255, 814},
        // 1000 x 4000 px: fills the height from y = 0, centred horizontally.
        ScaleRow{"tall", 15000, 60000, 1320, 0, 614, 2455},
        // 4000 x 3000 px (12 MP), a little wider than the canvas in proportion.
        ScaleRow{"huge", 60000, 45000, 0, 7, 3255, 2441},
        // 217 x 163 px: the canvas's own width; fits both ways, so centred by rule.
        ScaleRow{"exact width", 3255, 2445, 0, 5, 3255, 2445},
        // Halves go to the even neighbour: 1005 x 0.5 = 502.5 becomes 502.
        ScaleRow{"half-even", 1005, 4910, 1376, 0, 502, 2455}),
    [](const auto& row) {
        std::string name = row.param.what;
        for (char& c : name)
            if (c == ' ' || c == '-')
                c = '_';
        return name;
    });

TEST(ScaleMode, EmptyHolderPaintsNothing) {
    EXPECT_FALSE(planScale(0, 0, CanvasW, CanvasH).paints);
}

TEST(ActualMode, PictureThatFitsIsCentredWithoutScrollBars) {
    const PaintPlan plan = planActual(1500, 1200, CanvasW, CanvasH, ViewW, ViewH, 1.0);
    EXPECT_EQ(plan.canvasWidth, CanvasW);
    EXPECT_EQ(plan.canvasHeight, CanvasH);
    EXPECT_EQ(plan.x, 877);
    EXPECT_EQ(plan.y, 627);
    EXPECT_EQ(plan.width, 1500);
    EXPECT_EQ(plan.height, 1200);
    EXPECT_FALSE(plan.needsScrollBars);
}

TEST(ActualMode, MagnificationOneAndAHalf) {
    const PaintPlan plan = planActual(1500, 1200, CanvasW, CanvasH, ViewW, ViewH, 1.5);
    EXPECT_EQ(plan.width, 2250);
    EXPECT_EQ(plan.height, 1800);
    EXPECT_EQ(plan.x, 502);
    EXPECT_EQ(plan.y, 327);
}

TEST(ActualMode, LargerOneWayTakesThePictureSizeAndOneScrollBar) {
    // 300 x 100 px: wider than the view only.
    const PaintPlan wide = planActual(4500, 1500, CanvasW, CanvasH, ViewW, ViewH, 1.0);
    EXPECT_EQ(wide.canvasWidth, 4500);
    EXPECT_EQ(wide.canvasHeight, 1500);
    EXPECT_EQ(wide.x, 0);
    EXPECT_EQ(wide.y, 0);
    EXPECT_TRUE(wide.needsScrollBars);
    const ScrollBarLayout wideBars =
        scrollBarLayout(ViewW, ViewH, wide.canvasWidth, wide.canvasHeight);
    EXPECT_TRUE(wideBars.showHorizontal);
    EXPECT_FALSE(wideBars.showVertical);
    EXPECT_TRUE(wideBars.hideFitButton);

    // 100 x 300 px: taller only; the fit button stays.
    const PaintPlan tall = planActual(1500, 4500, CanvasW, CanvasH, ViewW, ViewH, 1.0);
    const ScrollBarLayout tallBars =
        scrollBarLayout(ViewW, ViewH, tall.canvasWidth, tall.canvasHeight);
    EXPECT_FALSE(tallBars.showHorizontal);
    EXPECT_TRUE(tallBars.showVertical);
    EXPECT_FALSE(tallBars.hideFitButton);
}

TEST(ActualMode, ZeroMagnificationPaintsNothing) {
    const PaintPlan plan = planActual(1500, 1200, CanvasW, CanvasH, ViewW, ViewH, 0.0);
    EXPECT_FALSE(plan.paints);
    EXPECT_EQ(plan.canvasWidth, CanvasW);
    EXPECT_EQ(plan.canvasHeight, CanvasH);
    EXPECT_FALSE(plan.needsScrollBars);
}

TEST(ActualMode, HugePictureAtTenfold) {
    const PaintPlan plan = planActual(60000, 45000, CanvasW, CanvasH, ViewW, ViewH, 10.0);
    EXPECT_EQ(plan.canvasWidth, 600000);
    EXPECT_EQ(plan.canvasHeight, 450000);
    EXPECT_TRUE(plan.needsScrollBars);
}

TEST(FitMode, AlwaysFillsTheCanvas) {
    const PaintPlan plan = planFit(CanvasW, CanvasH);
    EXPECT_EQ(plan.x, 0);
    EXPECT_EQ(plan.y, 0);
    EXPECT_EQ(plan.width, CanvasW);
    EXPECT_EQ(plan.height, CanvasH);
}

TEST(Magnification, TextCheck) {
    for (const char* ok : {"1.5", "10", " 2", "1\u30005", "", "0", "0.1", "..."})
        EXPECT_TRUE(magnificationTextIsValid(QString::fromUtf8(ok))) << ok;
    for (const char* bad : {"a", "1,5", "\uFF11", "1e3", "-1", "1.5x", "\t1"})
        EXPECT_FALSE(magnificationTextIsValid(QString::fromUtf8(bad))) << bad;
}

TEST(Magnification, NumberReading) {
    const std::pair<const char*, double> rows[] = {
        {"1.5", 1.5},   {"", 0},         {"0", 0},       {" 2 ", 2}, {"1 5", 15},
        {"1.5.3", 1.5}, {"1\u30005", 1}, {"\u30002", 0}, {".", 0},   {"0.1", 0.1},
        {"10", 10},     {".5", 0.5},     {"1 . 2", 1.2},
    };
    for (const auto& [text, value] : rows)
        EXPECT_DOUBLE_EQ(readMagnification(QString::fromUtf8(text)), value) << '"' << text << '"';
}

TEST(Magnification, NextSmallerStep) {
    QStringList list;
    for (int i = 1; i <= 9; ++i)
        list << QStringLiteral("0.%1").arg(i);
    for (int i = 1; i <= 10; ++i)
        list << QString::number(i);
    ASSERT_EQ(list.size(), 19);
    EXPECT_EQ(nextSmallerMagnification(list, 18, QStringLiteral("10")), 17);
    EXPECT_EQ(nextSmallerMagnification(list, 9, QStringLiteral("1")), 8); // 1 -> 0.9
    EXPECT_EQ(nextSmallerMagnification(list, 0, QStringLiteral("0.1")), -1);
    // Typed values: the largest entry below them.
    EXPECT_EQ(nextSmallerMagnification(list, -1, QStringLiteral("1.5")), 9);
    EXPECT_EQ(nextSmallerMagnification(list, -1, QStringLiteral("20")), 18);
    EXPECT_EQ(nextSmallerMagnification(list, -1, QStringLiteral("3")), 10);
    EXPECT_EQ(nextSmallerMagnification(list, -1, QStringLiteral("0.05")), -1);
    // A selection whose text was edited afterwards counts as typed.
    EXPECT_EQ(nextSmallerMagnification(list, 18, QStringLiteral("2.5")), 10);
}

TEST(ScrollRule, ValueMovesTheCanvasTowardsItsFarEdge) {
    EXPECT_EQ(scrollPosition(ViewW, 4500, 0), 0);
    EXPECT_EQ(scrollPosition(ViewW, 4500, 100), -1245); // 55 twips beyond the view's width
    EXPECT_EQ(scrollPosition(ViewW, 4500, 50), -622.5);
    EXPECT_DOUBLE_EQ(scrollPosition(ViewH, 6000, 42), -(6000 - 2400 - 55) * 0.42);
}

TEST(ScrollBars, ShownOnlyWhenTheCanvasIsLarger) {
    const ScrollBarLayout wider = scrollBarLayout(ViewW, ViewH, ViewW + 1, ViewH);
    EXPECT_TRUE(wider.showHorizontal);
    EXPECT_FALSE(wider.showVertical);
    const ScrollBarLayout same = scrollBarLayout(ViewW, ViewH, ViewW, ViewH);
    EXPECT_FALSE(same.showHorizontal);
    EXPECT_FALSE(same.showVertical);
    EXPECT_FALSE(same.hideFitButton);
}

TEST(PanRule, CanvasNotMoreThanSixtyTwipsLargerDoesNotMove) {
    EXPECT_FALSE(panAxis(ViewH, ViewH + 60, 0, -500).applies);
    EXPECT_FALSE(panAxis(ViewH, ViewH + 55, 0, -500).applies);
    EXPECT_TRUE(panAxis(ViewH, ViewH + 61, 0, -500).applies);
}

TEST(PanRule, DraggingDownAtTheTopKeepsTheCanvasThere) {
    const PanStep step = panAxis(ViewH, 4500, 0, 500);
    EXPECT_TRUE(step.applies);
    EXPECT_EQ(step.position, 0);
    EXPECT_EQ(step.scrollValue, 0);
}

TEST(PanRule, DraggingFarUpSnapsToTheBottomEndAndValueHundred) {
    const PanStep step = panAxis(ViewH, 4500, 0, -10000);
    EXPECT_EQ(step.position, ViewH - 4500);
    EXPECT_EQ(step.scrollValue, 100);
    // Within 55 twips of the end the canvas snaps to it.
    EXPECT_EQ(panAxis(ViewH, 4500, 0, -2050).position, -2100);
    EXPECT_EQ(panAxis(ViewH, 4500, 0, -2040).position, -2040);
}

TEST(PanRule, ValueFollowsThePositionRoundedHalfToEven) {
    EXPECT_EQ(panAxis(ViewH, 4500, 0, -1000).scrollValue, 49); // 48.9
    // A scroll range of 200 twips: 0.5 -> 0, 1.5 -> 2, 2.5 -> 2.
    EXPECT_EQ(panAxis(ViewH, ViewH + 255, 0, -1).scrollValue, 0);
    EXPECT_EQ(panAxis(ViewH, ViewH + 255, 0, -3).scrollValue, 2);
    EXPECT_EQ(panAxis(ViewH, ViewH + 255, 0, -5).scrollValue, 2);
    EXPECT_EQ(panAxis(ViewH, ViewH + 255, -100, 20).position, -80); // from where the canvas is
}

TEST(Information, KilobytesWithThousandsSeparators) {
    const QLocale ja(QLocale::Japanese, QLocale::Japan);
    EXPECT_EQ(kilobytesText(1'048'576, ja), QStringLiteral("1,024"));
    EXPECT_EQ(kilobytesText(1'000, ja), QStringLiteral("1"));
    EXPECT_EQ(kilobytesText(0, ja), QStringLiteral("0"));
    EXPECT_EQ(kilobytesText(1'000'000'000, ja), QStringLiteral("976,563"));
    EXPECT_EQ(kilobytesText(1'048'576, QLocale::c()), QStringLiteral("1,024"));
}

TEST(Information, FileLineInTheGeneralFormat) {
    const QLocale ja(QLocale::Japanese, QLocale::Japan);
    const QDateTime when(QDate(2026, 12, 7), QTime(9, 5, 3));
    EXPECT_EQ(informationFileLine(when, 1'048'576, ja),
              QStringLiteral("2026/12/07 9:05:03 , 1,024 KB"));
    EXPECT_EQ(informationFileLine(when, 0, ja), QStringLiteral("2026/12/07 9:05:03 , 0 KB"));
    EXPECT_EQ(generalDateTimeFormat(QLocale::c()), QStringLiteral("d MMM yyyy HH:mm:ss"));
    EXPECT_EQ(generalDateTimeFormat(QLocale(QLocale::English, QLocale::UnitedStates)),
              QStringLiteral("M/d/yy h:mm:ss AP"));
}

TEST(Information, SizeLineInMillimetresAfterTheTurn) {
    const QSize upright = himetricFromPixels(QSize(300, 200));
    EXPECT_EQ(upright, QSize(7938, 5292));
    EXPECT_EQ(informationSizeLine(upright), QStringLiteral("Height: 53×Width: 79"));
    EXPECT_EQ(informationSizeLine(upright.transposed()), QStringLiteral("Height: 79×Width: 53"));
    EXPECT_EQ(informationSizeLine(QSize(0, 0)), QStringLiteral("Height: 0×Width: 0"));
    EXPECT_EQ(informationSizeLine(QSize(149, 150)), QStringLiteral("Height: 2×Width: 1"));
}

} // namespace
} // namespace tav::preview
