// The picture holder's quarter turn: pixels, exchanged size, kept position, restored box
// state on success and on failure.
#include "platform/error.h"
#include "platform/image/pixel_turn.h"
#include "preview/rotation.h"

#include <gtest/gtest.h>

#include <random>

namespace tav {
namespace {

QImage randomImage(int w, int h) {
    QImage image(w, h, QImage::Format_RGB32);
    std::mt19937 random(unsigned(w * 31 + h));
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            image.setPixel(x, y, 0xFF000000u | random());
    return image;
}

struct Scene {
    BoxContainer window{BoxContainer::Kind::Window, QStringLiteral("frmMain"), 15, 15, nullptr};
    BoxContainer frame{BoxContainer::Kind::Frame, QStringLiteral("Frame2"), 15, 15, &window};
};

TEST(QuarterTurn, TurnsPixelsExchangesSizeKeepsPosition) {
    Scene scene;
    PictureBox box(&scene.window);
    const QImage original = randomImage(300, 200);
    box.setPicture(original, QSize(300, 200), false);
    box.left = 120;
    box.top = 240;
    EXPECT_EQ(box.width, 4500);
    EXPECT_EQ(box.height, 3000);

    turnQuarterClockwise(box);
    EXPECT_EQ(box.picture(), rotateQuarterClockwise(original));
    EXPECT_EQ(box.logicalSize(), QSize(200, 300));
    EXPECT_EQ(box.width, 3000);
    EXPECT_EQ(box.height, 4500);
    EXPECT_EQ(box.left, 120);
    EXPECT_EQ(box.top, 240);
    EXPECT_EQ(box.container(), &scene.window);
}

TEST(QuarterTurn, FourTurnsGiveEverythingBackTwoMakeAHalfTurn) {
    Scene scene;
    PictureBox box(&scene.window);
    const QImage original = randomImage(37, 11); // odd width
    box.setPicture(original, original.size(), false);
    turnQuarterClockwise(box);
    turnQuarterClockwise(box);
    EXPECT_EQ(box.picture(), original.mirrored(true, true));
    EXPECT_EQ(box.logicalSize(), QSize(37, 11));
    turnQuarterClockwise(box);
    turnQuarterClockwise(box);
    EXPECT_EQ(box.picture(), original);
    EXPECT_EQ(box.width, 37 * 15);
    EXPECT_EQ(box.height, 11 * 15);
}

TEST(QuarterTurn, OnePixelAndOneRowPictures) {
    Scene scene;
    PictureBox box(&scene.window);
    const QImage dot = randomImage(1, 1);
    box.setPicture(dot, QSize(1, 1), false);
    turnQuarterClockwise(box);
    EXPECT_EQ(box.picture(), dot);

    const QImage row = randomImage(9, 1);
    box.setPicture(row, QSize(9, 1), false);
    turnQuarterClockwise(box);
    ASSERT_EQ(box.picture().size(), QSize(1, 9));
    for (int x = 0; x < 9; ++x)
        EXPECT_EQ(box.picture().pixel(0, x), row.pixel(x, 0));
}

TEST(QuarterTurn, RestoresVisibilityAndRedrawInEveryCombination) {
    Scene scene;
    for (const bool visible : {false, true})
        for (const bool persistentDrawing : {false, true}) {
            PictureBox box(&scene.window);
            box.setPicture(randomImage(4, 3), QSize(4, 3), false);
            box.visible = visible;
            box.persistentDrawing = persistentDrawing;
            turnQuarterClockwise(box);
            EXPECT_EQ(box.visible, visible);
            EXPECT_EQ(box.persistentDrawing, persistentDrawing);
        }
}

TEST(QuarterTurn, BoxInAFrameIsTurnedInItsWindowAndPutBack) {
    Scene scene;
    PictureBox box(&scene.frame);
    box.setPicture(randomImage(8, 5), QSize(8, 5), false);
    box.left = 75;
    box.top = 30;
    BoxContainer* seenDuringTurn = nullptr;
    bool visibleDuringTurn = true;
    bool persistentDuringTurn = false;
    turnQuarterClockwise(box, [&](const QImage& image) {
        seenDuringTurn = box.container();
        visibleDuringTurn = box.visible;
        persistentDuringTurn = box.persistentDrawing;
        return rotateQuarterClockwise(image);
    });
    EXPECT_EQ(seenDuringTurn, &scene.window);
    EXPECT_FALSE(visibleDuringTurn);
    EXPECT_TRUE(persistentDuringTurn);
    EXPECT_EQ(box.container(), &scene.frame);
    EXPECT_EQ(box.left, 75);
    EXPECT_EQ(box.top, 30);
    EXPECT_EQ(box.logicalSize(), QSize(5, 8));
}

TEST(QuarterTurn, UnequalUnitsPerPixelStillGiveExactPixels) {
    BoxContainer odd{BoxContainer::Kind::PictureBox, QStringLiteral("Picture1"), 15, 12, nullptr};
    PictureBox box(&odd);
    box.setPicture(randomImage(300, 200), QSize(300, 200), false);
    EXPECT_EQ(box.width, 4500);
    EXPECT_EQ(box.height, 2400);
    turnQuarterClockwise(box);
    EXPECT_EQ(box.width, 200 * 15);   // 200 pixels wide
    EXPECT_EQ(box.height, 300 * 12);  // 300 pixels high
    EXPECT_EQ(box.container(), &odd); // a picture box container is kept during the turn
}

TEST(QuarterTurn, FailureLeavesTheBoxAsItWas) {
    Scene scene;
    PictureBox box(&scene.frame);
    const QImage original = randomImage(30, 20);
    box.setPicture(original, QSize(30, 20), false);
    box.visible = true;
    box.persistentDrawing = false;
    box.left = 10;
    box.top = 20;
    try {
        turnQuarterClockwise(box, [](const QImage&) -> QImage {
            throw Error(err::OutOfMemory, QStringLiteral("injected"));
        });
        FAIL() << "the failure must reach the caller";
    } catch (const Error& e) {
        EXPECT_EQ(e.number(), err::OutOfMemory);
    }
    EXPECT_EQ(box.picture(), original);
    EXPECT_EQ(box.logicalSize(), QSize(30, 20));
    EXPECT_EQ(box.width, 450);
    EXPECT_EQ(box.height, 300);
    EXPECT_EQ(box.left, 10);
    EXPECT_EQ(box.top, 20);
    EXPECT_TRUE(box.visible);
    EXPECT_FALSE(box.persistentDrawing);
    EXPECT_EQ(box.container(), &scene.frame);
}

TEST(QuarterTurn, VectorPictureTurnsAsItsRaster) {
    Scene scene;
    PictureBox box(&scene.window);
    const QImage raster = randomImage(330, 210); // three times finer than its frame
    box.setPicture(raster, QSize(110, 70), true);
    turnQuarterClockwise(box);
    EXPECT_EQ(box.picture(), rotateQuarterClockwise(raster));
    EXPECT_EQ(box.logicalSize(), QSize(70, 110));
    EXPECT_FALSE(box.isVector());
    EXPECT_EQ(box.width, 70 * 15);
    EXPECT_EQ(box.height, 110 * 15);
}

TEST(QuarterTurn, EmptyHolderExchangesItsSizeOnly) {
    Scene scene;
    PictureBox box(&scene.window);
    box.width = 300;
    box.height = 150;
    turnQuarterClockwise(box);
    EXPECT_FALSE(box.hasPicture());
    EXPECT_EQ(box.width, 150);
    EXPECT_EQ(box.height, 300);
}

TEST(QuarterTurn, PhysicalSizeAtNinetySixDpi) {
    Scene scene;
    PictureBox box(&scene.window);
    box.setPicture(randomImage(300, 200), QSize(300, 200), false);
    EXPECT_EQ(box.sizeHimetric(), QSize(7938, 5292)); // 300 px = 79.375 mm
}

TEST(QuarterTurn, SeveralTurnsInOnePassEqualSuccessiveTurns) {
    BoxContainer odd{BoxContainer::Kind::Window, QStringLiteral("frmMain"), 15, 12, nullptr};
    BoxContainer frame{BoxContainer::Kind::Frame, QStringLiteral("Frame2"), 15, 12, &odd};
    const QImage original = randomImage(37, 11);
    for (int turns = 0; turns <= 3; ++turns) {
        PictureBox stepwise(&frame);
        PictureBox onePass(&frame);
        for (PictureBox* box : {&stepwise, &onePass}) {
            box->setPicture(original, QSize(37, 11), true);
            box->visible = true;
            box->left = 30;
        }
        for (int i = 0; i < turns; ++i)
            turnQuarterClockwise(stepwise);
        turnClockwise(onePass, turns);
        EXPECT_EQ(onePass.picture(), stepwise.picture()) << turns;
        EXPECT_EQ(onePass.logicalSize(), stepwise.logicalSize()) << turns;
        EXPECT_DOUBLE_EQ(onePass.width, stepwise.width) << turns;
        EXPECT_DOUBLE_EQ(onePass.height, stepwise.height) << turns;
        EXPECT_EQ(onePass.isVector(), stepwise.isVector()) << turns;
        EXPECT_TRUE(onePass.visible);
        EXPECT_EQ(onePass.left, 30);
        EXPECT_EQ(onePass.container(), &frame);
    }
}

} // namespace
} // namespace tav
