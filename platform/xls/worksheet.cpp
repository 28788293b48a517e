#include "platform/xls/worksheet.h"

#include "platform/error.h"
#include "platform/image/picture_loader.h"
#include "platform/xls/address.h"
#include "platform/xls/application.h"
#include "platform/xls/automation_constants.h"
#include "platform/xls/limits.h"
#include "platform/xls/object_model.h"
#include "platform/xls/page_setup.h"
#include "platform/xls/picture.h"

#include <QFile>

#include <sys/stat.h>

#include <algorithm>
#include <cerrno>

namespace tav::xls {

Worksheet::~Worksheet() = default;

QString Worksheet::name() const {
    return model_->name;
}

Range Worksheet::range(const QString& address) {
    return Range(model_, makeAreas(parseAddress(address, AddressKind::Any)));
}

Range Worksheet::columns(const QString& address) {
    return Range(model_, makeAreas(parseAddress(address, AddressKind::Columns)));
}

Range Worksheet::rows(const QString& address) {
    return Range(model_, makeAreas(parseAddress(address, AddressKind::Rows)));
}

void Worksheet::select() {
    activateSheet(model_);
}

namespace {

void settleAll(SheetModel& sheet) {
    for (ShapeModel& s : sheet.shapes) {
        settlePicture(s);
    }
}

ShapeModel& addShape(SheetModel& sheet, std::shared_ptr<PictureData> picture, QSizeF size,
                     bool jpeg) {
    if (sheet.shapes.size() >= static_cast<std::size_t>(MaxPicturesPerSheet)) {
        refuse(QStringLiteral("sheet '%1' cannot hold more pictures").arg(sheet.name));
    }
    ShapeModel s;
    s.id = sheet.nextShapeId++;
    s.row = sheet.selection.activeRow;
    s.col = sheet.selection.activeCol;
    s.width = std::clamp(size.width(), PointsPerPixel, MaxShapePoints); // at least a pixel
    s.height = std::clamp(size.height(), PointsPerPixel, MaxShapePoints);
    s.lockAspect = true;
    s.jpeg = jpeg;
    s.name = QStringLiteral("Picture %1").arg(sheet.nextPictureNumber++);
    s.picture = std::move(picture);
    sheet.shapes.push_back(std::move(s));
    return sheet.shapes.back();
}

// The picture to paste from the clipboard's content: a bitmap gets pixels of its own
// (shared until reduced); a cut picture is pasted as it is, except that a template's
// PNG or DIB picture pasted as JPEG becomes pixels to encode like any other (metafile
// pictures stay as they are: they are not raster pixels).
std::shared_ptr<PictureData> pictureToPaste(const Clipboard::Content& content, bool asJpeg) {
    if (!content.settled) {
        return std::make_shared<PictureData>(*content.picture);
    }
    if (asJpeg && !content.picture->rawBlip.isEmpty()) {
        QImage pixels = decodeRasterBlip(*content.picture);
        if (!pixels.isNull()) {
            return pictureOfPixels(std::move(pixels));
        }
    }
    return content.picture;
}

} // namespace

Shape Worksheet::picturesInsert(const QString& path) {
    struct stat st {};
    if (::stat(QFile::encodeName(path).constData(), &st) != 0) {
        throwErrno(errno, FileOperation::InsertPicture, path);
    }
    if (!S_ISREG(st.st_mode)) {
        throw Error(err::InvalidPicture, errorText(ErrorText::PictureUnreadable, path,
                                                   errorText(ErrorText::PictureNotAFile)));
    }
    const LoadedPicture loaded = tav::loadPicture(path);
    const QSizeF size(loaded.logicalSize.width() * PointsPerPixel,
                      loaded.logicalSize.height() * PointsPerPixel);
    settleAll(*model_);
    std::shared_ptr<PictureData> picture = pictureOfPixels(loaded.image);
    ShapeModel& s = addShape(*model_, std::move(picture), size, false);
    return Shape(model_, s.id);
}

void Worksheet::pasteSpecial(const QString& format, bool link, bool displayAsIcon) {
    const bool jpeg = format == xl::PasteJpeg;
    if (!jpeg && format != xl::PasteBitmap) {
        refuse(QStringLiteral("paste format '%1' refused").arg(format));
    }
    if (link || displayAsIcon) {
        refuse(QStringLiteral("pictures are pasted without link and not as an icon"));
    }
    const Clipboard::Content* content = model_->app->clipboard().content();
    if (!content || !content->picture) {
        refuse(QStringLiteral("nothing to paste: the clipboard holds no picture"));
    }
    settleAll(*model_);
    std::shared_ptr<PictureData> picture = pictureToPaste(*content, jpeg);
    activateSheet(model_);
    ShapeModel& s = addShape(*model_, std::move(picture), content->size, jpeg);
    model_->selection.shape = true;
    model_->selection.shapeId = s.id;
}

std::vector<Shape> Worksheet::shapes() {
    std::vector<Shape> out;
    out.reserve(model_->shapes.size());
    for (const ShapeModel& s : model_->shapes) {
        out.push_back(Shape(model_, s.id));
    }
    return out;
}

int Worksheet::shapeCount() const {
    return static_cast<int>(model_->shapes.size());
}

PageSetup Worksheet::pageSetup() {
    return PageSetup(model_);
}

int Worksheet::setHorizontalPageBreaksEvery(int rowsPerPage, int lastRow) {
    if (rowsPerPage < 1 || rowsPerPage > MaxRows) {
        refuse(QStringLiteral("%1 rows per page refused").arg(rowsPerPage));
    }
    if (lastRow < 1 || lastRow > MaxRows) {
        refuse(QStringLiteral("last row %1 outside 1..%2").arg(lastRow).arg(MaxRows));
    }
    model_->breaks.clear();
    for (int row = rowsPerPage; row < lastRow && model_->breaks.size() < MaxPageBreaks;
         row += rowsPerPage) {
        model_->breaks.push_back(row);
    }
    return static_cast<int>(model_->breaks.size());
}

std::vector<int> Worksheet::horizontalPageBreaks() const {
    std::vector<int> rows;
    for (int b : model_->breaks) {
        rows.push_back(b + 1);
    }
    return rows;
}

} // namespace tav::xls
