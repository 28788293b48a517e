#include "platform/xls/shape.h"

#include "platform/xls/drawing.h"
#include "platform/xls/object_model.h"
#include "platform/xls/range.h"

namespace tav::xls {

Shape::Shape(SheetModel* sheet, int shapeId) : sheet_(sheet), id_(shapeId) {}

Range Shape::topLeftCell() const {
    const ShapeModel& s = sheet_->shape(id_);
    return Range(sheet_, makeAreas({Area{s.row, s.col, s.row, s.col}}));
}

Range Shape::bottomRightCell() const {
    const ShapeModel& s = sheet_->shape(id_);
    const Anchor a = computeAnchor(*sheet_, s.row, s.col, s.width, s.height);
    return Range(sheet_, makeAreas({Area{a.rwB, a.colR, a.rwB, a.colR}}));
}

void Shape::select() {
    sheet_->shape(id_);
    activateSheet(sheet_);
    sheet_->selection.shape = true;
    sheet_->selection.shapeId = id_;
}

double Shape::width() const {
    return sheet_->shape(id_).width;
}
double Shape::height() const {
    return sheet_->shape(id_).height;
}
QString Shape::name() const {
    return sheet_->shape(id_).name;
}
bool Shape::isJpeg() const {
    return sheet_->shape(id_).jpeg;
}

QSize Shape::pixelSize() const {
    const PictureData& p = *sheet_->shape(id_).picture;
    if (!p.image.isNull()) {
        return p.image.size();
    }
    return p.jpegPixels;
}

bool Shape::isValid() const {
    return sheet_->findShape(id_) != nullptr;
}

} // namespace tav::xls
