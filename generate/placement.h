// Placing one picture of the selection list on the sheet, fitting it into the layout's
// box, and the final pass that turns every picture into a JPEG picture.
#pragma once

#include "platform/rotation_code.h"

#include <QByteArray>
#include <QImage>
#include <QSize>
#include <QSizeF>
#include <QString>

namespace tav::xls {
class Application;
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
    // shrink to exactly those pixels before the turn, so that the engine stores the
    // picture as it comes. The result is the same picture at the same size and anchor
    // as with a full decode.
    bool reducedDecode = true;
    // Threads that prepare the next pictures while the run places the current one; 0
    // means one per core, 1 that the run prepares each picture itself as it places it.
    // The workbook is the same byte for byte whatever the number.
    int preparingThreads = 0;
};

// The picture of one row as it goes onto the clipboard: loaded upright, then turned;
// `natural` is its size in points (the turned logical size at 96 dpi), which the pixels
// may exceed or fall short of. With a reduced decode `image` holds the pixels the
// workbook stores and `jpeg` their stored JPEG bytes, encoded along with the rest.
struct PreparedPicture {
    QImage image;
    QSizeF natural;
    QByteArray jpeg;
};
// Pure picture work, safe on any thread. Throws the loader's errors.
PreparedPicture preparePicture(RotationCode turn, const QString& path, QSizeF box,
                               const PlacementOptions& options = {});

// The layout's box in points as the fit uses it (boxValue of both sides).
QSizeF placedBox(float boxWidth, float boxHeight, bool withNotes);

// Places a picture of the selection list at the active cell of `sheet` and fits it; the
// picture is the selection afterwards. A row without a turn (its rotation text is
// empty, RotationCode::parseLenient) has `prepared` null: its file is inserted as it
// is. A turned row's picture comes from preparePicture and is pasted as a bitmap.
void placePicture(xls::Application& app, xls::Worksheet& sheet, const QString& path,
                  const PreparedPicture* prepared, float boxWidth, float boxHeight, bool withNotes);

// The fit on the selected picture (see fitToBox).
void fitSelection(xls::Application& app, float boxWidth, float boxHeight, bool withNotes);

// Re-pastes every picture of the sheet as a JPEG picture at its top-left cell, keeping
// its size.
void convertPicturesToJpeg(xls::Application& app, xls::Worksheet& sheet);

} // namespace tav
