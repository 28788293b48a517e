// Placing one picture of the selection list on the sheet, fitting it into the layout's
// box, and the final pass that turns every picture into a JPEG picture.
#pragma once

#include "platform/rotation_code.h"

#include <QImage>
#include <QSize>
#include <QSizeF>
#include <QString>

namespace tav::xls {
class Application;
class Clipboard;
class Worksheet;
} // namespace tav::xls

namespace tav {

// The size a picture of natural size `natural` (points) ends at after the fit:
// portrait pictures (taller than wide) get the box height; landscape and square
// pictures get the box width, then their height is capped at the box height, the
// aspect ratio locked throughout.
QSizeF fitToBox(QSizeF natural, double boxWidth, double boxHeight);

// The box values handed to the spreadsheet: single precision for the layouts without
// notes (233.25, 252.3f), whole numbers for the layouts with notes.
double boxValue(float value, bool withNotes);

// Pixels a picture of `points` is stored with (220 per inch), rounded up.
QSize storedPixels(QSizeF points);

struct PlacementOptions {
    // Decode only as many pixels as the placed picture stores (JPEG DCT scaling), and
    // shrink to exactly those pixels before the turn, so that the engine encodes the
    // picture as it comes. The result is the same picture at the same size and anchor
    // as with a full decode.
    bool reducedDecode = true;
};

// The picture of one row as it goes onto the clipboard: loaded upright, then turned;
// `natural` is its size in points (the turned logical size at 96 dpi), which the pixels
// may exceed or fall short of.
struct PreparedPicture {
    QImage image;
    QSizeF natural;
};
PreparedPicture preparePicture(RotationCode turn, const QString& path, QSizeF box,
                               const PlacementOptions& options = {});

// Loads the image file, turns it and puts it on the engine's clipboard with its
// natural size. `box` is the layout's box in points (used to decode no more pixels
// than the placed picture needs). Throws the loader's errors.
void copyTurnedPictureToClipboard(xls::Clipboard& clipboard, RotationCode turn, const QString& path,
                                  QSizeF box, const PlacementOptions& options = {});

// Places the picture of one selection-list row at the active cell of `sheet` and fits
// it; the picture is the selection afterwards. Without a turn (the row's rotation text
// is empty, RotationCode::parseLenient) the file is inserted as it is; with one it goes
// through copyTurnedPictureToClipboard and a bitmap paste.
void placePicture(xls::Application& app, xls::Worksheet& sheet, const QString& path,
                  std::optional<RotationCode> turn, float boxWidth, float boxHeight, bool withNotes,
                  const PlacementOptions& options = {});

// The fit on the selected picture (see fitToBox).
void fitSelection(xls::Application& app, float boxWidth, float boxHeight, bool withNotes);

// Re-pastes every picture of the sheet as a JPEG picture at its top-left cell, keeping
// its size.
void convertPicturesToJpeg(xls::Application& app, xls::Worksheet& sheet);

} // namespace tav
