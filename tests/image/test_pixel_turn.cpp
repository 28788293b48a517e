// The quarter turn as properties: against the per-pixel reference loop, four turns give
// the picture back, two make a half turn, row filler never enters the picture.
#include "platform/image/pixel_turn.h"

#include <gtest/gtest.h>

#include <random>
#include <vector>

namespace tav {
namespace {

QImage randomImage(int w, int h, QImage::Format format = QImage::Format_RGB32, unsigned seed = 1) {
    QImage image(w, h, format);
    std::mt19937 random(seed + unsigned(w) * 7919u + unsigned(h));
    for (int y = 0; y < h; ++y) {
        auto* row = reinterpret_cast<quint32*>(image.scanLine(y));
        for (int x = 0; x < w; ++x)
            row[x] = format == QImage::Format_RGB32 ? (random() | 0xFF000000u)
                                                    : qPremultiply(QRgb(random()));
    }
    return image;
}

const QSize kSizes[] = {{1, 1},   {1, 9},   {9, 1},   {2, 3},   {3, 2},    {4, 4},
                        {5, 7},   {31, 33}, {32, 32}, {33, 65}, {127, 64}, {250, 3},
                        {3, 250}, {64, 1},  {1, 64},  {97, 131}};

class TurnSizes : public ::testing::TestWithParam<QSize> {};

TEST_P(TurnSizes, MatchesThePixelMapping) {
    const QImage src = randomImage(GetParam().width(), GetParam().height());
    const QImage turned = rotateQuarterClockwise(src);
    ASSERT_EQ(turned.size(), src.size().transposed());
    const int h = src.height();
    for (int y = 0; y < src.height(); ++y)
        for (int x = 0; x < src.width(); ++x)
            ASSERT_EQ(turned.pixel(h - 1 - y, x), src.pixel(x, y)) << x << "," << y;
}

TEST_P(TurnSizes, AnticlockwiseMatchesThePixelMapping) {
    const QImage src = randomImage(GetParam().width(), GetParam().height());
    const QImage turned = rotateQuarterAnticlockwise(src);
    ASSERT_EQ(turned.size(), src.size().transposed());
    const int w = src.width();
    for (int y = 0; y < src.height(); ++y)
        for (int x = 0; x < w; ++x)
            ASSERT_EQ(turned.pixel(y, w - 1 - x), src.pixel(x, y)) << x << "," << y;
}

TEST_P(TurnSizes, BlockedLoopEqualsTheNaiveLoop) {
    const QImage src = randomImage(GetParam().width(), GetParam().height());
    QImage naive(src.height(), src.width(), QImage::Format_RGB32);
    rotateQuarterClockwise32Naive(
        reinterpret_cast<const std::uint32_t*>(src.constBits()), src.bytesPerLine(), src.width(),
        src.height(), reinterpret_cast<std::uint32_t*>(naive.bits()), naive.bytesPerLine());
    EXPECT_EQ(rotateQuarterClockwise(src), naive);
}

TEST_P(TurnSizes, FourTurnsGiveThePictureBackAndTwoMakeAHalfTurn) {
    const QImage src = randomImage(GetParam().width(), GetParam().height());
    const QImage one = rotateQuarterClockwise(src);
    const QImage two = rotateQuarterClockwise(one);
    const QImage three = rotateQuarterClockwise(two);
    EXPECT_EQ(rotateQuarterClockwise(three), src);
    EXPECT_EQ(two, rotateHalf(src));
    EXPECT_EQ(two, src.mirrored(true, true));
    EXPECT_EQ(three, rotateQuarterAnticlockwise(src));
    EXPECT_EQ(rotateQuarterClockwise(rotateQuarterAnticlockwise(src)), src);
}

INSTANTIATE_TEST_SUITE_P(Shapes, TurnSizes, ::testing::ValuesIn(kSizes));

TEST(PixelTurn, RowFillerNeverEntersThePicture) {
    // Rows with 3 pixels of filler after each, filled with a marker the picture never has.
    for (const QSize size : {QSize(5, 3), QSize(37, 41), QSize(1, 7)}) {
        const int w = size.width(), h = size.height();
        const int stridePixels = w + 3;
        std::vector<quint32> buffer(std::size_t(stridePixels) * h, 0xDEADBEEFu);
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x)
                buffer[std::size_t(y) * stridePixels + x] = 0xFF000000u | quint32(y * w + x);
        const QImage src(reinterpret_cast<const uchar*>(buffer.data()), w, h, stridePixels * 4,
                         QImage::Format_RGB32);
        const QImage turned = rotateQuarterClockwise(src);
        for (int y = 0; y < turned.height(); ++y)
            for (int x = 0; x < turned.width(); ++x)
                ASSERT_NE(turned.pixel(x, y), 0xDEADBEEFu);
        EXPECT_EQ(rotateQuarterAnticlockwise(turned), src.copy());
    }
}

TEST(PixelTurn, KeepsThirtyTwoBitFormatsAndConvertsOthers) {
    const QImage premultiplied = randomImage(6, 4, QImage::Format_ARGB32_Premultiplied);
    EXPECT_EQ(rotateQuarterClockwise(premultiplied).format(), QImage::Format_ARGB32_Premultiplied);
    QImage indexed(3, 2, QImage::Format_Indexed8);
    indexed.setColorTable({qRgb(255, 0, 0), qRgb(0, 0, 255)});
    indexed.fill(0);
    indexed.setPixel(0, 0, 1);
    const QImage turned = rotateQuarterClockwise(indexed);
    EXPECT_EQ(turned.format(), QImage::Format_RGB32);
    EXPECT_EQ(turned.pixel(1, 0), qRgb(0, 0, 255)); // top-left went to the top-right
    EXPECT_TRUE(rotateQuarterClockwise(QImage()).isNull());
}

TEST(PixelTurn, LargePictureEqualsTheNaiveLoop) {
    const QImage src = randomImage(1203, 901);
    QImage naive(src.height(), src.width(), QImage::Format_RGB32);
    rotateQuarterClockwise32Naive(
        reinterpret_cast<const std::uint32_t*>(src.constBits()), src.bytesPerLine(), src.width(),
        src.height(), reinterpret_cast<std::uint32_t*>(naive.bits()), naive.bytesPerLine());
    EXPECT_EQ(rotateQuarterClockwise(src), naive);
    EXPECT_EQ(rotateQuarterAnticlockwise(src), naive.mirrored(true, true));
}

} // namespace
} // namespace tav
