// The hidden picture holder and its quarter turn.
//
// PictureBox is a box that loads a picture file and sizes itself to it: it holds the
// picture's pixels, its logical size (pixels at 96 dpi), whether the picture came from a
// metafile, a visibility flag, a persistent-drawing flag, and its place: a container with
// the container's units per pixel, plus left/top/width/height in those units (twips for
// every container of this program).
//
// turnQuarterClockwise() turns the held picture one quarter clockwise in place: the same
// pixels, width and height exchanged (in pixels, converted through the container's units
// per pixel in each direction), left and top kept. While it works the box is hidden and
// draws persistently and, when it sits in a grouping frame, is moved into its window; all
// of that is restored afterwards, also when the turn fails, in which case the box keeps
// the picture it had and the failure goes to the caller.
//
// Usage:
//     tav::PictureBox holder(&window);        // the window is its container and parent
//     holder.setPicture(tav::loadPicture(path));
//     tav::turnQuarterClockwise(holder);      // a quarter turn; twice = a half turn
#pragma once

#include "platform/image/picture_loader.h"

#include <QImage>
#include <QSize>
#include <QString>

#include <functional>

namespace tav {

// Something a picture box can sit in: a window, another picture box or a grouping frame.
struct BoxContainer {
    enum class Kind { Window, PictureBox, Frame };
    Kind kind = Kind::Window;
    QString name;
    // Units of the container's coordinate system per screen pixel (twips: 15 at 96 dpi).
    double unitsPerPixelX = 15.0;
    double unitsPerPixelY = 15.0;
    BoxContainer* parentWindow = nullptr; // the window that owns a frame or picture box
};

class PictureBox {
public:
    // `container` is where the box sits; the owning window is the container itself when
    // it is a window, otherwise the container's parentWindow.
    explicit PictureBox(BoxContainer* container) : container_(container) {}

    // Takes a loaded picture and sizes the box to its logical size.
    void setPicture(const LoadedPicture& picture);
    void setPicture(const QImage& pixels, QSize logicalSize, bool isVector);
    void clearPicture();

    const QImage& picture() const { return picture_; }
    QSize logicalSize() const { return logical_; }
    bool hasPicture() const { return !picture_.isNull(); }
    bool isVector() const { return isVector_; }

    // Physical size of the picture in hundredths of a millimetre (96 dpi), rounded.
    QSize sizeHimetric() const;

    bool visible = false;
    bool persistentDrawing = false;
    double left = 0;   // container units
    double top = 0;    // container units
    double width = 0;  // outer width, container units
    double height = 0; // outer height, container units

    BoxContainer* container() const { return container_; }
    void setContainer(BoxContainer* container) { container_ = container; }
    BoxContainer* parentWindow() const;

private:
    friend void turnQuarterClockwise(PictureBox& box,
                                     const std::function<QImage(const QImage&)>& turn);
    friend void turnClockwise(PictureBox& box, int quarterTurns);
    void takeTurnedPicture(QImage turned, bool sidesExchanged, const BoxContainer& container);

    QImage picture_;
    QSize logical_;
    bool isVector_ = false;
    BoxContainer* container_;
};

// One quarter turn clockwise of the box's picture, in place. `turn` is the pixel
// operation (the blocked quarter turn unless a test injects another one). Throws what
// the pixel operation throws; the box is then restored as it was.
void turnQuarterClockwise(PictureBox& box, const std::function<QImage(const QImage&)>& turn = {});

// `quarterTurns` (0 to 3) quarter turns clockwise in one pass over the pixels: the same
// picture, size and box state as that many calls of turnQuarterClockwise, at the cost of
// one. Throws like turnQuarterClockwise; the box is then restored as it was.
void turnClockwise(PictureBox& box, int quarterTurns);

} // namespace tav
