#include "preview/rotation.h"

#include "platform/image/pixel_turn.h"
#include "preview/preview_geometry.h"

#include <utility>

namespace tav {
namespace {

// Restores the parts of the box's state that the turn changes on its way, however it
// ends.
class BoxStateGuard {
public:
    explicit BoxStateGuard(PictureBox& box)
        : box_(box), visible_(box.visible), persistentDrawing_(box.persistentDrawing),
          container_(box.container()) {}
    ~BoxStateGuard() {
        box_.setContainer(container_);
        box_.visible = visible_;
        box_.persistentDrawing = persistentDrawing_;
    }
    BoxStateGuard(const BoxStateGuard&) = delete;
    BoxStateGuard& operator=(const BoxStateGuard&) = delete;

private:
    PictureBox& box_;
    bool visible_;
    bool persistentDrawing_;
    BoxContainer* container_;
};

} // namespace

void PictureBox::setPicture(const LoadedPicture& picture) {
    setPicture(picture.image, picture.logicalSize, picture.isVector);
}

void PictureBox::setPicture(const QImage& pixels, QSize logicalSize, bool isVector) {
    picture_ = pixels;
    logical_ = logicalSize;
    isVector_ = isVector;
    width = logical_.width() * container_->unitsPerPixelX;
    height = logical_.height() * container_->unitsPerPixelY;
}

void PictureBox::clearPicture() {
    picture_ = QImage();
    logical_ = QSize();
    isVector_ = false;
}

QSize PictureBox::sizeHimetric() const {
    return preview::himetricFromPixels(logical_);
}

BoxContainer* PictureBox::parentWindow() const {
    if (container_ == nullptr || container_->kind == BoxContainer::Kind::Window)
        return container_;
    return container_->parentWindow;
}

namespace {

// The box state of a turn around `work`: hidden and drawing persistently, moved from a grouping
// frame into its window, and all of it restored afterwards however `work` ends. `work`
// gets the container the box sits in while it is turned.
template <typename Work> void withTurnState(PictureBox& box, Work work) {
    BoxStateGuard guard(box);
    box.persistentDrawing = true;
    box.visible = false;
    BoxContainer* container = box.container();
    if (container != nullptr && container->kind == BoxContainer::Kind::Frame &&
        container->parentWindow != nullptr) {
        box.setContainer(container->parentWindow);
        container = container->parentWindow;
    }
    work(*container);
}

} // namespace

void PictureBox::takeTurnedPicture(QImage turned, bool sidesExchanged,
                                   const BoxContainer& container) {
    picture_ = std::move(turned);
    isVector_ = false; // from now on a raster picture
    if (!sidesExchanged)
        return;
    logical_.transpose();
    // Width and height exchanged, each converted through pixels, so a container whose
    // units per pixel differ by direction still gets a box of exactly H by W pixels.
    const double oldWidthPx = width / container.unitsPerPixelX;
    const double oldHeightPx = height / container.unitsPerPixelY;
    width = oldHeightPx * container.unitsPerPixelX;
    height = oldWidthPx * container.unitsPerPixelY;
}

void turnQuarterClockwise(PictureBox& box, const std::function<QImage(const QImage&)>& turn) {
    withTurnState(box, [&](const BoxContainer& container) {
        // The turned picture is made completely before anything of the box changes, so
        // a failure leaves the box with the picture it had.
        QImage turned = turn ? turn(box.picture_) : rotateQuarterClockwise(box.picture_);
        box.takeTurnedPicture(std::move(turned), true, container);
    });
}

void turnClockwise(PictureBox& box, int quarterTurns) {
    const int turns = ((quarterTurns % 4) + 4) % 4;
    if (turns == 0)
        return;
    withTurnState(box, [&](const BoxContainer& container) {
        QImage turned = turns == 1   ? rotateQuarterClockwise(box.picture_)
                        : turns == 2 ? rotateHalf(box.picture_)
                                     : rotateQuarterAnticlockwise(box.picture_);
        box.takeTurnedPicture(std::move(turned), turns != 2, container);
    });
}

} // namespace tav
