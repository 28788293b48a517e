#include "generate/placement.h"

#include "platform/image/picture_loader.h"
#include "platform/image/pixel_turn.h"
#include "platform/xls/engine.h"
#include "platform/xls/picture.h"

#include <cmath>

namespace tav {

QSizeF fitToBox(QSizeF natural, double boxWidth, double boxHeight) {
    const double w = natural.width();
    const double h = natural.height();
    if (w <= 0 || h <= 0) {
        return {};
    }
    if (h > w) {
        // Portrait: full box height, unless that makes it wider than a tall box; then
        // it is narrowed to the box width so it never covers its neighbour.
        QSizeF size(w * boxHeight / h, boxHeight);
        if (size.width() > boxWidth) {
            size = QSizeF(boxWidth, h * boxWidth / w);
        }
        return size;
    }
    QSizeF size(boxWidth, h * boxWidth / w);
    if (size.height() > boxHeight) {
        size = QSizeF(w * boxHeight / h, boxHeight);
    }
    return size;
}

double boxValue(float value, bool withNotes) {
    return withNotes ? std::floor(static_cast<double>(value)) : static_cast<double>(value);
}

QSize storedPixels(QSizeF points) {
    const double scale = xls::StoredPixelsPerInch / 72.0;
    return {static_cast<int>(std::ceil(points.width() * scale - 1e-9)),
            static_cast<int>(std::ceil(points.height() * scale - 1e-9))};
}

PreparedPicture preparePicture(RotationCode turn, const QString& path, QSizeF box,
                               const PlacementOptions& options) {
    // Sizes of the upright picture as the turned one sees them, and back.
    const auto turned = [quarter = turn.exchangesSides()](auto size) {
        if (quarter) {
            size.transpose();
        }
        return size;
    };
    // The fitted size depends only on the turned picture's aspect ratio and the box,
    // so the pixels the placed picture keeps are known before decoding.
    const auto fitted = [&](QSize logicalSize) {
        return fitToBox(turned(QSizeF(logicalSize) * 0.75), box.width(), box.height());
    };
    const bool reduce = options.reducedDecode && !box.isEmpty();
    // The file is read once: its header tells how many pixels to decode.
    const QByteArray bytes = readPictureFile(path);
    LoadOptions load;
    if (reduce) {
        const QSize need = storedPixels(fitted(probePictureData(bytes, path).logicalSize));
        // One more pixel covers rounding of the engine's proportional resize.
        load.minimumSize = turned(need + QSize(1, 1));
    }
    const LoadedPicture picture = loadPictureData(bytes, path, load);
    QImage image = picture.image;
    if (reduce) {
        // Shrink to the pixels the engine will store before turning: the turn then
        // moves only what is kept, and the engine encodes the picture as it comes
        // instead of resampling it once more.
        const QSizeF size = fitted(picture.logicalSize);
        const QSize stored =
            turned(xls::storedPixelSize(size.width(), size.height(), turned(image.size())));
        if (stored != image.size() && stored.width() <= image.width() &&
            stored.height() <= image.height()) {
            image = xls::reduceImage(image, stored);
        }
    }
    switch (turn.quarterTurns()) {
    case 1:
        image = rotateQuarterClockwise(image);
        break;
    case 2:
        image = rotateHalf(image);
        break;
    case 3:
        image = rotateQuarterAnticlockwise(image);
        break;
    default:
        break;
    }
    // The reduced pixels are the stored ones: their JPEG is made here, where the rest
    // of the picture work runs, instead of on the engine's thread.
    QByteArray jpeg = reduce ? xls::encodeJpeg(image, xls::JpegQuality) : QByteArray();
    return {image, turned(QSizeF(picture.logicalSize) * 0.75), std::move(jpeg)};
}

QSizeF placedBox(float boxWidth, float boxHeight, bool withNotes) {
    return {boxValue(boxWidth, withNotes), boxValue(boxHeight, withNotes)};
}

void fitSelection(xls::Application& app, float boxWidth, float boxHeight, bool withNotes) {
    xls::ShapeRange shape = app.selection().shapeRange();
    const double bw = boxValue(boxWidth, withNotes);
    const double bh = boxValue(boxHeight, withNotes);
    shape.setLockAspectRatio(xls::xl::MsoTrue);
    if (shape.height() > shape.width()) {
        shape.setHeight(bh);
        // In the boxes taller than wide a portrait at full height can still be wider
        // than its box and would cover the picture beside it or leave the page.
        if (shape.width() > bw) {
            shape.setWidth(bw);
        }
    } else {
        shape.setWidth(bw);
        if (shape.height() > bh) {
            shape.setHeight(bh);
        }
    }
}

void placePicture(xls::Application& app, xls::Worksheet& sheet, const QString& path,
                  const PreparedPicture* prepared, float boxWidth, float boxHeight,
                  bool withNotes) {
    if (prepared == nullptr) {
        xls::Shape inserted = sheet.picturesInsert(path);
        inserted.select();
    } else {
        app.clipboard().clear();
        app.clipboard().setImage(prepared->image, prepared->natural, prepared->jpeg);
        sheet.pasteSpecial(xls::xl::PasteBitmap, false, false);
    }
    fitSelection(app, boxWidth, boxHeight, withNotes);
}

void convertPicturesToJpeg(xls::Application& app, xls::Worksheet& sheet) {
    const std::vector<xls::Shape> shapes = sheet.shapes();
    for (xls::Shape shape : shapes) {
        xls::Range cell = shape.topLeftCell();
        shape.select();
        app.selection().cut();
        cell.select();
        sheet.pasteSpecial(xls::xl::PasteJpeg, false, false);
    }
}

} // namespace tav
